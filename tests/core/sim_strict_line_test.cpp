// The simulator's line faults: --strict-line reads the line settings the
// program gave the pseudo-terminal and garbles its answers on a mismatch;
// --echo sends every request back first.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "serial/CSerialPort.h"
#include "sim/SimulatorOptions.h"
#include "sim/SimulatorThread.h"
#include "sim/StrictLine.h"
#include "support/ModbusTestFrames.h"
#include "support/StillSimulator.h"

namespace kestrane::sim {
namespace {

using testing::CrcValid;
using testing::ReadRequest;
using testing::WriteSingleRequest;
using Bytes = std::vector<uint8_t>;

TEST(StrictLine, ReplyLengthsAndMatchingRates) {
    EXPECT_EQ(ReplyLengthFor(ReadRequest(1, 0x0000, 15)), 35u);
    EXPECT_EQ(ReplyLengthFor(WriteSingleRequest(1, 0x0203, 7)), 8u);
    EXPECT_EQ(ReplyLengthFor({0x01, 0x2B, 0x0E}), 5u);

    EXPECT_TRUE(LineMatches({9600, true}, 9600));
    EXPECT_TRUE(LineMatches({9800, true}, 9600));  // within what a UART tolerates
    EXPECT_FALSE(LineMatches({19200, true}, 9600));
    EXPECT_FALSE(LineMatches({9600, false}, 9600));  // parity or stop bits differ
    EXPECT_FALSE(LineMatches({0, true}, 9600));
}

TEST(StrictLine, GarbageLastsAsLongAsTheReplyWouldHave) {
    StrictLine line(19200, 1);
    const auto slower = line.Garbled(35, {9600, true}, 5);
    ASSERT_EQ(slower.size(), 1u);
    EXPECT_EQ(slower[0].delayMs, 5);
    EXPECT_EQ(slower[0].bytes.size(), 18u);  // 35 characters at 19200 take 18 at 9600
    EXPECT_EQ(line.Garbled(35, {115200, true}, 0)[0].bytes.size(), 210u);
    EXPECT_EQ(line.Garbled(8, {1200, true}, 0)[0].bytes.size(), 1u);  // never nothing
    for (const uint8_t byte : slower[0].bytes)
        EXPECT_GE(byte, 0x80);
}

TEST(StrictLine, OptionsTurnTheFaultsOn) {
    const char* args[] = {"kestrane-sim", "--strict-line", "--echo"};
    SimulatorOptions options;
    bool help = false;
    std::string error;
    ASSERT_TRUE(ParseSimulatorOptions(3, args, &options, &help, &error)) << error;
    EXPECT_TRUE(options.strictLine);
    EXPECT_TRUE(options.echo);
    EXPECT_FALSE(SimulatorOptions{}.strictLine || SimulatorOptions{}.echo);
}

class StrictLinePty : public ::testing::Test {
protected:
    void Serve(SimulatorOptions options, unsigned portBaud) {
        sim = testing::StartStillSimulator(options);
        ASSERT_TRUE(sim);
        ASSERT_TRUE(port.Open(sim->DevicePath())) << port.LastErrorText();
        ASSERT_TRUE(port.Configure(portBaud)) << port.LastErrorText();
    }
    // Everything that arrives until `count` bytes are in or `waitMs` pass.
    Bytes Ask(const Bytes& request, size_t count, int waitMs = 1000) {
        port.DiscardInput();
        EXPECT_TRUE(port.Write(request.data(), request.size(), 1000));
        Bytes received;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (received.size() < count && std::chrono::steady_clock::now() < deadline) {
            uint8_t buffer[512];
            size_t n = 0;
            if (port.ReadFor(buffer, sizeof buffer, n, 100))
                received.insert(received.end(), buffer, buffer + n);
        }
        return received;
    }

    std::unique_ptr<SimulatorThread> sim;
    CSerialPort port;
};

TEST_F(StrictLinePty, WrongRateGetsGarbageAndChangesNothing) {
    Serve({.address = 3, .baud = 19200, .strictLine = true}, 9600);
    // A write of a new address at the wrong rate is not understood.
    const Bytes garbage = Ask(WriteSingleRequest(3, 0x0203, 9), 4);
    ASSERT_EQ(garbage.size(), 4u);  // 8 characters at 19200 last 4 at 9600
    EXPECT_FALSE(CrcValid(garbage));
    EXPECT_EQ(sim->Address(), 3);
    EXPECT_EQ(sim->RequestCount(), 0u);

    ASSERT_TRUE(port.Configure(19200));
    const Bytes reply = Ask(ReadRequest(3, 0x0000, 15), 35);
    ASSERT_EQ(reply.size(), 35u);
    EXPECT_TRUE(CrcValid(reply));
    EXPECT_EQ(reply[0], 3);
}

TEST_F(StrictLinePty, RequestForAnotherAddressStaysUnanswered) {
    Serve({.address = 3, .baud = 19200, .strictLine = true}, 9600);
    EXPECT_TRUE(Ask(ReadRequest(4, 0x0000, 15), 1, 200).empty());
}

TEST_F(StrictLinePty, EchoComesBeforeTheReply) {
    Serve({.echo = true}, 9600);
    const Bytes request = ReadRequest(1, 0x0000, 15);
    const Bytes received = Ask(request, request.size() + 35);
    ASSERT_EQ(received.size(), request.size() + 35);
    EXPECT_EQ(Bytes(received.begin(), received.begin() + 8), request);
    EXPECT_TRUE(CrcValid(Bytes(received.begin() + 8, received.end())));
}

}  // namespace
}  // namespace kestrane::sim
