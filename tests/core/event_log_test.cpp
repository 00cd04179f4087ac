#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "monitor/CEventLog.h"
#include "protocol/TextCodec.h"
#include "support/FakeClock.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;
using testing::FakeClock;
using testing::MakeTime;

const std::string kHeaderLine =
    "Date,Time,Event,SerialNumber,WorkMode,LoadOutputState,ErrorCode,PV(V),Bat(V),"
    "LoadOutput(V),Charge(A),LoadOutput(A),ChargePower(W),LoadPower(W),TodayCharged(Wh),"
    "TodayUsed(Wh),InnerTemp(C),OutSideTemp(C)\r\n";

class EventLogTest : public ::testing::Test {
protected:
    std::string Contents(const std::string& fileName) const {
        std::ifstream in(dir_ / fileName, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    bool Exists(const std::string& fileName) const { return fs::exists(dir_ / fileName); }

    testing::ScratchDir scratch_{"kestrane-log"};
    const fs::path dir_ = scratch_.Path();
    FakeClock clock_{MakeTime(2022, 1, 10, 8, 5, 0)};
    ControllerData data_;
};

TEST_F(EventLogTest, HeaderFirstThenTheGoldenZeroRecord) {
    CEventLog log(clock_, dir_.string());
    log.WriteLogRecord(data_, 0);
    EXPECT_TRUE(log.LogHeaderWritten());
    EXPECT_EQ(Contents("2022_1_10_Log.csv"), kHeaderLine);

    log.WriteLogRecord(data_, 0);
    EXPECT_EQ(Contents("2022_1_10_Log.csv"),
              kHeaderLine +
                  "2022.1.10,8:5:0, Disconnected,,Standby,OFF,NormalRun, "
                  "0.0,0.0,0.0,0.0,0.0, 0,0,0,0,0,0\r\n");
}

TEST_F(EventLogTest, EventReportsWhetherAnyReplyByteArrivedSinceThePreviousCall) {
    CEventLog log(clock_, dir_.string());
    log.WriteLogRecord(data_, 0);    // header
    log.WriteLogRecord(data_, 120);  // grew: connected
    log.WriteLogRecord(data_, 120);  // unchanged: disconnected
    log.WriteLogRecord(data_, 121);
    std::istringstream lines(Contents("2022_1_10_Log.csv"));
    std::string line;
    std::getline(lines, line);
    const char* expected[] = {" Connected,", " Disconnected,", " Connected,"};
    for (const char* event : expected) {
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_NE(line.find(event), std::string::npos) << line;
    }
}

TEST_F(EventLogTest, RecordFieldsInOrder) {
    TextToWords("KS-0042", data_.serialNumber, ControllerData::kSerialWords);
    data_.chargeState = 2;
    data_.loadOutputOn = 7;
    data_.alarmCode = 0x0090;
    data_.pvVoltage = 385;
    data_.batteryVoltage = 138;
    data_.loadVoltage = 137;
    data_.chargeCurrent = 52;
    data_.loadCurrent = 9;
    data_.chargePower = 71;
    data_.loadPower = 12;
    data_.chargedTodayWh = static_cast<int32_t>(0xFFFFFFFFu);  // unsigned 32-bit energy
    data_.usedTodayWh = 640;
    data_.innerTemperature = 31;
    data_.batteryTemperature = -5;
    EXPECT_EQ(CEventLog::FormatLogRecord(data_, MakeTime(2023, 12, 31, 23, 59, 9), true),
              "2023.12.31,23:59:9, Connected,KS-0042,CV CHG,ON,90, 38.5,13.8,13.7,5.2,0.9, "
              "71,12,4294967295,640,31,-5");
}

TEST_F(EventLogTest, WorkModeAndErrorCodeNames) {
    const std::pair<int, std::string> workModes[] = {
        {0, "Standby"}, {1, "CC CHG"}, {2, "CV CHG"}, {3, "CF CHG"},
        {4, "CC CHG"},  {5, ""},       {6, ""},
    };
    for (const auto& [state, text] : workModes) {
        data_.chargeState = state;
        const std::string line = CEventLog::FormatLogRecord(data_, MakeTime(2022, 1, 1), false);
        EXPECT_NE(line.find(", Disconnected,," + text + ",OFF,"), std::string::npos) << line;
    }
    data_.chargeState = 0;

    const std::pair<int, std::string> errorCodes[] = {
        {0x000, "NormalRun"},
        {0x001, "Bat_V_Over"},
        {0x002, "PV_V_Over"},
        {0x004, "CHG_I_Over"},
        {0x008, "DisCHG_I_Over"},
        {0x010, "Bat_Temp_Over"},
        {0x020, "Inner_Temp_Over"},
        {0x040, "PV_V_Low"},
        {0x080, "Bat_V_Low"},
        {0x100, "TZ_Stop"},
        {0x200, "Remote_Stop"},
        {0x003, "3"},
        {0x0090, "90"},
        {0xABCD, "ABCD"},
    };
    for (const auto& [code, text] : errorCodes) {
        data_.alarmCode = code;
        const std::string line = CEventLog::FormatLogRecord(data_, MakeTime(2022, 1, 1), false);
        EXPECT_NE(line.find(",OFF," + text + ", 0.0,"), std::string::npos) << line;
    }
}

TEST_F(EventLogTest, DateChangeWritesNothingThenHeaderIntoTheNewFile) {
    CEventLog log(clock_, dir_.string());
    log.WriteLogRecord(data_, 0);
    log.WriteLogRecord(data_, 0);
    const std::string firstDay = Contents("2022_1_10_Log.csv");

    clock_.Set(MakeTime(2022, 1, 11, 0, 0, 30));
    log.WriteLogRecord(data_, 0);
    EXPECT_FALSE(log.LogHeaderWritten());
    EXPECT_FALSE(Exists("2022_1_11_Log.csv"));
    EXPECT_EQ(Contents("2022_1_10_Log.csv"), firstDay);

    log.WriteLogRecord(data_, 0);
    EXPECT_EQ(Contents("2022_1_11_Log.csv"), kHeaderLine);
    log.WriteLogRecord(data_, 0);
    EXPECT_EQ(Contents("2022_1_11_Log.csv").substr(kHeaderLine.size(), 16), "2022.1.11,0:0:30");
    EXPECT_EQ(Contents("2022_1_10_Log.csv"), firstDay);
}

TEST_F(EventLogTest, SameDayOfALaterMonthStartsANewFileWithAHeader) {
    CEventLog log(clock_, dir_.string());
    log.WriteLogRecord(data_, 0);
    log.WriteLogRecord(data_, 0);

    clock_.Set(MakeTime(2022, 2, 10, 9, 0, 0));
    log.WriteLogRecord(data_, 0);
    EXPECT_FALSE(Exists("2022_2_10_Log.csv"));
    log.WriteLogRecord(data_, 0);
    EXPECT_EQ(Contents("2022_2_10_Log.csv"), kHeaderLine);

    // And the same day and month of a later year.
    clock_.Set(MakeTime(2023, 2, 10, 9, 0, 0));
    log.WriteLogRecord(data_, 0);
    log.WriteLogRecord(data_, 0);
    EXPECT_EQ(Contents("2023_2_10_Log.csv"), kHeaderLine);
}

TEST_F(EventLogTest, EachNewLogWritesItsHeaderAgainIntoAnExistingFile) {
    CEventLog(clock_, dir_.string()).WriteLogRecord(data_, 0);
    CEventLog(clock_, dir_.string()).WriteLogRecord(data_, 0);
    EXPECT_EQ(Contents("2022_1_10_Log.csv"), kHeaderLine + kHeaderLine);
}

TEST_F(EventLogTest, UnwritableDirectoryLosesOnlyTheLinesOfThoseCalls) {
    const fs::path logDir = dir_ / "logs";
    const fs::path away = dir_ / "away";
    CEventLog log(clock_, logDir.string());

    // No directory yet: the header is lost and is written by the next call.
    log.WriteLogRecord(data_, 0);
    EXPECT_FALSE(log.LogHeaderWritten());
    fs::create_directory(logDir);
    log.WriteLogRecord(data_, 0);
    EXPECT_TRUE(log.LogHeaderWritten());

    // A record whose file cannot be opened is dropped; the next one is written.
    fs::rename(logDir, away);
    log.WriteLogRecord(data_, 5);
    fs::rename(away, logDir);
    log.WriteLogRecord(data_, 5);
    EXPECT_EQ(Contents("logs/2022_1_10_Log.csv"),
              kHeaderLine +
                  "2022.1.10,8:5:0, Disconnected,,Standby,OFF,NormalRun, "
                  "0.0,0.0,0.0,0.0,0.0, 0,0,0,0,0,0\r\n");
}

TEST_F(EventLogTest, AppendLogLineNamesTheFileAndReportsDroppedLines) {
    CEventLog log(clock_, dir_.string() + "/");
    EXPECT_TRUE(log.AppendLogLine("a,b", "base", "txt"));
    EXPECT_TRUE(log.AppendLogLine("", "base", "txt"));
    EXPECT_EQ(Contents("base.txt"), "a,b\r\n\r\n");
    fs::create_directory(dir_ / "taken.csv");  // a directory cannot be appended to
    EXPECT_FALSE(log.AppendLogLine("x", "taken", "csv"));
    EXPECT_EQ(CEventLog::LogBaseName(MakeTime(2022, 1, 10)), "2022_1_10_Log");
    EXPECT_EQ(CEventLog::LogBaseName(MakeTime(2031, 11, 1)), "2031_11_1_Log");
}

}  // namespace
}  // namespace kestrane
