// The history window on logs written by the program's own writer: points and
// line breaks per quantity, the days-view totals, the exports, following a
// growing file, an empty folder, and the HISTORY button of the main window.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QStackedWidget>
#include <QTabWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/CMainDlg.h"
#include "bridge/HistoryWriter.h"
#include "history/CleanCsv.h"
#include "history/DayShape.h"
#include "history/ui/CHistoryDayCharts.h"
#include "history/ui/CHistoryDaysChart.h"
#include "history/ui/CHistoryDlg.h"
#include "loggen/LogGenerator.h"
#include "monitor/CEventLog.h"
#include "monitor/ControlIds.h"
#include "support/FakeClock.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;
using testing::MakeTime;

// Serves window events until `done` holds; false after 20 s.
template <typename Condition>
bool WaitFor(Condition done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 20000) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class HistoryWindowTest : public ::testing::Test {
protected:
    // Three days, 9 to 11 March 2025, with the link down twice a day.
    void SetUp() override {
        loggen::LogGeneratorOptions options;
        options.folder = folder_;
        options.first = MakeTime(2025, 3, 9);
        options.days = 3;
        loggen::GenerateLogs(options);
    }
    std::string DayPath(int day) const { return folder_ + "/" + LogFileName({2025, 3, day}); }

    testing::ScratchDir scratch_{"kestrane-historyui"};
    const std::string folder_ = scratch_.Path().string();
};

TEST_F(HistoryWindowTest, DayViewDrawsEveryConnectedRecordAndBreaksAtGaps) {
    CHistoryDlg dialog(folder_, true, 2);
    dialog.show();
    ASSERT_EQ(dialog.Files().size(), 3u);
    ASSERT_NE(dialog.ShownDay(), nullptr);
    EXPECT_EQ(dialog.ShownDay()->date, (LogDate{2025, 3, 11}));  // the newest day

    const HistoryDay expected = ReadLogDay(DayPath(11), {2025, 3, 11});
    int connected = 0;
    for (const HistorySample& s : expected.samples)
        connected += s.connected;
    ASSERT_GT(connected, 1400);
    for (int q = 0; q < CHistoryDayCharts::kQuantityCount; ++q) {
        EXPECT_EQ(dialog.DayCharts().PointCount(q), connected) << q;
        // Two link drop-outs (06:00 and 18:00) split the day into three lines.
        EXPECT_EQ(dialog.DayCharts().PieceCount(q), 3) << q;
    }

    // A record removed from the middle of a run leaves a gap of two intervals
    // (still one line); three removed leave four intervals (a break).
    std::string text = Contents(DayPath(10));
    for (int removed = 0; removed < 3; ++removed) {
        const size_t at = text.find("\r\n2025.3.10,10:");
        text.erase(at, text.find("\r\n", at + 2) - at);
    }
    std::ofstream(DayPath(10), std::ios::binary | std::ios::trunc) << text;
    dialog.ShowPreviousDay();
    ASSERT_EQ(dialog.ShownDay()->date, (LogDate{2025, 3, 10}));
    EXPECT_EQ(dialog.DayCharts().PieceCount(0), 4);

    // The legend hides and shows all pieces of a quantity together.
    dialog.DayCharts().ToggleQuantity(1);
    EXPECT_FALSE(dialog.DayCharts().IsQuantityVisible(1));
    dialog.DayCharts().ToggleQuantity(1);
    EXPECT_TRUE(dialog.DayCharts().IsQuantityVisible(1));

    // Zoom is shared by all four charts and a reset shows the whole day.
    const auto day = dialog.DayCharts().Range();
    dialog.DayCharts().SetRange(day.first + 3600e3, day.first + 7200e3);
    EXPECT_EQ(dialog.DayCharts().Range(), std::make_pair(day.first + 3600e3, day.first + 7200e3));
    dialog.DayCharts().ResetRange();
    EXPECT_EQ(dialog.DayCharts().Range(), day);

    EXPECT_FALSE(dialog.ShowDay({2025, 3, 12}));
    EXPECT_EQ(dialog.findChild<QStackedWidget*>()->currentIndex(), 0);
}

