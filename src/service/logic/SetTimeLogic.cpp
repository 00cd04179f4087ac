#include "service/logic/SetTimeLogic.h"

#include <cstdint>
#include <cstdio>

#include "protocol/ClockWrite.h"
#include "service/logic/ServiceControlIds.h"
#include "service/logic/ServiceInput.h"
#include "service/logic/ServiceSelectors.h"

namespace kestrane {

namespace {

// The lists in the order of the clock write: year, month, day, hour, minute,
// second.
constexpr int kClockLists[ControllerData::kClockWriteWords] = {
    id::settime::kYearList, id::settime::kMonthList,  id::settime::kDayList,
    id::settime::kHourList, id::settime::kMinuteList, id::settime::kSecondList,
};

}  // namespace

std::string SetTimeLogic::FormatLocalTime(const LocalTime& t) {
    char text[96];
    std::snprintf(text, sizeof text, "%4d-%2d-%2d   %2d:%2d:%2d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

void SetTimeLogic::FillLocalTime() {
    const LocalTime now = clock_.Now();
    dialog_.SetText(id::settime::kLocalTime, FormatLocalTime(now));
    const int values[] = {now.year, now.month, now.day, now.hour, now.minute, now.second};
    for (int i = 0; i < ControllerData::kClockWriteWords; ++i)
        dialog_.SetText(kClockLists[i], std::to_string(values[i]));
}

void SetTimeLogic::OnRefresh() {
    FillLocalTime();
    shared_.data.clockDialogRefresh.store(0);
}

void SetTimeLogic::OnLocalTime() {
    FillLocalTime();
}

void SetTimeLogic::OnConfirmTime() {
    ClockValues values{};
    for (int i = 0; i < ControllerData::kClockWriteWords; ++i)
        values[static_cast<size_t>(i)] = ReadLeadingInteger(dialog_.Text(kClockLists[i]));
    FillClockWrite(shared_.data, values);
    shared_.settingsStatus.store(service::kStatusWriteQueued);
    shared_.pendingWrite.store(service::kSelectorClock);
}

void SetTimeLogic::OnClose() {
    shared_.data.clockDialogRefresh.store(0);
}

}  // namespace kestrane
