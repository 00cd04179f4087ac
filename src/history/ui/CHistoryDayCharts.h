// The day view's four charts (voltages, currents, powers, temperatures) on one
// shared time axis. Each quantity is drawn as one line per run of connected
// records, so the line breaks where the link was down or records are missing;
// its legend entry shows or hides all of its pieces. Alarms are marked on the
// time axis; the crosshair shows the values of the nearest record.
#pragma once

#include <QWidget>
#include <array>
#include <vector>

#include "history/HistoryDay.h"
#include "history/ui/CHistoryChartView.h"
#include "history/ui/HistoryChartStyle.h"

class QChart;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace kestrane {

class CHistoryDayCharts : public QWidget {
    Q_OBJECT

public:
    static constexpr int kChartCount = 4;
    static constexpr int kQuantityCount = 9;

    explicit CHistoryDayCharts(QWidget* parent = nullptr);

    // Draws `day` (which must outlive the charts or the next Show). With
    // keepRange the time range the operator zoomed to stays (live updates).
    void Show(const HistoryDay& day, bool keepRange = false);
    // Forgets the day (before it is destroyed): empty charts.
    void Clear();
    void SetEnglish(bool english);
    void SetStyle(const HistoryChartStyle& style);

    // For tests and export: the pieces and the points of quantity q.
    int PieceCount(int quantity) const;
    int PointCount(int quantity) const;
    bool IsQuantityVisible(int quantity) const;
    void ToggleQuantity(int quantity);
    CHistoryChartView* View(int chart) const { return charts_[chart].view; }
    // The shown time range, milliseconds since the epoch.
    std::pair<qreal, qreal> Range() const;
    void SetRange(qreal min, qreal max);
    void ResetRange();
    // Crosshair and readouts at time x, as when the pointer is there.
    void HoverAt(qreal x);

private:
    struct Chart {
        QChart* chart = nullptr;
        CHistoryChartView* view = nullptr;
        QDateTimeAxis* timeAxis = nullptr;
        QValueAxis* valueAxis = nullptr;
    };
    struct Quantity {
        std::vector<QLineSeries*> pieces;
        bool visible = true;
    };

    void Rebuild();
    // Adds or removes pieces of a quantity until it has `count`.
    void SetPieceCount(int quantity, size_t count);
    void Relabel();
    void ShowLegendOf(int quantity);
    void FitValueAxes();
    void OnRangeChanged(int chart);
    void ClearCrosshair();
    qreal DayStart() const;

    std::array<Chart, kChartCount> charts_;
    std::array<Quantity, kQuantityCount> quantities_;
    const HistoryDay* day_ = nullptr;
    HistoryChartStyle style_;
    bool english_ = true;
    bool syncing_ = false;
};

}  // namespace kestrane
