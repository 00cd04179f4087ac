#include "sim/SimDateTime.h"

#include <cmath>
#include <cstdio>

namespace kestrane::sim {

int SimDateTime::DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

bool SimDateTime::FromParts(int year, int month, int day, int hour, int minute, int second,
                            SimDateTime* out) {
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    out->year = year;
    out->month = month;
    out->day = day;
    out->secondOfDay = hour * 3600.0 + minute * 60.0 + second;
    return true;
}

bool SimDateTime::Parse(const std::string& text, SimDateTime* out) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char separator = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &y, &mo, &d, &separator, &h, &mi,
                    &s, &consumed) != 7)
        return false;
    if ((separator != 'T' && separator != ' ') || consumed != static_cast<int>(text.size()))
        return false;
    return FromParts(y, mo, d, h, mi, s, out);
}

std::string SimDateTime::ToString() const {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", year % 10000, month, day,
                  Hour(), Minute(), Second());
    return text;
}

int SimDateTime::Advance(double seconds) {
    if (!(seconds > 0)) return 0;
    secondOfDay += seconds;
    int midnights = 0;
    while (secondOfDay >= 86400.0) {
        secondOfDay -= 86400.0;
        ++midnights;
        if (++day > DaysInMonth(year, month)) {
            day = 1;
            if (++month > 12) {
                month = 1;
                ++year;
            }
        }
    }
    return midnights;
}

}  // namespace kestrane::sim
