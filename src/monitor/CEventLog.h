// The daily comma-separated event log: one file per calendar day named
// "<year>_<month>_<day>_Log.csv" in the log directory, a header line, then one
// record of the controller's state per call. Lines end in CR LF; fields are
// written as they stand, without quoting.
//
// Each call opens the file, appends one whole line with a single write and
// closes it again, so no handle stays open between records and a line is never
// left half-written. A line whose file cannot be opened is dropped silently;
// the next call tries again.
//
// Used from one thread (the window's timer handler, or the command-line tool).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/LocalClock.h"
#include "protocol/ControllerData.h"

namespace kestrane {

class CEventLog {
public:
    static constexpr std::string_view kLogHeader =
        "Date,Time,Event,SerialNumber,WorkMode,LoadOutputState,ErrorCode,PV(V),Bat(V),"
        "LoadOutput(V),Charge(A),LoadOutput(A),ChargePower(W),LoadPower(W),TodayCharged(Wh),"
        "TodayUsed(Wh),InnerTemp(C),OutSideTemp(C)";
    static constexpr std::string_view kLogExtension = "csv";

    // `directory` holds the log files; empty means the current directory.
    CEventLog(const ILocalClock& clock, std::string directory);

    // Appends one line for the current local time: the header when this log
    // has not yet written one into today's file, otherwise a record. The first
    // call after the date has changed writes nothing and makes the next call
    // start the new day's file with a header. `bytesReceived` is the running
    // total of reply bytes: a record reports "Disconnected" when it has not
    // grown since the previous call.
    void WriteLogRecord(const ControllerData& data, int64_t bytesReceived);

    // Appends the line and CR LF to "<baseName>.<extension>" in the log
    // directory, creating the file if needed. False when the line was dropped.
    bool AppendLogLine(std::string_view line, std::string_view baseName,
                       std::string_view extension) const;

    // True once the header has been written into the current day's file.
    bool LogHeaderWritten() const { return logHeaderWritten_; }

    // "2022_1_10_Log" for 10 January 2022.
    static std::string LogBaseName(const LocalTime& now);

    // One record line, without its line end: the stamp followed by the values.
    static std::string FormatLogRecord(const ControllerData& data, const LocalTime& now,
                                       bool connected);
    // The record's date, time and event fields with the comma after them.
    static std::string FormatLogStamp(const LocalTime& now, bool connected);
    // The rest of the record, from the serial number to the last temperature,
    // so a caller can take the values at one moment and stamp them later.
    static std::string FormatLogValues(const ControllerData& data);

private:
    struct LogDate {
        int year = 0;
        int month = 0;
        int day = 0;
        bool operator==(const LogDate&) const = default;
    };

    const ILocalClock& clock_;
    std::string directory_;
    bool logHeaderWritten_ = false;
    LogDate lastLogDate_;
    int64_t lastLogBytesReceived_ = 0;
};

}  // namespace kestrane
