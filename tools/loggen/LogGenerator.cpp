#include "loggen/LogGenerator.h"

#include <chrono>
#include <cmath>
#include <random>

#include "monitor/CEventLog.h"
#include "protocol/TextCodec.h"

namespace kestrane::loggen {

namespace {

class StepClock : public ILocalClock {
public:
    LocalTime Now() const override { return now; }
    LocalTime now;
};

LocalTime At(std::chrono::sys_days day, int secondOfDay) {
    const std::chrono::year_month_day ymd(day);
    LocalTime t;
    t.year = static_cast<int>(ymd.year());
    t.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    t.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    t.hour = secondOfDay / 3600;
    t.minute = secondOfDay / 60 % 60;
    t.second = secondOfDay % 60;
    return t;
}

struct DayState {
    double chargedWh = 0;
    double usedWh = 0;
};

// The controller's readings at one moment of the day.
void FillRecord(ControllerData& data, int secondOfDay, double cloud, DayState& day,
                double stepSeconds, bool withFaults) {
    const double hour = secondOfDay / 3600.0;
    const double sun = std::max(0.0, std::sin((hour - 6.0) / 12.0 * 3.14159265358979));
    const double chargeWatts = 380.0 * sun * cloud;
    const bool lampOn = hour < 6.0 || hour >= 19.0;
    const double loadWatts = lampOn ? 48.0 : 0.0;
    const double battery = 12.3 + 1.9 * sun + (lampOn ? -0.3 * hour / 24.0 : 0.0);
    day.chargedWh += chargeWatts * stepSeconds / 3600.0;
    day.usedWh += loadWatts * stepSeconds / 3600.0;

    data.chargeState = sun <= 0.0 ? 0 : (battery > 14.0 ? 2 : 1);
    data.loadOutputOn = lampOn ? 1 : 0;
    data.alarmCode = withFaults && hour >= 5.0 && hour < 5.05 ? 0x080 : 0;
    data.pvVoltage = static_cast<int32_t>(sun > 0 ? 170 + 20 * sun : 8);
    data.batteryVoltage = static_cast<int32_t>(battery * 10);
    data.loadVoltage = lampOn ? static_cast<int32_t>(battery * 10) - 1 : 0;
    data.chargeCurrent = static_cast<int32_t>(chargeWatts / battery * 10);
    data.loadCurrent = static_cast<int32_t>(loadWatts / battery * 10);
    data.chargePower = static_cast<int32_t>(chargeWatts);
    data.loadPower = static_cast<int32_t>(loadWatts);
    data.chargedTodayWh = static_cast<int32_t>(day.chargedWh);
    data.usedTodayWh = static_cast<int32_t>(day.usedWh);
    data.innerTemperature = static_cast<int32_t>(22 + 14 * sun);
    data.batteryTemperature = static_cast<int32_t>(18 + 6 * sun);
}

bool LinkDown(int secondOfDay) {
    for (int start : {6 * 3600, 18 * 3600})
        if (secondOfDay >= start && secondOfDay < start + 15 * 60) return true;
    return false;
}

}  // namespace

long GenerateLogs(const LogGeneratorOptions& options) {
    StepClock clock;
    CEventLog log(clock, options.folder);
    ControllerData data;
    TextToWords("KS,2024-0815", data.serialNumber, ControllerData::kSerialWords);
    std::mt19937 random(options.seed);
    std::uniform_real_distribution<double> clouds(0.55, 1.0);

    const std::chrono::sys_days first{
        std::chrono::year(options.first.year) /
        std::chrono::month(static_cast<unsigned>(options.first.month)) /
        std::chrono::day(static_cast<unsigned>(options.first.day))};
    long records = 0;
    int64_t bytesReceived = 0;
    for (int d = 0; d < options.days; ++d) {
        const std::chrono::sys_days day = first + std::chrono::days(d);
        const double cloud = clouds(random);
        DayState energy;
        for (int second = 20; second < 86400; second += options.intervalSeconds) {
            clock.now = At(day, second);
            FillRecord(data, second, cloud, energy, options.intervalSeconds, options.withFaults);
            if (!(options.withFaults && LinkDown(second))) bytesReceived += 120;
            const bool header = !log.LogHeaderWritten();
            log.WriteLogRecord(data, bytesReceived);
            if (!header && log.LogHeaderWritten()) ++records;
        }
    }
    return records;
}

}  // namespace kestrane::loggen
