// Cutting received bursts into echo, frames and garbage, and the words of the
// trace. Frames are built by hand with their CRC.
#include <gtest/gtest.h>

#include "doctor/FrameAnnotation.h"
#include "doctor/LinkClassifier.h"
#include "support/ModbusReply.h"

namespace kestrane {
namespace {

using testing::Bytes;
using testing::ReadReply;
using testing::WithCrc;
using Kind = FramePiece::Kind;

const Bytes kRequest = WithCrc({0x01, 0x03, 0x00, 0x00, 0x00, 0x02});

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::vector<Kind> Kinds(const Bytes& received) {
    std::vector<Kind> kinds;
    for (const FramePiece& piece : SplitReceived(received, kRequest))
        kinds.push_back(piece.kind);
    return kinds;
}

TEST(FrameAnnotation, BurstsAreCutIntoTheirPieces) {
    const Bytes reply = ReadReply(1, {0x1234, 0x5678});
    Bytes badCrc = reply;
    badCrc.back() ^= 0xFF;
    const Bytes exception = WithCrc({0x01, 0x83, 0x02});
    const Bytes other = ReadReply(9, {1, 2});
    const struct {
        const char* name;
        Bytes received;
        std::vector<Kind> kinds;
    } cases[] = {
        {"reply alone", reply, {Kind::kFrame}},
        {"echo then reply", Join({kRequest, reply}), {Kind::kEcho, Kind::kFrame}},
        {"noise then reply", Join({{0xFF, 0x00, 0x42}, reply}), {Kind::kGarbage, Kind::kFrame}},
        {"reply then noise", Join({reply, {0x13, 0x37}}), {Kind::kFrame, Kind::kGarbage}},
        {"crc broken", badCrc, {Kind::kCrcBad}},
        {"exception", exception, {Kind::kFrame}},
        {"another device", other, {Kind::kFrame}},
        {"cut short", Bytes(reply.begin(), reply.begin() + 5), {Kind::kGarbage}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Kinds(c.received), c.kinds) << c.name;
}

TEST(FrameAnnotation, PiecesCoverEveryByteOnce) {
    const Bytes received = Join({{0xAA}, kRequest, ReadReply(1, {7, 8}), {0x01, 0x03}});
    size_t next = 0;
    for (const FramePiece& piece : SplitReceived(received, kRequest)) {
        EXPECT_EQ(piece.offset, next);
        next += piece.length;
    }
    EXPECT_EQ(next, received.size());
}

TEST(FrameAnnotation, TraceWordsNameAddressFunctionRegistersAndCrc) {
    EXPECT_EQ(DescribeRequest(kRequest), "address 1, read 2 registers from 0x0000, CRC ok");
    Bytes broken = WithCrc({0x07, 0x06, 0x02, 0x03, 0x00, 0x09});
    broken[6] ^= 1;
    EXPECT_EQ(DescribeRequest(broken), "address 7, write 0x0203 = 9, CRC bad");
    EXPECT_EQ(HexBytes(Bytes{0x01, 0xAB, 0x00}), "01 AB 00");

    TraceEvent sent{true, 1, 2, kRequest};
    TraceEvent burst{false, 3, 4, Join({kRequest, WithCrc({0x01, 0x83, 0x02})})};
    const std::vector<AnnotatedFrame> lines = AnnotateEvent(burst, &sent);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].note, "echo of the request");
    EXPECT_EQ(lines[1].note, "address 1, exception 2 to function 3, CRC ok");
    EXPECT_FALSE(lines[1].sent);
}

// What came back to a series of requests, as the doctor names it.
TEST(LinkClassifier, EachKindOfFailureIsNamed) {
    const Bytes reply = ReadReply(1, {1, 2});
    Bytes badCrc = reply;
    badCrc[3] ^= 0x10;
    const struct {
        const char* name;
        Bytes received;  // after each of two requests; empty: nothing
        LinkFinding finding;
    } cases[] = {
        {"silence", {}, LinkFinding::kNothing},
        {"garbled", {0xF3, 0xFE, 0x9A, 0xC1}, LinkFinding::kGarbage},
        {"other address", ReadReply(5, {1, 2}), LinkFinding::kOtherAddress},
        {"crc errors", badCrc, LinkFinding::kCrcErrors},
        {"exceptions", WithCrc({0x01, 0x83, 0x04}), LinkFinding::kExceptions},
        {"echo only", kRequest, LinkFinding::kNothing},
        {"answers", reply, LinkFinding::kAnswers},
    };
    for (const auto& c : cases) {
        std::vector<TraceEvent> events;
        for (int i = 0; i < 2; ++i) {
            events.push_back({true, 0, 0, kRequest});
            if (!c.received.empty()) events.push_back({false, 0, 0, c.received});
        }
        const LinkClassification found = ClassifyLink(events, 1);
        EXPECT_EQ(found.finding, c.finding) << c.name;
        EXPECT_EQ(found.requests, 2) << c.name;
        EXPECT_FALSE(found.Text().empty()) << c.name;
    }
}

TEST(LinkClassifier, FiguresBehindTheFinding) {
    Bytes badCrc = ReadReply(1, {1, 2});
    badCrc.back() ^= 1;
    const std::vector<TraceEvent> events{
        {true, 0, 0, kRequest},
        {false, 0, 0, badCrc},
        {true, 0, 0, kRequest},
        {false, 0, 0, ReadReply(1, {1, 2})},
        {true, 0, 0, kRequest},
        {false, 0, 0, Join({ReadReply(4, {3}), ReadReply(2, {3}), ReadReply(4, {3})})},
    };
    const LinkClassification found = ClassifyLink(events, 1);
    EXPECT_EQ(found.crcErrors, 1);
    EXPECT_EQ(found.replies, 1);
    EXPECT_EQ(found.otherAddresses, (std::vector<int>{4, 2}));
    EXPECT_EQ(found.finding, LinkFinding::kOtherAddress);
    EXPECT_NE(found.Text().find("address 4, 2"), std::string::npos) << found.Text();
}

}  // namespace
}  // namespace kestrane
