#include "support/FakeClock.h"

#include <ctime>

namespace kestrane::testing {

LocalTime MakeTime(int year, int month, int day, int hour, int minute, int second) {
    LocalTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = 12;
    timegm(&parts);  // normalises and fills tm_wday
    t.dayOfWeek = parts.tm_wday;
    return t;
}

}  // namespace kestrane::testing
