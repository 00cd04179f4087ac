// A deliberately plain HTTP/1.1 client over a real socket, so tests can send
// exactly the bytes they want (hostile ones too) and see exactly what comes
// back. Every wait has a deadline; nothing sleeps for a fixed time.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane::web::testing {

using namespace std::chrono_literals;

struct RawResponse {
    int status = 0;
    std::map<std::string, std::string> headers;  // lower-cased names
    std::vector<std::string> setCookies;
    std::string body;

    std::string Header(const std::string& lowerName) const {
        const auto it = headers.find(lowerName);
        return it == headers.end() ? "" : it->second;
    }
};

class TestConnection {
public:
    // Connects to 127.0.0.1:port; `from` binds the local side to another
    // loopback address ("127.0.0.2") to look like a second client.
    explicit TestConnection(uint16_t port, const char* from = nullptr);
    ~TestConnection();
    TestConnection(const TestConnection&) = delete;
    TestConnection& operator=(const TestConnection&) = delete;

    bool Connected() const { return fd_ >= 0; }
    // False once the server has closed or reset the connection.
    bool Send(std::string_view bytes);
    // One whole response (Content-Length, chunked, or up to the close).
    std::optional<RawResponse> ReadResponse(std::chrono::milliseconds timeout = 5000ms);
    // Reads until `text` appears in everything received so far.
    bool ReadUntil(std::string_view text, std::chrono::milliseconds timeout = 5000ms);
    // Like ReadUntil, but looks in the payload of a chunked answer, so a
    // text split across two chunks is still found.
    bool ReadStreamUntil(std::string_view text, std::chrono::milliseconds timeout = 5000ms);
    // The payload of the chunked answer received so far.
    std::string StreamText() const;
    // True once the server closed the connection (end of file or reset).
    bool WaitClosed(std::chrono::milliseconds timeout);
    const std::string& Received() const { return received_; }

private:
    // Reads what is there within `timeout`; false on end of file, error or timeout.
    bool ReadSome(std::chrono::milliseconds timeout);
    bool closed_ = false;
    int fd_ = -1;
    std::string received_;
};

// One request on a fresh connection. `headers` are full lines without CRLF.
std::optional<RawResponse> Request(uint16_t port, const std::string& method,
                                   const std::string& path,
                                   const std::vector<std::string>& headers = {},
                                   const std::string& body = {});

}  // namespace kestrane::web::testing
