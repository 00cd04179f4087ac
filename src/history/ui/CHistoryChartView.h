// One chart of the history window with the operator's gestures: drag to zoom
// the time range, the wheel to zoom around the pointer, a double-click to see
// the whole day again, and a crosshair with the values under the pointer. The
// view reports the gestures; the owner applies them to every chart, so all
// charts share one time axis.
#pragma once

#include <QChartView>
#include <QStringList>
#include <optional>
#include <vector>

#include "history/ui/HistoryChartStyle.h"

namespace kestrane {

class CHistoryChartView : public QChartView {
    Q_OBJECT

public:
    struct Mark {
        qreal time;  // x value, milliseconds since the epoch
        QString name;
    };

    explicit CHistoryChartView(QChart* chart, QWidget* parent = nullptr);

    // The crosshair at time x with the lines of text beside it; nullopt hides it.
    void SetCrosshair(std::optional<qreal> x, const QStringList& readout = {});
    // Alarm marks on the time axis; `withNames` writes their names too.
    void SetMarks(std::vector<Mark> marks, bool withNames);
    void SetStyle(const HistoryChartStyle& style);
    // The lines beside the crosshair; empty while it is hidden.
    const QStringList& Readout() const { return readout_; }

signals:
    void Hovered(qreal x);
    void Left();
    // The wheel asks for this time range (the owner clamps it to the day).
    void RangeWanted(qreal min, qreal max);
    void ResetWanted();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;

private:
    std::optional<qreal> crosshair_;
    QStringList readout_;
    std::vector<Mark> marks_;
    bool markNames_ = false;
    HistoryChartStyle style_;
};

}  // namespace kestrane
