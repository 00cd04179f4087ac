#include "history/ui/CHistoryDaysChart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

#include "history/ui/HistoryTexts.h"

namespace kestrane {

namespace {

namespace text = historytext;

QString Tr(const LanguageText& text, bool english) {
    return QString::fromUtf8(text.In(english).data());
}

int MonthKey(const LogDate& date) {
    return date.year * 100 + date.month;
}

}  // namespace

CHistoryDaysChart::CHistoryDaysChart(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* top = new QHBoxLayout();
    range_ = new QComboBox(this);
    range_->setObjectName("historyRange");
    range_->setMinimumContentsLength(10);
    totals_ = new QLabel(this);
    totals_->setObjectName("historyRangeTotals");
    top->addWidget(range_);
    top->addWidget(totals_, 1);
    layout->addLayout(top);
    chart_ = new QChart();
    chart_->legend()->setAlignment(Qt::AlignTop);
    view_ = new QChartView(chart_, this);
    view_->setObjectName("historyDaysChart");
    view_->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(view_, 1);
    style_ = HistoryChartStyleFor(-1);
    connect(range_, &QComboBox::activated, this, [this](int index) { SelectRange(index); });
}

void CHistoryDaysChart::SetDays(std::vector<DaySummary> days) {
    days_ = std::move(days);
    FillRanges();
    if (std::find(months_.begin(), months_.end(), selectedMonth_) == months_.end()) {
        selectedMonth_ = months_.empty() ? 0 : months_.back();
    }
    Rebuild();
}

void CHistoryDaysChart::UpdateDay(const DaySummary& day) {
    auto it =
        std::lower_bound(days_.begin(), days_.end(), day.date,
                         [](const DaySummary& d, const LogDate& date) { return d.date < date; });
    if (it != days_.end() && it->date == day.date) {
        *it = day;
    } else {
        days_.insert(it, day);
        FillRanges();
    }
    Rebuild();
}

void CHistoryDaysChart::FillRanges() {
    months_.clear();
    for (const DaySummary& day : days_) {
        if (months_.empty() || months_.back() != MonthKey(day.date))
            months_.push_back(MonthKey(day.date));
    }
    range_->clear();
    range_->addItem(Tr(text::kAllDays, english_));
    for (int month : months_)
        range_->addItem(QString("%1-%2").arg(month / 100).arg(month % 100, 2, 10, QChar('0')));
}

int CHistoryDaysChart::RangeCount() const {
    return range_->count();
}

void CHistoryDaysChart::SelectRange(int index) {
    if (index < 0 || index >= range_->count()) return;
    selectedMonth_ = index == 0 ? 0 : months_[static_cast<size_t>(index - 1)];
    Rebuild();
}

int64_t CHistoryDaysChart::ChargedTotal() const {
    int64_t sum = 0;
    for (const DaySummary& day : shown_)
        sum += day.chargedWh;
    return sum;
}

int64_t CHistoryDaysChart::UsedTotal() const {
    int64_t sum = 0;
    for (const DaySummary& day : shown_)
        sum += day.usedWh;
    return sum;
}

QString CHistoryDaysChart::TotalsText() const {
    return Tr(text::kRangeTotals, english_).arg(shown_.size()).arg(ChargedTotal()).arg(UsedTotal());
}

void CHistoryDaysChart::Rebuild() {
    shown_.clear();
    for (const DaySummary& day : days_)
        if (selectedMonth_ == 0 || MonthKey(day.date) == selectedMonth_) shown_.push_back(day);
    const auto found = std::find(months_.begin(), months_.end(), selectedMonth_);
    range_->setCurrentIndex(found == months_.end() ? 0 : int(found - months_.begin()) + 1);

    chart_->removeAllSeries();
    for (QAbstractAxis* axis : chart_->axes()) {
        chart_->removeAxis(axis);
        delete axis;
    }
    auto* charged = new QBarSet(Tr(text::kCharged, english_));
    auto* used = new QBarSet(Tr(text::kUsed, english_));
    charged->setColor(style_.lines[0]);
    used->setColor(style_.lines[1]);
    charged->setBorderColor(style_.lines[0]);
    used->setBorderColor(style_.lines[1]);
    QStringList categories;
    int64_t highest = 0;
    for (const DaySummary& day : shown_) {
        charged->append(static_cast<qreal>(day.chargedWh));
        used->append(static_cast<qreal>(day.usedWh));
        highest = std::max({highest, day.chargedWh, day.usedWh});
        categories << (selectedMonth_ == 0 ? QString("%1-%2").arg(day.date.month).arg(day.date.day)
                                           : QString::number(day.date.day));
    }
    auto* series = new QBarSeries();
    series->append(charged);
    series->append(used);
    chart_->addSeries(series);
    auto* dayAxis = new QBarCategoryAxis();
    dayAxis->append(categories);
    // Past about forty bars the labels would run into each other.
    dayAxis->setLabelsAngle(categories.size() > 40 ? -90 : 0);
    dayAxis->setLabelsVisible(categories.size() <= 120);
    auto* energyAxis = new QValueAxis();
    energyAxis->setRange(0, std::max<int64_t>(highest, 10) * 1.05);
    energyAxis->applyNiceNumbers();
    energyAxis->setLabelFormat("%d");
    energyAxis->setTitleText("Wh");
    chart_->addAxis(dayAxis, Qt::AlignBottom);
    chart_->addAxis(energyAxis, Qt::AlignLeft);
    series->attachAxis(dayAxis);
    series->attachAxis(energyAxis);
    chart_->setTitle(Tr(text::kEnergyTitle, english_));
    ApplyChartStyle(*chart_, style_);
    totals_->setText(TotalsText());
    connect(series, &QBarSeries::clicked, this, [this](int index, QBarSet*) {
        if (index >= 0 && index < int(shown_.size())) emit DayChosen(shown_[size_t(index)].date);
    });
}

void CHistoryDaysChart::SetEnglish(bool english) {
    english_ = english;
    FillRanges();
    Rebuild();
}

void CHistoryDaysChart::SetStyle(const HistoryChartStyle& style) {
    style_ = style;
    view_->setBackgroundBrush(style.background);
    Rebuild();
}

}  // namespace kestrane
