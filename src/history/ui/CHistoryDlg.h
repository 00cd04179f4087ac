// The history window: the daily event logs of one folder as charts. The day
// view draws one day's readings (CHistoryDayCharts), the days view the energy
// of each day (CHistoryDaysChart). The newest day follows its growing file
// while the program monitors. Modeless: the main window keeps working.
#pragma once

#include <QDialog>
#include <QFileSystemWatcher>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/CLogDayReader.h"
#include "history/LogDayFiles.h"
#include "history/ui/HistoryChartStyle.h"

class QDateEdit;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTabWidget;

namespace kestrane {

class CHistoryDayCharts;
class CHistoryDaysChart;

class CHistoryDlg : public QDialog {
    Q_OBJECT

public:
    // Opens `folder`; colourIndex picks the colour theme of the charts.
    CHistoryDlg(std::string folder, bool english, int colourIndex, QWidget* parent = nullptr);
    ~CHistoryDlg() override;

    void SetEnglish(bool english);
    void SetColourIndex(int colourIndex);

    // Lists the folder's days, builds the days view and shows the newest day.
    void OpenFolder(const std::string& folder);
    // The day view of `date`; false (and a message in the view) without a file.
    bool ShowDay(const LogDate& date);
    // Neighbouring days that have a file.
    void ShowPreviousDay();
    void ShowNextDay();
    // 0 the day view, 1 the days view.
    void ShowView(int view);

    // The visible view as a PNG of `size` (empty: the view's size on screen).
    bool ExportPng(const QString& path, QSize size = {});
    // The shown day's records as clean CSV.
    bool ExportCsv(const QString& path);

    const std::string& Folder() const { return folder_; }
    const std::vector<LogDayFile>& Files() const { return files_; }
    // The day on show; nullptr before one is read.
    const HistoryDay* ShownDay() const;
    bool IsFollowing() const { return following_; }
    CHistoryDayCharts& DayCharts() const { return *dayCharts_; }
    CHistoryDaysChart& DaysChart() const { return *daysChart_; }

private:
    void BuildWindow();
    void Relabel();
    void ShowStatus();
    void MarkCalendarDays();
    void OnDateEdited();
    void OnOpenFolderButton();
    void OnExportPng(bool fullHd);
    void OnExportCsv();
    void ReportWriteFailure(const QString& path);
    // Live follow (CHistoryDlgLive.cpp).
    void WatchShownDay();
    void OnFolderChanged();
    void OnFileChanged(const QString& path);
    int IndexOfDay(const LogDate& date) const;

    std::string folder_;
    std::vector<LogDayFile> files_;
    std::optional<LogDate> shownDate_;
    std::unique_ptr<CLogDayReader> reader_;  // the shown day's file
    std::string shownPath_;
    bool following_ = false;
    bool english_;
    int colourIndex_;
    HistoryChartStyle style_;
    QFileSystemWatcher watcher_;

    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QDateEdit* date_ = nullptr;
    QPushButton* openFolder_ = nullptr;
    QPushButton* exportPng_ = nullptr;
    QAction* pngWindow_ = nullptr;
    QAction* pngFullHd_ = nullptr;
    QPushButton* exportCsv_ = nullptr;
    QStackedWidget* pages_ = nullptr;  // the views, or the no-log message
    QLabel* noLogs_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QStackedWidget* dayPage_ = nullptr;  // the charts, or the no-log-for-this-day message
    QLabel* noDay_ = nullptr;
    CHistoryDayCharts* dayCharts_ = nullptr;
    CHistoryDaysChart* daysChart_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace kestrane
