// The character times of an RTU line: how long a silence ends a frame, how
// long the master keeps the line quiet before a request, how long bytes take
// on the wire.
#pragma once

#include <chrono>
#include <cstddef>

namespace kestrane {

using BusDuration = std::chrono::microseconds;

// 8 data bits, no parity, one stop bit: ten bit times per character.
BusDuration CharacterTime(unsigned baud);
// The time `bytes` characters take on the wire.
BusDuration WireTime(unsigned baud, size_t bytes);
// 3.5 character times, fixed at 1.75 ms above 19200 baud.
BusDuration InterFrameGap(unsigned baud);
// 1.5 character times, but at least 2 ms: a pause this long inside a reply
// means the reply has broken off.
BusDuration InterCharacterTimeout(unsigned baud);

}  // namespace kestrane
