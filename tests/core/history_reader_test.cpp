// The reader of the daily event log: what real files hold (restarts, line
// ends, torn lines, commas in the serial number, old day-only dates, junk),
// agreement with the log writer, growing files, and the days summary.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "history/CLogDayReader.h"
#include "history/LogDayFiles.h"
#include "loggen/LogGenerator.h"
#include "monitor/CEventLog.h"
#include "protocol/TextCodec.h"
#include "support/FakeClock.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;
using testing::FakeClock;
using testing::MakeTime;

const std::string kHeader(CEventLog::kLogHeader);
constexpr LogDate kDay{2022, 1, 10};

// A record line as the writer formats it, with a chosen time, event, serial
// number, error code and battery voltage text.
std::string Record(const std::string& time, const std::string& event = "Connected",
                   const std::string& serial = "KS-1", const std::string& error = "NormalRun",
                   const std::string& battery = "13.8", int charged = 100) {
    return "2022.1.10," + time + ", " + event + "," + serial + ",CV CHG,ON," + error + ", 38.5," +
           battery + ",13.7,5.2,0.9, 71,12," + std::to_string(charged) + ",640,31,-5";
}

HistoryDay Parse(const std::string& text) {
    CLogDayReader reader(kDay);
    reader.Feed(text);
    return reader.TakeDay();
}

class HistoryFolderTest : public ::testing::Test {
protected:
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    testing::ScratchDir scratch_{"kestrane-history"};
    const fs::path dir_ = scratch_.Path();
};

TEST(HistoryReaderTest, RealFileContentsAreReadAndJunkIsCountedNotFatal) {
    const std::string text = kHeader + "\r\n" + Record("8:5:0") + "\r\n" +
                             Record("8:6:0", "Disconnected") + "\n" +  // LF only
                             "\r\n" +                                  // date-change blank
                             kHeader + "\r\n" +                        // program restarted
                             Record("9:0:5", "Connected", "A,B,,C", "90") + "\r\n" +
                             "garbage line\r\n" + Record("25:0:0") + "\r\n" +
                             Record("9:1:0", "Connected", "KS-1", "NormalRun", "x") + "\r\n" +
                             Record("10:0:0").substr(0, 30);  // torn by a crash
    const HistoryDay day = Parse(text);
    ASSERT_EQ(day.samples.size(), 3u);
    EXPECT_EQ(day.headerLines, 2);
    EXPECT_EQ(day.junkLines, 3);
    EXPECT_TRUE(day.tornLastLine);

    const HistorySample& first = day.samples[0];
    EXPECT_EQ(first.secondOfDay, 8 * 3600 + 5 * 60);
    EXPECT_TRUE(first.connected);
    EXPECT_TRUE(first.loadOn);
    EXPECT_EQ(day.Text(first.serialText), "KS-1");
    EXPECT_EQ(day.Text(first.workModeText), "CV CHG");
    EXPECT_DOUBLE_EQ(first.pvVoltage, 38.5);
    EXPECT_DOUBLE_EQ(first.loadCurrent, 0.9);
    EXPECT_EQ(first.chargePower, 71);
    EXPECT_EQ(first.usedTodayWh, 640);
    EXPECT_EQ(first.batteryTemperature, -5);
    EXPECT_FALSE(day.samples[1].connected);

    // Commas in the serial number do not shift the numeric columns.
    const HistorySample& commas = day.samples[2];
    EXPECT_EQ(day.Text(commas.serialText), "A,B,,C");
    EXPECT_EQ(day.Text(commas.errorText), "90");
    EXPECT_DOUBLE_EQ(commas.batteryVoltage, 13.8);
    EXPECT_EQ(commas.innerTemperature, 31);
}

TEST(HistoryReaderTest, DayOnlyDatesOfOlderFilesAndPaddedTimesAreRecords) {
    std::string old = Record("8:5:0");
    old.replace(0, 9, "10");
    const HistoryDay day = Parse(old + "\r\n" + Record("08:05:09") + "\r\n");
    ASSERT_EQ(day.samples.size(), 2u);
    EXPECT_EQ(day.junkLines, 0);
    EXPECT_EQ(day.samples[1].secondOfDay, 8 * 3600 + 5 * 60 + 9);
}

