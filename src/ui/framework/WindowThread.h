// Synchronous calls from worker threads into the window thread (the thread
// that runs the Qt event loop). A worker's call blocks until the window thread
// has run it. The window thread serves such calls from its event loop, and
// also while it waits for a worker to end (ServeCallsUntil), so joining a
// worker that is itself waiting for the window thread never deadlocks.
#pragma once

#include <functional>

namespace kestrane {

// True on the window thread, and on any thread while no QCoreApplication exists.
bool IsWindowThread();

// Runs fn on the window thread and returns when it has run; an exception fn
// throws is rethrown to the caller. On the window thread fn runs at once.
void CallInWindowThread(const std::function<void()>& fn);

// Window thread only: runs the calls workers are waiting on, until done()
// returns true. done() is asked after every call served and after every
// wake-up (WakeWindowThread, or at the latest every few milliseconds).
void ServeCallsUntil(const std::function<bool()>& done);

// Tells a window thread inside ServeCallsUntil to look at its condition again.
void WakeWindowThread();

// Window thread: runs the calls that are waiting now. The event loop does this
// by itself; exposed for code that blocks the loop for a while.
void RunPendingWindowCalls();

}  // namespace kestrane
