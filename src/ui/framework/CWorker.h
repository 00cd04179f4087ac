// One worker thread. Its body runs on its own thread; the window thread may
// wait for it with Join, which keeps serving the worker's synchronous calls
// into the window thread meanwhile. A CWorker joins its thread when destroyed,
// so a body never outlives the objects that own the worker.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace kestrane {

class CWorker {
public:
    CWorker() = default;
    ~CWorker();
    CWorker(const CWorker&) = delete;
    CWorker& operator=(const CWorker&) = delete;

    // Starts body on a new thread. False, and nothing started, while an earlier
    // body is still running; a finished one is joined first.
    bool Start(std::function<void()> body);
    // True from Start until the body has returned.
    bool IsRunning() const { return running_.load(); }
    // Waits until the body has returned and the thread has ended. On the window
    // thread the worker's calls into it are served while waiting. Does nothing
    // when no thread was started, or when called from the worker itself.
    void Join();

private:
    std::thread thread_;
    std::atomic<bool> running_{false};
};

}  // namespace kestrane