TEST(HistoryReaderTest, TotalsComeFromConnectedRecordsOnly) {
    const HistoryDay day =
        Parse(Record("1:0:0", "Connected", "S", "NormalRun", "12.1", 10) + "\n" +
              Record("12:0:0", "Connected", "S", "NormalRun", "14.4", 900) + "\n" +
              Record("23:0:0", "Connected", "S", "NormalRun", "12.6", 1500) + "\n" +
              Record("23:59:0", "Disconnected", "S", "NormalRun", "0.0", 0) + "\n");
    EXPECT_TRUE(day.totals.hasData);
    EXPECT_EQ(day.totals.chargedWh, 1500);
    EXPECT_EQ(day.totals.usedWh, 640);
    EXPECT_EQ(day.totals.peakChargePower, 71);
    EXPECT_DOUBLE_EQ(day.totals.minBatteryVoltage, 12.1);
    EXPECT_DOUBLE_EQ(day.totals.maxBatteryVoltage, 14.4);

    EXPECT_FALSE(Parse(kHeader + "\r\n" + Record("1:0:0", "Disconnected") + "\r\n").totals.hasData);
}

TEST(HistoryReaderTest, FedInPiecesALineSplitAnywhereIsReadOnce) {
    const std::string text = kHeader + "\r\n" + Record("8:5:0") + "\r\n" + Record("8:6:0") + "\r\n";
    for (size_t cut = 1; cut < text.size(); cut += 7) {
        CLogDayReader reader(kDay);
        reader.Feed(text.substr(0, cut));
        reader.Feed(text.substr(cut));
        EXPECT_EQ(reader.Day().samples.size(), 2u) << cut;
        EXPECT_EQ(reader.Day().junkLines, 0) << cut;
        EXPECT_FALSE(reader.Day().tornLastLine);
    }
}

TEST(HistoryReaderTest, NumbersReadAsFromCharsReadsThemInEveryForm) {
    // The short forms the writer uses are parsed directly, anything else by
    // std::from_chars; both must give the same double, or refuse alike.
    std::vector<std::string> texts = {"13.8",
                                      "0.1",
                                      "-0.0",
                                      "-12.5",
                                      "007.25",
                                      "99999.99",
                                      "123456789012.345",
                                      "0.3000000000000001",
                                      "1234567890123456789.5",
                                      "1.",
                                      ".5",
                                      "1e1",
                                      "+1.0",
                                      "-",
                                      "1.2.3",
                                      "inf",
                                      " 12.5 "};
    // Every tenth and hundredth up to 99.99, where any shortcut that
    // multiplies by 0.1 rounds differently.
    for (int i = 0; i < 10000; i += 7)
        texts.push_back(std::to_string(i / 100) + "." + std::to_string(i / 10 % 10) +
                        (i % 2 != 0 ? std::to_string(i % 10) : ""));
    for (const std::string& text : texts) {
        const HistoryDay day =
            Parse(Record("8:5:0", "Connected", "KS-1", "NormalRun", text) + "\n");
        double expected = 0;
        const std::string trimmed =
            text.substr(text.find_first_not_of(' '),
                        text.find_last_not_of(' ') - text.find_first_not_of(' ') + 1);
        const auto result =
            std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), expected);
        const bool valid = result.ec == std::errc() &&
                           result.ptr == trimmed.data() + trimmed.size() && std::isfinite(expected);
        ASSERT_EQ(day.samples.size(), valid ? 1u : 0u) << text;
        if (valid) {
            EXPECT_EQ(day.samples[0].batteryVoltage, expected) << text;
        }
    }
    // Whole numbers: out of range for the temperature's 32 bits is junk.
    const std::string base = Record("8:5:0");
    const std::string tail = ",31,-5";
    ASSERT_EQ(base.substr(base.size() - tail.size()), tail);
    for (const auto& [text, expected] : std::vector<std::pair<std::string, std::optional<int>>>{
             {"-2147483648", -2147483648},
             {"2147483647", 2147483647},
             {"2147483648", std::nullopt},
             {"-0", 0},
             {"0042", 42},
             {"99999999999999999999", std::nullopt},
             {"4.5", std::nullopt}}) {
        const HistoryDay day =
            Parse(base.substr(0, base.size() - tail.size()) + ",31," + text + "\n");
        ASSERT_EQ(day.samples.size(), expected ? 1u : 0u) << text;
        if (expected) {
            EXPECT_EQ(day.samples[0].batteryTemperature, *expected) << text;
        }
    }
}

