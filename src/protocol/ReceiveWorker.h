// Runs one receive pass at a time on its own thread, for hosts that keep the
// tick thread free while a reply is collected.
#pragma once

#include <functional>
#include <thread>

namespace kestrane {

class ReceiveWorker {
public:
    ReceiveWorker() = default;
    ReceiveWorker(const ReceiveWorker&) = delete;
    ReceiveWorker& operator=(const ReceiveWorker&) = delete;
    // Waits for the pass still running; stop it first (clear its flag).
    ~ReceiveWorker();

    // Starts `pass` on a new thread after joining the previous one. The engine
    // only asks for a new pass once the previous one has returned, so the join
    // does not wait.
    void Start(std::function<void()> pass);
    // Waits until the current pass has returned.
    void Join();

private:
    std::thread thread_;
};

}  // namespace kestrane
