#include "sim/ReplySchedule.h"

#include <algorithm>

namespace kestrane::sim {

std::vector<TimedBytes> ScheduleReply(const std::vector<Transmission>& answer,
                                      const RtuFrame& request, double nowMs,
                                      const WireTiming* pace) {
    std::vector<TimedBytes> plan;
    if (pace == nullptr) {
        double at = nowMs;
        for (const Transmission& piece : answer) {
            at += piece.delayMs;
            plan.push_back({at, piece.bytes});
        }
        return plan;
    }
    double wireFree = std::max(
        nowMs, pace->ReplyStartMs(request.bytes.size(), request.firstByteMs, request.lastByteMs));
    for (const Transmission& piece : answer) {
        const double start = wireFree + piece.delayMs;
        for (size_t i = 0; i < piece.bytes.size(); ++i)
            plan.push_back({pace->ByteDoneMs(start, i), {piece.bytes[i]}});
        wireFree = start + static_cast<double>(piece.bytes.size()) * pace->CharMs();
    }
    return plan;
}

}  // namespace kestrane::sim
