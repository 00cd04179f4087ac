// The simulator on a real pseudo-terminal: what comes back, byte by byte,
// including every injected fault.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "sim/SimulatorThread.h"
#include "support/ModbusTestFrames.h"
#include "support/RawPty.h"
#include "support/SimulatorLine.h"

namespace kestrane::sim {
namespace {

using testing::BatteryTypeFrame;
using testing::CrcValid;
using testing::RawPty;
using testing::ReadRequest;
using testing::ReplyWords;
using testing::WriteMultipleRequest;
using testing::WriteSingleRequest;

const std::vector<uint8_t> kReadRealTime{0x01, 0x03, 0x00, 0x00, 0x00, 0x0F, 0x05, 0xCE};

class LineTest : public testing::SimulatorLine {};

TEST_F(LineTest, AnswersEveryReadBlock) {
    Serve();
    const std::vector<uint8_t> reply = Ask(kReadRealTime);
    ASSERT_EQ(reply.size(), 35u);
    EXPECT_EQ(reply[0], 1);
    EXPECT_EQ(reply[1], 3);
    EXPECT_EQ(reply[2], 30);
    EXPECT_TRUE(CrcValid(reply));
    for (const ReadBlock& block : kReadBlocks) {
        const auto answer = Ask(ReadRequest(1, block.start, block.count));
        ASSERT_EQ(answer.size(), 5u + 2 * block.count);
        EXPECT_TRUE(CrcValid(answer));
        EXPECT_EQ(ReplyWords(answer), sim->Registers(block.start, block.count));
    }
}

TEST_F(LineTest, WritesAreAcknowledgedAndReadBack) {
    Serve();
    const auto write = WriteMultipleRequest(1, 0x0907, {146, 132, 110, 150, 118, 141});
    const auto ack = Ask(write);
    ASSERT_EQ(ack.size(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(ack.begin(), ack.begin() + 6),
              std::vector<uint8_t>(write.begin(), write.begin() + 6));
    EXPECT_TRUE(CrcValid(ack));
    EXPECT_EQ(ReplyWords(Ask(ReadRequest(1, 0x0907, 6))),
              (std::vector<uint16_t>{146, 132, 110, 150, 118, 141}));
    EXPECT_EQ(Ask(WriteSingleRequest(1, 0x0401, 5117)), WriteSingleRequest(1, 0x0401, 5117));
}

TEST_F(LineTest, SilentForOtherAddressesAndBadCrc) {
    Serve();
    EXPECT_TRUE(Ask(ReadRequest(2, 0, 15), 300).empty());
    auto bad = kReadRealTime;
    bad[7] ^= 0x01;
    EXPECT_TRUE(Ask(bad, 300).empty());
    EXPECT_EQ(Ask(kReadRealTime).size(), 35u);  // still in step afterwards
    EXPECT_EQ(sim->RequestCount(), 1u);
}

TEST_F(LineTest, UnmappedRegisterGetsAnException) {
    Serve();
    EXPECT_EQ(Ask(ReadRequest(1, 0x0500, 1)), testing::WithCrc({0x01, 0x83, 0x02}));
    EXPECT_EQ(Ask(testing::WithCrc({0x01, 0x04, 0x00, 0x00, 0x00, 0x01})),
              testing::WithCrc({0x01, 0x84, 0x01}));
}

TEST_F(LineTest, NoiseBeforeARequestIsSkipped) {
    Serve();
    std::vector<uint8_t> stream{0x00, 0xFF, 0x01, 0x10, 0x13};
    stream.insert(stream.end(), kReadRealTime.begin(), kReadRealTime.end());
    EXPECT_EQ(Ask(stream).size(), 35u);
}

TEST_F(LineTest, NewAddressAnswersFromTheOldOneThenOnlyTheNew) {
    Serve();
    const auto change = WriteSingleRequest(1, 0x0203, 9);
    EXPECT_EQ(Ask(change), change);  // acknowledged from address 1
    EXPECT_EQ(sim->Address(), 9);
    EXPECT_TRUE(Ask(kReadRealTime, 300).empty());
    const auto reply = Ask(ReadRequest(9, 0x0203, 1));
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_EQ(reply[0], 9);
    EXPECT_EQ(ReplyWords(reply), std::vector<uint16_t>{9});
}

TEST_F(LineTest, RestoreAndClockCommandsOverTheLine) {
    Serve();
    Ask(WriteSingleRequest(1, 0x0103, 150));
    const auto restore = WriteSingleRequest(1, 0x0601, 6);
    EXPECT_EQ(Ask(restore), restore);
    EXPECT_EQ(sim->Registers(0x0103, 1)[0], 144);
    const auto clock = WriteMultipleRequest(1, 0x0601, {4, 27, 3, 9, 14, 5, 6});
    EXPECT_EQ(Ask(clock).size(), 8u);
    EXPECT_EQ(sim->Clock().ToString(), "2027-03-09T14:05:06");
}

TEST_F(LineTest, BatteryTypeFrameIsEchoed) {
    Serve();
    const std::vector<uint8_t> frame{0xAA, 0x01, 0x01, 0x02, 0x01, 0x04,
                                     0x01, 0x00, 0x00, 0x00, 0x4C};
    EXPECT_EQ(Ask(frame), frame);
    EXPECT_EQ(sim->Registers(0x0101, 1)[0], 0);
    EXPECT_TRUE(Ask(BatteryTypeFrame(2, 3), 300).empty());  // another controller's
}

TEST_F(LineTest, BatteryTypeFrameIgnoredOnRequest) {
    SimulatorOptions options;
    options.ignoreAa = true;
    Serve(options);
    EXPECT_TRUE(Ask(BatteryTypeFrame(1, 3), 300).empty());
    EXPECT_EQ(Ask(kReadRealTime).size(), 35u);
}

TEST_F(LineTest, DropLeavesTheRequestUnanswered) {
    SimulatorOptions options;
    options.drop = 1;
    Serve(options);
    EXPECT_TRUE(Ask(kReadRealTime, 300).empty());
    EXPECT_TRUE(Ask(WriteSingleRequest(1, 0x0103, 150), 300).empty());
    EXPECT_EQ(sim->Registers(0x0103, 1)[0], 144);  // a lost request does nothing
}

TEST_F(LineTest, CorruptRepliesHaveTheRightLengthAndABadCrc) {
    SimulatorOptions options;
    options.corrupt = 1;
    Serve(options);
    const auto reply = Ask(kReadRealTime);
    ASSERT_EQ(reply.size(), 35u);
    EXPECT_FALSE(CrcValid(reply));
    const auto aa = Ask(BatteryTypeFrame(1, 5));
    ASSERT_EQ(aa.size(), 11u);
    EXPECT_NE(aa, BatteryTypeFrame(1, 5));
}

TEST_F(LineTest, ExceptionFaultRefusesToAct) {
    SimulatorOptions options;
    options.exception = 1;
    Serve(options);
    EXPECT_EQ(Ask(kReadRealTime), testing::WithCrc({0x01, 0x83, 0x04}));
    EXPECT_EQ(Ask(WriteSingleRequest(1, 0x0103, 150)), testing::WithCrc({0x01, 0x86, 0x04}));
    EXPECT_EQ(sim->Registers(0x0103, 1)[0], 144);
}

TEST_F(LineTest, RefusedWritesChangeNothingWhileReadsAreAnswered) {
    SimulatorOptions options;
    options.refuseWrites = true;
    Serve(options);
    EXPECT_EQ(Ask(WriteSingleRequest(1, 0x0103, 150)), testing::WithCrc({0x01, 0x86, 0x04}));
    EXPECT_EQ(Ask(WriteMultipleRequest(1, 0x0103, {150, 140})),
              testing::WithCrc({0x01, 0x90, 0x04}));
    const std::vector<uint8_t> reply = Ask(ReadRequest(1, 0x0103, 2));
    EXPECT_EQ(ReplyWords(reply), (std::vector<uint16_t>{144, 138}));
    // The 0xAA frame is refused like the battery-settings write it follows.
    EXPECT_EQ(Ask(BatteryTypeFrame(1, 3)), testing::WithCrc({0x01, 0x90, 0x04}));
    EXPECT_EQ(sim->Registers(0x0101, 1)[0], 0);
}

TEST_F(LineTest, WrongEchoNamesAnotherRegister) {
    SimulatorOptions options;
    options.wrongEcho = 1;
    Serve(options);
    const auto ack = Ask(WriteMultipleRequest(1, 0x0703, {150, 145, 110, 122}));
    EXPECT_EQ(ack, testing::WithCrc({0x01, 0x10, 0x07, 0x04, 0x00, 0x04}));
    EXPECT_EQ(Ask(kReadRealTime).size(), 35u);  // reads are unaffected
}

TEST_F(LineTest, DelayHoldsTheReplyBack) {
    SimulatorOptions options;
    options.delayMs = 300;
    Serve(options);
    ASSERT_TRUE(line.Write(kReadRealTime));
    const auto pieces = line.ReadPieces(3000, 60);
    ASSERT_FALSE(pieces.empty());
    EXPECT_GE(pieces.front().atMs, 250);
}

TEST_F(LineTest, SplitRepliesArriveInPiecesWithShortGaps) {
    SimulatorOptions options;
    options.split = 1;
    Serve(options);
    ASSERT_TRUE(line.Write(ReadRequest(1, 0x0801, 18)));
    const auto pieces = line.ReadPieces(1000, 200);
    ASSERT_GE(pieces.size(), 2u);
    EXPECT_LE(pieces.size(), 4u);
    std::vector<uint8_t> whole;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) {
            EXPECT_GE(pieces[i].atMs - pieces[i - 1].atMs, 5);
            EXPECT_LT(pieces[i].atMs - pieces[i - 1].atMs, 150);
        }
        whole.insert(whole.end(), pieces[i].bytes.begin(), pieces[i].bytes.end());
    }
    EXPECT_EQ(whole.size(), 41u);
    EXPECT_TRUE(CrcValid(whole));
}

TEST_F(LineTest, NoiseFollowsTheReplyAfterASilence) {
    SimulatorOptions options;
    options.noise = 1;
    Serve(options);
    const auto reply = Ask(kReadRealTime, 1000);  // ends at the 60 ms silence... or not
    ASSERT_GE(reply.size(), 35u);
    std::vector<uint8_t> frame(reply.begin(), reply.begin() + 35);
    EXPECT_TRUE(CrcValid(frame));
    const auto garbage = reply.size() > 35 ? std::vector<uint8_t>(reply.begin() + 35, reply.end())
                                           : line.ReadReply(1000);
    EXPECT_GE(garbage.size(), 1u);
    EXPECT_LE(garbage.size(), 8u);
}

TEST_F(LineTest, PacingTakesTheWireTime) {
    SimulatorOptions options;
    options.pace = true;
    options.baud = 1200;  // 8.3 ms a byte: 35 bytes take about 290 ms
    Serve(options);
    ASSERT_TRUE(line.Write(kReadRealTime));
    const auto pieces = line.ReadPieces(2000, 100);
    ASSERT_FALSE(pieces.empty());
    size_t total = 0;
    for (const auto& piece : pieces)
        total += piece.bytes.size();
    EXPECT_EQ(total, 35u);
    EXPECT_GE(pieces.back().atMs - pieces.front().atMs, 200);
}

TEST_F(LineTest, HangsUpAfterTheConfiguredRequests) {
    SimulatorOptions options;
    options.hangupAfter = 2;
    Serve(options);
    EXPECT_EQ(Ask(kReadRealTime).size(), 35u);
    EXPECT_EQ(Ask(kReadRealTime).size(), 35u);
    EXPECT_TRUE(line.WaitHangup(2000));
    EXPECT_FALSE(sim->Running());
    EXPECT_TRUE(sim->HungUp());
}

TEST_F(LineTest, StopIsPromptEvenWhileAReplyWaits) {
    SimulatorOptions options;
    options.delayMs = 10000;
    Serve(options);
    ASSERT_TRUE(line.Write(kReadRealTime));
    usleep(100 * 1000);
    const auto start = std::chrono::steady_clock::now();
    sim->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_FALSE(sim->Running());
}

TEST(SimulatorThread, LinkPointsAtTheLineWhileItServes) {
    const std::string link =
        (std::filesystem::temp_directory_path() / ("kestrane-sim-" + std::to_string(getpid())))
            .string();
    SimulatorOptions options;
    options.linkPath = link;
    {
        SimulatorThread sim(options);
        std::string error;
        ASSERT_TRUE(sim.Start(&error)) << error;
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.DevicePath());
        RawPty line;
        ASSERT_TRUE(line.Open(link));
        ASSERT_TRUE(line.Write(kReadRealTime));
        EXPECT_EQ(line.ReadReply().size(), 35u);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimulatorThread, ClockRunsAtTheDaySpeed) {
    SimulatorOptions options;
    options.daySeconds = 86.4;  // a thousand times real time
    SimulatorThread sim(options);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    const double before = sim.Clock().secondOfDay;
    usleep(300 * 1000);
    const double advanced = sim.Clock().secondOfDay - before;
    EXPECT_GT(advanced, 200);
    EXPECT_LT(advanced, 3000);
}

}  // namespace
}  // namespace kestrane::sim
