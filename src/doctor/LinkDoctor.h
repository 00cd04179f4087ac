// The link doctor: why does the controller not answer? Runs the checks in
// order (the path, permission, other holders, opening, echo, an answer at
// the rate and address given; when there is none, what came back and a
// search over addresses and rates; then a quality run) and stops at the
// first failure that makes the rest meaningless. It only ever reads: no
// request it sends changes anything in the controller.
#pragma once

#include <functional>
#include <string>

#include "doctor/AddressSearch.h"
#include "doctor/DoctorReport.h"
#include "doctor/RecordingLine.h"
#include "doctor/SystemPaths.h"

namespace kestrane {

class CSerialPort;
class CBusMaster;

// What the doctor asks first, and what every search probe asks: the first
// read block, 15 registers from 0x0000.
inline constexpr int kDoctorProbeCode = 0;

struct DoctorOptions {
    std::string port;
    unsigned baud = 9600;
    int address = 1;
    int cycles = 50;              // of the quality run
    int responseTimeoutMs = 300;  // for the answer and quality checks
    double searchSeconds = 55;    // bound of the search
    int probeFloorMs = 40;        // the least wait of a search probe
    int ownPid = 0;               // not counted as holding the port
    SystemPaths paths;
};

struct DoctorObserver {
    std::function<void(const DoctorStep&)> step;  // each step as it ends
    RecordingLine::Sink trace;                    // every frame both ways
    AddressSearch::ProgressFn progress;           // each search probe
    std::function<bool()> stop;                   // asked before each request of a long step
};

class LinkDoctor {
public:
    LinkDoctor(DoctorOptions options, DoctorObserver observer = {});

    DoctorReport Run();

private:
    void Add(DoctorReport& report, DoctorStep step) const;
    bool CheckPort(DoctorReport& report) const;
    void CheckLine(DoctorReport& report, CSerialPort& port) const;
    bool CheckAnswer(DoctorReport& report, CBusMaster& bus, RecordingLine& line) const;
    void Search(DoctorReport& report, CSerialPort& port, RecordingLine& line) const;
    void RunQuality(DoctorReport& report, CSerialPort& port, RecordingLine& line) const;
    void Conclude(DoctorReport& report) const;

    DoctorOptions options_;
    DoctorObserver observer_;
};

}  // namespace kestrane
