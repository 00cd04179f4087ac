#include "web/ConnectionDeadlines.h"

#include <sys/socket.h>

namespace kestrane::web {

void ConnectionDeadlines::Opened(const void* connection, int fd) {
    std::lock_guard lock(mutex_);
    entries_[connection] = Entry{fd, true, Clock::now() + limit_};
}

void ConnectionDeadlines::RequestArrived(const void* connection) {
    std::lock_guard lock(mutex_);
    const auto it = entries_.find(connection);
    if (it != entries_.end()) it->second.armed = false;
}

void ConnectionDeadlines::RequestDone(const void* connection) {
    std::lock_guard lock(mutex_);
    const auto it = entries_.find(connection);
    if (it == entries_.end()) return;
    it->second.armed = true;
    it->second.deadline = Clock::now() + limit_;
}

void ConnectionDeadlines::Closed(const void* connection) {
    std::lock_guard lock(mutex_);
    entries_.erase(connection);
}

int ConnectionDeadlines::Sweep(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    int count = 0;
    for (auto& [connection, entry] : entries_) {
        if (!entry.armed || now < entry.deadline) continue;
        // The server sees the socket end and closes the connection itself.
        ::shutdown(entry.fd, SHUT_RDWR);
        entry.armed = false;
        ++count;
    }
    return count;
}

}  // namespace kestrane::web
