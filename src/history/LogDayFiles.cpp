#include "history/LogDayFiles.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

#include "history/CLogDayReader.h"
#include "history/LogLineParser.h"

namespace kestrane {

namespace fs = std::filesystem;

namespace {

// Enough for dozens of records at the end of a file.
constexpr long kTailBytes = 8192;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The last connected record among the complete lines of `text`; the first
// line is skipped when `fromMiddle` (the read started inside it).
bool LastConnected(std::string_view text, bool fromMiddle, HistorySample* found) {
    size_t end = text.rfind('\n');
    if (end == std::string_view::npos) return false;
    text = text.substr(0, end);  // what follows the last line end is torn
    while (!text.empty()) {
        const size_t newline = text.rfind('\n');
        const size_t start = newline == std::string_view::npos ? 0 : newline + 1;
        if (start == 0 && fromMiddle) return false;
        HistorySample sample;
        LogRecordTexts texts;
        if (ParseLogLine(text.substr(start), &sample, &texts) == LogLineKind::Record &&
            sample.connected) {
            *found = sample;
            return true;
        }
        if (newline == std::string_view::npos) break;
        text = text.substr(0, newline);
    }
    return false;
}

}  // namespace

std::vector<LogDayFile> ListLogDays(const std::string& folder) {
    std::vector<LogDayFile> files;
    std::error_code error;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const auto date = ParseLogFileName(it->path().filename().string());
        if (!date || !it->is_regular_file(error)) continue;
        files.push_back({*date, it->path().string(), it->file_size(error)});
    }
    std::sort(files.begin(), files.end(),
              [](const LogDayFile& a, const LogDayFile& b) { return a.date < b.date; });
    // Two names for one day ("2022_1_10" and "2022_01_10"): keep the first.
    files.erase(
        std::unique(files.begin(), files.end(),
                    [](const LogDayFile& a, const LogDayFile& b) { return a.date == b.date; }),
        files.end());
    return files;
}

DaySummary SummariseDay(const LogDayFile& file) {
    DaySummary summary;
    summary.date = file.date;
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(file.path.c_str(), "rb"));
    if (!in || std::fseek(in.get(), 0, SEEK_END) != 0) return summary;
    const long size = std::ftell(in.get());
    if (size <= 0) return summary;
    const long start = std::max(0L, size - kTailBytes);
    std::string tail(static_cast<size_t>(size - start), '\0');
    if (std::fseek(in.get(), start, SEEK_SET) != 0) return summary;
    tail.resize(std::fread(tail.data(), 1, tail.size(), in.get()));

    HistorySample last;
    if (LastConnected(tail, start > 0, &last)) {
        summary.hasData = true;
        summary.chargedWh = last.chargedTodayWh;
        summary.usedWh = last.usedTodayWh;
        return summary;
    }
    if (start == 0) return summary;
    in.reset();
    const HistoryDay day = ReadLogDay(file.path, file.date);
    summary.hasData = day.totals.hasData;
    summary.chargedWh = day.totals.chargedWh;
    summary.usedWh = day.totals.usedWh;
    return summary;
}

std::vector<DaySummary> SummariseDays(const std::vector<LogDayFile>& files) {
    std::vector<DaySummary> days;
    days.reserve(files.size());
    for (const LogDayFile& file : files)
        days.push_back(SummariseDay(file));
    return days;
}

}  // namespace kestrane
