// kestrane-bridge --json-lines against kestrane-sim, both as programs: three
// addresses, one of them never answering; the simulator's line hangs up and
// comes back on the same path, on a pseudo-terminal and over TCP. And the
// configs the bridge refuses.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "support/BackgroundProgram.h"
#include "support/ProgramRun.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

using testing::BackgroundProgram;

enum class Transport { kPty, kTcp };

class BridgeSim : public ::testing::TestWithParam<Transport> {
protected:
    // Starts the simulator; `listen` is the TCP port to take (0: any) or the
    // symlink to make. Returns the port name the bridge is to open: the
    // tcp:// address the simulator names, or the symlink.
    std::string StartSimulator(const std::string& listen, int hangupAfter) {
        std::string command = std::string(KESTRANE_SIM_EXE) +
                              " --devices 1,2,3 --fault-device 3 --drop 1 --day-seconds 0";
        command += GetParam() == Transport::kTcp ? " --tcp-listen " + listen : " --link " + listen;
        if (hangupAfter > 0) command += " --hangup-after " + std::to_string(hangupAfter);
        simulator_ = std::make_unique<BackgroundProgram>(command);
        const auto first = simulator_->ReadLine();
        EXPECT_TRUE(first) << simulator_->Errors();
        // The pseudo-terminal is new each time; the link is what stays.
        return GetParam() == Transport::kTcp ? first.value_or("") : listen;
    }
    std::string WriteConfig(const std::string& port) {
        const std::string path = dir_.Slashed() + "bridge.toml";
        std::ofstream(path) << "poll_interval_s = 0.1\n[history]\ndir = \"" << dir_.Slashed()
                            << "history\"\n[[bus]]\nport = \"" << port
                            << "\"\nresponse_timeout_ms = 80\nretries = 0\n"
                               "devices = [ { address = 1, name = \"East\" }, { address = 2 },"
                               " { address = 3, name = \"Faulty\" } ]\n";
        return path;
    }
    // Reads JSON lines until one for `address` with that availability.
    nlohmann::json AwaitDevice(BackgroundProgram& bridge, int address, bool online) {
        for (int lines = 0; lines < 2000; ++lines) {
            const auto line = bridge.ReadLine();
            if (!line) break;
            const nlohmann::json update = nlohmann::json::parse(*line);
            if (update.at("address") == address && update.at("online") == online) return update;
        }
        ADD_FAILURE() << "address " << address << (online ? " never online" : " never offline")
                      << "\n"
                      << bridge.Errors();
        return {};
    }

    testing::ScratchDir dir_{"kestrane-bridge-sim"};
    std::unique_ptr<BackgroundProgram> simulator_;
};

TEST_P(BridgeSim, UnpluggedBusGoesOfflineAndComesBackOnTheSamePath) {
    const bool tcp = GetParam() == Transport::kTcp;
    const std::string port = StartSimulator(tcp ? "0" : dir_.Slashed() + "bus", 120);
    BackgroundProgram bridge(std::string(KESTRANE_BRIDGE_EXE) + " --json-lines --config " +
                             WriteConfig(port));

    const nlohmann::json east = AwaitDevice(bridge, 1, true);
    EXPECT_EQ(east.at("device").get<std::string>().rfind("sn-", 0), 0u);
    EXPECT_EQ(east.at("name"), "East");
    EXPECT_GT(east.at("state").at("battery_voltage").get<double>(), 5.0);
    EXPECT_EQ(east.at("link").at("ok"), 8);
    const nlohmann::json faulty = AwaitDevice(bridge, 3, false);
    EXPECT_EQ(faulty.at("device"), "bus0-addr3");
    EXPECT_TRUE(faulty.at("state").is_null());

    // The simulator hangs up after its requests, like an unplugged adapter.
    AwaitDevice(bridge, 1, false);
    EXPECT_EQ(simulator_->Wait(), 0);
    const std::string back =
        StartSimulator(tcp ? port.substr(port.rfind(':') + 1) : dir_.Slashed() + "bus", 0);
    EXPECT_EQ(back, port);
    AwaitDevice(bridge, 1, true);
    AwaitDevice(bridge, 2, true);

    bridge.Signal(SIGTERM);
    EXPECT_EQ(bridge.Wait(), 0);
    const std::string log = bridge.Errors();
    EXPECT_NE(log.find("line lost"), std::string::npos) << log;
    EXPECT_EQ(log.find("line lost"), log.rfind("line lost")) << "reported once:\n" << log;
    EXPECT_NE(log.find("open again"), std::string::npos) << log;
    EXPECT_EQ(log.find('\033'), std::string::npos) << "no colour when not a terminal";
}

