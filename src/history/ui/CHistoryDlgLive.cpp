// Following the log while the program monitors: the folder is watched for new
// days, the newest day's file for appended records. Only the appended bytes
// are read; the other days stay as they were summarised.
#include "history/ui/CHistoryDayCharts.h"
#include "history/ui/CHistoryDaysChart.h"
#include "history/ui/CHistoryDlg.h"

namespace kestrane {

void CHistoryDlg::WatchShownDay() {
    if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
    following_ = reader_ != nullptr && !files_.empty() && files_.back().path == shownPath_;
    if (following_) watcher_.addPath(QString::fromStdString(shownPath_));
}

void CHistoryDlg::OnFolderChanged() {
    std::vector<LogDayFile> listed = ListLogDays(folder_);
    const bool wasEmpty = files_.empty();
    const bool onNewest = following_;
    // Days already summarised keep their figures; only new days are read.
    for (const LogDayFile& file : listed) {
        if (IndexOfDay(file.date) < 0) daysChart_->UpdateDay(SummariseDay(file));
    }
    const bool newDay =
        !listed.empty() && (files_.empty() || files_.back().date < listed.back().date);
    files_ = std::move(listed);
    MarkCalendarDays();
    if (wasEmpty && !files_.empty()) {
        OpenFolder(folder_);
        return;
    }
    if (newDay && onNewest) {
        ShowDay(files_.back().date);
    } else if (following_ && !watcher_.files().contains(QString::fromStdString(shownPath_))) {
        // The file was replaced (removed and written again): watch the new one.
        WatchShownDay();
    }
}

void CHistoryDlg::OnFileChanged(const QString& path) {
    if (!reader_ || path.toStdString() != shownPath_) return;
    const int added = reader_->ReadAppended(shownPath_);
    if (!watcher_.files().contains(path)) watcher_.addPath(path);
    if (added <= 0) return;
    const HistoryDay& day = reader_->Day();
    dayCharts_->Show(day, true);
    DaySummary summary;
    summary.date = day.date;
    summary.hasData = day.totals.hasData;
    summary.chargedWh = day.totals.chargedWh;
    summary.usedWh = day.totals.usedWh;
    daysChart_->UpdateDay(summary);
    ShowStatus();
}

}  // namespace kestrane
