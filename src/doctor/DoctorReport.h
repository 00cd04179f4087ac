// What the link doctor found, step by step, with the figures behind each
// step: for the terminal, and as one JSON document for a support request.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bus/BusResult.h"
#include "doctor/AddressSearch.h"
#include "doctor/LinkClassifier.h"
#include "doctor/PortInfo.h"
#include "doctor/RecordingLine.h"

namespace kestrane {

// Exit statuses of the doctor.
inline constexpr int kDoctorHealthy = 0;
inline constexpr int kDoctorFoundWithFaults = 1;  // something was wrong, the controller found
inline constexpr int kDoctorPortUnusable = 2;
inline constexpr int kDoctorNoController = 3;

enum class DoctorCheck : uint8_t {
    kPath,        // the path exists
    kPermission,  // the user may open it
    kBusy,        // no other program holds it
    kOpen,        // it opens and takes the line settings
    kEcho,        // the adapter does not send the request back
    kAnswer,      // the controller answers at the rate and address given
    kClassify,    // what came back instead
    kSearch,      // the other addresses and rates
    kQuality,     // a run of cycles
};

// "path", "permission", ...: the step's name in machine-readable output.
const char* DoctorCheckName(DoctorCheck check);
// "the path exists", ...: the step's line in the terminal.
const char* DoctorCheckTitle(DoctorCheck check);

struct DoctorStep {
    DoctorCheck check = DoctorCheck::kPath;
    bool ok = false;
    std::string detail;  // what was found
    std::string hint;    // what to do about it; empty when ok
};

struct AnswerFacts {
    double latencyMs = 0;  // from the end of the first request to the first byte back
    double replyMs = 0;    // from the first to the last byte of that reply
    std::string model;
    std::string serialNumber;
    std::string firmware;
};

struct QualityFacts {
    int cycles = 0;
    int complete = 0;  // cycles in which every block was answered at the first attempt
    LinkCounters counters;
    size_t strayBytes = 0;  // bytes outside any frame: noise
};

struct DoctorReport {
    std::string devicePath;
    unsigned baud = 0;  // as given
    int address = 0;
    std::vector<DoctorStep> steps;
    std::vector<std::string> existingPorts;  // when the path does not exist, by-id names first
    PortInfo port;
    std::optional<AnswerFacts> answer;
    std::optional<LinkClassification> classification;
    std::optional<SearchResult> search;
    std::optional<QualityFacts> quality;
    unsigned workingBaud = 0;  // 0: no controller answered
    int workingAddress = 0;
    std::string command;  // the command line that reads the controller
    int exitStatus = kDoctorNoController;
    std::vector<TraceEvent> trace;
};

}  // namespace kestrane
