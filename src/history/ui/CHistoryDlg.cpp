#include "history/ui/CHistoryDlg.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTextCharFormat>
#include <QVBoxLayout>

#include "history/ui/CHistoryDayCharts.h"
#include "history/ui/CHistoryDaysChart.h"
#include "history/ui/HistoryTexts.h"

namespace kestrane {

namespace {

namespace text = historytext;

QString Tr(const LanguageText& text, bool english) {
    return QString::fromUtf8(text.In(english).data());
}

QDate ToQDate(const LogDate& date) {
    return QDate(date.year, date.month, date.day);
}

LogDate ToLogDate(const QDate& date) {
    return {date.year(), date.month(), date.day()};
}

}  // namespace

CHistoryDlg::CHistoryDlg(std::string folder, bool english, int colourIndex, QWidget* parent)
    : QDialog(parent), english_(english), colourIndex_(colourIndex) {
    setObjectName("historyDialog");
    setModal(false);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);
    resize(1100, 780);
    BuildWindow();
    style_ = HistoryChartStyleFor(colourIndex_);
    dayCharts_->SetStyle(style_);
    daysChart_->SetStyle(style_);
    Relabel();
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &CHistoryDlg::OnFolderChanged);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &CHistoryDlg::OnFileChanged);
    OpenFolder(folder);
}

CHistoryDlg::~CHistoryDlg() = default;

void CHistoryDlg::BuildWindow() {
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout();
    previous_ = new QPushButton(this);
    previous_->setObjectName("historyPrevious");
    date_ = new QDateEdit(this);
    date_->setObjectName("historyDate");
    date_->setCalendarPopup(true);
    date_->setDisplayFormat("yyyy-MM-dd");
    date_->setDate(QDate::currentDate());
    next_ = new QPushButton(this);
    next_->setObjectName("historyNext");
    openFolder_ = new QPushButton(this);
    openFolder_->setObjectName("historyOpenFolder");
    exportPng_ = new QPushButton(this);
    exportPng_->setObjectName("historyExportPng");
    auto* pngMenu = new QMenu(exportPng_);
    pngWindow_ = pngMenu->addAction(QString());
    pngFullHd_ = pngMenu->addAction(QString());
    exportPng_->setMenu(pngMenu);
    exportCsv_ = new QPushButton(this);
    exportCsv_->setObjectName("historyExportCsv");
    for (QWidget* widget : std::initializer_list<QWidget*>{previous_, date_, next_})
        bar->addWidget(widget);
    bar->addStretch(1);
    for (QWidget* widget : std::initializer_list<QWidget*>{openFolder_, exportPng_, exportCsv_})
        bar->addWidget(widget);
    layout->addLayout(bar);

    pages_ = new QStackedWidget(this);
    tabs_ = new QTabWidget(pages_);
    tabs_->setObjectName("historyViews");
    // Pages on the dialog's own background rather than the white of a pane.
    tabs_->setDocumentMode(true);
    // Tabs are drawn with the button face, which the themes leave at the
    // system's colour: their text takes the button text colour, not the
    // theme's (cyan on a light grey face in the black theme).
    QPalette tabPalette = tabs_->tabBar()->palette();
    tabPalette.setColor(QPalette::WindowText, tabPalette.color(QPalette::ButtonText));
    tabs_->tabBar()->setPalette(tabPalette);
    dayPage_ = new QStackedWidget(tabs_);
    dayCharts_ = new CHistoryDayCharts(dayPage_);
    noDay_ = new QLabel(dayPage_);
    noDay_->setObjectName("historyNoDay");
    noDay_->setAlignment(Qt::AlignCenter);
    dayPage_->addWidget(dayCharts_);
    dayPage_->addWidget(noDay_);
    daysChart_ = new CHistoryDaysChart(tabs_);
    tabs_->addTab(dayPage_, QString());
    tabs_->addTab(daysChart_, QString());
    noLogs_ = new QLabel(pages_);
    noLogs_->setObjectName("historyNoLogs");
    noLogs_->setAlignment(Qt::AlignCenter);
    noLogs_->setWordWrap(true);
    noLogs_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pages_->addWidget(tabs_);
    pages_->addWidget(noLogs_);
    layout->addWidget(pages_, 1);
    status_ = new QLabel(this);
    status_->setObjectName("historyStatus");
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status_);

    connect(previous_, &QPushButton::clicked, this, &CHistoryDlg::ShowPreviousDay);
    connect(next_, &QPushButton::clicked, this, &CHistoryDlg::ShowNextDay);
    connect(date_, &QDateEdit::dateChanged, this, &CHistoryDlg::OnDateEdited);
    connect(openFolder_, &QPushButton::clicked, this, &CHistoryDlg::OnOpenFolderButton);
    connect(pngWindow_, &QAction::triggered, this, [this] { OnExportPng(false); });
    connect(pngFullHd_, &QAction::triggered, this, [this] { OnExportPng(true); });
    connect(exportCsv_, &QPushButton::clicked, this, &CHistoryDlg::OnExportCsv);
    connect(daysChart_, &CHistoryDaysChart::DayChosen, this, [this](LogDate date) {
        ShowDay(date);
        ShowView(0);
    });
}

void CHistoryDlg::SetEnglish(bool english) {
    english_ = english;
    Relabel();
}

