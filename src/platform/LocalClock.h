// The local date and time, behind an interface so tests can set the date.
#pragma once

namespace kestrane {

struct LocalTime {
    int year = 0;       // e.g. 2026
    int month = 0;      // 1-12
    int day = 0;        // 1-31
    int hour = 0;       // 0-23
    int minute = 0;     // 0-59
    int second = 0;     // 0-59
    int dayOfWeek = 0;  // 0 Sunday .. 6 Saturday
    int milliseconds = 0;
};

class ILocalClock {
public:
    virtual ~ILocalClock() = default;
    virtual LocalTime Now() const = 0;
};

// The machine's local time zone.
class SystemClock : public ILocalClock {
public:
    LocalTime Now() const override;
};

}  // namespace kestrane
