// Cutting the simulator's input stream into request frames.
#include <gtest/gtest.h>

#include "sim/RtuFramer.h"
#include "support/ModbusTestFrames.h"

namespace kestrane::sim {
namespace {

using testing::BatteryTypeFrame;
using testing::ReadRequest;
using testing::WithCrc;
using testing::WriteMultipleRequest;

constexpr double kGap = 20;

std::vector<std::vector<uint8_t>> FramesOf(const std::vector<uint8_t>& stream, double atMs = 0) {
    RtuFramer framer(kGap);
    framer.Feed(stream.data(), stream.size(), atMs);
    std::vector<std::vector<uint8_t>> frames;
    while (auto frame = framer.Next(atMs + 1000))
        frames.push_back(frame->bytes);
    return frames;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

TEST(RtuFramer, KnownRequestBytesFormOneFrame) {
    const std::vector<uint8_t> read{0x01, 0x03, 0x00, 0x00, 0x00, 0x0F, 0x05, 0xCE};
    EXPECT_EQ(FramesOf(read), std::vector<std::vector<uint8_t>>{read});
    const std::vector<uint8_t> aa{0xAA, 0x01, 0x01, 0x02, 0x01, 0x04, 0x01, 0x00, 0x00, 0x00, 0x4C};
    RtuFrame::Kind kind;
    EXPECT_EQ(RtuFramer::Match(aa.data(), aa.size(), &kind), 11);
    EXPECT_EQ(kind, RtuFrame::Kind::kBatteryType);
}

TEST(RtuFramer, BackToBackFramesOfEveryKindSeparate) {
    const auto a = ReadRequest(1, 0x0101, 10);
    const auto b = WriteMultipleRequest(1, 0x0401, {5100, 5200, 50, 60});
    const auto c = BatteryTypeFrame(1, 5);
    const auto d = ReadRequest(0xAA, 0, 1);  // Modbus at address 170, not a battery-type frame
    const auto e = WithCrc({1, 0x2B, 0x0E, 0x01, 0x00});  // unsupported function
    EXPECT_EQ(FramesOf(Join({a, b, c, d, e})), (std::vector<std::vector<uint8_t>>{a, b, c, d, e}));
}

TEST(RtuFramer, GarbageAndBadCrcAreSkipped) {
    const auto good = ReadRequest(1, 0, 15);
    auto bad = ReadRequest(1, 0x0203, 19);
    bad.back() ^= 1;
    // 01 10 ... FF looks like the start of a write of 255 bytes; the real
    // request behind it must not wait for those.
    const std::vector<uint8_t> falseStart{0x01, 0x10, 0x00, 0x00, 0x00, 0x7F, 0xFF};
    const std::vector<uint8_t> noise{0xFF, 0x00, 0xF8, 0x13};
    EXPECT_EQ(FramesOf(Join({noise, bad, falseStart, good})),
              (std::vector<std::vector<uint8_t>>{good}));
}

TEST(RtuFramer, PartialFrameCompletesAcrossFeedsAndDiesInSilence) {
    const auto frame = ReadRequest(1, 0x0801, 18);
    RtuFramer framer(kGap);
    framer.Feed(frame.data(), 3, 0);
    EXPECT_FALSE(framer.Next(5));
    framer.Feed(frame.data() + 3, frame.size() - 3, 10);
    auto got = framer.Next(12);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->bytes, frame);
    EXPECT_EQ(got->firstByteMs, 0);  // the paced line times the reply from these
    EXPECT_EQ(got->lastByteMs, 10);

    // A fragment followed by silence is dropped; the next request stands alone.
    framer.Feed(frame.data(), 5, 100);
    EXPECT_FALSE(framer.Next(110));
    EXPECT_FALSE(framer.Next(100 + kGap));
    EXPECT_EQ(framer.Pending(), 0u);
    const std::vector<uint8_t> noise{0xFF, 0xF8};
    framer.Feed(noise.data(), noise.size(), 190);
    framer.Feed(frame.data(), frame.size(), 200);
    got = framer.Next(200);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->bytes, frame);
    EXPECT_EQ(got->firstByteMs, 200);  // not the garbage before it
}

TEST(RtuFramer, FloodOfNoiseStaysBounded) {
    RtuFramer framer(kGap);
    std::vector<uint8_t> noise(5000);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<uint8_t>(i * 37 + 11);
    framer.Feed(noise.data(), noise.size(), 0);
    while (framer.Next(0)) {
    }
    EXPECT_LE(framer.Pending(), 1024u);
    const auto frame = ReadRequest(1, 0, 15);
    framer.Feed(frame.data(), frame.size(), 50);
    std::optional<RtuFrame> last;
    while (auto got = framer.Next(50))
        last = got;
    ASSERT_TRUE(last);
    EXPECT_EQ(last->bytes, frame);
}

}  // namespace
}  // namespace kestrane::sim