void CHistoryDlg::Relabel() {
    setWindowTitle(Tr(text::kTitle, english_));
    previous_->setText(Tr(text::kPrevious, english_));
    next_->setText(Tr(text::kNext, english_));
    openFolder_->setText(Tr(text::kOpenFolder, english_));
    exportPng_->setText(Tr(text::kExportPng, english_));
    pngWindow_->setText(Tr(text::kPngWindowSize, english_));
    pngFullHd_->setText(Tr(text::kPngFullHd, english_));
    exportCsv_->setText(Tr(text::kExportCsv, english_));
    tabs_->setTabText(0, Tr(text::kDayTab, english_));
    tabs_->setTabText(1, Tr(text::kDaysTab, english_));
    noLogs_->setText(Tr(text::kNoLogs, english_).arg(QString::fromStdString(folder_)));
    if (shownDate_)
        noDay_->setText(
            Tr(text::kNoLogForDay, english_).arg(ToQDate(*shownDate_).toString(Qt::ISODate)));
    date_->calendarWidget()->setLocale(english_ ? QLocale(QLocale::English)
                                                : QLocale(QLocale::Chinese));
    dayCharts_->SetEnglish(english_);
    daysChart_->SetEnglish(english_);
    ShowStatus();
}

void CHistoryDlg::SetColourIndex(int colourIndex) {
    colourIndex_ = colourIndex;
    style_ = HistoryChartStyleFor(colourIndex);
    dayCharts_->SetStyle(style_);
    daysChart_->SetStyle(style_);
    MarkCalendarDays();
}

void CHistoryDlg::OpenFolder(const std::string& folder) {
    folder_ = folder;
    if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
    watcher_.addPath(QString::fromStdString(folder_));
    files_ = ListLogDays(folder_);
    daysChart_->SetDays(SummariseDays(files_));
    MarkCalendarDays();
    shownDate_.reset();
    dayCharts_->Clear();
    reader_.reset();
    pages_->setCurrentWidget(files_.empty() ? static_cast<QWidget*>(noLogs_) : tabs_);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{previous_, next_, date_, exportPng_, exportCsv_})
        widget->setEnabled(!files_.empty());
    if (!files_.empty()) ShowDay(files_.back().date);
    Relabel();
}

int CHistoryDlg::IndexOfDay(const LogDate& date) const {
    for (size_t i = 0; i < files_.size(); ++i)
        if (files_[i].date == date) return static_cast<int>(i);
    return -1;
}

bool CHistoryDlg::ShowDay(const LogDate& date) {
    shownDate_ = date;
    {
        const QSignalBlocker block(date_);
        date_->setDate(ToQDate(date));
    }
    const int index = IndexOfDay(date);
    shownPath_.clear();
    if (index < 0) {
        dayCharts_->Clear();
        reader_.reset();
        noDay_->setText(Tr(text::kNoLogForDay, english_).arg(ToQDate(date).toString(Qt::ISODate)));
        dayPage_->setCurrentWidget(noDay_);
        WatchShownDay();
        ShowStatus();
        return false;
    }
    shownPath_ = files_[static_cast<size_t>(index)].path;
    // The charts point into the reader's day: they take the new day before
    // the old one goes.
    auto reader = std::make_unique<CLogDayReader>(date);
    reader->ReadAppended(shownPath_);
    dayCharts_->Show(reader->Day());
    reader_ = std::move(reader);
    dayPage_->setCurrentWidget(dayCharts_);
    WatchShownDay();
    ShowStatus();
    return true;
}

const HistoryDay* CHistoryDlg::ShownDay() const {
    return reader_ ? &reader_->Day() : nullptr;
}

void CHistoryDlg::ShowPreviousDay() {
    if (!shownDate_) return;
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) {
        if (it->date < *shownDate_) {
            ShowDay(it->date);
            return;
        }
    }
}

void CHistoryDlg::ShowNextDay() {
    if (!shownDate_) return;
    for (const LogDayFile& file : files_) {
        if (*shownDate_ < file.date) {
            ShowDay(file.date);
            return;
        }
    }
}

void CHistoryDlg::ShowView(int view) {
    tabs_->setCurrentIndex(view);
}

void CHistoryDlg::OnDateEdited() {
    ShowDay(ToLogDate(date_->date()));
}

void CHistoryDlg::ShowStatus() {
    QString status = Tr(text::kFolder, english_).arg(QString::fromStdString(folder_));
    if (const HistoryDay* day = ShownDay()) {
        const DayTotals& t = day->totals;
        status += "\n";
        status += t.hasData ? Tr(text::kDayTotals, english_)
                                  .arg(t.chargedWh)
                                  .arg(t.usedWh)
                                  .arg(t.peakChargePower)
                                  .arg(t.peakLoadPower)
                                  .arg(t.minBatteryVoltage, 0, 'f', 1)
                                  .arg(t.maxBatteryVoltage, 0, 'f', 1)
                            : Tr(text::kNoReadings, english_);
        if (day->junkLines > 0) status += Tr(text::kSkippedLines, english_).arg(day->junkLines);
        if (following_) status += Tr(text::kLive, english_);
    }
    status_->setText(status);
}

// Days with a file stand out in the date picker's calendar.
void CHistoryDlg::MarkCalendarDays() {
    QCalendarWidget* calendar = date_->calendarWidget();
    calendar->setDateTextFormat(QDate(), QTextCharFormat());
    QTextCharFormat marked;
    marked.setFontWeight(QFont::Bold);
    marked.setForeground(QColor(255, 255, 255));
    marked.setBackground(QColor(0, 110, 60));
    for (const LogDayFile& file : files_)
        calendar->setDateTextFormat(ToQDate(file.date), marked);
    if (!files_.empty()) {
        date_->setDateRange(ToQDate(files_.front().date), ToQDate(files_.back().date).addYears(1));
    }
}

void CHistoryDlg::OnOpenFolderButton() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, Tr(text::kChooseFolder, english_), QString::fromStdString(folder_));
    if (!chosen.isEmpty()) OpenFolder(chosen.toStdString());
}

}  // namespace kestrane