TEST_P(BridgeSim, VerboseLogsEveryFrame) {
    const std::string port =
        StartSimulator(GetParam() == Transport::kTcp ? "0" : dir_.Slashed() + "bus", 0);
    BackgroundProgram bridge(std::string(KESTRANE_BRIDGE_EXE) + " -v --json-lines --config " +
                             WriteConfig(port));
    AwaitDevice(bridge, 1, true);
    bridge.Signal(SIGINT);
    EXPECT_EQ(bridge.Wait(), 0);
    const std::string log = bridge.Errors();
    // The request for the real-time block of address 1, and its reply.
    EXPECT_NE(log.find("debug: " + port + ": tx 01 03 00 00 00 0F 05 CE\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("debug: " + port + ": rx 01 03 1E "), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Transports, BridgeSim, ::testing::Values(Transport::kPty, Transport::kTcp),
                         [](const auto& info) {
                             return info.param == Transport::kTcp ? "Tcp" : "Pty";
                         });

class BridgeConfigCheck : public ::testing::Test {
protected:
    testing::ProgramRun Check(const std::string& text,
                              const std::string& options = "--check-config") {
        const std::string path = dir_.Slashed() + "bridge.toml";
        std::ofstream(path) << text;
        return testing::RunProgram(std::string(KESTRANE_BRIDGE_EXE) + " " + options + " --config " +
                                   path);
    }
    std::string Path() const { return dir_.Slashed() + "bridge.toml"; }
    testing::ScratchDir dir_{"kestrane-bridge-check"};
};

TEST_F(BridgeConfigCheck, BadConfigsExitTwoWithTheirOneLineError) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"[[bus]]\nport = \"/dev/ttyUSB0\"\ndevices = [ { address = 1 }, { address = 1 } ]\n",
         ":3: bus[0].devices[1].address: address 1 is already used on this bus"},
        {"poll_interval = 5\n", ":1: poll_interval: unknown key"},
        {"[mqtt]\nport = \"1883\"\n[[bus]]\nport = \"x\"\ndevices = [ { address = 1 } ]\n",
         ":2: mqtt.port: must be a whole number"},
        {"[[bus]\n", ":1: syntax: "},
    };
    for (const auto& c : cases) {
        const testing::ProgramRun run = Check(c.text);
        EXPECT_EQ(run.status, 2) << c.text;
        EXPECT_EQ(run.err.rfind("error: " + Path() + c.error, 0), 0u) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    }
    const testing::ProgramRun missing =
        testing::RunProgram(std::string(KESTRANE_BRIDGE_EXE) + " --config /nonexistent.toml");
    EXPECT_EQ(missing.status, 2);
    const testing::ProgramRun noOption = testing::RunProgram(KESTRANE_BRIDGE_EXE);
    EXPECT_EQ(noOption.status, 2);
}

TEST_F(BridgeConfigCheck, NowhereToPublishIsAConfigError) {
    const testing::ProgramRun run = Check(
        "[history]\ninterval_s = 0\n[[bus]]\nport = \"/dev/ttyUSB0\"\n"
        "devices = [ { address = 1 } ]\n",
        "");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("no [mqtt] table, no [web] table, history off and no --json-lines"),
              std::string::npos)
        << run.err;
}

TEST_F(BridgeConfigCheck, ExampleConfigPasses) {
    const testing::ProgramRun run = testing::RunProgram(
        std::string(KESTRANE_BRIDGE_EXE) + " --check-config --config " KESTRANE_EXAMPLE_CONFIG);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("2 bus(es), 3 device(s)"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace kestrane
