// Where a day's lines break, where its alarms are marked, and the clean CSV.
#include <gtest/gtest.h>

#include "history/CleanCsv.h"
#include "history/DayShape.h"

namespace kestrane {
namespace {

HistorySample At(int second, bool connected = true, uint16_t error = 1) {
    HistorySample sample;
    sample.secondOfDay = second;
    sample.connected = connected;
    sample.errorText = error;
    return sample;
}

TEST(DayShapeTest, RunsBreakAtDisconnectedRecordsGapsAndClockSteps) {
    struct Case {
        const char* name;
        std::vector<HistorySample> samples;
        std::vector<SampleRun> runs;
    };
    const Case cases[] = {
        {"empty", {}, {}},
        {"steady", {At(0), At(55), At(110)}, {{0, 3}}},
        {"gap of exactly three intervals joins", {At(0), At(165)}, {{0, 2}}},
        {"longer gap breaks", {At(0), At(166), At(221)}, {{0, 1}, {1, 3}}},
        {"disconnected breaks and is not drawn",
         {At(0), At(55, false), At(110), At(165)},
         {{0, 1}, {2, 4}}},
        {"only disconnected", {At(0, false), At(55, false)}, {}},
        {"clock set back breaks", {At(1000), At(500), At(555)}, {{0, 1}, {1, 3}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitIntoRuns(c.samples), c.runs) << c.name;
}

TEST(DayShapeTest, AlarmsAreMarkedWhereTheyBegin) {
    HistoryDay day;
    day.texts = {"", "NormalRun", "Bat_V_Low", "90"};
    day.samples = {At(0, true, 2),   At(55, true, 2),  At(110, false, 1), At(165, true, 2),
                   At(220, true, 1), At(275, true, 3), At(330, true, 2)};
    const std::vector<ErrorMark> expected = {{0, 2}, {275, 3}, {330, 2}};
    EXPECT_EQ(FindErrorMarks(day), expected);
}

TEST(CleanCsvTest, TimestampsAreIsoAndTextsQuoted) {
    HistoryDay day;
    day.date = {2022, 1, 10};
    day.texts = {"", "KS,\"42\"", "CV CHG", "NormalRun"};
    HistorySample sample = At(8 * 3600 + 5 * 60 + 9, true, 3);
    sample.serialText = 1;
    sample.workModeText = 2;
    sample.pvVoltage = 38.5;
    sample.chargedTodayWh = 4294967295LL;
    sample.batteryTemperature = -5;
    day.samples = {sample};
    day.samples.push_back(At(8 * 3600 + 6 * 60, false, 3));
    EXPECT_EQ(FormatCleanCsv(day),
              std::string(kCleanCsvHeader) +
                  "\r\n\"2022-01-10T08:05:09\",\"Connected\",\"KS,\"\"42\"\"\",\"CV CHG\","
                  "\"OFF\",\"NormalRun\",38.5,0.0,0.0,0.0,0.0,0,0,4294967295,0,0,-5\r\n"
                  "\"2022-01-10T08:06:00\",\"Disconnected\",\"\",\"\",\"OFF\",\"NormalRun\","
                  "0.0,0.0,0.0,0.0,0.0,0,0,0,0,0,0\r\n");
}

}  // namespace
}  // namespace kestrane
