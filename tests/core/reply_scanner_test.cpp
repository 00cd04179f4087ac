// What the scanner makes of the first bytes received after a request: the
// cases that decide between a reply, an echo, noise and a stale frame.
#include <gtest/gtest.h>

#include "bus/ReplyScanner.h"
#include "support/ModbusReply.h"

namespace kestrane {
namespace {

using testing::Bytes;
using testing::ReadReply;
using testing::WithCrc;
using Kind = ScanStep::Kind;

ReplyExpectation ExpectFrom(const Bytes& request, uint8_t byteCount, bool echoPossible = true) {
    ReplyExpectation expect;
    expect.request = request;
    expect.address = request[0];
    expect.function = request[1];
    expect.byteCount = byteCount;
    expect.echoPossible = echoPossible;
    return expect;
}

Bytes Join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ReplyScanner, SortsTheBytesAfterAReadOfOneRegister) {
    // A read of one register: its 7-byte reply is shorter than the 8-byte
    // request, so a partial echo must not be mistaken for a broken reply.
    const Bytes request = WithCrc({1, 3, 0x02, 0x03, 0x00, 0x01});
    const ReplyExpectation expect = ExpectFrom(request, 2);
    const Bytes reply = ReadReply(1, {0x1234});

    struct Case {
        const char* what;
        Bytes received;
        Kind kind;
        size_t length;
    };
    const Case cases[] = {
        {"nothing", {}, Kind::kNeedMore, 0},
        {"the reply", reply, Kind::kReply, 7},
        {"the reply with bytes after it", Join(reply, {0xFF}), Kind::kReply, 7},
        {"most of the echo", Bytes(request.begin(), request.end() - 1), Kind::kNeedMore, 0},
        {"the echo", request, Kind::kEcho, 8},
        {"an exception", WithCrc({1, 0x83, 0x02}), Kind::kException, 5},
        {"an exception with a bad CRC", {1, 0x83, 0x02, 0, 0}, Kind::kCrcError, 5},
        {"the reply with a bad CRC", Join(Bytes(reply.begin(), reply.end() - 1), {0}),
         Kind::kCrcError, 7},
        {"another device", ReadReply(2, {0x1234}), Kind::kOtherAddress, 7},
        {"a write acknowledgement", testing::WriteReply(1, 6, 0x0203, 5), Kind::kWrongFunction, 8},
        {"a reply to a read of two registers", ReadReply(1, {1, 2}), Kind::kStale, 9},
        {"noise, then the reply", Join({0x00, 0x01, 0x03}, reply), Kind::kGarbage, 3},
        {"a byte of no known frame", {0x01, 0x41}, Kind::kGarbage, 1},
        {"the start of a frame from another device", {0x09, 0x03, 0x04}, Kind::kNeedMore, 0},
    };
    for (const Case& c : cases) {
        const ScanStep step = ScanReply(c.received, expect);
        EXPECT_EQ(step.kind, c.kind) << c.what;
        EXPECT_EQ(step.length, c.length) << c.what;
    }
}

TEST(ReplyScanner, CopyOfASingleRegisterWriteIsItsReplyUnlessTheBusEchoes) {
    const Bytes request = WithCrc({1, 6, 0x02, 0x03, 0x00, 0x05});
    EXPECT_EQ(ScanReply(request, ExpectFrom(request, 0, false)).kind, Kind::kReply);
    EXPECT_EQ(ScanReply(Join(request, request), ExpectFrom(request, 0, true)).kind, Kind::kEcho);
}

}  // namespace
}  // namespace kestrane
