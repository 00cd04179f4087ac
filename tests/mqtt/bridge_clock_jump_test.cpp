// The real kestrane-bridge whose wall clock jumps a year back and a year
// forward while it runs (libfaketime, its monotonic clock left real), as on a
// small computer without a real-time clock when network time arrives:
// polling, MQTT states and history keep their pace, the broker is found again
// after a restart within the back-off, each record lands in the file of its
// own date (appended, nothing lost), and a web session outlives both jumps.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <utility>

#include "TestHttpClient.h"
#include "history/CLogDayReader.h"
#include "history/HistoryStore.h"
#include "history/LogDate.h"
#include "history/LogDayFiles.h"
#include "mqtt/BridgeTestKit.h"
#include "mqtt/ChildProcess.h"
#include "sim/SimulatorThread.h"
#include "support/FakeTime.h"
#include "support/ProgramRun.h"

namespace kestrane::testing {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kYearSeconds = 365 * 86400;  // libfaketime's "365d"
constexpr char kBridgeAvailability[] = "kestrane/bridge/availability";

// A port on 127.0.0.1 that was free a moment ago.
uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// The local date `offsetSeconds` from now.
LogDate DateIn(int offsetSeconds) {
    const std::time_t when = std::time(nullptr) + offsetSeconds;
    std::tm local{};
    localtime_r(&when, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

class BridgeClockJump : public BrokerTest {
protected:
    void SetUp() override {
        BrokerTest::SetUp();
        fakeTime_ = FakeTimeLibrary();
        ASSERT_FALSE(fakeTime_.empty()) << "libfaketime is missing (Debian package faketime)";
        SetOffset("+0");
    }
    void TearDown() override { bridge_.Stop(SIGKILL); }

    // The bridge's wall clock from now on: "+0", "-365d", "+365d".
    void SetOffset(const std::string& offset) {
        std::ofstream(dir_.Slashed() + "faketime", std::ios::trunc) << offset << "\n";
    }
    std::string AdminHash() const {
        const ProgramRun run = RunProgram("printf 'clock-secret\\n' | " +
                                          std::string(KESTRANE_BRIDGE_EXE) + " --hash-password");
        EXPECT_EQ(run.status, 0) << run.err;
        std::string hash = run.out;
        while (!hash.empty() && (hash.back() == '\n' || hash.back() == '\r'))
            hash.pop_back();
        return hash;
    }
    void StartBridge(const std::string& link) {
        const std::string config = dir_.Slashed() + "bridge.toml";
        std::ofstream(config) << "poll_interval_s = 0.2\n[mqtt]\nhost = \"127.0.0.1\"\nport = "
                              << broker_.Port() << "\nclient_id = \"kestrane-clock\"\n"
                              << "[history]\ndir = \"" << History() << "\"\ninterval_s = 1\n"
                              << "[web]\nlisten = \"127.0.0.1:" << webPort_
                              << "\"\nadmin_password_hash = \"" << AdminHash() << "\"\n"
                              << "[[bus]]\nport = \"" << link << "\"\nresponse_timeout_ms = 80\n"
                              << "retries = 0\ndevices = [ { address = 1 } ]\n";
        ASSERT_TRUE(bridge_.Start(
            {"/usr/bin/env", "LD_PRELOAD=" + fakeTime_,
             "FAKETIME_TIMESTAMP_FILE=" + dir_.Slashed() + "faketime", "FAKETIME_CACHE_DURATION=1",
             "FAKETIME_DONT_FAKE_MONOTONIC=1", KESTRANE_BRIDGE_EXE, "--config", config},
            Log()));
    }
    std::string Log() const { return dir_.Slashed() + "bridge.log"; }
    std::string History() const { return dir_.Slashed() + "history"; }
    std::string DeviceFolder() const {
        const std::vector<std::string> devices = HistoryStore(History()).Devices();
        return devices.size() == 1 ? History() + "/" + devices[0] : std::string();
    }
    // Records of the one controller in the file of `date`.
    size_t RecordsOn(const LogDate& date) const {
        const std::string folder = DeviceFolder();
        if (folder.empty()) return 0;
        return ReadLogDay(folder + "/" + LogFileName(date), date).samples.size();
    }
    size_t AllRecords() const {
        size_t count = 0;
        for (const LogDayFile& file : ListLogDays(DeviceFolder()))
            count += ReadLogDay(file.path, file.date).samples.size();
        return count;
    }
    std::string Role(const std::string& cookie) const {
        const auto session = web::testing::Request(static_cast<uint16_t>(webPort_), "GET",
                                                   "/api/v1/session", {cookie});
        return session && session->status == 200
                   ? nlohmann::json::parse(session->body).value("role", "")
                   : std::string("no answer");
    }

    ScratchDir dir_{"kestrane-bridge-clock"};
    std::string fakeTime_;
    int webPort_ = FreePort();
    ChildProcess bridge_;
};

TEST_F(BridgeClockJump, AYearBackAndForthChangesNoPaceOnlyTheFilesRecordsGoTo) {
#ifdef KESTRANE_SANITIZED
    GTEST_SKIP() << "libfaketime cannot be preloaded into a sanitized program";
#endif
    sim::SimulatorOptions options;
    options.devices = {1};
    options.daySeconds = 0;
    options.linkPath = dir_.Slashed() + "bus0";
    sim::SimulatorThread simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(&error)) << error;
    MqttProbe probe(broker_.Port());
    ASSERT_TRUE(probe.WaitSubscribed());
    StartBridge(options.linkPath);
    if (HasFatalFailure()) return;

    const LogDate today = DateIn(0);
    const auto waitRecords = [&](const LogDate& date, size_t count) {
        const auto end = Clock::now() + std::chrono::seconds(30);
        while (RecordsOn(date) < count) {
            if (Clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    };
    ASSERT_TRUE(waitRecords(today, 2)) << ReadWholeFile(Log());
    const auto login = web::testing::Request(static_cast<uint16_t>(webPort_), "POST",
                                             "/api/v1/login", {}, R"({"password":"clock-secret"})");
    ASSERT_TRUE(login && login->status == 200) << ReadWholeFile(Log());
    const std::string cookie =
        "Cookie: " + login->setCookies.at(0).substr(0, login->setCookies[0].find(';'));
    ASSERT_EQ(Role(cookie), "admin");
    ASSERT_TRUE(probe.WaitFor([](const auto& m) { return Has(m, kBridgeAvailability, "online"); }));

    const size_t recordsBefore = AllRecords();
    const auto start = Clock::now();
    const std::pair<std::string, LogDate> jumps[] = {
        {"-365d", DateIn(-kYearSeconds)}, {"+365d", DateIn(kYearSeconds)}, {"+0", today}};
    for (const auto& [offset, date] : jumps) {
        const size_t onDate = RecordsOn(date);
        SetOffset(offset);
        EXPECT_TRUE(waitRecords(date, onDate + 3)) << offset << ": " << ReadWholeFile(Log());
        // The broker restarts: found again within the back-off, states flow.
        probe.Forget();
        broker_.Kill();
        ASSERT_TRUE(broker_.Start(&error)) << error;
        EXPECT_TRUE(probe.WaitFor(
            [](const auto& m) {
                return Has(m, kBridgeAvailability, "online") &&
                       CountOn(m, "kestrane/sn-ks2026a000000042/state") >= 10;
            },
            std::chrono::seconds(30)))
            << offset << ": " << ReadWholeFile(Log());
        EXPECT_EQ(Role(cookie), "admin") << "the session outlives a jump of " << offset;
    }
    const double elapsedS = std::chrono::duration<double>(Clock::now() - start).count();
    const double records = static_cast<double>(AllRecords() - recordsBefore);
    // One record a second on the monotonic clock: a wait on the wall clock
    // would stall for a year after the jump back.
    EXPECT_GE(records, 0.7 * elapsedS - 2) << elapsedS << " s";
    EXPECT_LE(records, elapsedS + 2) << elapsedS << " s";

    EXPECT_EQ(bridge_.Stop(SIGTERM), 0) << ReadWholeFile(Log());
    // Today's file went on after the jumps: one header, every line whole.
    const HistoryDay day = ReadLogDay(DeviceFolder() + "/" + LogFileName(today), today);
    EXPECT_EQ(day.headerLines, 1);
    EXPECT_EQ(day.junkLines, 0);
    EXPECT_FALSE(day.tornLastLine);
    EXPECT_GE(RecordsOn(DateIn(-kYearSeconds)), 3u);
    EXPECT_GE(RecordsOn(DateIn(kYearSeconds)), 3u);
}

}  // namespace
}  // namespace kestrane::testing
