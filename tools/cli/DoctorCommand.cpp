// kestrane-cli doctor: the checks one line each as they finish, the search's
// progress on stderr, the trace when asked for; or one JSON document.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "Commands.h"
#include "DoctorJson.h"
#include "doctor/FrameAnnotation.h"
#include "doctor/LinkDoctor.h"
#include "doctor/SearchProgressLine.h"

namespace kestrane::cli {

namespace {

constexpr const char* kPassed = "\u2713";  // ✓
constexpr const char* kFailed = "\u2717";  // ✗

void PrintStep(const DoctorStep& step) {
    std::printf("%s %s: %s\n", step.ok ? kPassed : kFailed, DoctorCheckTitle(step.check),
                step.detail.c_str());
    if (!step.hint.empty()) std::printf("    hint: %s\n", step.hint.c_str());
    std::fflush(stdout);
}

void PrintTrace(const TraceEvent& event, const TraceEvent* request) {
    for (const AnnotatedFrame& frame : AnnotateEvent(event, request))
        std::printf("    [%9.1f ms] %s %s | %s\n", frame.atMs, frame.sent ? "->" : "<-",
                    frame.hex.c_str(), frame.note.c_str());
    std::fflush(stdout);
}

}  // namespace

int RunDoctor(const CliOptions& options, const std::atomic<bool>& interrupted) {
    DoctorOptions doctor;
    doctor.port = options.port;
    doctor.baud = options.baud;
    doctor.address = options.doctor.address;
    doctor.cycles = options.doctor.cycles;
    doctor.responseTimeoutMs = options.doctor.responseTimeoutMs;
    doctor.searchSeconds = options.doctor.searchSeconds;
    doctor.probeFloorMs = options.doctor.probeWaitMs;
    doctor.ownPid = static_cast<int>(::getpid());

    const bool json = options.doctor.json;
    SearchProgressLine progress;
    DoctorObserver observer;
    observer.progress = [&progress](const SearchProgress& p) { progress.Show(p); };
    observer.stop = [&interrupted] { return interrupted.load(); };
    if (!json) {
        std::printf("kestrane-cli doctor: %s at %u baud, address %d\n", options.port.c_str(),
                    options.baud, options.doctor.address);
        observer.step = [&progress](const DoctorStep& step) {
            progress.End();
            PrintStep(step);
        };
        if (options.doctor.trace) observer.trace = PrintTrace;
    }

    const DoctorReport report = LinkDoctor(doctor, observer).Run();
    progress.End();
    if (json) {
        std::puts(DoctorJson(report, options.doctor.trace).dump(2, ' ', true).c_str());
    } else if (!report.command.empty()) {
        std::printf("the controller reads with: %s\n", report.command.c_str());
    } else if (report.exitStatus == kDoctorNoController) {
        std::puts("no controller answered");
    }
    return report.exitStatus;
}

}  // namespace kestrane::cli
