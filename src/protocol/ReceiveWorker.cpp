#include "protocol/ReceiveWorker.h"

#include <utility>

namespace kestrane {

ReceiveWorker::~ReceiveWorker() {
    Join();
}

void ReceiveWorker::Start(std::function<void()> pass) {
    Join();
    thread_ = std::thread(std::move(pass));
}

void ReceiveWorker::Join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace kestrane
