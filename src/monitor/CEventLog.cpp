#include "monitor/CEventLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "monitor/DisplayText.h"
#include "monitor/LogNames.h"
#include "monitor/NumberText.h"
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

// Writes the whole buffer with one call; a short write (a full disk) is cut
// back so that no partial line stays in the file.
bool WriteWhole(int fd, const std::string& bytes) {
    struct stat before {};
    const bool sized = fstat(fd, &before) == 0;
    ssize_t written;
    do {
        written = ::write(fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(bytes.size())) return true;
    if (written > 0 && sized) {
        [[maybe_unused]] const int ignored = ftruncate(fd, before.st_size);
    }
    return false;
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
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%d.%d.%d,%d:%d:%d, ", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    std::string line = stamp;
    line += connected ? "Connected" : "Disconnected";
    line += ",";
    line += WordsToText(data.serialNumber, ControllerData::kSerialWords);
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

    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;

    std::string bytes(line);
    bytes += "\r\n";
    const bool written = WriteWhole(fd, bytes);
    ::close(fd);
    return written;
}

}  // namespace kestrane