TEST(HistoryReaderTest, CommasAnywhereInTheSerialNumberLeaveTheColumnsInPlace) {
    // Commas at every position within the eight-byte steps of the field scan.
    for (size_t length = 0; length < 20; ++length) {
        std::string serial;
        for (size_t i = 0; i < length; ++i)
            serial += i % 3 == 1 ? ',' : static_cast<char>('A' + i);
        const HistoryDay day = Parse(Record("8:5:0", "Connected", serial) + "\r\n");
        ASSERT_EQ(day.samples.size(), 1u) << serial;
        EXPECT_EQ(day.Text(day.samples[0].serialText), serial);
        EXPECT_DOUBLE_EQ(day.samples[0].batteryVoltage, 13.8);
        EXPECT_EQ(day.samples[0].batteryTemperature, -5);
    }
    // At most 64 fields: a record has 18, so 46 commas in its serial number
    // are the most a record may hold.
    EXPECT_EQ(Parse(Record("8:5:0", "Connected", std::string(46, ',')) + "\n").samples.size(), 1u);
    const HistoryDay tooMany = Parse(Record("8:5:0", "Connected", std::string(47, ',')) + "\n");
    EXPECT_EQ(tooMany.samples.size(), 0u);
    EXPECT_EQ(tooMany.junkLines, 1);
}

TEST_F(HistoryFolderTest, TheWritersFileReadsBackFieldForField) {
    FakeClock clock(MakeTime(2022, 1, 10, 8, 5, 0));
    ControllerData data;
    TextToWords("KS,0042", data.serialNumber, ControllerData::kSerialWords);
    data.chargeState = 5;  // written as an empty work mode
    data.alarmCode = 0x0090;
    data.pvVoltage = 385;
    data.batteryVoltage = 138;
    data.chargePower = 71;
    data.chargedTodayWh = static_cast<int32_t>(0xFFFFFFFFu);
    data.innerTemperature = -12;
    CEventLog log(clock, dir_.string());
    log.WriteLogRecord(data, 0);   // header
    log.WriteLogRecord(data, 10);  // connected
    clock.Set(MakeTime(2022, 1, 10, 8, 6, 0));
    data.alarmCode = 0;
    data.chargeState = 1;
    log.WriteLogRecord(data, 10);  // disconnected

    const HistoryDay day = ReadLogDay((dir_ / "2022_1_10_Log.csv").string(), kDay);
    ASSERT_EQ(day.samples.size(), 2u);
    EXPECT_EQ(day.headerLines, 1);
    EXPECT_EQ(day.junkLines, 0);
    EXPECT_FALSE(day.tornLastLine);
    const HistorySample& s = day.samples[0];
    EXPECT_EQ(s.secondOfDay, 8 * 3600 + 5 * 60);
    EXPECT_TRUE(s.connected);
    EXPECT_EQ(day.Text(s.serialText), "KS,0042");
    EXPECT_EQ(day.Text(s.workModeText), "");
    EXPECT_EQ(day.Text(s.errorText), "90");
    EXPECT_DOUBLE_EQ(s.pvVoltage, 38.5);
    EXPECT_DOUBLE_EQ(s.batteryVoltage, 13.8);
    EXPECT_EQ(s.chargePower, 71);
    EXPECT_EQ(s.chargedTodayWh, 4294967295LL);
    EXPECT_EQ(s.innerTemperature, -12);
    EXPECT_FALSE(day.samples[1].connected);
    EXPECT_EQ(day.Text(day.samples[1].workModeText), "CC CHG");
    EXPECT_EQ(day.Text(day.samples[1].errorText), "NormalRun");
}

TEST_F(HistoryFolderTest, AGrowingFileIsReadOnlyFromWhereItStopped) {
    const fs::path file = dir_ / "2022_1_10_Log.csv";
    Write(file.filename().string(), kHeader + "\r\n" + Record("8:5:0") + "\r\n" + "2022.1.10,8:6");
    CLogDayReader reader(kDay);
    EXPECT_EQ(reader.ReadAppended(file.string()), 1);
    EXPECT_TRUE(reader.Day().tornLastLine);

    std::ofstream(file, std::ios::binary | std::ios::app) << Record("8:6:0").substr(13) << "\r\n"
                                                          << Record("8:7:0") << "\r\n";
    EXPECT_EQ(reader.ReadAppended(file.string()), 2);
    EXPECT_EQ(reader.Day().junkLines, 0);
    EXPECT_EQ(reader.Day().samples[1].secondOfDay, 8 * 3600 + 6 * 60);
    EXPECT_EQ(reader.ReadAppended(file.string()), 0);
    EXPECT_EQ(reader.Offset(), fs::file_size(file));

    // Replaced by a shorter file: read again from the start.
    Write(file.filename().string(), Record("9:0:0") + "\r\n");
    EXPECT_EQ(reader.ReadAppended(file.string()), 1);
    EXPECT_EQ(reader.Day().samples.size(), 1u);
    EXPECT_EQ(reader.ReadAppended((dir_ / "missing.csv").string()), -1);
}

