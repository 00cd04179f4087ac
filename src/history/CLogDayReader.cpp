#include "history/CLogDayReader.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "history/LogLineParser.h"

namespace kestrane {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A text table beyond this many entries (a corrupted file with a different
// serial number on every line) stops growing; further texts read as empty.
constexpr size_t kMaxTexts = 65535;

// Files are read in pieces of this size, so a day costs no allocation of its
// size (and no page faults for one) on top of its records.
constexpr size_t kReadPiece = 64 * 1024;

}  // namespace

void DayTotals::Add(const HistorySample& sample) {
    if (!sample.connected) return;
    if (!hasData) {
        minBatteryVoltage = maxBatteryVoltage = sample.batteryVoltage;
    }
    hasData = true;
    chargedWh = sample.chargedTodayWh;
    usedWh = sample.usedTodayWh;
    peakChargePower = std::max(peakChargePower, sample.chargePower);
    peakLoadPower = std::max(peakLoadPower, sample.loadPower);
    minBatteryVoltage = std::min(minBatteryVoltage, sample.batteryVoltage);
    maxBatteryVoltage = std::max(maxBatteryVoltage, sample.batteryVoltage);
}

CLogDayReader::CLogDayReader(LogDate date, bool keepSamples) : keepSamples_(keepSamples) {
    day_.date = date;
}

void CLogDayReader::Restart() {
    const LogDate date = day_.date;
    day_ = HistoryDay();
    day_.date = date;
    partial_.clear();
    offset_ = 0;
    textIndex_.clear();
}

uint16_t CLogDayReader::Intern(std::string_view text) {
    if (text.empty()) return 0;
    auto found = textIndex_.find(text);
    if (found != textIndex_.end()) return found->second;
    if (day_.texts.size() >= kMaxTexts) return 0;
    const auto index = static_cast<uint16_t>(day_.texts.size());
    day_.texts.emplace_back(text);
    textIndex_.emplace(std::string(text), index);
    return index;
}

void CLogDayReader::TakeLine(std::string_view line) {
    HistorySample sample;
    LogRecordTexts texts;
    switch (ParseLogLine(line, &sample, &texts)) {
        case LogLineKind::Record:
            if (!keepSamples_) {
                day_.totals.Add(sample);
                break;
            }
            sample.serialText = Intern(texts.serialNumber);
            sample.workModeText = Intern(texts.workMode);
            sample.errorText = Intern(texts.errorCode);
            day_.samples.push_back(sample);
            day_.totals.Add(sample);
            break;
        case LogLineKind::Header:
            ++day_.headerLines;
            break;
        case LogLineKind::Empty:
            break;
        case LogLineKind::Junk:
            ++day_.junkLines;
            break;
    }
}

void CLogDayReader::Feed(std::string_view bytes) {
    offset_ += bytes.size();
    if (!partial_.empty()) {
        const size_t end = bytes.find('\n');
        if (end == std::string_view::npos) {
            partial_.append(bytes);
            day_.tornLastLine = true;
            return;
        }
        partial_.append(bytes.substr(0, end));
        TakeLine(partial_);
        partial_.clear();
        bytes.remove_prefix(end + 1);
    }
    size_t start = 0;
    for (size_t end = bytes.find('\n'); end != std::string_view::npos;
         end = bytes.find('\n', start)) {
        TakeLine(bytes.substr(start, end - start));
        start = end + 1;
    }
    partial_.assign(bytes.substr(start));
    day_.tornLastLine = !partial_.empty();
}

int CLogDayReader::ReadAppended(const std::string& path) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return -1;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(file.get());
    if (size < 0) return -1;
    if (static_cast<uint64_t>(size) < offset_) Restart();
    if (std::fseek(file.get(), static_cast<long>(offset_), SEEK_SET) != 0) return -1;

    const size_t before = day_.samples.size();
    const auto piece = std::make_unique_for_overwrite<char[]>(kReadPiece);
    for (uint64_t left = static_cast<uint64_t>(size) - offset_; left > 0;) {
        const size_t got = std::fread(
            piece.get(), 1, static_cast<size_t>(std::min<uint64_t>(left, kReadPiece)), file.get());
        if (got == 0) break;
        Feed(std::string_view(piece.get(), got));
        left -= got;
    }
    return static_cast<int>(day_.samples.size() - before);
}

HistoryDay ReadLogDay(const std::string& path, LogDate date) {
    CLogDayReader reader(date);
    reader.ReadAppended(path);
    return reader.TakeDay();
}

DayTotals ReadLogDayTotals(const std::string& path, LogDate date) {
    CLogDayReader reader(date, false);
    reader.ReadAppended(path);
    return reader.Day().totals;
}

}  // namespace kestrane
