// The history folder through the reader: day totals kept by file size and
// time, a growing file read only as it grows, series buckets that never join
// records across an absence, and names from the network never becoming paths.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "history/HistoryStore.h"
#include "history/LogRetention.h"
#include "platform/WholeLineFile.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

using testing::ScratchDir;

// A record line at hh:mm:ss with a battery voltage and charge power.
std::string Record(int h, int m, int s, bool connected, double battery, int power) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "2026.12.9,%d:%d:%d, %s,KS1,CC CHG,ON,NormalRun, 18.0,%.1f,13.0,4.0,1.0, "
                  "%d,10,100,20,25,20\r\n",
                  h, m, s, connected ? "Connected" : "Disconnected", battery, power);
    return line;
}

class HistoryStoreTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(dir_.Path() / "sn-ks1"); }
    std::string Day(int day) const {
        return (dir_.Path() / "sn-ks1" / ("2026_12_" + std::to_string(day) + "_Log.csv")).string();
    }
    void Append(int day, const std::string& lines) {
        std::ofstream(Day(day), std::ios::app | std::ios::binary) << lines;
    }
    ScratchDir dir_{"kestrane-history-store"};
    HistoryStore store_{dir_.Path().string()};
};

TEST_F(HistoryStoreTest, DeviceNamesFromOutsideNeverLeaveTheFolder) {
    for (const char* name : {"..", ".", "../etc", "sn-KS1", "a/b", "", "sn ks1", "sn-ks1\n"})
        EXPECT_FALSE(HistoryStore::IsDeviceName(name)) << name;
    EXPECT_TRUE(HistoryStore::IsDeviceName("bus0-addr7"));
    EXPECT_FALSE(store_.Days("..").has_value());
    EXPECT_FALSE(store_.Days("sn-none").has_value());
    EXPECT_EQ(store_.Devices(), std::vector<std::string>{"sn-ks1"});
}

TEST_F(HistoryStoreTest, DayTotalsFollowChangedFilesAndTheGrowingDay) {
    Append(8, Record(10, 0, 0, true, 12.5, 100) + Record(11, 0, 0, true, 13.5, 300));
    Append(9, Record(10, 0, 0, true, 12.0, 50));
    auto days = store_.Days("sn-ks1");
    ASSERT_EQ(days->size(), 2u);
    EXPECT_EQ(days->at(0).totals.peakChargePower, 300);
    EXPECT_DOUBLE_EQ(days->at(0).totals.minBatteryVoltage, 12.5);

    Append(9, Record(10, 1, 0, true, 14.0, 400));  // today grows
    Append(8, Record(12, 0, 0, true, 11.0, 10));   // an old day changed by hand
    days = store_.Days("sn-ks1", {2026, 12, 8}, {2026, 12, 9});
    EXPECT_EQ(days->at(1).totals.peakChargePower, 400);
    EXPECT_DOUBLE_EQ(days->at(0).totals.minBatteryVoltage, 11.0);
    EXPECT_EQ(store_.Days("sn-ks1", {2026, 12, 9}, {})->size(), 1u);
}

TEST_F(HistoryStoreTest, BucketsNeverJoinRecordsAcrossAnAbsence) {
    // 10:00-10:02 connected, a disconnected record, 10:03-10:04 connected, then
    // a silence of an hour, then 11:05.
    Append(9, Record(10, 0, 0, true, 12.0, 100) + Record(10, 1, 0, true, 13.0, 200) +
                  Record(10, 2, 0, true, 14.0, 300) + Record(10, 2, 30, false, 14.0, 300) +
                  Record(10, 3, 0, true, 12.2, 10) + Record(10, 4, 0, true, 12.4, 20) +
                  Record(11, 5, 0, true, 12.6, 30));
    const int64_t from = LocalSeconds({2026, 12, 9}, 10 * 3600);
    // One bucket for the whole range: still three points, one per run.
    const auto points = store_.Series("sn-ks1", from, from + 2 * 3600, 1);
    ASSERT_EQ(points->size(), 5u);
    ASSERT_TRUE(points->at(0) && !points->at(1) && points->at(2) && !points->at(3) &&
                points->at(4));
    const SeriesPoint& first = *points->at(0);
    EXPECT_EQ(first.count, 3);
    EXPECT_DOUBLE_EQ(first.min[1], 12.0);
    EXPECT_DOUBLE_EQ(first.mean[1], 13.0);
    EXPECT_DOUBLE_EQ(first.max[5], 300);
    EXPECT_EQ(points->at(2)->count, 2);
    EXPECT_EQ(points->at(4)->start, from + 3900);

    // Minute buckets: consecutive points of one run are joined, no gap.
    const auto minutes = store_.Series("sn-ks1", from, from + 300, 5);
    ASSERT_EQ(minutes->size(), 6u);
    EXPECT_FALSE(minutes->at(3).has_value());
}

