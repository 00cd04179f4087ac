// The link doctor against the simulated controller over a real
// pseudo-terminal, with the faults it must tell apart played by the
// simulator: silence, a wrong rate, a wrong address, an echoing adapter,
// CRC errors, exception replies; a missing, unusable or busy port.
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

#include "doctor/LinkDoctor.h"
#include "sim/SimulatorThread.h"
#include "support/HoldingProcess.h"
#include "support/ScratchDir.h"
#include "support/StillSimulator.h"

namespace kestrane {
namespace {

using sim::SimulatorOptions;
using sim::SimulatorThread;

std::vector<std::string> FailedChecks(const DoctorReport& report) {
    std::vector<std::string> failed;
    for (const DoctorStep& step : report.steps)
        if (!step.ok) failed.push_back(DoctorCheckName(step.check));
    return failed;
}

class LinkDoctorPtyTest : public ::testing::Test {
protected:
    void Serve(SimulatorOptions options) {
        sim = testing::StartStillSimulator(options);
        ASSERT_TRUE(sim);
    }
    DoctorReport Diagnose(unsigned baud, int address, double searchSeconds = 30,
                          std::string port = {}) {
        DoctorOptions options;
        options.port = port.empty() ? sim->DevicePath() : port;
        options.baud = baud;
        options.address = address;
        options.cycles = 2;
        options.searchSeconds = searchSeconds;
        // Generous: the simulator shares a busy machine (and sanitizers).
        options.probeFloorMs = 150;
        options.ownPid = static_cast<int>(::getpid());
        return LinkDoctor(options).Run();
    }

