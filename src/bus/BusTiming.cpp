#include "bus/BusTiming.h"

#include <algorithm>

namespace kestrane {

namespace {

constexpr long long kBitsPerCharacter = 10;
constexpr unsigned kFixedTimingAbove = 19200;
constexpr BusDuration kFixedInterFrameGap{1750};
constexpr BusDuration kMinInterCharacterTimeout{2000};

// `tenths` tenths of a character, rounded up to whole microseconds.
BusDuration Characters(unsigned baud, long long tenths) {
    const long long rate = std::max(baud, 1u);
    return BusDuration((tenths * kBitsPerCharacter * 1'000'000 + 10 * rate - 1) / (10 * rate));
}

}  // namespace

BusDuration CharacterTime(unsigned baud) {
    return Characters(baud, 10);
}

BusDuration WireTime(unsigned baud, size_t bytes) {
    return Characters(baud, 10 * static_cast<long long>(bytes));
}

BusDuration InterFrameGap(unsigned baud) {
    if (baud > kFixedTimingAbove) return kFixedInterFrameGap;
    return Characters(baud, 35);
}

BusDuration InterCharacterTimeout(unsigned baud) {
    return std::max(Characters(baud, 15), kMinInterCharacterTimeout);
}

}  // namespace kestrane
