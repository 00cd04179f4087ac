// The bridge's history writer driven one interval at a time: what it records
// for controllers that answer, go away and never answered, where the records
// go when the date changes either way, and what a folder it cannot write
// does to the queue.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "bridge/HistoryWriter.h"
#include "history/CLogDayReader.h"
#include "monitor/CEventLog.h"
#include "support/FakeClock.h"
#include "support/ScratchDir.h"

namespace kestrane::bridge {
namespace {

using testing::FakeClock;
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
    HistoryWriter writer(config, clock_, /*queueBound=*/3);
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