TEST_F(HistoryWindowTest, DaysViewTotalsAreTheSumsOfTheDays) {
    CHistoryDlg dialog(folder_, true, 0);
    dialog.ShowView(1);
    int64_t charged = 0;
    int64_t used = 0;
    for (int day = 9; day <= 11; ++day) {
        const HistoryDay full = ReadLogDay(DayPath(day), {2025, 3, day});
        charged += full.totals.chargedWh;
        used += full.totals.usedWh;
    }
    CHistoryDaysChart& days = dialog.DaysChart();
    ASSERT_EQ(days.RangeCount(), 2);  // every day, March 2025
    EXPECT_EQ(days.ShownDays().size(), 3u);
    EXPECT_EQ(days.ChargedTotal(), charged);
    EXPECT_EQ(days.UsedTotal(), used);
    EXPECT_TRUE(days.TotalsText().contains(QString::number(charged)));
}

TEST_F(HistoryWindowTest, ExportsMatchTheDayAndTheWantedSize) {
    CHistoryDlg dialog(folder_, true, 1);
    dialog.resize(1000, 700);
    dialog.show();
    ASSERT_TRUE(WaitFor([&] { return dialog.isVisible(); }));
    const std::string png = scratch_.Slashed() + "day.png";
    const std::string big = scratch_.Slashed() + "big.png";
    const std::string csv = scratch_.Slashed() + "day.csv";
    const QSize shown = dialog.findChild<QTabWidget*>()->currentWidget()->size();
    ASSERT_TRUE(dialog.ExportPng(QString::fromStdString(png)));
    ASSERT_TRUE(dialog.ExportPng(QString::fromStdString(big), QSize(1920, 1080)));
    EXPECT_EQ(QImage(QString::fromStdString(png)).size(), shown);
    EXPECT_EQ(QImage(QString::fromStdString(big)).size(), QSize(1920, 1080));
    // The view on screen keeps its size after the big picture.
    EXPECT_EQ(dialog.findChild<QTabWidget*>()->currentWidget()->size(), shown);

    ASSERT_TRUE(dialog.ExportCsv(QString::fromStdString(csv)));
    EXPECT_EQ(Contents(csv), FormatCleanCsv(ReadLogDay(DayPath(11), {2025, 3, 11})));
    EXPECT_FALSE(dialog.ExportCsv("/nonexistent-dir/x.csv"));
}

TEST_F(HistoryWindowTest, TheNewestDayFollowsRecordsAppendedByTheWriter) {
    CHistoryDlg dialog(folder_, true, 2);
    dialog.show();
    ASSERT_TRUE(dialog.IsFollowing());
    const int before = dialog.DayCharts().PointCount(0);
    const int64_t chargedBefore = dialog.DaysChart().ChargedTotal();

    // A monitor started later the same evening: header, then two records.
    testing::FakeClock clock(MakeTime(2025, 3, 11, 23, 59, 0));
    ControllerData data;
    data.chargedTodayWh = 99999;
    CEventLog log(clock, folder_);
    log.WriteLogRecord(data, 0);
    log.WriteLogRecord(data, 10);
    clock.Set(MakeTime(2025, 3, 11, 23, 59, 55));
    log.WriteLogRecord(data, 20);
    ASSERT_TRUE(WaitFor([&] { return dialog.DayCharts().PointCount(0) == before + 2; }));
    EXPECT_EQ(dialog.ShownDay()->headerLines, 2);
    ASSERT_TRUE(WaitFor([&] { return dialog.DaysChart().ChargedTotal() != chargedBefore; }));

    // Midnight: the writer's next file appears and the window moves to it.
    clock.Set(MakeTime(2025, 3, 12, 0, 0, 50));
    log.WriteLogRecord(data, 30);  // nothing at the date change
    clock.Set(MakeTime(2025, 3, 12, 0, 1, 45));
    log.WriteLogRecord(data, 40);  // the header of the new day
    clock.Set(MakeTime(2025, 3, 12, 0, 2, 40));
    log.WriteLogRecord(data, 50);
    ASSERT_TRUE(WaitFor([&] {
        return dialog.ShownDay() != nullptr && dialog.ShownDay()->date == LogDate{2025, 3, 12} &&
               dialog.DayCharts().PointCount(0) == 1;
    }));
    EXPECT_TRUE(dialog.IsFollowing());
}

