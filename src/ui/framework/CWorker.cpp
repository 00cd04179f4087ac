#include "ui/framework/CWorker.h"

#include "ui/framework/WindowThread.h"

namespace kestrane {

CWorker::~CWorker() {
    Join();
}

bool CWorker::Start(std::function<void()> body) {
    if (running_.load()) return false;
    Join();
    running_ = true;
    thread_ = std::thread([this, body = std::move(body)] {
        try {
            body();
        } catch (...) {
            // A body that throws ends its thread like one that returns; the
            // window goes on.
        }
        running_ = false;
        WakeWindowThread();
    });
    return true;
}

void CWorker::Join() {
    if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id()) return;
    if (IsWindowThread()) {
        ServeCallsUntil([this] { return !running_.load(); });
    }
    thread_.join();
}

}  // namespace kestrane
