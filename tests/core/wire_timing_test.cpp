// The wire the paced simulator models: the cycle floor benchmarks compare
// against, and a schedule that never hands a master a byte early.
#include <gtest/gtest.h>

#include "sim/ReplySchedule.h"
#include "sim/WireTiming.h"
#include "support/ModbusTestFrames.h"

namespace kestrane::sim {
namespace {

using testing::ReadRequest;

TEST(WireTiming, CycleFloorCountsEveryByteTurnaroundAndGap) {
    // Eight blocks of 101 registers: 8 requests of 8 bytes and replies of
    // 8 * 5 + 2 * 101 bytes, 306 characters in all, plus per block 2 ms of
    // turnaround and the gap (3.5 characters at 9600, 1.75 ms above 19200).
    const double char9600 = 10.0 / 9.6;
    EXPECT_NEAR(WireTiming(9600, 2).CycleFloorMs(), 306 * char9600 + 16 + 8 * 3.5 * char9600, 1e-9);
    EXPECT_NEAR(WireTiming(115200, 2).CycleFloorMs(), 306 * 10.0 / 115.2 + 16 + 8 * 1.75, 1e-9);
    EXPECT_NEAR(WireTiming(19200, 0).InterFrameGapMs(), 3.5 * 10.0 / 19.2, 1e-12);
    EXPECT_DOUBLE_EQ(WireTiming(38400, 0).InterFrameGapMs(), 1.75);
}

TEST(WireTiming, ReplyWaitsForTheRequestOnTheWireAndTheTurnaround) {
    const WireTiming line(9600, 2);
    const double charMs = line.CharMs();
    // Written at memory speed: the wire still needs eight characters.
    EXPECT_NEAR(line.ReplyStartMs(8, 100, 100), 100 + 8 * charMs + 2, 1e-9);
    // Trickled in slower than the wire: the last byte decides.
    EXPECT_NEAR(line.ReplyStartMs(8, 100, 150), 152, 1e-9);
}

class PacedReply : public ::testing::Test {
protected:
    RtuFrame Request(double arrivedMs) {
        return {RtuFrame::Kind::kModbus, ReadRequest(1, 0, 15), arrivedMs, arrivedMs};
    }
    static std::vector<uint8_t> Bytes(size_t count, uint8_t first = 0) {
        std::vector<uint8_t> bytes(count);
        for (size_t i = 0; i < count; ++i)
            bytes[i] = static_cast<uint8_t>(first + i);
        return bytes;
    }
    const WireTiming line{9600, 2};
};

TEST_F(PacedReply, EveryByteLeavesOnceTheWireHasCarriedIt) {
    const std::vector<Transmission> answer{{0, Bytes(35)}};
    const auto plan = ScheduleReply(answer, Request(1000), 1000.5, &line);
    ASSERT_EQ(plan.size(), 35u);
    const double start = 1000 + 8 * line.CharMs() + 2;
    for (size_t i = 0; i < plan.size(); ++i) {
        EXPECT_EQ(plan[i].bytes, std::vector<uint8_t>{static_cast<uint8_t>(i)});
        EXPECT_NEAR(plan[i].atMs, start + (i + 1) * line.CharMs(), 1e-9) << i;
    }
}

TEST_F(PacedReply, ALateAnswerStillTakesItsFullWireTime) {
    // The answer was ready only after the wire would have allowed it to start.
    const auto plan = ScheduleReply({{0, Bytes(10)}}, Request(0), 50, &line);
    ASSERT_EQ(plan.size(), 10u);
    EXPECT_NEAR(plan.front().atMs, 50 + line.CharMs(), 1e-9);
    EXPECT_NEAR(plan.back().atMs, 50 + 10 * line.CharMs(), 1e-9);
}

TEST_F(PacedReply, DelaysAndPiecesFollowTheEndOfThePreviousPiece) {
    // A late reply split in two, with garbage after it.
    const std::vector<Transmission> answer{{30, Bytes(3)}, {10, Bytes(2, 3)}, {60, Bytes(1, 9)}};
    const auto plan = ScheduleReply(answer, Request(0), 0, &line);
    ASSERT_EQ(plan.size(), 6u);
    const double c = line.CharMs();
    const double first = 8 * c + 2 + 30;
    EXPECT_NEAR(plan[0].atMs, first + c, 1e-9);
    EXPECT_NEAR(plan[2].atMs, first + 3 * c, 1e-9);
    EXPECT_NEAR(plan[3].atMs, first + 3 * c + 10 + c, 1e-9);
    EXPECT_NEAR(plan[5].atMs, first + 5 * c + 10 + 60 + c, 1e-9);
    for (size_t i = 1; i < plan.size(); ++i)
        EXPECT_GT(plan[i].atMs, plan[i - 1].atMs);
}

TEST_F(PacedReply, UnpacedPiecesLeaveWholeAfterTheirDelays) {
    const std::vector<Transmission> answer{{0, Bytes(35)}, {60, Bytes(4)}};
    const auto plan = ScheduleReply(answer, Request(0), 7, nullptr);
    ASSERT_EQ(plan.size(), 2u);
    EXPECT_EQ(plan[0].atMs, 7);
    EXPECT_EQ(plan[0].bytes, Bytes(35));
    EXPECT_EQ(plan[1].atMs, 67);
    EXPECT_TRUE(ScheduleReply({}, Request(0), 7, &line).empty());
}

}  // namespace
}  // namespace kestrane::sim
