#include "history/ui/CHistoryDayCharts.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "history/DayShape.h"
#include "history/ui/HistoryTexts.h"

namespace kestrane {

namespace {

namespace text = historytext;

struct QuantitySpec {
    int chart;
    int colour;  // index into HistoryChartStyle::lines
    const LanguageText* name;
    const char* unit;
    int decimals;
    double (*value)(const HistorySample&);
};

// clang-format off
constexpr QuantitySpec kQuantities[CHistoryDayCharts::kQuantityCount] = {
    {0, 0, &text::kPvVoltage, "V", 1, [](const HistorySample& s) { return s.pvVoltage; }},
    {0, 1, &text::kBatteryVoltage, "V", 1, [](const HistorySample& s) { return s.batteryVoltage; }},
    {0, 2, &text::kLoadVoltage, "V", 1, [](const HistorySample& s) { return s.loadVoltage; }},
    {1, 0, &text::kChargeCurrent, "A", 1, [](const HistorySample& s) { return s.chargeCurrent; }},
    {1, 2, &text::kLoadCurrent, "A", 1, [](const HistorySample& s) { return s.loadCurrent; }},
    {2, 0, &text::kChargePower, "W", 0, [](const HistorySample& s) { return double(s.chargePower); }},
    {2, 2, &text::kLoadPower, "W", 0, [](const HistorySample& s) { return double(s.loadPower); }},
    {3, 0, &text::kInnerTemperature, "°C", 0, [](const HistorySample& s) { return double(s.innerTemperature); }},
    {3, 1, &text::kBatteryTemperature, "°C", 0, [](const HistorySample& s) { return double(s.batteryTemperature); }},
};
// clang-format on

constexpr const LanguageText* kChartTitles[CHistoryDayCharts::kChartCount] = {
    &text::kVoltages, &text::kCurrents, &text::kPowers, &text::kTemperatures};
// Voltages and currents in tenths, powers and temperatures whole.
constexpr const char* kValueFormats[CHistoryDayCharts::kChartCount] = {"%.1f", "%.1f", "%.0f",
                                                                       "%.0f"};

constexpr qreal kMsPerSecond = 1000;
constexpr qreal kMsPerDay = 86400 * kMsPerSecond;

constexpr int kValueTicks = 5;

// A range that holds [low, high] in `steps` equal steps of 1, 2, 2.5 or 5
// times a power of ten, so the value labels are round and few enough for a
// short chart.
std::pair<double, double> NiceRange(double low, double high, int steps) {
    if (high - low < 1) high = low + 1;
    double step = 0;
    double min = 0;
    for (double scale = std::pow(10.0, std::floor(std::log10((high - low) / steps)));;
         scale *= 10) {
        for (double factor : {1.0, 2.0, 2.5, 5.0}) {
            step = factor * scale;
            min = std::floor(low / step) * step;
            if (min + steps * step >= high) return {min, min + steps * step};
        }
    }
}

QString TimeText(int secondOfDay) {
    return QTime(0, 0).addSecs(secondOfDay).toString("HH:mm:ss");
}

}  // namespace

CHistoryDayCharts::CHistoryDayCharts(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int c = 0; c < kChartCount; ++c) {
        Chart& chart = charts_[c];
        chart.chart = new QChart();
        chart.chart->legend()->setAlignment(Qt::AlignRight);
        chart.chart->setMargins(QMargins(4, 2, 4, 2));
        chart.timeAxis = new QDateTimeAxis(chart.chart);
        chart.timeAxis->setFormat("HH:mm");
        chart.timeAxis->setTickCount(13);
        chart.valueAxis = new QValueAxis(chart.chart);
        chart.valueAxis->setLabelFormat(kValueFormats[c]);
        chart.valueAxis->setTickCount(kValueTicks);
        // Room for labels as wide as "-100.0" from the start: the chart does
        // not widen the axis when a later range has wider labels, it cuts them.
        chart.valueAxis->setRange(-100, 100);
        chart.chart->addAxis(chart.timeAxis, Qt::AlignBottom);
        chart.chart->addAxis(chart.valueAxis, Qt::AlignLeft);
        chart.view = new CHistoryChartView(chart.chart, this);
        chart.view->setObjectName(QString("historyChart%1").arg(c));
        layout->addWidget(chart.view, 1);

        connect(chart.timeAxis, &QDateTimeAxis::rangeChanged, this,
                [this, c] { OnRangeChanged(c); });
        connect(chart.view, &CHistoryChartView::Hovered, this, &CHistoryDayCharts::HoverAt);
        connect(chart.view, &CHistoryChartView::Left, this, &CHistoryDayCharts::ClearCrosshair);
        connect(chart.view, &CHistoryChartView::RangeWanted, this, &CHistoryDayCharts::SetRange);
        connect(chart.view, &CHistoryChartView::ResetWanted, this, &CHistoryDayCharts::ResetRange);
    }
    style_ = HistoryChartStyleFor(-1);
}

qreal CHistoryDayCharts::DayStart() const {
    if (day_ == nullptr) return 0;
    const QDate date(day_->date.year, day_->date.month, day_->date.day);
    return static_cast<qreal>(QDateTime(date, QTime(0, 0)).toMSecsSinceEpoch());
}

