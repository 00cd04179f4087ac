#include "ui/framework/WindowThread.h"

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

namespace kestrane {

namespace {

struct PendingCall {
    const std::function<void()>* fn = nullptr;
    bool done = false;
    std::exception_ptr error;
};

// Calls waiting for the window thread. One per process, as there is one
// window thread.
struct CallQueue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<PendingCall*> calls;
    unsigned wakeCount = 0;
};

CallQueue& Queue() {
    static CallQueue queue;
    return queue;
}

// How long ServeCallsUntil sleeps at most before it asks its condition again,
// in case the condition changed without a wake-up.
constexpr auto kPollInterval = std::chrono::milliseconds(5);

}  // namespace

bool IsWindowThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app == nullptr || app->thread() == QThread::currentThread();
}

void RunPendingWindowCalls() {
    CallQueue& queue = Queue();
    std::unique_lock lock(queue.mutex);
    while (!queue.calls.empty()) {
        PendingCall* call = queue.calls.front();
        queue.calls.pop_front();
        lock.unlock();
        try {
            (*call->fn)();
        } catch (...) {
            call->error = std::current_exception();
        }
        lock.lock();
        call->done = true;
        queue.changed.notify_all();
    }
}

void CallInWindowThread(const std::function<void()>& fn) {
    if (IsWindowThread()) {
        fn();
        return;
    }
    CallQueue& queue = Queue();
    PendingCall call;
    call.fn = &fn;
    {
        std::lock_guard lock(queue.mutex);
        queue.calls.push_back(&call);
        queue.changed.notify_all();
    }
    // Wake the event loop; a window thread inside ServeCallsUntil has already
    // been woken through the condition variable.
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            app, [] { RunPendingWindowCalls(); }, Qt::QueuedConnection);
    }
    std::unique_lock lock(queue.mutex);
    queue.changed.wait(lock, [&] { return call.done; });
    if (call.error) std::rethrow_exception(call.error);
}

void WakeWindowThread() {
    CallQueue& queue = Queue();
    std::lock_guard lock(queue.mutex);
    ++queue.wakeCount;
    queue.changed.notify_all();
}

void ServeCallsUntil(const std::function<bool()>& done) {
    CallQueue& queue = Queue();
    for (;;) {
        unsigned seen = 0;
        {
            std::lock_guard lock(queue.mutex);
            seen = queue.wakeCount;
        }
        RunPendingWindowCalls();
        if (done()) return;
        std::unique_lock lock(queue.mutex);
        queue.changed.wait_for(lock, kPollInterval,
                               [&] { return !queue.calls.empty() || queue.wakeCount != seen; });
    }
}

}  // namespace kestrane
