// Where a day's lines are drawn and where its alarms are marked: the runs of
// connected records without a gap, and the changes of the error code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "history/HistoryDay.h"

namespace kestrane {

// The log writes a record every 551 ticks of 100 ms.
inline constexpr int kLogIntervalSeconds = 55;
// Records further apart than three intervals are not joined by a line.
inline constexpr int kMaxJoinedGapSeconds = 3 * kLogIntervalSeconds;

// Samples [begin, end) of HistoryDay::samples, drawn as one line.
struct SampleRun {
    size_t begin = 0;
    size_t end = 0;
    bool operator==(const SampleRun&) const = default;
};

// Connected records split where a disconnected record lies between them, where
// they are more than `maxGapSeconds` apart, or where the time runs backwards
// (the PC clock was set back).
std::vector<SampleRun> SplitIntoRuns(const std::vector<HistorySample>& samples,
                                     int maxGapSeconds = kMaxJoinedGapSeconds);

// A connected record whose error code differs from the previous connected
// record's and is not NormalRun.
struct ErrorMark {
    int32_t secondOfDay = 0;
    uint16_t errorText = 0;
    bool operator==(const ErrorMark&) const = default;
};

std::vector<ErrorMark> FindErrorMarks(const HistoryDay& day);

}  // namespace kestrane
