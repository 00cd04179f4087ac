#include "ui/framework/CWorkerSet.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "ui/framework/WindowThread.h"

namespace kestrane {

// One kept worker thread: it waits for a job, runs it, reports the end to the
// window thread and waits again, until it is told to quit.
class CWorkerSet::Thread {
public:
    Thread() : thread_([this] { Loop(); }) {}
    ~Thread() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    bool Busy() const { return busy_.load(); }

    // Only for a thread that is not busy.
    void Run(std::function<void()> body) {
        {
            std::lock_guard lock(mutex_);
            body_ = std::move(body);
            busy_ = true;
        }
        wake_.notify_one();
    }

private:
    void Loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return quit_ || body_; });
            if (!body_) return;
            std::function<void()> body = std::move(body_);
            body_ = nullptr;
            lock.unlock();
            try {
                body();
            } catch (...) {
                // A job that throws ends like one that returns; the window
                // goes on.
            }
            body = nullptr;
            lock.lock();
            busy_ = false;
            WakeWindowThread();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::function<void()> body_;
    bool quit_ = false;
    std::atomic<bool> busy_{false};
    std::thread thread_;
};

CWorkerSet::CWorkerSet() = default;

CWorkerSet::~CWorkerSet() {
    JoinAll();
    threads_.clear();
}

void CWorkerSet::Start(std::function<void()> body) {
    for (auto& thread : threads_) {
        if (!thread->Busy()) {
            thread->Run(std::move(body));
            return;
        }
    }
    threads_.push_back(std::make_unique<Thread>());
    threads_.back()->Run(std::move(body));
}

void CWorkerSet::JoinAll() {
    ServeCallsUntil([this] { return Running() == 0; });
}

std::size_t CWorkerSet::Running() const {
    std::size_t count = 0;
    for (const auto& thread : threads_)
        count += thread->Busy() ? 1 : 0;
    return count;
}

}  // namespace kestrane
