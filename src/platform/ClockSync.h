// Whether the machine's wall clock has been set from a time source. A small
// computer without a real-time clock boots with the time of its last
// shutdown (or 1970) until network time arrives; until then its clock must
// not be copied into anything. Behind an interface so tests can say either.
#pragma once

namespace kestrane {

class IClockSync {
public:
    virtual ~IClockSync() = default;
    virtual bool Synchronised() const = 0;
};

// The kernel's word: ntp_adjtime() read-only, unsynchronised when it returns
// TIME_ERROR or its status carries STA_UNSYNC (set at boot and kept until a
// time daemon such as systemd-timesyncd or chrony disciplines the clock).
class KernelClockSync : public IClockSync {
public:
    bool Synchronised() const override;
};

// One process-wide KernelClockSync.
const IClockSync& TheKernelClockSync();

}  // namespace kestrane
