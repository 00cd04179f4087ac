#include "monitor/CEventLog.h"

#include <cstdio>

#include "monitor/DisplayText.h"
#include "monitor/LogNames.h"
#include "monitor/NumberText.h"
#include "platform/WholeLineFile.h"
#include "protocol/TextCodec.h"

namespace kestrane {

namespace {

uint32_t Unsigned(const AtomicValue& value) {
    return static_cast<uint32_t>(value.load());
}

std::string WorkModeText(uint32_t chargeState) {
    const LogName* row = FindByValue(kLogWorkModes, chargeState);
    return row != nullptr ? row->text : "";
}

std::string ErrorCodeText(uint32_t alarmCode) {
    const LogName* row = FindByValue(kLogErrorCodes, alarmCode);
    return row != nullptr ? row->text : FormatHex(alarmCode);
}

}  // namespace

CEventLog::CEventLog(const ILocalClock& clock, std::string directory)
    : clock_(clock), directory_(std::move(directory)) {}

std::string CEventLog::LogBaseName(const LocalTime& now) {
    return std::to_string(now.year) + "_" + std::to_string(now.month) + "_" +
           std::to_string(now.day) + "_Log";
}

std::string CEventLog::FormatLogRecord(const ControllerData& data, const LocalTime& now,
                                       bool connected) {
    return FormatLogStamp(now, connected) + FormatLogValues(data);
}

std::string CEventLog::FormatLogStamp(const LocalTime& now, bool connected) {
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%d.%d.%d,%d:%d:%d, ", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    std::string line = stamp;
    line += connected ? "Connected" : "Disconnected";
    line += ",";
    return line;
}

std::string CEventLog::FormatLogValues(const ControllerData& data) {
    std::string line = WordsToText(data.serialNumber, ControllerData::kSerialWords);
    line += ",";
    line += WorkModeText(Unsigned(data.chargeState));
    line += ",";
    line += data.loadOutputOn.load() != 0 ? "ON" : "OFF";
    line += ",";
    line += ErrorCodeText(Unsigned(data.alarmCode));

    const AtomicValue* tenths[] = {&data.pvVoltage, &data.batteryVoltage, &data.loadVoltage,
                                   &data.chargeCurrent, &data.loadCurrent};
    line += ", ";
    for (std::size_t i = 0; i < std::size(tenths); ++i) {
        if (i > 0) line += ",";
        line += FormatTenths(Unsigned(*tenths[i]));
    }

    // Energies are unsigned 32-bit values; temperatures are signed.
    line += ", ";
    line += std::to_string(Unsigned(data.chargePower)) + ",";
    line += std::to_string(Unsigned(data.loadPower)) + ",";
    line += std::to_string(Unsigned(data.chargedTodayWh)) + ",";
    line += std::to_string(Unsigned(data.usedTodayWh)) + ",";
    line += std::to_string(data.innerTemperature.load()) + ",";
    line += std::to_string(data.batteryTemperature.load());
    return line;
}

void CEventLog::WriteLogRecord(const ControllerData& data, int64_t bytesReceived) {
    const LocalTime now = clock_.Now();
    const LogDate today{now.year, now.month, now.day};
    const std::string baseName = LogBaseName(now);

    if (!logHeaderWritten_) {
        // The flag is set only once the header is really in the file, so a day
        // whose first attempt failed still gets its header before any record.
        logHeaderWritten_ = AppendLogLine(kLogHeader, baseName, kLogExtension);
    } else if (today != lastLogDate_) {
        // A new day: nothing this time, the next call starts the new file.
        logHeaderWritten_ = false;
    } else {
        const bool connected = bytesReceived != lastLogBytesReceived_;
        AppendLogLine(FormatLogRecord(data, now, connected), baseName, kLogExtension);
    }

    lastLogDate_ = today;
    lastLogBytesReceived_ = bytesReceived;
}

bool CEventLog::AppendLogLine(std::string_view line, std::string_view baseName,
                              std::string_view extension) const {
    std::string path = directory_;
    if (!path.empty() && path.back() != '/') path += '/';
    path.append(baseName).append(".").append(extension);

    std::string bytes(line);
    bytes += "\r\n";
    return AppendWholeLines(path, bytes) == 0;
}

}  // namespace kestrane
