// libfaketime for tests that run a program on a wall clock of their choosing
// (midnight passing, the clock jumping a year) while its monotonic clock
// stays real: FAKETIME_DONT_FAKE_MONOTONIC=1.
#pragma once

#include <string>

namespace kestrane::testing {

// The multi-threaded libfaketime of this machine's architecture; empty when
// it is not installed (Debian package faketime).
std::string FakeTimeLibrary();

}  // namespace kestrane::testing
