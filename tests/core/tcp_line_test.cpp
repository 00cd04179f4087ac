// RTU over TCP: the address forms, a full read cycle of the fast master
// against the simulator's TCP listener, and a server that goes away.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "bus/CBusMaster.h"
#include "serial/OpenLine.h"
#include "serial/TcpLine.h"
#include "sim/SimulatorThread.h"

namespace kestrane {
namespace {

TEST(TcpAddress, AcceptsHostPortAndBracketedIpv6) {
    struct Case {
        const char* text;
        const char* host;  // nullptr: refused
        const char* port;
    };
    const Case cases[] = {
        {"tcp://192.168.1.40:502", "192.168.1.40", "502"},
        {"tcp://ser2net.local:4001", "ser2net.local", "4001"},
        {"tcp://[::1]:502", "::1", "502"},
        {"tcp://host", nullptr, nullptr},
        {"tcp://:502", nullptr, nullptr},
        {"tcp://host:0", nullptr, nullptr},
        {"tcp://host:65536", nullptr, nullptr},
        {"tcp://host:50x", nullptr, nullptr},
        {"tcp://[::1]502", nullptr, nullptr},
        {"tcp://a/b:502", nullptr, nullptr},
        {"/dev/ttyUSB0", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        TcpAddress address;
        std::string error;
        const bool ok = ParseTcpAddress(c.text, &address, &error);
        EXPECT_EQ(ok, c.host != nullptr) << c.text << ": " << error;
        if (ok && c.host) {
            EXPECT_EQ(address.host, c.host);
            EXPECT_EQ(address.port, c.port);
        } else {
            EXPECT_NE(error.find(c.text), std::string::npos) << error;
        }
    }
}

class TcpBus : public ::testing::Test {
protected:
    void Serve(int hangupAfter = 0) {
        sim::SimulatorOptions options;
        options.tcpListenPort = 0;
        options.daySeconds = 0;
        options.hangupAfter = hangupAfter;
        simulator_ = std::make_unique<sim::SimulatorThread>(options);
        std::string error;
        ASSERT_TRUE(simulator_->Start(&error)) << error;
        ASSERT_EQ(simulator_->DevicePath().rfind("tcp://127.0.0.1:", 0), 0u);
    }
    std::unique_ptr<sim::SimulatorThread> simulator_;
    SteadyBusClock clock_;
};

TEST_F(TcpBus, FullReadCycleOverTheConnection) {
    Serve();
    std::string error;
    std::unique_ptr<ISerialLine> line = OpenLine(simulator_->DevicePath(), 9600, &error);
    ASSERT_TRUE(line) << error;
    CBusMaster master(*line, BusOptions{}, clock_);
    CBusDevice& device = master.Device(1);
    EXPECT_TRUE(master.ReadCycle(device).Complete());
    EXPECT_EQ(device.Data().batteryVoltage.load(), simulator_->Registers(0x0002, 1)[0]);
    EXPECT_EQ(device.Data().controllerAddress.load(), 1);
}

TEST_F(TcpBus, TheNextClientIsServedAfterADisconnect) {
    Serve();
    for (int client = 0; client < 2; ++client) {
        TcpLine line;
        ASSERT_TRUE(line.Connect(simulator_->DevicePath(), 1000)) << line.LastErrorText();
        CBusMaster master(line, BusOptions{}, clock_);
        EXPECT_EQ(master.Transact(master.Device(1), 0).result, BusResult::kOk) << client;
    }
}

TEST_F(TcpBus, ServerGoneIsAHungUpLine) {
    Serve(3);
    TcpLine line;
    ASSERT_TRUE(line.Connect(simulator_->DevicePath(), 1000)) << line.LastErrorText();
    CBusMaster master(line, BusOptions{}, clock_);
    const CycleResult cycle = master.ReadCycle(master.Device(1));
    EXPECT_TRUE(cycle.lineClosed);
    EXPECT_TRUE(cycle.decoded[0]);  // the replies before the close still count
    EXPECT_TRUE(line.HasHungUp());
    EXPECT_FALSE(line.IsOpen());
    EXPECT_TRUE(master.LineClosed());
}

TEST(TcpLine, RefusedConnectionSaysSo) {
    // A port that was free a moment ago: nothing listens on it.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    const std::string name = "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    std::string error;
    EXPECT_FALSE(OpenLine(name, 9600, &error));
    EXPECT_EQ(error, name + ": cannot connect: Connection refused");
}

}  // namespace
}  // namespace kestrane
