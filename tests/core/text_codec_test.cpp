#include <gtest/gtest.h>

#include <vector>

#include "protocol/CModbusFrame.h"
#include "protocol/TextCodec.h"
#include "support/ModbusReply.h"

namespace kestrane {
namespace {

TEST(TextCodec, FirstCharacterIsInTheLowByteAndZeroBytesVanish) {
    const uint16_t words[] = {0x3132, 0x0041, 0x0000, 0x4200, 0x0043};
    EXPECT_EQ(WordsToText(words, 2), "21A");
    EXPECT_EQ(WordsToText(words, 5), "21ABC");
    EXPECT_EQ(WordsToText(words, 0), "");
}

TEST(TextCodec, PacksAndPadsWithZeros) {
    uint16_t words[3] = {0xFFFF, 0xFFFF, 0xFFFF};
    TextToWords("abc", words, 3);
    EXPECT_EQ(words[0], 0x6261);
    EXPECT_EQ(words[1], 0x0063);
    EXPECT_EQ(words[2], 0x0000);
    EXPECT_EQ(WordsToText(words, 3), "abc");

    // Text longer than the words is cut, never written past them.
    uint16_t two[3] = {0, 0, 0x7777};
    TextToWords("ABCDEFG", two, 2);
    EXPECT_EQ(WordsToText(two, 2), "ABCD");
    EXPECT_EQ(two[2], 0x7777);
}

TEST(TextCodec, IdentityReplyReadsBackAsText) {
    SharedState state;
    CModbusFrame frame{state};
    std::vector<uint16_t> words(18, 0);
    uint16_t serial[8];
    TextToWords("KS-2024-000117", serial, 8);
    std::copy(serial, serial + 8, words.begin());
    words[8] = 0x3156;  // "V1"
    words[9] = 0x0033;  // "3"
    words[10] = 0x504D;
    words[11] = 0x5450;  // "MPPT"
    testing::Feed(frame, testing::ReadReply(1, words));
    std::atomic<int32_t> code{5};
    EXPECT_EQ(frame.DecodeResponse(code), 0);
    EXPECT_EQ(code, 6);

    const ControllerData& data = state.data;
    EXPECT_EQ(WordsToText(data.serialNumber, ControllerData::kSerialWords), "KS-2024-000117");
    EXPECT_EQ(WordsToText(data.firmwareVersion, ControllerData::kFirmwareWords), "V13");
    EXPECT_EQ(WordsToText(data.modelName, ControllerData::kModelWords), "MPPT");
    EXPECT_EQ(data.firmwareVersion[0], 0x3156);
}

}  // namespace
}  // namespace kestrane
