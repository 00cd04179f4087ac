#include "platform/ClockSync.h"

#include <sys/timex.h>

namespace kestrane {

bool KernelClockSync::Synchronised() const {
    timex query{};  // modes 0: only reads
    const int state = ::ntp_adjtime(&query);
    return state != -1 && state != TIME_ERROR && (query.status & STA_UNSYNC) == 0;
}

const IClockSync& TheKernelClockSync() {
    static const KernelClockSync kernel;
    return kernel;
}

}  // namespace kestrane