TEST_F(HistoryStoreTest, RecordsOutOfTimeOrderAreSortedIntoTheirBuckets) {
    // The clock was set back by a minute and forward again.
    Append(9, Record(10, 2, 0, true, 12.0, 1) + Record(10, 3, 0, true, 12.0, 2) +
                  Record(10, 1, 0, true, 12.0, 3) + Record(10, 4, 0, true, 12.0, 4));
    const int64_t from = LocalSeconds({2026, 12, 9}, 10 * 3600);
    const auto points = store_.Series("sn-ks1", from, from + 600, 10);
    std::vector<double> powers;
    for (const auto& p : *points)
        if (p) powers.push_back(p->mean[5]);
    EXPECT_EQ(powers, (std::vector<double>{3, 1, 2, 4}));
}

TEST_F(HistoryStoreTest, AClockSetBackAnHourCountsEveryRecordOnceInTimeOrder) {
    // 10:00 to 10:50, then the clock set back to 10:20: two runs over the
    // same half hour, each of its own, none dropped.
    std::string lines;
    for (int minute = 0; minute <= 50; minute += 10)
        lines += Record(10, minute, 0, true, 12.0, minute / 10 + 1);
    lines += Record(10, 20, 0, true, 12.0, 7) + Record(10, 30, 0, true, 12.0, 8);
    Append(9, lines);
    EXPECT_EQ(store_.Days("sn-ks1")->at(0).totals.peakChargePower, 8);

    const int64_t from = LocalSeconds({2026, 12, 9}, 10 * 3600);
    const auto points = store_.Series("sn-ks1", from, from + 3600, 6);
    int records = 0;
    int64_t previousStart = 0;
    std::vector<double> powers;
    for (const auto& point : *points) {
        if (!point) continue;
        records += point->count;
        EXPECT_GE(point->start, previousStart);
        previousStart = point->start;
        EXPECT_EQ(point->min[5], point->max[5]) << "a point mixed the two runs";
        powers.push_back(point->mean[5]);
    }
    EXPECT_EQ(records, 8);
    EXPECT_EQ(powers, (std::vector<double>{1, 2, 3, 7, 4, 8, 5, 6}));
}

TEST(WholeLineFile, AFileEndingInsideALineGetsItsLineEndBeforeTheNextLine) {
    ScratchDir dir("kestrane-whole-line");
    const std::string path = dir.Slashed() + "x.csv";
    EXPECT_EQ(AppendWholeLines(path, "a\r\n", {"HEAD\r\n", false}), 0);
    std::ofstream(path, std::ios::app) << "torn";
    EXPECT_EQ(AppendWholeLines(path, "b\r\n", {"HEAD\r\n", true}), 0);
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text, "HEAD\r\na\r\ntorn\r\nb\r\n");
    EXPECT_EQ(AppendWholeLines(dir.Slashed() + "missing/x.csv", "a\r\n"), ENOENT);
}

TEST(LocalDateTime, AcceptsDatesAndTimesAndRefusesTheRest) {
    EXPECT_EQ(ParseLocalDateTime("1970-01-02"), 86400);
    EXPECT_EQ(ParseLocalDateTime("1970-01-01T01:02"), 3720);
    EXPECT_EQ(ParseLocalDateTime("1970-01-01T01:02:03"), 3723);
    for (const char* bad : {"1970-1-1", "2026-02-30", "2026-12-09T24:00", "2026-12-09 10:00",
                            "2026-12-09T10:00:00Z", "", "x"})
        EXPECT_FALSE(ParseLocalDateTime(bad).has_value()) << bad;
    EXPECT_EQ(IsoDate(DateFromDaysSinceEpoch(DaysSinceEpoch({2024, 2, 29}))), "2024-02-29");
}

}  // namespace
}  // namespace kestrane
