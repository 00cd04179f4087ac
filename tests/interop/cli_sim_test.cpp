// kestrane-cli against the simulated controller on a pseudo-terminal: beside
// silent addresses, and hanging up its line after a few requests like an
// unplugged adapter.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/SimulatorThread.h"
#include "support/ProgramRun.h"

namespace kestrane {
namespace {

using sim::SimulatorOptions;
using sim::SimulatorThread;
using testing::ProgramRun;

class CliSim : public ::testing::Test {
protected:
    void Serve(int hangupAfter, int address = 1) {
        SimulatorOptions options;
        options.address = address;
        options.hangupAfter = hangupAfter;
        sim_ = std::make_unique<SimulatorThread>(options);
        std::string error;
        ASSERT_TRUE(sim_->Start(&error)) << error;
        path_ = sim_->DevicePath();
    }
    ProgramRun RunCli(const std::string& arguments) {
        return testing::RunProgram(std::string(KESTRANE_CLI_EXE) + " " + arguments);
    }

    std::unique_ptr<SimulatorThread> sim_;
    std::string path_;
};

TEST_F(CliSim, WatchSaysTheLineClosedAndEndsWithStatusFour) {
    Serve(5);
    const ProgramRun run = RunCli("watch --port " + path_ + " --seconds 60");
    EXPECT_EQ(run.status, 4) << run.err;
    EXPECT_NE(run.err.find("line closed: " + path_ + " hung up\n"), std::string::npos) << run.err;
    EXPECT_TRUE(sim_->HungUp());
}

TEST_F(CliSim, ReadSaysTheLineClosedInsteadOfNamingBlocks) {
    Serve(3);
    const ProgramRun run = RunCli("read --port " + path_ + " --count 2");
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("line closed"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("never answered"), std::string::npos) << run.err;
    EXPECT_EQ(sim_->RequestCount(), 3u);
}

TEST_F(CliSim, SilentAddressBesideTheControllerLeavesItsRecordIntact) {
    Serve(0, 7);
    const ProgramRun run =
        RunCli("read --port " + path_ + " --address 6,7,8 --response-timeout-ms 60 --retries 0");
    EXPECT_EQ(run.status, 3) << run.err;
    const nlohmann::json device = nlohmann::json::parse(run.out);  // exactly one object
    EXPECT_EQ(device.at("address"), 7);
    EXPECT_EQ(device.at("controllerAddress"), 7);
    EXPECT_EQ(device.at("link").at("ok"), 8);
    EXPECT_NE(run.err.find("address 6: 0 (0x0000)"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("address 8: 0 (0x0000)"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("address 7"), std::string::npos) << run.err;
    EXPECT_EQ(sim_->RequestCount(), 8u);
}

}  // namespace
}  // namespace kestrane
