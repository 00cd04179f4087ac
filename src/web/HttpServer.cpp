// The adapter over libmicrohttpd. Callbacks run on the library's one polling
// thread; the housekeeping thread sends keep-alives to live streams and cuts
// off requests that take too long.
#include "web/HttpServer.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "web/ConnectionDeadlines.h"
#include "web/EventStream.h"
#include "web/ListenAddress.h"
#include "web/WebErrors.h"

namespace kestrane::web {

namespace {

constexpr const char* kSecurityHeaders[][2] = {
    {"Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "same-origin"},
};

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// What the server keeps for one request between the library's calls.
struct RequestState {
    std::string body;
};

// The reader's context of one live stream.
struct StreamLink {
    std::shared_ptr<EventStream> stream;
    MHD_Connection* connection = nullptr;
};

MHD_Result CollectHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
    auto* map = static_cast<std::map<std::string, std::string>*>(cls);
    const std::string name = Lower(key);
    std::string& slot = (*map)[name];
    slot = slot.empty() ? std::string(value ? value : "") : slot + ", " + (value ? value : "");
    return MHD_YES;
}

MHD_Result CollectValue(void* cls, MHD_ValueKind, const char* key, const char* value) {
    auto* map = static_cast<std::map<std::string, std::string>*>(cls);
    (*map)[key] = value ? value : "";
    return MHD_YES;
}

}  // namespace

class HttpServer::Impl {
public:
    Impl(WebServerOptions options, HttpHandler handler)
        : options_(std::move(options)),
          handler_(std::move(handler)),
          deadlines_(options_.connectionTimeout) {}

    bool Start(std::string* error);
    void Stop();

    WebServerOptions options_;
    HttpHandler handler_;
    ConnectionDeadlines deadlines_;
    MHD_Daemon* daemon_ = nullptr;
    uint16_t port_ = 0;
    bool secure_ = false;
    Heartbeat housekeeperBeat_;

private:
    static MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char* url,
                                const char* method, const char* version, const char* upload,
                                size_t* uploadSize, void** requestCls);
    static void OnCompleted(void* cls, MHD_Connection* connection, void** requestCls,
                            MHD_RequestTerminationCode code);
    static void OnConnection(void* cls, MHD_Connection* connection, void** socketCls,
                             MHD_ConnectionNotificationCode code);
    static ssize_t ReadStream(void* cls, uint64_t position, char* buffer, size_t size);
    static void FreeStream(void* cls);
    static void Log(void* cls, const char* format, va_list args);

    MHD_Result Answer(MHD_Connection* connection, const HttpRequest* request, HttpResponse response,
                      bool api);
    MHD_Result AnswerStream(MHD_Connection* connection, HttpResponse response, bool api);
    HttpRequest ReadRequest(MHD_Connection* connection, const char* url, const char* method,
                            std::string body) const;
    void Housekeep();

    std::mutex streamsMutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::vector<std::weak_ptr<EventStream>> streams_;
    std::thread housekeeper_;
};

HttpServer::HttpServer(WebServerOptions options, HttpHandler handler)
    : impl_(std::make_unique<Impl>(std::move(options), std::move(handler))) {}

HttpServer::~HttpServer() {
    Stop();
}

bool HttpServer::Start(std::string* error) {
    return impl_->Start(error);
}
void HttpServer::Stop() {
    impl_->Stop();
}
uint16_t HttpServer::Port() const {
    return impl_->port_;
}
bool HttpServer::Secure() const {
    return impl_->secure_;
}

const Heartbeat& HttpServer::HousekeeperBeat() const {
    return impl_->housekeeperBeat_;
}

unsigned HttpServer::OpenConnections() const {
    if (impl_->daemon_ == nullptr) return 0;
    const MHD_DaemonInfo* info =
        MHD_get_daemon_info(impl_->daemon_, MHD_DAEMON_INFO_CURRENT_CONNECTIONS);
    return info ? info->num_connections : 0;
}

