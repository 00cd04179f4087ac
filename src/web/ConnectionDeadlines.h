// The time a client has to deliver a whole request. libmicrohttpd's own
// timeout only measures silence, so a client that sends one byte a second
// would hold its connection for ever; this watch shuts the socket down once a
// request has taken longer than the limit, however busy the client looks.
// Keyed by the connection, armed when a connection opens or finishes a
// request, disarmed once the request has fully arrived.
#pragma once

#include <chrono>
#include <map>
#include <mutex>

namespace kestrane::web {

class ConnectionDeadlines {
public:
    using Clock = std::chrono::steady_clock;

    explicit ConnectionDeadlines(Clock::duration limit) : limit_(limit) {}

    void Opened(const void* connection, int fd);
    void RequestArrived(const void* connection);
    void RequestDone(const void* connection);
    // Called before the server closes the socket, so Sweep never touches a
    // descriptor number that may already belong to something else.
    void Closed(const void* connection);
    // Shuts down every connection whose request is overdue; returns how many.
    int Sweep(Clock::time_point now);

private:
    struct Entry {
        int fd = -1;
        bool armed = false;
        Clock::time_point deadline;
    };
    const Clock::duration limit_;
    std::mutex mutex_;
    std::map<const void*, Entry> entries_;
};

}  // namespace kestrane::web