void CHistoryDayCharts::Show(const HistoryDay& day, bool keepRange) {
    const auto range = Range();
    const bool zoomed = keepRange && day_ != nullptr && day_->date == day.date &&
                        (range.first > DayStart() || range.second < DayStart() + kMsPerDay);
    day_ = &day;
    // The axes first: each change of a range lays out every series on it
    // again, so the points come last and are laid out once.
    FitValueAxes();
    if (zoomed) {
        SetRange(range.first, range.second);
    } else {
        ResetRange();
    }
    Rebuild();
}

void CHistoryDayCharts::Clear() {
    day_ = nullptr;
    Rebuild();
    for (Chart& chart : charts_)
        chart.view->SetMarks({}, false);
}

void CHistoryDayCharts::Rebuild() {
    ClearCrosshair();
    const qreal start = DayStart();
    const std::vector<SampleRun> runs =
        day_ != nullptr ? SplitIntoRuns(day_->samples) : std::vector<SampleRun>();
    for (int q = 0; q < kQuantityCount; ++q) {
        const QuantitySpec& spec = kQuantities[q];
        // The first piece always exists, so the legend has an entry to click.
        // Pieces are kept from day to day: adding a series to a chart costs
        // far more than giving it new points.
        SetPieceCount(q, std::max<size_t>(1, runs.size()));
        std::vector<QLineSeries*>& pieces = quantities_[q].pieces;
        for (size_t r = 0; r < pieces.size(); ++r) {
            QList<QPointF> points;
            if (r < runs.size()) {
                points.reserve(static_cast<qsizetype>(runs[r].end - runs[r].begin));
                for (size_t i = runs[r].begin; i < runs[r].end; ++i) {
                    const HistorySample& s = day_->samples[i];
                    points.append(QPointF(start + s.secondOfDay * kMsPerSecond, spec.value(s)));
                }
            }
            pieces[r]->replace(points);
        }
        ShowLegendOf(q);
    }
    if (day_ == nullptr) return;

    std::vector<CHistoryChartView::Mark> marks;
    for (const ErrorMark& mark : FindErrorMarks(*day_)) {
        marks.push_back({start + mark.secondOfDay * kMsPerSecond,
                         QString::fromStdString(day_->Text(mark.errorText))});
    }
    for (int c = 0; c < kChartCount; ++c)
        charts_[c].view->SetMarks(marks, c == 0);
}

void CHistoryDayCharts::SetPieceCount(int quantity, size_t count) {
    const QuantitySpec& spec = kQuantities[quantity];
    Chart& chart = charts_[spec.chart];
    std::vector<QLineSeries*>& pieces = quantities_[quantity].pieces;
    while (pieces.size() > count) {
        chart.chart->removeSeries(pieces.back());
        delete pieces.back();
        pieces.pop_back();
    }
    while (pieces.size() < count) {
        auto* series = new QLineSeries();
        series->setPen(QPen(style_.lines[spec.colour], 1.6));
        series->setName(QString::fromUtf8(spec.name->In(english_).data()));
        chart.chart->addSeries(series);
        series->attachAxis(chart.timeAxis);
        series->attachAxis(chart.valueAxis);
        series->setVisible(quantities_[quantity].visible);
        if (pieces.empty()) {
            for (QLegendMarker* marker : chart.chart->legend()->markers(series))
                connect(marker, &QLegendMarker::clicked, this,
                        [this, quantity] { ToggleQuantity(quantity); });
        }
        pieces.push_back(series);
    }
}

// Only the first piece of a quantity has a legend entry; hiding a series hides
// its entry too, so the entries are shown again after every change.
void CHistoryDayCharts::ShowLegendOf(int quantity) {
    const Quantity& q = quantities_[quantity];
    QChart* chart = charts_[kQuantities[quantity].chart].chart;
    for (size_t i = 0; i < q.pieces.size(); ++i) {
        for (QLegendMarker* marker : chart->legend()->markers(q.pieces[i])) {
            marker->setVisible(i == 0);
            QColor label = style_.text;
            label.setAlphaF(q.visible ? 1.0 : 0.4);
            marker->setLabelBrush(label);
            QColor swatch = style_.lines[kQuantities[quantity].colour];
            swatch.setAlphaF(q.visible ? 1.0 : 0.3);
            marker->setBrush(swatch);
            marker->setPen(QPen(swatch));
        }
    }
}

void CHistoryDayCharts::ToggleQuantity(int quantity) {
    Quantity& q = quantities_[quantity];
    q.visible = !q.visible;
    for (QLineSeries* series : q.pieces)
        series->setVisible(q.visible);
    ShowLegendOf(quantity);
    FitValueAxes();
}

bool CHistoryDayCharts::IsQuantityVisible(int quantity) const {
    return quantities_[quantity].visible;
}

int CHistoryDayCharts::PieceCount(int quantity) const {
    int count = 0;
    for (QLineSeries* series : quantities_[quantity].pieces)
        count += series->count() > 0;
    return count;
}

