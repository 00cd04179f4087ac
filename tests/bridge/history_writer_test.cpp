// The bridge's history writer driven one interval at a time: what it records
// for controllers that answer, go away and never answered, where the records
// go when the date changes either way (a day, or a year when network time
// arrives late), which days retention deletes after such jumps, and what a
// folder it cannot write does to the queue.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "bridge/HistoryWriter.h"
#include "history/CLogDayReader.h"
#include "monitor/CEventLog.h"
#include "support/FakeClock.h"
#include "support/FakeClockSync.h"
#include "support/ScratchDir.h"

namespace kestrane::bridge {
namespace {

using testing::FakeClock;
using testing::FakeClockSync;
using testing::MakeTime;
using testing::ScratchDir;

DeviceUpdate Update(int address, const std::string& serial, bool online,
                    const std::string& values) {
    DeviceUpdate update;
    update.identity.busIndex = 0;
    update.identity.address = static_cast<uint8_t>(address);
    update.identity.serialNumber = serial;
    update.identity.deviceId =
        serial.empty() ? "bus0-addr" + std::to_string(address) : "sn-" + serial;
    update.online = online;
    update.logValues = values;
    return update;
}

// The values part of a record as the log writes it.
const std::string kValues = "KS1,CC CHG,ON,NormalRun, 18.2,13.1,13.0,4.5,1.2, 59,15,120,30,25,21";

std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class HistoryWriterTest : public ::testing::Test {
protected:
    HistoryConfig Config(int keepDays = 0) {
        return {dir_.Path().string() + "/history", 1, keepDays};
    }
    std::filesystem::path File(const std::string& device, const char* name) const {
        return dir_.Path() / "history" / device / name;
    }
    ScratchDir dir_{"kestrane-history-writer"};
    FakeClock clock_{MakeTime(2026, 12, 9, 23, 59, 58)};
};

TEST_F(HistoryWriterTest, RecordsEveryIntervalInTheWindowsFormatAndMarksAnAbsentController) {
    HistoryWriter writer(Config(), clock_);
    writer.Publish(Update(1, "ks1", true, kValues));
    writer.Publish(Update(2, "", false, ""));  // never answered: nothing
    writer.Tick();
    clock_.Set(MakeTime(2026, 12, 9, 23, 59, 59));
    writer.Publish(Update(1, "ks1", false, ""));  // gone: its last values, Disconnected
    writer.Tick();

    EXPECT_EQ(Read(File("sn-ks1", "2026_12_9_Log.csv")),
              std::string(kestrane::CEventLog::kLogHeader) + "\r\n" +
                  "2026.12.9,23:59:58, Connected," + kValues + "\r\n" +
                  "2026.12.9,23:59:59, Disconnected," + kValues + "\r\n");
    EXPECT_FALSE(std::filesystem::exists(File("bus0-addr2", "")));
    const HistoryDay day = ReadLogDay(File("sn-ks1", "2026_12_9_Log.csv"), {2026, 12, 9});
    ASSERT_EQ(day.samples.size(), 2u);
    EXPECT_EQ(day.junkLines, 0);
    EXPECT_DOUBLE_EQ(day.samples[0].batteryVoltage, 13.1);
    EXPECT_EQ(writer.Status().written, 2u);
}

TEST_F(HistoryWriterTest, DayChangesInEitherDirectionAppendWithoutLosingAnything) {
    HistoryWriter writer(Config(), clock_);
    writer.Publish(Update(1, "ks1", true, kValues));
    writer.Tick();
    clock_.Set(MakeTime(2026, 12, 10, 0, 0, 1));  // midnight: a new file with its header
    writer.Tick();
    clock_.Set(MakeTime(2026, 12, 9, 23, 59, 59));  // the clock set back: the old file goes on
    writer.Tick();

    const HistoryDay first = ReadLogDay(File("sn-ks1", "2026_12_9_Log.csv"), {2026, 12, 9});
    const HistoryDay second = ReadLogDay(File("sn-ks1", "2026_12_10_Log.csv"), {2026, 12, 10});
    EXPECT_EQ(first.samples.size(), 2u);
    EXPECT_EQ(first.headerLines, 1);
    EXPECT_EQ(second.samples.size(), 1u);
    EXPECT_EQ(second.headerLines, 1);
}

TEST_F(HistoryWriterTest, AYearBackAppendsToThatDaysFileAndAYearForwardStartsANewOne) {
    // A day file of a year ago, as the bridge wrote it then.
    const auto lastYear = File("sn-ks1", "2025_12_9_Log.csv");
    std::filesystem::create_directories(lastYear.parent_path());
    const std::string earlier = std::string(kestrane::CEventLog::kLogHeader) + "\r\n" +
                                "2025.12.9,10:00:00, Connected," + kValues + "\r\n";
    std::ofstream(lastYear, std::ios::binary) << earlier;

    HistoryWriter writer(Config(), clock_);
    writer.Publish(Update(1, "ks1", true, kValues));
    clock_.Set(MakeTime(2026, 12, 9, 10, 0, 0));
    writer.Tick();
    const std::string today = Read(File("sn-ks1", "2026_12_9_Log.csv"));
    clock_.Set(MakeTime(2025, 12, 9, 10, 0, 1));  // a year back
    writer.Tick();
    clock_.Set(MakeTime(2026, 12, 9, 10, 0, 2));  // and forward again
    writer.Tick();
    clock_.Set(MakeTime(2027, 12, 9, 10, 0, 3));  // a year too far
    writer.Tick();

    const std::string back = Read(lastYear);
    EXPECT_TRUE(back.starts_with(earlier)) << "appended, nothing overwritten";
    EXPECT_EQ(back.substr(earlier.size()), "2025.12.9,10:0:1, Connected," + kValues + "\r\n");
    const std::string again = Read(File("sn-ks1", "2026_12_9_Log.csv"));
    EXPECT_TRUE(again.starts_with(today));
    EXPECT_EQ(ReadLogDay(File("sn-ks1", "2026_12_9_Log.csv"), {2026, 12, 9}).samples.size(), 2u);
    const HistoryDay ahead = ReadLogDay(File("sn-ks1", "2027_12_9_Log.csv"), {2027, 12, 9});
    EXPECT_EQ(ahead.headerLines, 1);
    EXPECT_EQ(ahead.samples.size(), 1u);
    EXPECT_EQ(writer.Status().written, 4u);
}

TEST_F(HistoryWriterTest, IntervalsKeepTheirPaceWhileTheClockJumpsAYearEitherWay) {
    // Every reading of the clock is a year off the one before.
    class JumpingClock : public ILocalClock {
    public:
        LocalTime Now() const override {
            const int n = reads_++;
            return MakeTime(n % 2 == 0 ? 2026 : 2025, 12, 9, 12, 0, n % 60);
        }

    private:
        mutable std::atomic<int> reads_{0};
    } jumping;
    HistoryWriter writer(Config(), jumping);
    writer.Publish(Update(1, "ks1", true, kValues));
    const auto start = std::chrono::steady_clock::now();
    writer.Start();
    const auto deadline = start + std::chrono::seconds(20);
    while (writer.Status().written < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    writer.Stop();
    // Three one-second intervals: neither stalled nor hurried by the jumps.
    EXPECT_GE(writer.Status().written, 3u);
    EXPECT_GE(elapsed, std::chrono::milliseconds(2900));
    EXPECT_LT(elapsed, std::chrono::seconds(20));
    EXPECT_GE(ReadLogDay(File("sn-ks1", "2025_12_9_Log.csv"), {}).samples.size(), 1u);
    EXPECT_GE(ReadLogDay(File("sn-ks1", "2026_12_9_Log.csv"), {}).samples.size(), 1u);
}

TEST_F(HistoryWriterTest, WaitsAFewIntervalsForTheSerialNumberThenUsesTheBusAddress) {
    HistoryWriter writer(Config(), clock_);
    writer.Publish(Update(3, "", true, kValues));
    for (int i = 0; i < HistoryWriter::kIdentityWaitIntervals; ++i)
        writer.Tick();
    EXPECT_EQ(writer.Status().written, 0u);
    writer.Tick();
    EXPECT_EQ(ReadLogDay(File("bus0-addr3", "2026_12_9_Log.csv"), {}).samples.size(), 1u);
}

TEST_F(HistoryWriterTest, AnUnwritableFolderKeepsTheNewestRecordsAndResumesByItself) {
    // A file where the controller's folder belongs fails every write, also
    // for root, as a read-only or broken disk would.
    HistoryConfig config = Config();
    std::filesystem::create_directories(config.dir);
    std::ofstream(config.dir + "/sn-ks1") << "in the way";
    HistoryWriter writer(config, clock_, nullptr, /*queueBound=*/3);
    writer.Publish(Update(1, "ks1", true, kValues));
    for (int second = 0; second < 5; ++second) {
        clock_.Set(MakeTime(2026, 12, 9, 10, 0, second));
        writer.Tick();
    }
    HistoryStatus status = writer.Status();
    EXPECT_TRUE(status.failing);
    EXPECT_NE(status.lastError.find("Not a directory"), std::string::npos) << status.lastError;
    EXPECT_EQ(status.dropped, 2u);
    EXPECT_EQ(status.queued, 3u);

    std::filesystem::remove(config.dir + "/sn-ks1");
    clock_.Set(MakeTime(2026, 12, 9, 10, 0, 5));
    writer.Tick();
    status = writer.Status();
    EXPECT_FALSE(status.failing);
    EXPECT_EQ(status.dropped, 3u);
    // The bound holds as the new record joins: seconds 3, 4 and 5.
    const HistoryDay day = ReadLogDay(File("sn-ks1", "2026_12_9_Log.csv"), {});
    ASSERT_EQ(day.samples.size(), 3u);
    EXPECT_EQ(day.samples.front().secondOfDay, 36003);
}

TEST_F(HistoryWriterTest, AFolderRemovedWhileRunningIsMadeAgain) {
    HistoryWriter writer(Config(), clock_);
    writer.Publish(Update(1, "ks1", true, kValues));
    writer.Tick();
    std::filesystem::remove_all(dir_.Path() / "history");
    writer.Tick();
    EXPECT_FALSE(writer.Status().failing);
    EXPECT_EQ(ReadLogDay(File("sn-ks1", "2026_12_9_Log.csv"), {}).samples.size(), 1u);
}

TEST_F(HistoryWriterTest, RetentionDeletesOnlyOldLogFilesOfEveryFolder) {
    const auto history = dir_.Path() / "history";
    for (const char* folder : {"sn-old", "sn-ks1"}) {
        std::filesystem::create_directories(history / folder);
        for (const char* name :
             {"2026_12_1_Log.csv", "2026_12_5_Log.csv", "2026_12_1_notes.txt", "readme.csv"})
            std::ofstream(history / folder / name) << "x\r\n";
    }
    std::filesystem::create_directories(history / "sn-old" / "2026_1_1_Log.csv");  // a folder
    HistoryWriter writer(Config(/*keepDays=*/7), clock_);  // 9 December: 1 December is old
    writer.Tick();
    for (const char* folder : {"sn-old", "sn-ks1"}) {
        EXPECT_FALSE(std::filesystem::exists(history / folder / "2026_12_1_Log.csv"));
        EXPECT_TRUE(std::filesystem::exists(history / folder / "2026_12_5_Log.csv"));
        EXPECT_TRUE(std::filesystem::exists(history / folder / "2026_12_1_notes.txt"));
        EXPECT_TRUE(std::filesystem::exists(history / folder / "readme.csv"));
    }
    EXPECT_TRUE(std::filesystem::is_directory(history / "sn-old" / "2026_1_1_Log.csv"));
}

TEST_F(HistoryWriterTest, RetentionAfterAJumpBackKeepsTodaysAndLaterFiles) {
    const auto folder = dir_.Path() / "history" / "sn-ks1";
    std::filesystem::create_directories(folder);
    for (const char* name : {"2026_11_1_Log.csv", "2026_12_5_Log.csv", "2026_12_9_Log.csv"})
        std::ofstream(folder / name) << "x\r\n";
    clock_.Set(MakeTime(2026, 12, 9, 12, 0, 0));
    HistoryWriter writer(Config(/*keepDays=*/7), clock_);
    writer.Publish(Update(1, "ks1", true, kValues));
    writer.Tick();
    EXPECT_FALSE(std::filesystem::exists(folder / "2026_11_1_Log.csv"));

    clock_.Set(MakeTime(2025, 12, 9, 12, 0, 1));  // a year back: later files are not old
    writer.Tick();
    EXPECT_TRUE(std::filesystem::exists(folder / "2026_12_5_Log.csv"));
    EXPECT_EQ(ReadLogDay(folder / "2026_12_9_Log.csv", {}).samples.size(), 1u);
    EXPECT_EQ(ReadLogDay(folder / "2025_12_9_Log.csv", {}).samples.size(), 1u);

    // Back to the right date: today's file goes on; the one dated a year ago
    // is as old as its name says.
    clock_.Set(MakeTime(2026, 12, 9, 12, 0, 2));
    writer.Tick();
    EXPECT_TRUE(std::filesystem::exists(folder / "2026_12_5_Log.csv"));
    EXPECT_EQ(ReadLogDay(folder / "2026_12_9_Log.csv", {}).samples.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(folder / "2025_12_9_Log.csv"));
}

TEST_F(HistoryWriterTest, RetentionWaitsForASynchronisedClock) {
    const auto folder = dir_.Path() / "history" / "sn-ks1";
    std::filesystem::create_directories(folder);
    for (const char* name : {"2026_11_1_Log.csv", "2026_12_5_Log.csv"})
        std::ofstream(folder / name) << "x\r\n";
    FakeClockSync sync(false);
    clock_.Set(MakeTime(2027, 12, 9, 12, 0, 0));  // a year ahead, not yet corrected
    HistoryWriter writer(Config(/*keepDays=*/7), clock_, &sync);
    writer.Tick();
    writer.Tick();
    EXPECT_TRUE(std::filesystem::exists(folder / "2026_11_1_Log.csv"));
    EXPECT_TRUE(std::filesystem::exists(folder / "2026_12_5_Log.csv"));

    // Network time arrives and puts the clock right: only the old day goes.
    sync.Set(true);
    clock_.Set(MakeTime(2026, 12, 9, 12, 0, 1));
    writer.Tick();
    EXPECT_FALSE(std::filesystem::exists(folder / "2026_11_1_Log.csv"));
    EXPECT_TRUE(std::filesystem::exists(folder / "2026_12_5_Log.csv"));
}

TEST_F(HistoryWriterTest, TheThreadWritesUntilStoppedAndAStopEndsAtOnce) {
    HistoryWriter writer(Config(), clock_);
    writer.Publish(Update(1, "ks1", true, kValues));
    writer.Start();
    for (int i = 0; i < 400 && writer.Status().written == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const auto before = std::chrono::steady_clock::now();
    writer.Stop();
    EXPECT_GE(writer.Status().written, 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
}

}  // namespace
}  // namespace kestrane::bridge
