// One day of the event log as time series: the records of the day's file in
// file order, the texts they share, and the day's totals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/LogDate.h"

namespace kestrane {

// One record line of the log. Text fields are indices into HistoryDay::texts,
// so a day of several hundred thousand lines stays compact.
struct HistorySample {
    int32_t secondOfDay = 0;  // 0 .. 86399, local time
    bool connected = false;   // false: no reply byte arrived during the interval
    bool loadOn = false;
    uint16_t serialText = 0;
    uint16_t workModeText = 0;
    uint16_t errorText = 0;
    double pvVoltage = 0;  // volts
    double batteryVoltage = 0;
    double loadVoltage = 0;
    double chargeCurrent = 0;  // amperes
    double loadCurrent = 0;
    int64_t chargePower = 0;  // watts
    int64_t loadPower = 0;
    int64_t chargedTodayWh = 0;
    int64_t usedTodayWh = 0;
    int32_t innerTemperature = 0;  // degrees Celsius
    int32_t batteryTemperature = 0;
};

// Totals over the connected records only: a disconnected record repeats stale
// values (zeros before the first reply of a run).
struct DayTotals {
    bool hasData = false;   // at least one connected record
    int64_t chargedWh = 0;  // TodayCharged of the last connected record
    int64_t usedWh = 0;     // TodayUsed of the last connected record
    int64_t peakChargePower = 0;
    int64_t peakLoadPower = 0;
    double minBatteryVoltage = 0;
    double maxBatteryVoltage = 0;

    // Takes one more record into the totals.
    void Add(const HistorySample& sample);
};

struct HistoryDay {
    LogDate date;
    std::vector<HistorySample> samples;
    // Distinct texts of the serial number, work mode and error code fields;
    // index 0 is the empty text.
    std::vector<std::string> texts{std::string()};
    DayTotals totals;
    int headerLines = 0;        // one per program start
    int junkLines = 0;          // lines that are neither header, empty nor a record
    bool tornLastLine = false;  // the file ended inside a line (skipped)

    const std::string& Text(uint16_t index) const { return texts[index]; }
};

}  // namespace kestrane
