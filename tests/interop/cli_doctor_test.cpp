// kestrane-cli ports and doctor as a user runs them, against the simulated
// controller on a pseudo-terminal: the JSON document's shape, the trace, the
// exit statuses, and that the command line the doctor prints does read the
// controller.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/SimulatorThread.h"
#include "support/ProgramRun.h"
#include "support/StillSimulator.h"

namespace kestrane {
namespace {

using nlohmann::json;
using sim::SimulatorOptions;
using sim::SimulatorThread;
using testing::ProgramRun;

class CliDoctor : public ::testing::Test {
protected:
    void Serve(SimulatorOptions options) {
        sim_ = testing::StartStillSimulator(options);
        ASSERT_TRUE(sim_);
        path_ = sim_->DevicePath();
    }
    ProgramRun RunCli(const std::string& arguments) {
        return testing::RunProgram(std::string(KESTRANE_CLI_EXE) + " " + arguments);
    }
    // The controller at 19200 baud and address 7, asked for at 9600 and 1.
    ProgramRun Doctor(const std::string& more) {
        Serve({.address = 7, .baud = 19200, .strictLine = true});
        return RunCli("doctor --port " + path_ + " --cycles 3 --probe-wait-ms 150 " + more);
    }

    std::unique_ptr<SimulatorThread> sim_;
    std::string path_;
};

TEST_F(CliDoctor, JsonDocumentHoldsEveryStepAndTheWorkingSettings) {
    const ProgramRun run = Doctor("--json --trace");
    ASSERT_EQ(run.status, 1) << run.err;
    const json doc = json::parse(run.out);
    for (const char* key :
         {"port", "baud", "address", "portInfo", "steps", "answer", "classification", "search",
          "quality", "working", "exitStatus", "trace"})
        EXPECT_TRUE(doc.contains(key)) << key;
    EXPECT_EQ(doc["port"], path_);
    EXPECT_EQ(doc["exitStatus"], 1);
    std::vector<std::string> checks;
    for (const json& step : doc["steps"]) {
        checks.push_back(step.at("check"));
        EXPECT_TRUE(step.at("ok").is_boolean());
        EXPECT_TRUE(step.at("detail").is_string());
        EXPECT_TRUE(step.at("hint").is_null() || step.at("hint").is_string());
    }
    EXPECT_EQ(checks, (std::vector<std::string>{"path", "permission", "busy", "open", "echo",
                                                "answer", "classify", "search", "quality"}));
    EXPECT_EQ(doc["classification"]["finding"], "nothing");
    EXPECT_EQ(doc["search"]["found"], true);
    EXPECT_EQ(doc["working"]["baud"], 19200);
    EXPECT_EQ(doc["working"]["address"], 7);
    EXPECT_EQ(doc["quality"]["complete"], 3);
    EXPECT_EQ(doc["quality"]["link"]["ok"], 24);
    EXPECT_FALSE(doc["answer"]["model"].get<std::string>().empty());  // from the quality run
    EXPECT_EQ(doc["portInfo"]["busy"], false);

    int sent = 0;
    for (const json& frame : doc["trace"]) {
        EXPECT_TRUE(frame.at("ms").is_number());
        const std::string hex = frame.at("hex");
        if (frame.at("direction") == "sent") {
            ++sent;
            EXPECT_EQ(hex.substr(3, 2), "03") << hex;  // reads only
            EXPECT_NE(frame.at("note").get<std::string>().find("CRC ok"), std::string::npos);
        }
    }
    EXPECT_GT(sent, 24);
}

TEST_F(CliDoctor, TextNamesEachCheckAndTheCommandLineThatWorks) {
    const ProgramRun run = Doctor("");
    ASSERT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("\u2713 the path exists"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\u2717 the controller answers"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("searching: 19200 baud"), std::string::npos) << run.err;
    const std::string command = "kestrane-cli read --port " + path_ + " --baud 19200 --address 7";
    ASSERT_NE(run.out.find("the controller reads with: " + command), std::string::npos) << run.out;
    const ProgramRun read =
        RunCli("read --port " + path_ + " --baud 19200 --address 7 --timeout 10");
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(json::parse(read.out).at("controllerAddress"), 7);
}

TEST_F(CliDoctor, TraceAnnotatesEveryFrameBothWays) {
    Serve({.echo = true});
    const ProgramRun run = RunCli("doctor --port " + path_ + " --cycles 1 --trace");
    ASSERT_EQ(run.status, 1) << run.err;  // the echo is a fault, the controller is found
    EXPECT_NE(run.out.find("-> 01 03 00 00 00 0F 05 CE | address 1, read 15 registers from "
                           "0x0000, CRC ok"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("<- 01 03 00 00 00 0F 05 CE | echo of the request"), std::string::npos);
    EXPECT_NE(run.out.find("| address 1, reply with 15 registers, CRC ok"), std::string::npos);
    EXPECT_NE(run.out.find("\u2717 no echo of the request"), std::string::npos);
}

TEST_F(CliDoctor, MissingPortIsUnusable) {
    const ProgramRun run = RunCli("doctor --port /dev/kestrane-no-such-port --json");
    EXPECT_EQ(run.status, 2) << run.err;
    const json doc = json::parse(run.out);
    ASSERT_EQ(doc["steps"].size(), 1u);
    EXPECT_EQ(doc["steps"][0]["check"], "path");
    EXPECT_EQ(doc["steps"][0]["ok"], false);
    EXPECT_TRUE(doc["existingPorts"].is_array());
}

TEST_F(CliDoctor, PortsDescribesAPseudoTerminalGivenOnTheCommandLine) {
    Serve({});
    const ProgramRun run = RunCli("ports --json --port " + path_);
    ASSERT_EQ(run.status, 0) << run.err;
    const json ports = json::parse(run.out);
    ASSERT_TRUE(ports.is_array());
    const json* pty = nullptr;
    for (const json& port : ports)
        if (port.at("device") == path_) pty = &port;
    ASSERT_NE(pty, nullptr) << run.out;
    for (const char* key :
         {"realPath", "exists", "byId", "usb", "driver", "access", "busy", "holders", "staleLocks"})
        EXPECT_TRUE(pty->contains(key)) << key;
    EXPECT_EQ((*pty)["exists"], true);
    EXPECT_EQ((*pty)["busy"], false);
    EXPECT_TRUE((*pty)["usb"].is_null());
    EXPECT_EQ((*pty)["access"]["mayOpen"], true);
    ASSERT_FALSE((*pty)["holders"].empty());  // this test process, holding the far end
    EXPECT_EQ((*pty)["holders"][0]["farEnd"], true);
}

}  // namespace
}  // namespace kestrane
