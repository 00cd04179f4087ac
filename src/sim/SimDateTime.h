// The controller's own calendar clock, advanced by simulated seconds.
#pragma once

#include <string>

namespace kestrane::sim {

struct SimDateTime {
    int year = 2026;
    int month = 6;
    int day = 1;
    double secondOfDay = 7.5 * 3600;

    int Hour() const { return static_cast<int>(secondOfDay) / 3600; }
    int Minute() const { return static_cast<int>(secondOfDay) / 60 % 60; }
    int Second() const { return static_cast<int>(secondOfDay) % 60; }
    double HourOfDay() const { return secondOfDay / 3600.0; }

    static int DaysInMonth(int year, int month);
    // A clock value from its parts; false (and `out` untouched) when a part is
    // out of range.
    static bool FromParts(int year, int month, int day, int hour, int minute, int second,
                          SimDateTime* out);
    // Parses "YYYY-MM-DDTHH:MM:SS" (a blank also separates date and time).
    static bool Parse(const std::string& text, SimDateTime* out);
    std::string ToString() const;

    // Moves the clock forward; returns how many midnights were passed.
    int Advance(double seconds);
};

}  // namespace kestrane::sim
