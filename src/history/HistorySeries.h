// A time range of log records reduced to a number of buckets: per bucket the
// minimum, mean and maximum of every numeric column, over connected records
// only. Where the controller was away (a disconnected record, a silence of
// more than three record intervals, the clock set back) the records on either
// side belong to different runs; a point never mixes two runs, and a gap
// (nullopt) stands between points of different runs, so a chart breaks its
// line there.
//
// Times are local wall-clock seconds since 1970-01-01 00:00 (the log's own
// time, without a time zone).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "history/HistoryDay.h"

namespace kestrane {

inline constexpr size_t kSeriesColumnCount = 9;
// In the order of SeriesPoint's arrays; the keys of the bridge's state JSON.
inline constexpr std::array<std::string_view, kSeriesColumnCount> kSeriesColumns = {
    "pv_voltage",   "battery_voltage", "load_voltage",      "charge_current",     "load_current",
    "charge_power", "load_power",      "inner_temperature", "battery_temperature"};

struct SeriesPoint {
    int64_t start = 0;  // the first and last record's time in this point
    int64_t end = 0;
    int count = 0;
    std::array<double, kSeriesColumnCount> min{}, mean{}, max{};
};

using SeriesPoints = std::vector<std::optional<SeriesPoint>>;

// Local seconds of a record of `date` at `secondOfDay`.
int64_t LocalSeconds(const LogDate& date, int32_t secondOfDay);

class SeriesBuilder {
public:
    // Records in [from, to) go into `buckets` equal buckets (at least one).
    SeriesBuilder(int64_t from, int64_t to, int buckets);

    // The records of one day in file order; days oldest first.
    void AddDay(const LogDate& date, const std::vector<HistorySample>& samples);

    // The points in time order, with a gap between runs.
    SeriesPoints Finish() const;

private:
    struct Sum {
        SeriesPoint point;
        std::array<double, kSeriesColumnCount> total{};
        uint64_t run = 0;
    };
    void Take(int64_t t, const HistorySample& sample);

    const int64_t from_;
    const int64_t to_;
    const int buckets_;
    uint64_t run_ = 0;
    std::optional<int64_t> previous_;
    std::map<std::pair<int, uint64_t>, Sum> sums_;  // by bucket and run
};

}  // namespace kestrane
