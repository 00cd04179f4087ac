// Any number of short-lived workers of one kind (one per transaction, one per
// display tick). Finished workers are joined as new ones start; JoinAll waits
// for the rest. Used from the window thread.
#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <memory>

#include "ui/framework/CWorker.h"

namespace kestrane {

class CWorkerSet {
public:
    CWorkerSet() = default;
    ~CWorkerSet();
    CWorkerSet(const CWorkerSet&) = delete;
    CWorkerSet& operator=(const CWorkerSet&) = delete;

    void Start(std::function<void()> body);
    // Joins every worker, serving their calls into the window thread meanwhile.
    void JoinAll();
    // Workers whose body has not yet returned.
    std::size_t Running() const;

private:
    void JoinFinished();

    std::list<std::unique_ptr<CWorker>> workers_;
};

}  // namespace kestrane
