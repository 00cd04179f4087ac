// Builds a HistoryDay from the bytes of one day's log file, in one go or as
// the file grows: only complete lines are taken, a line without its line end
// waits for the rest (or, at the end of a finished file, counts as torn).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "history/HistoryDay.h"

namespace kestrane {

class CLogDayReader {
public:
    // With `keepSamples` false the records only go into the day's totals and
    // counts: samples and texts stay empty, for listing days cheaply.
    explicit CLogDayReader(LogDate date, bool keepSamples = true);

    // Takes the complete lines of `bytes` (after any incomplete line left by
    // the previous call); keeps the rest for the next call.
    void Feed(std::string_view bytes);

    // Reads the part of the file after what has been read so far and feeds
    // it. A file shorter than what was read (replaced, truncated) is read
    // again from its start. Returns the number of records added; -1 when the
    // file cannot be read.
    int ReadAppended(const std::string& path);

    const HistoryDay& Day() const { return day_; }
    // Moves the day out; the reader is spent afterwards.
    HistoryDay TakeDay() { return std::move(day_); }
    // Bytes of the file taken so far, complete lines and the kept rest.
    uint64_t Offset() const { return offset_; }

private:
    void TakeLine(std::string_view line);
    uint16_t Intern(std::string_view text);
    void Restart();

    HistoryDay day_;
    bool keepSamples_ = true;
    std::string partial_;
    uint64_t offset_ = 0;
    // Looked up by string_view, so a known text costs no allocation.
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>()(text);
        }
    };
    std::unordered_map<std::string, uint16_t, TextHash, std::equal_to<>> textIndex_;
};

// The whole file of one day; tornLastLine is set when it ends inside a line.
// A file that cannot be read gives a day without samples.
HistoryDay ReadLogDay(const std::string& path, LogDate date);
// The same file's totals alone, without keeping its records.
DayTotals ReadLogDayTotals(const std::string& path, LogDate date);

}  // namespace kestrane