TEST(LogFileNameTest, OnlyTheWritersNamesWithARealDateAreLogFiles) {
    const std::pair<const char*, std::optional<LogDate>> cases[] = {
        {"2022_1_10_Log.csv", LogDate{2022, 1, 10}},
        {"2024_02_29_Log.csv", LogDate{2024, 2, 29}},
        {"2023_2_29_Log.csv", std::nullopt},
        {"2022_13_1_Log.csv", std::nullopt},
        {"2022_1_10_Log.csv.bak", std::nullopt},
        {"2022_1_Log.csv", std::nullopt},
        {"x_1_10_Log.csv", std::nullopt},
        {"2022_1_10_log.csv", std::nullopt},
        {"Configfiles.ini", std::nullopt},
    };
    for (const auto& [name, date] : cases)
        EXPECT_EQ(ParseLogFileName(name), date) << name;
    EXPECT_EQ(LogFileName({2022, 1, 10}), "2022_1_10_Log.csv");
    EXPECT_EQ(DaysSinceEpoch({1970, 1, 2}) - DaysSinceEpoch({1970, 1, 1}), 1);
    EXPECT_EQ(DaysSinceEpoch({2022, 3, 1}) - DaysSinceEpoch({2022, 2, 28}), 1);
}

TEST_F(HistoryFolderTest, DaysAreListedInDateOrderAndSummarisedFromTheirEnds) {
    Write("2022_1_10_Log.csv",
          kHeader + "\r\n" + Record("8:0:0", "Connected", "S", "NormalRun", "13.0", 700) + "\r\n");
    Write("2021_12_31_Log.csv", "");
    Write("notes.txt", "x");
    fs::create_directory(dir_ / "2022_1_11_Log.csv");  // a folder, not a file
    // A long day that ends with the link down: the last connected record lies
    // far before the end, so the whole file is read.
    std::string longDay =
        kHeader + "\r\n" + Record("1:0:0", "Connected", "S", "NormalRun", "13.0", 4321) + "\r\n";
    for (int i = 0; i < 400; ++i)
        longDay += Record("2:0:0", "Disconnected") + "\r\n";
    longDay += Record("23:0:0").substr(0, 20);
    Write("2022_1_9_Log.csv", longDay);

    const std::vector<LogDayFile> files = ListLogDays(dir_.string());
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].date, (LogDate{2021, 12, 31}));
    EXPECT_EQ(files[1].date, (LogDate{2022, 1, 9}));
    EXPECT_EQ(files[2].date, (LogDate{2022, 1, 10}));

    const std::vector<DaySummary> days = SummariseDays(files);
    EXPECT_FALSE(days[0].hasData);
    EXPECT_TRUE(days[1].hasData);
    EXPECT_EQ(days[1].chargedWh, 4321);
    EXPECT_EQ(days[2].chargedWh, 700);
    EXPECT_EQ(days[2].usedWh, 640);
    EXPECT_TRUE(ListLogDays((dir_ / "missing").string()).empty());
}

TEST_F(HistoryFolderTest, GeneratedDaysSummariseAsTheirFullReadingsTotal) {
    loggen::LogGeneratorOptions options;
    options.folder = dir_.string();
    options.first = MakeTime(2024, 2, 28);
    options.days = 3;
    EXPECT_GT(loggen::GenerateLogs(options), 3 * 1500);
    const std::vector<LogDayFile> files = ListLogDays(dir_.string());
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[1].date, (LogDate{2024, 2, 29}));
    for (const LogDayFile& file : files) {
        const HistoryDay day = ReadLogDay(file.path, file.date);
        EXPECT_EQ(day.junkLines, 0);
        EXPECT_EQ(day.headerLines, 1);
        const DaySummary summary = SummariseDay(file);
        EXPECT_TRUE(summary.hasData);
        EXPECT_GT(summary.chargedWh, 500);
        EXPECT_EQ(summary.chargedWh, day.totals.chargedWh);
        EXPECT_EQ(summary.usedWh, day.totals.usedWh);
        // A day is larger than the pieces it is read in; the totals alone
        // come out as the full reading's.
        EXPECT_GT(file.size, 100000u);
        const DayTotals totals = ReadLogDayTotals(file.path, file.date);
        EXPECT_EQ(totals.hasData, day.totals.hasData);
        EXPECT_EQ(totals.chargedWh, day.totals.chargedWh);
        EXPECT_EQ(totals.usedWh, day.totals.usedWh);
        EXPECT_EQ(totals.peakChargePower, day.totals.peakChargePower);
        EXPECT_EQ(totals.peakLoadPower, day.totals.peakLoadPower);
        EXPECT_EQ(totals.minBatteryVoltage, day.totals.minBatteryVoltage);
        EXPECT_EQ(totals.maxBatteryVoltage, day.totals.maxBatteryVoltage);
    }
}

}  // namespace
}  // namespace kestrane
