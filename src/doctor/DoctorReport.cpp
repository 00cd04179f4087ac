#include "doctor/DoctorReport.h"

#include <array>

namespace kestrane {

namespace {

struct CheckText {
    const char* name;
    const char* title;
};

constexpr std::array<CheckText, 9> kChecks{{
    {"path", "the path exists"},
    {"permission", "permission to open it"},
    {"busy", "no other program holds it"},
    {"open", "opens and takes the line settings"},
    {"echo", "no echo of the request"},
    {"answer", "the controller answers"},
    {"classify", "what came back"},
    {"search", "search over addresses and rates"},
    {"quality", "quality run"},
}};

}  // namespace

const char* DoctorCheckName(DoctorCheck check) {
    return kChecks[static_cast<size_t>(check)].name;
}

const char* DoctorCheckTitle(DoctorCheck check) {
    return kChecks[static_cast<size_t>(check)].title;
}

}  // namespace kestrane
