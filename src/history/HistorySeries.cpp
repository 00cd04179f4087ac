#include "history/HistorySeries.h"

#include <algorithm>

namespace kestrane {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Gaps are judged against the day's own record interval, but never below this.
constexpr int64_t kMinimumGapSeconds = 3;

std::array<double, kSeriesColumnCount> Columns(const HistorySample& s) {
    return {s.pvVoltage,
            s.batteryVoltage,
            s.loadVoltage,
            s.chargeCurrent,
            s.loadCurrent,
            static_cast<double>(s.chargePower),
            static_cast<double>(s.loadPower),
            static_cast<double>(s.innerTemperature),
            static_cast<double>(s.batteryTemperature)};
}

// Three times the usual distance between consecutive connected records.
int64_t GapSeconds(const std::vector<HistorySample>& samples) {
    std::vector<int32_t> steps;
    const HistorySample* previous = nullptr;
    for (const HistorySample& sample : samples) {
        if (!sample.connected) {
            previous = nullptr;
            continue;
        }
        if (previous != nullptr && sample.secondOfDay > previous->secondOfDay)
            steps.push_back(sample.secondOfDay - previous->secondOfDay);
        previous = &sample;
    }
    if (steps.empty()) return kMinimumGapSeconds;
    std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
    return std::max<int64_t>(kMinimumGapSeconds, 3 * int64_t{steps[steps.size() / 2]});
}

}  // namespace

int64_t LocalSeconds(const LogDate& date, int32_t secondOfDay) {
    return int64_t{DaysSinceEpoch(date)} * kSecondsPerDay + secondOfDay;
}

SeriesBuilder::SeriesBuilder(int64_t from, int64_t to, int buckets)
    : from_(from), to_(std::max(to, from + 1)), buckets_(std::max(buckets, 1)) {}

void SeriesBuilder::AddDay(const LogDate& date, const std::vector<HistorySample>& samples) {
    const int64_t gap = GapSeconds(samples);
    bool broken = false;
    for (const HistorySample& sample : samples) {
        if (!sample.connected) {
            broken = true;
            continue;
        }
        const int64_t t = LocalSeconds(date, sample.secondOfDay);
        if (previous_ && (t < *previous_ || t - *previous_ > gap)) broken = true;
        if (broken) {
            ++run_;
            broken = false;
        }
        previous_ = t;
        if (t >= from_ && t < to_) Take(t, sample);
    }
}

void SeriesBuilder::Take(int64_t t, const HistorySample& sample) {
    const int bucket = static_cast<int>((t - from_) * buckets_ / (to_ - from_));
    const auto values = Columns(sample);
    auto [it, fresh] = sums_.try_emplace({bucket, run_});
    Sum& sum = it->second;
    SeriesPoint& point = sum.point;
    if (fresh) {
        sum.run = run_;
        point.start = point.end = t;
        point.min = point.max = values;
    }
    point.start = std::min(point.start, t);
    point.end = std::max(point.end, t);
    ++point.count;
    for (size_t i = 0; i < kSeriesColumnCount; ++i) {
        point.min[i] = std::min(point.min[i], values[i]);
        point.max[i] = std::max(point.max[i], values[i]);
        sum.total[i] += values[i];
    }
}

SeriesPoints SeriesBuilder::Finish() const {
    std::vector<const Sum*> ordered;
    ordered.reserve(sums_.size());
    for (const auto& [key, sum] : sums_)
        ordered.push_back(&sum);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Sum* a, const Sum* b) { return a->point.start < b->point.start; });
    SeriesPoints points;
    points.reserve(ordered.size() * 2);
    const Sum* previous = nullptr;
    for (const Sum* sum : ordered) {
        if (previous != nullptr && previous->run != sum->run) points.emplace_back(std::nullopt);
        SeriesPoint point = sum->point;
        for (size_t i = 0; i < kSeriesColumnCount; ++i)
            point.mean[i] = sum->total[i] / point.count;
        points.emplace_back(point);
        previous = sum;
    }
    return points;
}

}  // namespace kestrane
