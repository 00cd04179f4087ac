// The days view: charged and used energy per day as bars for a range of days
// (a month, or every day present), with the totals of the range. A click on
// a bar asks for that day.
#pragma once

#include <QWidget>
#include <vector>

#include "history/LogDayFiles.h"
#include "history/ui/HistoryChartStyle.h"

class QBarSeries;
class QBarSet;
class QChart;
class QChartView;
class QComboBox;
class QLabel;

namespace kestrane {

class CHistoryDaysChart : public QWidget {
    Q_OBJECT

public:
    explicit CHistoryDaysChart(QWidget* parent = nullptr);

    // The days to offer; the range shown becomes the month of the newest day
    // unless the month shown before is still among them.
    void SetDays(std::vector<DaySummary> days);
    // Changes one day's figures (today's, as the log grows) or adds the day.
    void UpdateDay(const DaySummary& day);
    void SetEnglish(bool english);
    void SetStyle(const HistoryChartStyle& style);

    // The range choice: 0 every day, 1.. the months, newest last.
    int RangeCount() const;
    void SelectRange(int index);
    // Days and sums of the range shown.
    const std::vector<DaySummary>& ShownDays() const { return shown_; }
    int64_t ChargedTotal() const;
    int64_t UsedTotal() const;
    QString TotalsText() const;
    QChartView* View() const { return view_; }

signals:
    void DayChosen(LogDate date);

private:
    void FillRanges();
    void Rebuild();

    std::vector<DaySummary> days_;
    std::vector<DaySummary> shown_;
    std::vector<int> months_;  // year * 100 + month of each month entry
    int selectedMonth_ = 0;    // 0: every day
    QComboBox* range_;
    QLabel* totals_;
    QChart* chart_;
    QChartView* view_;
    HistoryChartStyle style_;
    bool english_ = true;
};

}  // namespace kestrane
