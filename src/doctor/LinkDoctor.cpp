#include "doctor/LinkDoctor.h"

#include <utility>

#include "bus/CBusMaster.h"
#include "doctor/PortChecks.h"
#include "serial/CSerialPort.h"
#include "serial/PortPath.h"

namespace kestrane {

namespace {

std::string OpenHint(SerialError error, unsigned baud) {
    switch (error) {
        case SerialError::Busy:
            return "another program holds the port: close it first";
        case SerialError::PermissionDenied:
            return "sudo adduser $USER dialout, then log in again";
        case SerialError::UnsupportedRate:
            return "the adapter does not take " + std::to_string(baud) + " baud";
        case SerialError::NotATerminal:
            return "this is not a serial device";
        default:
            return {};
    }
}

}  // namespace

LinkDoctor::LinkDoctor(DoctorOptions options, DoctorObserver observer)
    : options_(std::move(options)), observer_(std::move(observer)) {}

void LinkDoctor::Add(DoctorReport& report, DoctorStep step) const {
    report.steps.push_back(std::move(step));
    if (observer_.step) observer_.step(report.steps.back());
}

DoctorReport LinkDoctor::Run() {
    DoctorReport report;
    report.devicePath = PortDevicePath(options_.port);
    report.baud = options_.baud;
    report.address = options_.address;
    report.exitStatus = kDoctorPortUnusable;
    if (!CheckPort(report)) return report;

    CSerialPort port;
    DoctorStep open{DoctorCheck::kOpen, false, {}, {}};
    if (!port.Open(report.devicePath) || !port.Configure(options_.baud)) {
        open.detail = port.LastErrorText();
        open.hint = OpenHint(port.LastError(), options_.baud);
        Add(report, std::move(open));
        return report;
    }
    open.ok = true;
    open.detail = std::to_string(options_.baud) + " baud, 8 data bits, no parity, 1 stop bit";
    Add(report, std::move(open));

    CheckLine(report, port);
    port.Close();
    Conclude(report);
    return report;
}

bool LinkDoctor::CheckPort(DoctorReport& report) const {
    report.port = DescribePort(report.devicePath, options_.ownPid, options_.paths);
    if (!report.port.exists) report.existingPorts = ExistingPortNames(options_.paths);
    const DoctorStep steps[] = {
        CheckPath(report.port, report.existingPorts),
        CheckPermission(report.port),
        CheckBusy(report.port),
    };
    for (const DoctorStep& step : steps) {
        Add(report, step);
        if (!step.ok) return false;
    }
    return true;
}

void LinkDoctor::CheckLine(DoctorReport& report, CSerialPort& port) const {
    SteadyBusClock clock;
    RecordingLine line(port, clock);
    line.SetSink(observer_.trace);
    const auto address = static_cast<uint8_t>(options_.address);

    BusOptions probe;
    probe.baud = options_.baud;
    probe.responseTimeoutMs = options_.responseTimeoutMs;
    probe.retries = 0;
    {
        CBusMaster bus(line, probe, clock);
        bus.Transact(bus.Device(address), kDoctorProbeCode);
        line.Flush();
        const bool echo = bus.Counters().Count(BusResult::kEcho) > 0;
        DoctorStep step{DoctorCheck::kEcho, !echo, "none", {}};
        if (echo) {
            step.detail =
                "the adapter sends every request back (2-wire RS-485 without echo suppression); "
                "kestrane-cli and kestrane-bridge skip the echo";
            step.hint =
                "the window cannot skip it: switch the adapter's echo suppression on, or use one "
                "with automatic direction control";
        }
        Add(report, std::move(step));
    }

    BusOptions normal = probe;
    normal.retries = BusOptions{}.retries;
    CBusMaster bus(line, normal, clock);
    if (!CheckAnswer(report, bus, line)) {
        const LinkClassification found = ClassifyLink(line.Events(), options_.address);
        report.classification = found;
        Add(report, {DoctorCheck::kClassify, false, found.Text(), found.Hint()});
        if (found.finding == LinkFinding::kExceptions || found.finding == LinkFinding::kCrcErrors) {
            Add(report, {DoctorCheck::kSearch, false,
                         "not run: a device answers at this rate and address", found.Hint()});
        } else {
            Search(report, port, line);
        }
    }
    if (report.workingBaud != 0) RunQuality(report, port, line);
    report.trace = line.Events();
}

void LinkDoctor::Conclude(DoctorReport& report) const {
    if (report.workingBaud == 0) {
        report.exitStatus = kDoctorNoController;
        return;
    }
    report.command = "kestrane-cli read --port " + options_.port + " --baud " +
                     std::to_string(report.workingBaud) + " --address " +
                     std::to_string(report.workingAddress);
    bool healthy = true;
    for (const DoctorStep& step : report.steps)
        healthy = healthy && step.ok;
    report.exitStatus = healthy ? kDoctorHealthy : kDoctorFoundWithFaults;
}

}  // namespace kestrane
