#include <gtest/gtest.h>

#include <numeric>
#include <string_view>

#include "protocol/CModbusFrame.h"
#include "protocol/RegisterMap.h"
#include "support/ModbusReply.h"

namespace kestrane {
namespace {

using testing::Bytes;
using testing::Feed;
using testing::RequestBytes;
using testing::WithCrc;

uint16_t CrcOf(std::string_view text) {
    return CModbusFrame::Crc16(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(Crc16, MatchesThePublishedCheckValues) {
    EXPECT_EQ(CrcOf("123456789"), 0x4B37);
    EXPECT_EQ(CModbusFrame::Crc16(nullptr, 0), 0xFFFF);
    const uint8_t readHeader[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0F};
    EXPECT_EQ(CModbusFrame::Crc16(readHeader, sizeof readHeader), 0xCE05);
}

class FrameTest : public ::testing::Test {
protected:
    SharedState state;
    CModbusFrame frame{state};
};

TEST_F(FrameTest, ReadRequestIsEightBytesWithCrcLowByteFirst) {
    frame.BuildReadRequest(1, 3, 0x0000, 15);
    EXPECT_EQ(RequestBytes(frame), (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x0F, 0x05, 0xCE}));

    frame.ClearRequest();
    frame.BuildReadRequest(247, 3, 0x0801, 18);
    EXPECT_EQ(RequestBytes(frame), WithCrc({0xF7, 0x03, 0x08, 0x01, 0x00, 0x12}));
}

TEST_F(FrameTest, BatteryTypeFrameSumsToZero) {
    frame.BuildWriteRequest(1, 16, kBatteryTypeFrameCode);
    EXPECT_EQ(RequestBytes(frame),
              (Bytes{0xAA, 0x01, 0x01, 0x02, 0x01, 0x04, 0x01, 0x00, 0x00, 0x00, 0x4C}));

    // Type 0x0105 (only the low 16 bits of the image count) at address 0xF7:
    // low byte first, and the checksum wraps below zero.
    state.data.batteryWrite[0] = 0x7FFF0105;
    frame.ClearRequest();
    frame.BuildWriteRequest(0xF7, 16, kBatteryTypeFrameCode);
    const Bytes sent = RequestBytes(frame);
    ASSERT_EQ(sent.size(), 11u);
    EXPECT_EQ(sent[2], 0xF7);
    EXPECT_EQ(sent[8], 0x05);
    EXPECT_EQ(sent[9], 0x01);
    EXPECT_EQ(sent[10], static_cast<uint8_t>(0x4D - 0x01 - 0x05 - 0xF7));
    EXPECT_EQ(std::accumulate(sent.begin(), sent.end(), 0u) % 256, 0u);
}

// Fills every write image with values whose upper 16 bits must never reach the
// wire: position i of an image holds 0xABCD0000 + 0x0100 * (i + 1) + i.
void FillImages(ControllerData& data) {
    const auto fill = [](AtomicValue* image, int count) {
        for (int i = 0; i < count; ++i)
            image[i] = static_cast<int32_t>(0xABCD0000u + 0x0100u * (i + 1) + i);
    };
    fill(data.batteryWrite, ControllerData::kBatteryWriteWords);
    fill(data.leadAcidWrite, ControllerData::kLeadAcidWriteWords);
    fill(data.lithiumWrite, ControllerData::kLithiumWriteWords);
    fill(data.loadWrite, ControllerData::kLoadWriteWords);
    fill(&data.newAddress, 1);
    fill(data.calibrationWrite, ControllerData::kCalibrationWriteWords);
    fill(data.clockWrite, ControllerData::kClockWriteWords);
    fill(data.identityWrite, ControllerData::kIdentityWriteWords);
}

constexpr uint16_t ImageWord(int i) {
    return static_cast<uint16_t>(0x0100 * (i + 1) + i);
}

struct WriteCase {
    int code;
    uint8_t function;
    uint16_t startRegister;
    int dataWords;   // words from byte 7 on; 0 for a single-register write
    int fixedWord;   // leading constant word, or -1
    uint16_t value;  // bytes 4-5 of a single-register write
    size_t length;   // requestLength
};

constexpr WriteCase kWriteCases[] = {
    {10, 16, 0x0101, 8, -1, 0, 25},          {11, 16, 0x0703, 4, -1, 0, 17},
    {12, 16, 0x0907, 6, -1, 0, 21},          {13, 16, 0x0401, 14, -1, 0, 37},
    {15, 6, 0x0203, 0, -1, ImageWord(0), 8}, {16, 16, 0x0301, 12, -1, 0, 33},
    {17, 6, 0x0601, 0, -1, 0x0006, 8},       {18, 16, 0x0601, 7, 4, 0, 23},
    {19, 16, 0x0801, 18, -1, 0, 45},
};

TEST_F(FrameTest, EveryWriteCodeBuildsItsFrame) {
    FillImages(state.data);
    for (const WriteCase& c : kWriteCases) {
        SCOPED_TRACE(c.code);
        frame.ClearRequest();
        frame.BuildWriteRequest(0x21, c.function, c.code);
        const Bytes sent = RequestBytes(frame);
        ASSERT_EQ(sent.size(), c.length);

        Bytes expected{0x21, c.function, static_cast<uint8_t>(c.startRegister >> 8),
                       static_cast<uint8_t>(c.startRegister & 0xFF)};
        if (c.dataWords == 0) {
            expected.push_back(static_cast<uint8_t>(c.value >> 8));
            expected.push_back(static_cast<uint8_t>(c.value & 0xFF));
        } else {
            expected.push_back(0x00);
            expected.push_back(static_cast<uint8_t>(c.dataWords));
            expected.push_back(static_cast<uint8_t>(2 * c.dataWords));
            for (int k = 0; k < c.dataWords; ++k) {
                const int imagePosition = c.fixedWord >= 0 ? k - 1 : k;
                const uint16_t word = imagePosition < 0 ? static_cast<uint16_t>(c.fixedWord)
                                                        : ImageWord(imagePosition);
                expected.push_back(static_cast<uint8_t>(word >> 8));
                expected.push_back(static_cast<uint8_t>(word & 0xFF));
            }
        }
        EXPECT_EQ(sent, WithCrc(expected));
    }
}

TEST_F(FrameTest, ExpectedReplyLengthFollowsTheRequest) {
    frame.BuildReadRequest(1, 3, 0x0203, 19);
    EXPECT_EQ(CModbusFrame::ExpectedReplyLength(frame.Request(), frame.RequestLength()), 43u);
    FillImages(state.data);
    for (int code : {13, 15, 17}) {  // multiple write, single write, command
        frame.ClearRequest();
        frame.BuildWriteRequest(1, code == 13 ? 16 : 6, code);
        EXPECT_EQ(CModbusFrame::ExpectedReplyLength(frame.Request(), frame.RequestLength()), 8u)
            << code;
    }
    frame.ClearRequest();
    frame.BuildWriteRequest(1, 16, 50);  // the 0xAA frame has no reply of a known length
    EXPECT_EQ(CModbusFrame::ExpectedReplyLength(frame.Request(), frame.RequestLength()), 0u);
    const uint8_t shortRequest[] = {1, 3, 0, 0};
    EXPECT_EQ(CModbusFrame::ExpectedReplyLength(shortRequest, sizeof shortRequest), 0u);
    EXPECT_EQ(CModbusFrame::ExpectedReplyLength(nullptr, 8), 0u);
}

TEST_F(FrameTest, WriteFramesMatchHandComputedBytes) {
    frame.BuildWriteRequest(1, 6, 17);
    EXPECT_EQ(RequestBytes(frame), (Bytes{0x01, 0x06, 0x06, 0x01, 0x00, 0x06, 0x58, 0x80}));

    state.data.newAddress = 2;
    frame.ClearRequest();
    frame.BuildWriteRequest(1, 6, 15);
    EXPECT_EQ(RequestBytes(frame), (Bytes{0x01, 0x06, 0x02, 0x03, 0x00, 0x02, 0xF9, 0xB3}));

    // The clock command word is 4 even when the record holds something else.
    const int32_t clock[] = {25, 12, 31, 23, 59, 59};
    for (int i = 0; i < 6; ++i)
        state.data.clockWrite[i] = clock[i];
    frame.ClearRequest();
    frame.BuildWriteRequest(0x11, 16, 18);
    EXPECT_EQ(RequestBytes(frame),
              (Bytes{0x11, 0x10, 0x06, 0x01, 0x00, 0x07, 0x0E, 0x00, 0x04, 0x00, 0x19, 0x00,
                     0x0C, 0x00, 0x1F, 0x00, 0x17, 0x00, 0x3B, 0x00, 0x3B, 0x45, 0x8E}));
}

TEST_F(FrameTest, UnknownWriteCodeLeavesTheRequestEmpty) {
    for (int code : {0, 7, 14, 20, 49, -1}) {
        frame.BuildWriteRequest(1, 16, code);
        EXPECT_EQ(frame.RequestLength(), 0) << code;
    }
}

class ValidateTest : public FrameTest {
protected:
    bool Accepts(const Bytes& reply, uint8_t address = 1) {
        frame.ClearResponse();
        Feed(frame, reply);
        return frame.ValidateResponse(address);
    }
};

TEST_F(ValidateTest, ReadRepliesUpToByteCount127) {
    EXPECT_TRUE(Accepts(testing::ReadReply(1, {0x1234, 0x5678})));
    EXPECT_TRUE(Accepts(testing::ReadReply(1, {})));

    Bytes longest{1, 3, 127};
    longest.resize(130, 0x5A);
    EXPECT_TRUE(Accepts(WithCrc(longest)));

    Bytes tooLong{1, 3, 128};
    tooLong.resize(131, 0x5A);
    EXPECT_FALSE(Accepts(WithCrc(tooLong)));
    Bytes maxCount{1, 3, 255};
    maxCount.resize(198, 0x00);
    EXPECT_FALSE(Accepts(WithCrc(maxCount)));
}

TEST_F(ValidateTest, WriteRepliesAreCheckedOverSixBytes) {
    const Bytes ack6 = testing::WriteReply(1, 6, 0x0203, 2);
    const Bytes ack16 = testing::WriteReply(1, 16, 0x0101, 8);
    EXPECT_TRUE(Accepts(ack6));
    EXPECT_TRUE(Accepts(ack16));
    EXPECT_FALSE(Accepts(Bytes(ack6.begin(), ack6.begin() + 7)));
    EXPECT_FALSE(Accepts(Bytes(ack16.begin(), ack16.begin() + 7)));

    // These replies end in a CRC high byte of 0x00, which a cleared buffer
    // already holds: only the count tells that the last byte never came.
    const Bytes zeroEnding6 = testing::WriteReply(1, 6, 0x0203, 0x00B8);
    const Bytes zeroEnding3 = testing::ReadReply(1, {0x00F0});
    ASSERT_EQ(zeroEnding6.back(), 0x00);
    ASSERT_EQ(zeroEnding3.back(), 0x00);
    EXPECT_TRUE(Accepts(zeroEnding6));
    EXPECT_FALSE(Accepts(Bytes(zeroEnding6.begin(), zeroEnding6.end() - 1)));
    EXPECT_TRUE(Accepts(zeroEnding3));
    EXPECT_FALSE(Accepts(Bytes(zeroEnding3.begin(), zeroEnding3.end() - 1)));
}

TEST_F(ValidateTest, RejectsExceptionsOtherFunctionsAndOtherDevices) {
    EXPECT_FALSE(Accepts(WithCrc({1, 0x83, 0x02})));
    EXPECT_FALSE(Accepts(WithCrc({1, 0x83, 0x02, 0x00, 0x00, 0x00})));
    EXPECT_FALSE(Accepts(WithCrc({1, 0x04, 0x02, 0x00, 0x01, 0x00})));
    EXPECT_FALSE(Accepts(testing::ReadReply(2, {0x1234}), 1));
    EXPECT_TRUE(Accepts(testing::ReadReply(2, {0x1234}), 2));
}

TEST_F(ValidateTest, RejectsEveryCorruptedByte) {
    const Bytes good = testing::ReadReply(1, {0x0102, 0x0304});
    for (size_t i = 0; i < good.size(); ++i) {
        Bytes bad = good;
        bad[i] ^= 0x40;
        EXPECT_FALSE(Accepts(bad)) << "byte " << i;
    }
}

TEST_F(ValidateTest, IgnoresBytesAfterTheCrc) {
    Bytes reply = testing::ReadReply(1, {0x0102});
    reply.insert(reply.end(), {0xFF, 0x00, 0x13});
    EXPECT_TRUE(Accepts(reply));
}

TEST_F(FrameTest, AppendStopsAtTheBufferEnd) {
    frame.BuildReadRequest(1, 3, 0x0203, 19);
    const Bytes request = RequestBytes(frame);

    Bytes flood(250);
    std::iota(flood.begin(), flood.end(), uint8_t{0});
    Feed(frame, flood);
    EXPECT_EQ(frame.ResponseCount(), CModbusFrame::kBufferSize);
    EXPECT_EQ(frame.Response()[199], 199);
    for (int i = 0; i < 60; ++i)
        Feed(frame, {0xEE});
    EXPECT_EQ(frame.ResponseCount(), CModbusFrame::kBufferSize);
    EXPECT_EQ(frame.Response()[199], 199);
    // Nothing beside the response changed.
    EXPECT_EQ(RequestBytes(frame), request);

    frame.ClearResponse();
    EXPECT_TRUE(testing::ResponseCleared(frame));
}

TEST_F(FrameTest, AppendCollectsPiecesInArrivalOrder) {
    const Bytes reply = testing::ReadReply(1, {0xBEEF, 0x0001});
    Feed(frame, Bytes(reply.begin(), reply.begin() + 3));
    EXPECT_FALSE(frame.ValidateResponse(1));
    Feed(frame, Bytes(reply.begin() + 3, reply.end()));
    EXPECT_EQ(frame.ResponseCount(), reply.size());
    EXPECT_TRUE(frame.ValidateResponse(1));
}

TEST_F(FrameTest, ClearRequestEmptiesTheRequest) {
    FillImages(state.data);
    frame.BuildWriteRequest(1, 16, 19);
    frame.ClearRequest();
    EXPECT_EQ(frame.RequestLength(), 0);
    for (size_t i = 0; i < CModbusFrame::kBufferSize; ++i)
        ASSERT_EQ(frame.Request()[i], 0) << i;
}

}  // namespace
}  // namespace kestrane