bool HttpServer::Impl::Start(std::string* error) {
    if (daemon_ != nullptr) return true;
    ListenAddress address;
    if (!ParseListenAddress(options_.listen, &address, error)) return false;
    const bool tls = !options_.tlsCertificate.empty() || !options_.tlsKey.empty();
    if (tls && (options_.tlsCertificate.empty() || options_.tlsKey.empty())) {
        *error = "TLS needs both a certificate and a key";
        return false;
    }
    if (tls && MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES) {
        *error = "this libmicrohttpd has no TLS support";
        return false;
    }
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME |
                     MHD_USE_ERROR_LOG;
    if (address.ipv6) flags |= MHD_USE_DUAL_STACK;
    if (tls) flags |= MHD_USE_TLS;

    std::vector<MHD_OptionItem> items = {
        {MHD_OPTION_SOCK_ADDR, 0, &address.address},
        {MHD_OPTION_CONNECTION_LIMIT, static_cast<intptr_t>(options_.maxConnections), nullptr},
        {MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<intptr_t>(options_.maxPerAddress),
         nullptr},
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<intptr_t>(options_.connectionMemoryBytes),
         nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT,
         static_cast<intptr_t>(std::max<long>(1, options_.connectionTimeout.count())), nullptr},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&OnCompleted), this},
        {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&OnConnection), this},
        {MHD_OPTION_EXTERNAL_LOGGER, reinterpret_cast<intptr_t>(&Log), this},
    };
    if (options_.threads > 1)
        items.push_back(
            {MHD_OPTION_THREAD_POOL_SIZE, static_cast<intptr_t>(options_.threads), nullptr});
    if (tls) {
        items.push_back(
            {MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(options_.tlsCertificate.c_str())});
        items.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(options_.tlsKey.c_str())});
    }
    items.push_back({MHD_OPTION_END, 0, nullptr});

    {
        std::lock_guard lock(streamsMutex_);
        stopping_ = false;
    }
    daemon_ = MHD_start_daemon(flags, 0, nullptr, nullptr, &OnRequest, this, MHD_OPTION_ARRAY,
                               items.data(), MHD_OPTION_END);
    if (daemon_ == nullptr) {
        *error = "cannot serve on " + options_.listen +
                 " (address in use, not ours, or a bad certificate or key)";
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_LISTEN_FD);
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (info != nullptr &&
        ::getsockname(info->listen_fd, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
        port_ = bound.ss_family == AF_INET6
                    ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                    : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    }
    secure_ = tls;
    housekeeper_ = std::thread([this] { Housekeep(); });
    return true;
}

void HttpServer::Impl::Stop() {
    if (daemon_ == nullptr) return;
    std::vector<std::shared_ptr<EventStream>> open;
    {
        std::lock_guard lock(streamsMutex_);
        stopping_ = true;
        for (const auto& weak : streams_)
            if (auto stream = weak.lock()) open.push_back(std::move(stream));
        streams_.clear();
    }
    wake_.notify_all();
    housekeeper_.join();
    // A suspended connection must be resumed before the library may stop;
    // closing a stream wakes it, and a woken stream reads its end.
    for (const auto& stream : open)
        stream->Close();
    MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
}

void HttpServer::Impl::Housekeep() {
    using Clock = std::chrono::steady_clock;
    const auto sweepEvery = std::clamp<Clock::duration>(
        options_.connectionTimeout / 4, std::chrono::milliseconds(100), std::chrono::seconds(1));
    auto nextKeepAlive = Clock::now() + options_.keepAliveInterval;
    std::unique_lock lock(streamsMutex_);
    while (!stopping_) {
        const auto wakeAt = std::min(Clock::now() + sweepEvery, nextKeepAlive);
        housekeeperBeat_.BeatUntil(wakeAt);
        wake_.wait_until(lock, wakeAt, [this] { return stopping_; });
        if (stopping_) break;
        deadlines_.Sweep(Clock::now());
        if (Clock::now() < nextKeepAlive) continue;
        nextKeepAlive = Clock::now() + options_.keepAliveInterval;
        std::erase_if(streams_, [](const std::weak_ptr<EventStream>& weak) {
            const auto stream = weak.lock();
            return !stream || !stream->Send(": keep-alive\n\n");
        });
    }
}

HttpRequest HttpServer::Impl::ReadRequest(MHD_Connection* connection, const char* url,
                                          const char* method, std::string body) const {
    HttpRequest request;
    request.method = method;
    request.path = url;
    request.body = std::move(body);
    request.secure = secure_;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &CollectHeader, &request.headers);
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &CollectValue, &request.query);
    MHD_get_connection_values(connection, MHD_COOKIE_KIND, &CollectValue, &request.cookies);
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (info != nullptr && info->client_addr != nullptr) {
        char text[INET6_ADDRSTRLEN] = "";
        const sockaddr* peer = info->client_addr;
        if (peer->sa_family == AF_INET6)
            ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(peer)->sin6_addr, text,
                        sizeof text);
        else
            ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(peer)->sin_addr, text,
                        sizeof text);
        request.peer = text;
    }
    return request;
}