int CHistoryDayCharts::PointCount(int quantity) const {
    int count = 0;
    for (QLineSeries* series : quantities_[quantity].pieces)
        count += series->count();
    return count;
}

// Each chart's value axis spans its visible quantities over the whole day,
// so zooming in time does not make the lines jump.
void CHistoryDayCharts::FitValueAxes() {
    for (int c = 0; c < kChartCount; ++c) {
        double low = INFINITY;
        double high = -INFINITY;
        for (int q = 0; q < kQuantityCount; ++q) {
            if (kQuantities[q].chart != c || !quantities_[q].visible || day_ == nullptr) continue;
            for (const HistorySample& sample : day_->samples) {
                if (!sample.connected) continue;
                const double value = kQuantities[q].value(sample);
                low = std::min(low, value);
                high = std::max(high, value);
            }
        }
        if (!std::isfinite(low)) {
            low = 0;
            high = 1;
        }
        // A little headroom, so the highest line does not run along the frame.
        const auto [min, max] = NiceRange(low, high + (high - low) * 0.04, kValueTicks - 1);
        charts_[c].valueAxis->setRange(min, max);
    }
}

void CHistoryDayCharts::SetEnglish(bool english) {
    english_ = english;
    Relabel();
}

void CHistoryDayCharts::Relabel() {
    for (int c = 0; c < kChartCount; ++c)
        charts_[c].chart->setTitle(QString::fromUtf8(kChartTitles[c]->In(english_).data()));
    for (int q = 0; q < kQuantityCount; ++q) {
        const QString name = QString::fromUtf8(kQuantities[q].name->In(english_).data());
        for (QLineSeries* series : quantities_[q].pieces)
            series->setName(name);
    }
}

void CHistoryDayCharts::SetStyle(const HistoryChartStyle& style) {
    style_ = style;
    for (Chart& chart : charts_) {
        ApplyChartStyle(*chart.chart, style);
        chart.view->SetStyle(style);
    }
    for (int q = 0; q < kQuantityCount; ++q) {
        for (QLineSeries* series : quantities_[q].pieces)
            series->setPen(QPen(style.lines[kQuantities[q].colour], 1.6));
        ShowLegendOf(q);
    }
}

std::pair<qreal, qreal> CHistoryDayCharts::Range() const {
    return {static_cast<qreal>(charts_[0].timeAxis->min().toMSecsSinceEpoch()),
            static_cast<qreal>(charts_[0].timeAxis->max().toMSecsSinceEpoch())};
}

void CHistoryDayCharts::SetRange(qreal min, qreal max) {
    const qreal start = DayStart();
    min = std::max(min, start);
    max = std::min(max, start + kMsPerDay);
    if (max - min < 60 * kMsPerSecond) return;  // no closer than a minute
    charts_[0].timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(qint64(min)),
                                  QDateTime::fromMSecsSinceEpoch(qint64(max)));
}

void CHistoryDayCharts::ResetRange() {
    const qreal start = DayStart();
    SetRange(start, start + kMsPerDay);
}

// Any chart's range (a drag zooms only the chart it was made in) becomes
// every chart's range.
void CHistoryDayCharts::OnRangeChanged(int chart) {
    if (syncing_) return;
    syncing_ = true;
    const QDateTime min = charts_[chart].timeAxis->min();
    const QDateTime max = charts_[chart].timeAxis->max();
    for (Chart& other : charts_) {
        if (other.timeAxis != charts_[chart].timeAxis) other.timeAxis->setRange(min, max);
    }
    syncing_ = false;
}

void CHistoryDayCharts::HoverAt(qreal x) {
    if (day_ == nullptr || day_->samples.empty()) return;
    const int second = static_cast<int>(std::lround((x - DayStart()) / kMsPerSecond));
    const auto& samples = day_->samples;
    auto it =
        std::lower_bound(samples.begin(), samples.end(), second,
                         [](const HistorySample& s, int value) { return s.secondOfDay < value; });
    if (it == samples.end() ||
        (it != samples.begin() && second - (it - 1)->secondOfDay < it->secondOfDay - second)) {
        if (it != samples.begin()) --it;
    }
    const bool near = it->connected && std::abs(it->secondOfDay - second) <= kMaxJoinedGapSeconds;
    for (int c = 0; c < kChartCount; ++c) {
        QStringList readout{near ? TimeText(it->secondOfDay) : TimeText(second)};
        for (int q = 0; q < kQuantityCount; ++q) {
            const QuantitySpec& spec = kQuantities[q];
            if (spec.chart != c || !quantities_[q].visible) continue;
            const QString name = QString::fromUtf8(spec.name->In(english_).data());
            readout << (near ? QString("%1  %2 %3")
                                   .arg(name)
                                   .arg(spec.value(*it), 0, 'f', spec.decimals)
                                   .arg(QString::fromUtf8(spec.unit))
                             : QString("%1  —").arg(name));
        }
        charts_[c].view->SetCrosshair(x, readout);
    }
}

void CHistoryDayCharts::ClearCrosshair() {
    for (Chart& chart : charts_)
        chart.view->SetCrosshair(std::nullopt);
}

}  // namespace kestrane
