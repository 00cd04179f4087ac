#include "sim/StrictLine.h"

#include <termios.h>

#include <algorithm>
#include <cmath>

#include "serial/LineSpeed.h"

namespace kestrane::sim {

namespace {

constexpr uint8_t kReadHolding = 3;
constexpr uint8_t kWriteSingle = 6;
constexpr uint8_t kWriteMultiple = 16;
constexpr double kRateTolerance = 0.03;
constexpr size_t kExceptionLength = 5;
constexpr size_t kWriteReplyLength = 8;

}  // namespace

std::optional<LineSettings> ReadLineSettings(int masterFd) {
    termios tio{};
    if (tcgetattr(masterFd, &tio) != 0) return std::nullopt;
    LineSettings line;
    line.baud = ReadActualSpeed(masterFd);
    line.eightNoneOne = (tio.c_cflag & CSIZE) == CS8 && (tio.c_cflag & (PARENB | CSTOPB)) == 0;
    return line;
}

bool LineMatches(const LineSettings& line, unsigned baud) {
    if (!line.eightNoneOne || line.baud == 0 || baud == 0) return false;
    const double ratio = static_cast<double>(line.baud) / baud;
    return std::abs(ratio - 1.0) <= kRateTolerance;
}

size_t ReplyLengthFor(const std::vector<uint8_t>& request) {
    if (request.size() >= 6 && request[1] == kReadHolding)
        return 5 + 2 * static_cast<size_t>(request[4] << 8 | request[5]);
    if (request.size() >= 2 && (request[1] == kWriteSingle || request[1] == kWriteMultiple))
        return kWriteReplyLength;
    return kExceptionLength;
}

std::vector<Transmission> StrictLine::Garbled(size_t replyBytes, const LineSettings& line,
                                              int delayMs) {
    const double lineBaud = std::max(line.baud, 1u);
    const auto count = static_cast<size_t>(
        std::max(1.0, std::round(static_cast<double>(replyBytes) * lineBaud / deviceBaud_)));
    Transmission garbage{delayMs, {}};
    for (size_t i = 0; i < count; ++i) {
        // The top bit set: such bytes name no address a controller usually
        // has, so a frame could only appear in them by a chance CRC match.
        const auto byte = static_cast<uint8_t>(random_.Next() | 0x80);
        garbage.bytes.push_back(byte);
    }
    return {garbage};
}

}  // namespace kestrane::sim