    std::unique_ptr<SimulatorThread> sim;
};

TEST_F(LinkDoctorPtyTest, HealthyControllerPassesEveryCheck) {
    Serve({});
    const DoctorReport report = Diagnose(9600, 1);
    EXPECT_EQ(report.exitStatus, kDoctorHealthy);
    std::vector<std::string> checks;
    for (const DoctorStep& step : report.steps)
        checks.push_back(DoctorCheckName(step.check));
    EXPECT_EQ(checks, (std::vector<std::string>{"path", "permission", "busy", "open", "echo",
                                                "answer", "quality"}));
    EXPECT_TRUE(FailedChecks(report).empty());
    ASSERT_TRUE(report.answer.has_value());
    EXPECT_FALSE(report.answer->model.empty());
    EXPECT_FALSE(report.answer->serialNumber.empty());
    EXPECT_GE(report.answer->latencyMs, 0);
    ASSERT_TRUE(report.quality.has_value());
    EXPECT_EQ(report.quality->complete, 2);
    EXPECT_EQ(report.command,
              "kestrane-cli read --port " + sim->DevicePath() + " --baud 9600 --address 1");
}

TEST_F(LinkDoctorPtyTest, EachFaultIsToldApart) {
    const struct {
        const char* name;
        SimulatorOptions sim;
        unsigned baud;
        int address;
        int exitStatus;
        std::optional<LinkFinding> finding;  // none: the controller answered
        unsigned workingBaud;
        int workingAddress;
        std::vector<std::string> failed;
    } cases[] = {
        {"wrong baud",
         {.baud = 19200, .strictLine = true},
         9600,
         1,
         kDoctorFoundWithFaults,
         LinkFinding::kGarbage,
         19200,
         1,
         {"answer", "classify"}},
        {"wrong address",
         {.address = 7},
         9600,
         1,
         kDoctorFoundWithFaults,
         LinkFinding::kNothing,
         9600,
         7,
         {"answer", "classify"}},
        {"echo", {.echo = true}, 9600, 1, kDoctorFoundWithFaults, std::nullopt, 9600, 1, {"echo"}},
        {"noise between replies",
         {.noise = 1},
         9600,
         1,
         kDoctorFoundWithFaults,
         std::nullopt,
         9600,
         1,
         {"quality"}},
        {"crc errors",
         {.corrupt = 1},
         9600,
         1,
         kDoctorNoController,
         LinkFinding::kCrcErrors,
         0,
         0,
         {"answer", "classify", "search"}},
        {"exceptions",
         {.exception = 1},
         9600,
         1,
         kDoctorNoController,
         LinkFinding::kExceptions,
         0,
         0,
         {"answer", "classify", "search"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Serve(c.sim);
        const DoctorReport report = Diagnose(c.baud, c.address);
        EXPECT_EQ(report.exitStatus, c.exitStatus);
        EXPECT_EQ(report.classification.has_value(), c.finding.has_value());
        if (report.classification && c.finding) {
            EXPECT_EQ(report.classification->finding, *c.finding);
        }
        EXPECT_EQ(report.workingBaud, c.workingBaud);
        EXPECT_EQ(report.workingAddress, c.workingAddress);
        EXPECT_EQ(FailedChecks(report), c.failed);
        sim->Stop();
    }
}

TEST_F(LinkDoctorPtyTest, SilenceEndsWithTheTimeBound) {
    Serve({.drop = 1});
    const DoctorReport report = Diagnose(9600, 1, 1.0);
    EXPECT_EQ(report.exitStatus, kDoctorNoController);
    ASSERT_TRUE(report.classification.has_value());
    EXPECT_EQ(report.classification->finding, LinkFinding::kNothing);
    ASSERT_TRUE(report.search.has_value());
    EXPECT_FALSE(report.search->found);
    EXPECT_TRUE(report.search->budgetSpent);
    EXPECT_LE(report.search->seconds, 1.2);
}

TEST_F(LinkDoctorPtyTest, CrcErrorsAtARateShowInTheQualityRun) {
    Serve({.seed = 3, .corrupt = 0.2});
    DoctorOptions options;
    options.port = sim->DevicePath();
    options.cycles = 10;
    options.ownPid = static_cast<int>(::getpid());
    const DoctorReport report = LinkDoctor(options).Run();
    EXPECT_EQ(report.exitStatus, kDoctorFoundWithFaults);
    ASSERT_TRUE(report.quality.has_value());
    EXPECT_GT(report.quality->counters.Count(BusResult::kCrcError), 0u);
    EXPECT_EQ(FailedChecks(report).back(), "quality");
    EXPECT_NE(report.steps.back().hint.find("termination"), std::string::npos);
}

// The controller at address 7 and 19200 baud, asked for at 9600 and address
// 1, is found by the search and read by the quality run, and nothing the
// doctor sent could have changed it.
TEST_F(LinkDoctorPtyTest, SearchFindsAddressSevenAt19200AndOnlyEverReads) {
    Serve({.address = 7, .baud = 19200, .strictLine = true});
    const std::vector<uint16_t> settingsBefore = sim->Registers(0x0101, 10);
    const std::vector<uint16_t> loadBefore = sim->Registers(0x0401, 15);
    const std::vector<uint16_t> identityBefore = sim->Registers(0x0801, 18);
    const DoctorReport report = Diagnose(9600, 1);
    EXPECT_EQ(report.exitStatus, kDoctorFoundWithFaults);
    ASSERT_TRUE(report.search.has_value());
    EXPECT_TRUE(report.search->found);
    EXPECT_EQ(report.workingBaud, 19200u);
    EXPECT_EQ(report.workingAddress, 7);
    EXPECT_NE(report.command.find("--baud 19200 --address 7"), std::string::npos);
    ASSERT_TRUE(report.quality.has_value());
    EXPECT_EQ(report.quality->complete, 2);
    ASSERT_TRUE(report.answer.has_value());  // described by the quality run
    EXPECT_FALSE(report.answer->serialNumber.empty());

    size_t requests = 0;
    for (const TraceEvent& event : report.trace) {
        if (!event.sent) continue;
        ++requests;
        ASSERT_GE(event.bytes.size(), 2u);
        EXPECT_EQ(event.bytes[1], 3) << "only reads";
    }
    EXPECT_GT(requests, 8u);
    EXPECT_EQ(sim->Registers(0x0101, 10), settingsBefore);
    EXPECT_EQ(sim->Registers(0x0401, 15), loadBefore);
    EXPECT_EQ(sim->Registers(0x0801, 18), identityBefore);
    EXPECT_EQ(sim->Address(), 7);
}

TEST_F(LinkDoctorPtyTest, UnusablePortsStopBeforeTheLine) {
    const testing::ScratchDir dir("kestrane-doctor");
    const std::string plainFile = (dir.Path() / "not-a-tty").string();
    { std::ofstream(plainFile) << "x"; }
    const struct {
        std::string port;
        std::string failed;
    } cases[] = {
        {(dir.Path() / "missing").string(), "path"},
        {plainFile, "open"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        const DoctorReport report = Diagnose(9600, 1, 1, c.port);
        EXPECT_EQ(report.exitStatus, kDoctorPortUnusable);
        EXPECT_EQ(FailedChecks(report), std::vector<std::string>{c.failed});
        EXPECT_EQ(DoctorCheckName(report.steps.back().check), c.failed);
        EXPECT_FALSE(report.steps.back().hint.empty() && c.failed == "path");
    }
}

TEST_F(LinkDoctorPtyTest, PortHeldByAnotherProcessIsBusy) {
    Serve({});
    const int fd = ::open(sim->DevicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    std::optional<testing::HoldingProcess> holding(std::in_place, fd);
    const pid_t holder = holding->Pid();
    const DoctorReport report = Diagnose(9600, 1);
    holding.reset();
    EXPECT_EQ(report.exitStatus, kDoctorPortUnusable);
    EXPECT_EQ(FailedChecks(report), std::vector<std::string>{"busy"});
    EXPECT_NE(report.steps.back().detail.find("pid " + std::to_string(holder)), std::string::npos)
        << report.steps.back().detail;
    EXPECT_EQ(sim->RequestCount(), 0u);
}

}  // namespace
}  // namespace kestrane
