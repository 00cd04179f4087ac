#include "history/DayShape.h"

#include "monitor/LogNames.h"

namespace kestrane {

std::vector<SampleRun> SplitIntoRuns(const std::vector<HistorySample>& samples, int maxGapSeconds) {
    std::vector<SampleRun> runs;
    bool open = false;
    for (size_t i = 0; i < samples.size(); ++i) {
        const HistorySample& sample = samples[i];
        if (!sample.connected) {
            open = false;
            continue;
        }
        if (open) {
            const int32_t gap = sample.secondOfDay - samples[i - 1].secondOfDay;
            if (gap >= 0 && gap <= maxGapSeconds) {
                runs.back().end = i + 1;
                continue;
            }
        }
        runs.push_back({i, i + 1});
        open = true;
    }
    return runs;
}

std::vector<ErrorMark> FindErrorMarks(const HistoryDay& day) {
    std::vector<ErrorMark> marks;
    uint16_t previous = 0;
    bool seen = false;
    for (const HistorySample& sample : day.samples) {
        if (!sample.connected) continue;
        if ((!seen || sample.errorText != previous) &&
            day.Text(sample.errorText) != kLogNormalRun) {
            marks.push_back({sample.secondOfDay, sample.errorText});
        }
        previous = sample.errorText;
        seen = true;
    }
    return marks;
}

}  // namespace kestrane