MHD_Result HttpServer::Impl::OnRequest(void* cls, MHD_Connection* connection, const char* url,
                                       const char* method, const char*, const char* upload,
                                       size_t* uploadSize, void** requestCls) {
    auto* self = static_cast<Impl*>(cls);
    const bool api = std::string_view(url).rfind("/api/", 0) == 0;
    auto* state = static_cast<RequestState*>(*requestCls);
    if (state == nullptr) {
        // The headers are in; the body, if any, follows in later calls.
        state = new RequestState;
        *requestCls = state;
        const char* encoding =
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Encoding");
        if (encoding != nullptr && Lower(Trim(encoding)) != "identity") {
            self->deadlines_.RequestArrived(connection);
            return self->Answer(connection, nullptr, MakeError(WebError::kUnsupportedEncoding),
                                api);
        }
        const char* length =
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Length");
        if (length != nullptr && std::strtoull(length, nullptr, 10) > self->options_.maxBodyBytes) {
            self->deadlines_.RequestArrived(connection);
            return self->Answer(connection, nullptr, MakeError(WebError::kPayloadTooLarge), api);
        }
        return MHD_YES;
    }
    if (*uploadSize != 0) {
        // Counted as it arrives, so a chunked body cannot grow past the limit.
        if (state->body.size() + *uploadSize > self->options_.maxBodyBytes) return MHD_NO;
        state->body.append(upload, *uploadSize);
        *uploadSize = 0;
        return MHD_YES;
    }
    self->deadlines_.RequestArrived(connection);
    const HttpRequest request = self->ReadRequest(connection, url, method, std::move(state->body));
    HttpResponse response;
    try {
        response = self->handler_(request);
    } catch (const std::exception&) {
        response = MakeError(WebError::kInternal);
    }
    return self->Answer(connection, &request, std::move(response), api);
}

MHD_Result HttpServer::Impl::Answer(MHD_Connection* connection, const HttpRequest*,
                                    HttpResponse response, bool api) {
    if (response.stream) return AnswerStream(connection, std::move(response), api);
    MHD_Response* out = MHD_create_response_from_buffer(response.body.size(), response.body.data(),
                                                        MHD_RESPMEM_MUST_COPY);
    if (out == nullptr) return MHD_NO;
    for (const auto& [name, value] : kSecurityHeaders)
        MHD_add_response_header(out, name, value);
    if (api) MHD_add_response_header(out, "Cache-Control", "no-store");
    MHD_add_response_header(out, "Content-Type", response.contentType.c_str());
    for (const auto& [name, value] : response.headers)
        MHD_add_response_header(out, name.c_str(), value.c_str());
    const MHD_Result result =
        MHD_queue_response(connection, static_cast<unsigned>(response.status), out);
    MHD_destroy_response(out);
    return result;
}

MHD_Result HttpServer::Impl::AnswerStream(MHD_Connection* connection, HttpResponse response,
                                          bool api) {
    {
        std::lock_guard lock(streamsMutex_);
        if (stopping_) {
            response.stream->Close();
            return Answer(connection, nullptr, MakeError(WebError::kUnavailable), api);
        }
        streams_.push_back(response.stream);
    }
    auto* link = new StreamLink{response.stream, connection};
    link->stream->SetWaker([connection] { MHD_resume_connection(connection); });
    MHD_Response* out =
        MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096, &ReadStream, link, &FreeStream);
    if (out == nullptr) {
        FreeStream(link);
        return MHD_NO;
    }
    for (const auto& [name, value] : kSecurityHeaders)
        MHD_add_response_header(out, name, value);
    MHD_add_response_header(out, "Cache-Control", "no-store");
    MHD_add_response_header(out, "Content-Type", "text/event-stream");
    // Proxies such as nginx would otherwise hold events back in a buffer.
    MHD_add_response_header(out, "X-Accel-Buffering", "no");
    for (const auto& [name, value] : response.headers)
        MHD_add_response_header(out, name.c_str(), value.c_str());
    const MHD_Result result =
        MHD_queue_response(connection, static_cast<unsigned>(response.status), out);
    MHD_destroy_response(out);
    return result;
}

ssize_t HttpServer::Impl::ReadStream(void* cls, uint64_t, char* buffer, size_t size) {
    auto* link = static_cast<StreamLink*>(cls);
    // With nothing queued the connection is suspended: returning 0 alone
    // would make the polling thread call again at once, a busy loop.
    const long n =
        link->stream->Read(buffer, size, [link] { MHD_suspend_connection(link->connection); });
    if (n == EventStream::kEnded) return MHD_CONTENT_READER_END_OF_STREAM;
    if (n == EventStream::kFailed) return MHD_CONTENT_READER_END_WITH_ERROR;
    return n;
}

void HttpServer::Impl::FreeStream(void* cls) {
    auto* link = static_cast<StreamLink*>(cls);
    link->stream->Detach();
    delete link;
}

void HttpServer::Impl::OnCompleted(void* cls, MHD_Connection* connection, void** requestCls,
                                   MHD_RequestTerminationCode) {
    auto* self = static_cast<Impl*>(cls);
    delete static_cast<RequestState*>(*requestCls);
    *requestCls = nullptr;
    self->deadlines_.RequestDone(connection);
}

void HttpServer::Impl::OnConnection(void* cls, MHD_Connection* connection, void**,
                                    MHD_ConnectionNotificationCode code) {
    auto* self = static_cast<Impl*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        if (info != nullptr) self->deadlines_.Opened(connection, info->connect_fd);
    } else {
        self->deadlines_.Closed(connection);
    }
}

void HttpServer::Impl::Log(void* cls, const char* format, va_list args) {
    auto* self = static_cast<Impl*>(cls);
    if (!self->options_.log) return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    std::string_view line(text);
    while (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    self->options_.log(line);
}

}  // namespace kestrane::web
