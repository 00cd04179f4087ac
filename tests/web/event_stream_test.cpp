// Live streams: the queue on its own (event framing, overflow), then through
// the real server: order, keep-alive comments, and a stop with many open
// streams that joins promptly without a thread per stream.
#include <dirent.h>
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "TestHttpClient.h"
#include "web/EventHub.h"
#include "web/HttpServer.h"

namespace kestrane::web {
namespace {

using namespace testing;

std::string Drain(EventStream& stream) {
    std::string out;
    char buffer[64];
    long n;
    while ((n = stream.Read(buffer, sizeof buffer, [] {})) > 0)
        out.append(buffer, static_cast<size_t>(n));
    return out;
}

TEST(EventStream, DataLinesCannotBreakOutOfTheirEvent) {
    EventStream stream;
    ASSERT_TRUE(stream.SendEvent("state", "{\"a\":1}"));
    ASSERT_TRUE(stream.SendEvent("note", "one\r\nevent: forged\rtwo\n"));
    EXPECT_EQ(Drain(stream),
              "event: state\ndata: {\"a\":1}\n\n"
              "event: note\ndata: one\ndata: event: forged\ndata: two\ndata: \n\n");
}

TEST(EventStream, ParksWhenEmptyAndWakesOnceOnSendOrClose) {
    EventStream stream;
    int parks = 0, wakes = 0;
    stream.SetWaker([&] { ++wakes; });
    char buffer[16];
    EXPECT_EQ(stream.Read(buffer, sizeof buffer, [&] { ++parks; }), 0);
    EXPECT_EQ(parks, 1);
    stream.Send("a");
    stream.Send("b");  // not parked any more: no second wake
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(stream.Read(buffer, sizeof buffer, [&] { ++parks; }), 2);
    EXPECT_EQ(stream.Read(buffer, sizeof buffer, [&] { ++parks; }), 0);
    stream.Close();
    EXPECT_EQ(wakes, 2);
    EXPECT_EQ(stream.Read(buffer, sizeof buffer, [&] { ++parks; }), EventStream::kEnded);
    EXPECT_FALSE(stream.Send("late"));
}

TEST(EventStream, AReaderThatFallsBehindIsDropped) {
    EventStream stream(100);
    EXPECT_TRUE(stream.Send(std::string(60, 'x')));
    EXPECT_FALSE(stream.Send(std::string(60, 'y')));
    EXPECT_FALSE(stream.IsOpen());
    char buffer[16];
    EXPECT_EQ(stream.Read(buffer, sizeof buffer, [] {}), EventStream::kFailed);

    EventHub hub(100);
    auto kept = hub.Open();
    auto slow = hub.Open();
    hub.Broadcast("e", std::string(50, 'z'));
    Drain(*kept);
    hub.Broadcast("e", std::string(50, 'z'));
    EXPECT_TRUE(kept->IsOpen());
    EXPECT_FALSE(slow->IsOpen());
    EXPECT_EQ(hub.OpenCount(), 1u);
}

int ThreadCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') ++count;
        closedir(dir);
    }
    return count;
}

class LiveStreamTest : public ::testing::Test {
protected:
    void Start(WebServerOptions options = {}) {
        options.listen = "127.0.0.1:0";
        server_ = std::make_unique<HttpServer>(options, [this](const HttpRequest& request) {
            if (request.path == "/events") return HttpResponse::Stream(hub_.Open());
            return HttpResponse::Json(200, "{}");
        });
        std::string error;
        ASSERT_TRUE(server_->Start(&error)) << error;
    }
    std::unique_ptr<TestConnection> OpenStream() {
        auto connection = std::make_unique<TestConnection>(server_->Port());
        connection->Send("GET /events HTTP/1.1\r\nHost: x\r\n\r\n");
        EXPECT_TRUE(connection->ReadUntil("\r\n\r\n"));
        return connection;
    }
    // Waits until the hub holds `count` open streams.
    bool WaitForStreams(size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (hub_.OpenCount() < count) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::yield();
        }
        return true;
    }
    EventHub hub_;
    std::unique_ptr<HttpServer> server_;
};

TEST_F(LiveStreamTest, EventsArriveInOrderWithTheStreamHeaders) {
    Start();
    auto client = OpenStream();
    ASSERT_TRUE(WaitForStreams(1));
    EXPECT_NE(client->Received().find("Content-Type: text/event-stream"), std::string::npos);
    EXPECT_NE(client->Received().find("Cache-Control: no-store"), std::string::npos);
    EXPECT_NE(client->Received().find("X-Content-Type-Options: nosniff"), std::string::npos);
    // Sent from another thread while the stream may be parked or draining.
    std::thread feeder([this] {
        for (int i = 0; i < 200; ++i)
            hub_.Broadcast("state", "{\"n\":" + std::to_string(i) + "}");
    });
    feeder.join();
    ASSERT_TRUE(client->ReadStreamUntil("data: {\"n\":199}\n\n"));
    const std::string text = client->StreamText();
    size_t at = 0;
    for (int i = 0; i < 200; ++i) {
        const std::string event = "event: state\ndata: {\"n\":" + std::to_string(i) + "}\n\n";
        ASSERT_EQ(text.compare(at, event.size(), event), 0) << "event " << i;
        at += event.size();
    }
}

TEST_F(LiveStreamTest, AQuietStreamGetsKeepAliveComments) {
    WebServerOptions options;
    options.keepAliveInterval = 100ms;
    Start(options);
    auto client = OpenStream();
    ASSERT_TRUE(client->ReadStreamUntil(": keep-alive\n\n"));
    hub_.Broadcast("state", "{}");
    EXPECT_TRUE(client->ReadStreamUntil("event: state\ndata: {}\n\n"));
}

TEST_F(LiveStreamTest, ClosingAStreamEndsTheAnswer) {
    Start();
    auto client = OpenStream();
    ASSERT_TRUE(WaitForStreams(1));
    hub_.Broadcast("state", "{\"last\":true}");
    hub_.CloseAll();
    // The chunked answer ends with its last chunk and the connection stays usable.
    ASSERT_TRUE(client->ReadUntil("0\r\n\r\n"));
    EXPECT_NE(client->Received().find("{\"last\":true}"), std::string::npos);
}

TEST_F(LiveStreamTest, StopWithManyOpenStreamsJoinsPromptlyWithoutAThreadEach) {
    WebServerOptions options;
    options.maxPerAddress = 64;
    // A sanitizer's runtime starts a thread of its own with the first thread
    // a program makes; let that happen before counting.
    std::thread([] {}).join();
    const int before = ThreadCount();
    Start(options);
    const int started = ThreadCount();
    std::vector<std::unique_ptr<TestConnection>> clients;
    for (int i = 0; i < 50; ++i)
        clients.push_back(OpenStream());
    ASSERT_TRUE(WaitForStreams(50));
    EXPECT_EQ(ThreadCount(), started);
    // The answering threads and one that keeps the deadlines; none per stream.
    EXPECT_LE(started - before, static_cast<int>(options.threads) + 1);

    const auto stopAt = std::chrono::steady_clock::now();
    server_->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopAt, 2s);
    EXPECT_EQ(ThreadCount(), before);
    for (auto& client : clients)
        EXPECT_TRUE(client->WaitClosed(2000ms));
    // The hub's streams learned that their connections are gone.
    hub_.Broadcast("state", "{}");
    EXPECT_EQ(hub_.OpenCount(), 0u);
}

}  // namespace
}  // namespace kestrane::web
