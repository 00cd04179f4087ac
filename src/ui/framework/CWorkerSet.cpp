#include "ui/framework/CWorkerSet.h"

namespace kestrane {

CWorkerSet::~CWorkerSet() {
    JoinAll();
}

void CWorkerSet::Start(std::function<void()> body) {
    JoinFinished();
    auto worker = std::make_unique<CWorker>();
    worker->Start(std::move(body));
    workers_.push_back(std::move(worker));
}

void CWorkerSet::JoinAll() {
    // A call served while joining may start another worker of this set; it is
    // joined in the next round.
    while (!workers_.empty()) {
        auto joining = std::move(workers_);
        workers_.clear();
        for (auto& worker : joining)
            worker->Join();
    }
}

std::size_t CWorkerSet::Running() const {
    std::size_t count = 0;
    for (const auto& worker : workers_)
        count += worker->IsRunning() ? 1 : 0;
    return count;
}

void CWorkerSet::JoinFinished() {
    std::list<std::unique_ptr<CWorker>> finished;
    for (auto it = workers_.begin(); it != workers_.end();) {
        auto next = std::next(it);
        if (!(*it)->IsRunning()) finished.splice(finished.end(), workers_, it);
        it = next;
    }
    for (auto& worker : finished)
        worker->Join();
}

}  // namespace kestrane