TEST(HistoryBridgeFolderTest, OpensAControllersFolderOfTheBridgeUnchanged) {
    testing::ScratchDir scratch("kestrane-historyui-bridge");
    testing::FakeClock clock(MakeTime(2026, 12, 9, 23, 59, 58));
    bridge::HistoryWriter writer({scratch.Path().string(), 1, 0}, clock);
    bridge::DeviceUpdate update;
    update.identity.deviceId = "sn-ks1";
    update.identity.serialNumber = "KS1";
    update.online = true;
    ControllerData data;
    data.batteryVoltage = 131;
    data.chargePower = 59;
    update.logValues = CEventLog::FormatLogValues(data);
    writer.Publish(update);
    for (const int second : {58, 59, 61, 62}) {
        const int s = second % 60;
        clock.Set(second < 60 ? MakeTime(2026, 12, 9, 23, 59, s) : MakeTime(2026, 12, 10, 0, 0, s));
        writer.Tick();
    }

    CHistoryDlg dialog(scratch.Path().string() + "/sn-ks1", true, 2);
    dialog.show();
    ASSERT_EQ(dialog.Files().size(), 2u);
    ASSERT_NE(dialog.ShownDay(), nullptr);
    EXPECT_EQ(dialog.ShownDay()->date, (LogDate{2026, 12, 10}));
    EXPECT_EQ(dialog.DayCharts().PointCount(0), 2);
    EXPECT_EQ(dialog.ShownDay()->junkLines, 0);
}

TEST(HistoryRangesTest, MonthsNavigationCrosshairAndZoomLimits) {
    testing::ScratchDir scratch{"kestrane-historyranges"};
    loggen::LogGeneratorOptions options;
    options.folder = scratch.Path().string();
    for (const LocalTime& first : {MakeTime(2025, 2, 27), MakeTime(2025, 3, 5)}) {
        options.first = first;
        options.days = 2;  // 27 and 28 February, 5 and 6 March
        loggen::GenerateLogs(options);
    }
    CHistoryDlg dialog(options.folder, true, 2);
    CHistoryDaysChart& days = dialog.DaysChart();
    ASSERT_EQ(days.RangeCount(), 3);  // every day, February, March
    ASSERT_EQ(days.ShownDays().size(), 2u);
    EXPECT_EQ(days.ShownDays().front().date, (LogDate{2025, 3, 5}));
    const int64_t march = days.ChargedTotal();
    days.SelectRange(1);
    EXPECT_EQ(days.ShownDays().front().date, (LogDate{2025, 2, 27}));
    days.SelectRange(0);
    EXPECT_EQ(days.ShownDays().size(), 4u);
    EXPECT_GT(days.ChargedTotal(), march);

    // Previous and next skip the days without a file.
    dialog.ShowDay({2025, 3, 5});
    dialog.ShowPreviousDay();
    EXPECT_EQ(dialog.ShownDay()->date, (LogDate{2025, 2, 28}));
    dialog.ShowNextDay();
    EXPECT_EQ(dialog.ShownDay()->date, (LogDate{2025, 3, 5}));

    // The crosshair reads the nearest record, and nothing inside a drop-out.
    CHistoryDayCharts& charts = dialog.DayCharts();
    const qreal midnight = charts.Range().first;
    charts.HoverAt(midnight + 12 * 3600e3);
    const QStringList noon = charts.View(0)->Readout();
    ASSERT_EQ(noon.size(), 4);  // time, PV, battery, load
    EXPECT_TRUE(noon[0].startsWith("12:0") || noon[0].startsWith("11:59")) << noon[0].toStdString();
    EXPECT_TRUE(noon[1].startsWith("PV ") && noon[1].endsWith(" V")) << noon[1].toStdString();
    charts.HoverAt(midnight + (6 * 3600 + 7 * 60) * 1e3);  // the link is down 06:00-06:15
    EXPECT_TRUE(charts.View(2)->Readout()[1].endsWith("—"));
    charts.HoverAt(midnight + 3600e3);
    EXPECT_FALSE(charts.View(3)->Readout().isEmpty());

    // Zoom stays within the day and no closer than a minute.
    charts.SetRange(midnight - 3600e3, midnight + 2 * 86400e3);
    EXPECT_EQ(charts.Range(), std::make_pair(midnight, midnight + 86400e3));
    charts.SetRange(midnight + 1000, midnight + 2000);
    EXPECT_EQ(charts.Range(), std::make_pair(midnight, midnight + 86400e3));
}

