#include "history/HistoryJson.h"

namespace kestrane {

nlohmann::json DaysJson(const std::vector<StoredDay>& days) {
    nlohmann::json list = nlohmann::json::array();
    for (const StoredDay& day : days) {
        const DayTotals& t = day.totals;
        list.push_back({{"date", IsoDate(day.date)},
                        {"has_data", t.hasData},
                        {"charged_wh", t.chargedWh},
                        {"used_wh", t.usedWh},
                        {"peak_charge_w", t.peakChargePower},
                        {"peak_load_w", t.peakLoadPower},
                        {"min_battery_v", t.minBatteryVoltage},
                        {"max_battery_v", t.maxBatteryVoltage}});
    }
    return {{"days", list}};
}

}  // namespace kestrane
