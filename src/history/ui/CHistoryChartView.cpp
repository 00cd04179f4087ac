#include "history/ui/CHistoryChartView.h"

#include <QAbstractAxis>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace kestrane {

namespace {

// One wheel notch shows this share of the range.
constexpr qreal kWheelZoom = 0.8;

}  // namespace

CHistoryChartView::CHistoryChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
    setRubberBand(QChartView::HorizontalRubberBand);
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(true);
    setMinimumHeight(120);
}

void CHistoryChartView::SetCrosshair(std::optional<qreal> x, const QStringList& readout) {
    crosshair_ = x;
    readout_ = x ? readout : QStringList();
    viewport()->update();
}

void CHistoryChartView::SetMarks(std::vector<Mark> marks, bool withNames) {
    marks_ = std::move(marks);
    markNames_ = withNames;
    viewport()->update();
}

void CHistoryChartView::SetStyle(const HistoryChartStyle& style) {
    style_ = style;
    setBackgroundBrush(style.background);
    viewport()->update();
}

void CHistoryChartView::mouseMoveEvent(QMouseEvent* event) {
    QChartView::mouseMoveEvent(event);
    const QPointF scenePos = mapToScene(event->position().toPoint());
    const QPointF chartPos = chart()->mapFromScene(scenePos);
    if (chart()->plotArea().contains(chartPos)) {
        emit Hovered(chart()->mapToValue(chartPos).x());
    } else {
        emit Left();
    }
}

void CHistoryChartView::leaveEvent(QEvent* event) {
    QChartView::leaveEvent(event);
    emit Left();
}

void CHistoryChartView::wheelEvent(QWheelEvent* event) {
    const auto axes = chart()->axes(Qt::Horizontal);
    auto* axis = axes.isEmpty() ? nullptr : qobject_cast<QDateTimeAxis*>(axes.first());
    if (axis == nullptr || event->angleDelta().y() == 0) return;
    const QPointF chartPos = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    const qreal min = static_cast<qreal>(axis->min().toMSecsSinceEpoch());
    const qreal max = static_cast<qreal>(axis->max().toMSecsSinceEpoch());
    const qreal at = std::clamp(chart()->mapToValue(chartPos).x(), min, max);
    const qreal factor = event->angleDelta().y() > 0 ? kWheelZoom : 1.0 / kWheelZoom;
    emit RangeWanted(at - (at - min) * factor, at + (max - at) * factor);
    event->accept();
}

void CHistoryChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    emit ResetWanted();
}

void CHistoryChartView::drawForeground(QPainter* painter, const QRectF& rect) {
    QChartView::drawForeground(painter, rect);
    const QRectF plot = chart()->mapToScene(chart()->plotArea()).boundingRect();
    if (chart()->series().isEmpty()) return;
    QAbstractSeries* series = chart()->series().first();
    auto sceneX = [&](qreal x) {
        return chart()->mapToScene(chart()->mapToPosition(QPointF(x, 0), series)).x();
    };
    painter->save();
    painter->setClipRect(plot.adjusted(-1, -1, 1, 1));

    // Alarm marks: a short tick up from the time axis, the name beside it.
    QFont small = painter->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    painter->setFont(small);
    painter->setPen(QPen(style_.alarm, 2));
    qreal lastNameEnd = plot.left() - 1;
    for (const Mark& mark : marks_) {
        const qreal x = sceneX(mark.time);
        if (x < plot.left() || x > plot.right()) continue;
        painter->drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() - 10));
        if (!markNames_ || x < lastNameEnd) continue;
        const qreal width = painter->fontMetrics().horizontalAdvance(mark.name);
        painter->drawText(QPointF(x + 3, plot.bottom() - 3), mark.name);
        lastNameEnd = x + width + 8;
    }

    if (crosshair_) {
        const qreal x = sceneX(*crosshair_);
        painter->setPen(QPen(style_.text, 1, Qt::DashLine));
        painter->drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        if (!readout_.isEmpty()) {
            painter->setFont(font());
            const QFontMetrics metrics = painter->fontMetrics();
            qreal width = 0;
            for (const QString& line : readout_)
                width = std::max<qreal>(width, metrics.horizontalAdvance(line));
            const QSizeF box(width + 12, metrics.height() * readout_.size() + 8);
            QPointF corner(x + 8, plot.top() + 4);
            if (corner.x() + box.width() > plot.right()) corner.setX(x - 8 - box.width());
            QColor fill = style_.background;
            fill.setAlpha(225);
            painter->setBrush(fill);
            painter->setPen(QPen(style_.text, 1));
            painter->drawRect(QRectF(corner, box));
            for (int i = 0; i < readout_.size(); ++i) {
                painter->drawText(QPointF(corner.x() + 6,
                                          corner.y() + 4 + metrics.ascent() + i * metrics.height()),
                                  readout_[i]);
            }
        }
    }
    painter->restore();
}

}  // namespace kestrane
