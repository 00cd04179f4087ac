// The bridge's heap set up to run for years: large buffers given back as soon
// as they are freed, one arena, and free pages inside the heap handed back to
// the system from time to time. Measured with bench/soak.sh.
#pragma once

#include <chrono>

namespace kestrane::bridge {

// Once, before any other thread starts.
void TuneAllocator();

// Hands the free pages inside the heap back to the system when a minute has
// passed since it last did; called from the main thread's wait.
class HeapTrimmer {
public:
    void operator()();

private:
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

}  // namespace kestrane::bridge