TEST(HistoryEmptyFolderTest, SaysSoAndShowsTheFirstLogWhenItAppears) {
    testing::ScratchDir scratch{"kestrane-historyempty"};
    const std::string folder = scratch.Path().string();
    CHistoryDlg dialog(folder, false, 0);
    auto* message = dialog.findChild<QLabel*>("historyNoLogs");
    ASSERT_NE(message, nullptr);
    EXPECT_FALSE(message->isHidden());
    EXPECT_TRUE(message->text().contains(QString::fromStdString(folder)));
    EXPECT_TRUE(message->text().contains("没有日志文件"));
    dialog.SetEnglish(true);
    EXPECT_TRUE(message->text().startsWith("No log files"));

    testing::FakeClock clock(MakeTime(2025, 3, 11, 12, 0, 0));
    ControllerData data;
    CEventLog log(clock, folder);
    log.WriteLogRecord(data, 0);
    log.WriteLogRecord(data, 10);
    ASSERT_TRUE(WaitFor([&] { return dialog.ShownDay() != nullptr; }));
    EXPECT_TRUE(message->isHidden());
}

TEST(HistoryButtonTest, OpensTheLogFolderModelesslyAndFollowsTheLanguage) {
    testing::ScratchDir scratch{"kestrane-historybutton"};
    {
        SharedState shared;
        CMainDlg window(shared, scratch.Slashed());
        window.SetLogDirectory(scratch.Slashed());  // the folder the log is written to
        window.Create();
        // The button sits on no other control but the energy group's frame.
        const ControlTemplate* button = nullptr;
        for (const ControlTemplate& c : window.Template().controls)
            if (c.id == id::kHistoryButton) button = &c;
        ASSERT_NE(button, nullptr);
        const QRect place(button->x, button->y, button->width, button->height);
        for (const ControlTemplate& c : window.Template().controls) {
            const QRect other(c.x, c.y, c.width, c.height);
            if (c.id == id::kHistoryButton || c.kind == ControlKind::GroupBox) continue;
            EXPECT_FALSE(place.intersects(other)) << c.id;
        }

        const bool english = shared.IsEnglish();
        EXPECT_EQ(window.Text(id::kHistoryButton), english ? "HISTORY" : "历史记录");
        window.Click(id::kHistoryButton);
        CHistoryDlg* history = window.HistoryDialog();
        ASSERT_NE(history, nullptr);
        EXPECT_TRUE(history->isVisible());
        EXPECT_FALSE(history->isModal());
        EXPECT_TRUE(fs::equivalent(history->Folder(), scratch.Path())) << history->Folder();
        EXPECT_EQ(history->windowTitle(), english ? "History" : "历史记录");

        window.Click(id::kLanguageButton);
        EXPECT_EQ(history->windowTitle(), english ? "历史记录" : "History");
        EXPECT_EQ(window.Text(id::kHistoryButton), english ? "历史记录" : "HISTORY");
        window.DestroyControls();
    }
}

}  // namespace
}  // namespace kestrane
