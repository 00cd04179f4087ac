// Short-lived jobs of one kind (one per transaction, one per display tick),
// each run on a worker thread of its own while it runs. Threads are kept and
// reused for later jobs rather than started anew for every one, so ten
// transactions a second cost no thread creation. JoinAll waits for every job
// to return; the threads end when the set is destroyed. Used from the window
// thread.
#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <memory>

namespace kestrane {

class CWorkerSet {
public:
    CWorkerSet();
    // Waits for the running jobs (serving their calls), then ends the threads.
    ~CWorkerSet();
    CWorkerSet(const CWorkerSet&) = delete;
    CWorkerSet& operator=(const CWorkerSet&) = delete;

    // Runs body on an idle worker thread, or on a new one when all are busy.
    void Start(std::function<void()> body);
    // Waits until every job has returned, serving their calls into the window
    // thread meanwhile. A job started by a call served while waiting is waited
    // for as well.
    void JoinAll();
    // Jobs that have not yet returned.
    std::size_t Running() const;

private:
    class Thread;
    std::list<std::unique_ptr<Thread>> threads_;
};

}  // namespace kestrane
