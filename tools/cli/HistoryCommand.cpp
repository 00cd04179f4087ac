#include "HistoryCommand.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>

#include "CliOptions.h"
#include "Commands.h"
#include "history/HistoryJson.h"
#include "history/HistoryStore.h"

namespace kestrane::cli {

namespace {

using nlohmann::json;

int Refuse(const std::string& why) {
    std::fprintf(stderr, "kestrane-cli history: %s\n", why.c_str());
    return kExitUsage;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

int ListDevices(HistoryStore& store, const HistoryOptions& options) {
    const std::vector<std::string> devices = store.Devices();
    if (devices.empty()) return Refuse("no controller's history in " + options.dir);
    json list = json::array();
    for (const std::string& device : devices) {
        const auto days = store.Days(device).value_or(std::vector<StoredDay>{});
        json entry = {{"device", device}, {"days", days.size()}};
        if (!days.empty()) {
            entry["first"] = IsoDate(days.front().date);
            entry["last"] = IsoDate(days.back().date);
        }
        list.push_back(entry);
    }
    if (options.json) {
        std::printf("%s\n", json{{"devices", list}}.dump().c_str());
    } else {
        if (options.csv) std::printf("device,days,first,last\n");
        for (const json& e : list) {
            const std::string first = e.value("first", ""), last = e.value("last", "");
            std::printf(options.csv ? "%s,%d,%s,%s\n" : "%-28s %5d days  %s .. %s\n",
                        e["device"].get<std::string>().c_str(), e["days"].get<int>(), first.c_str(),
                        last.c_str());
        }
    }
    return kExitDone;
}

int PrintDays(const std::vector<StoredDay>& days, const HistoryOptions& options) {
    if (options.json) {
        std::printf("%s\n", DaysJson(days).dump().c_str());
        return kExitDone;
    }
    std::printf(options.csv ? "date,charged_wh,used_wh,peak_charge_w,peak_load_w,"
                              "min_battery_v,max_battery_v\n"
                            : "date        charged Wh  used Wh  peak charge W  peak load W  "
                              "battery V\n");
    for (const StoredDay& day : days) {
        const DayTotals& t = day.totals;
        const std::string date = IsoDate(day.date);
        if (!t.hasData) {
            std::printf(options.csv ? "%s,,,,,,\n" : "%s  no data\n", date.c_str());
            continue;
        }
        std::printf(options.csv ? "%s,%lld,%lld,%lld,%lld,%s,%s\n"
                                : "%s  %10lld  %7lld  %13lld  %11lld  %s .. %s\n",
                    date.c_str(), static_cast<long long>(t.chargedWh),
                    static_cast<long long>(t.usedWh), static_cast<long long>(t.peakChargePower),
                    static_cast<long long>(t.peakLoadPower), Number(t.minBatteryVoltage).c_str(),
                    Number(t.maxBatteryVoltage).c_str());
    }
    return kExitDone;
}

std::string LocalStamp(int64_t seconds) {
    const LogDate date = DateFromDaysSinceEpoch(static_cast<int>(seconds / 86400));
    const int64_t s = seconds % 86400;
    char text[48];
    std::snprintf(text, sizeof text, "%sT%02d:%02d:%02d", IsoDate(date).c_str(),
                  static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60),
                  static_cast<int>(s % 60));
    return text;
}

int PrintSeries(const SeriesPoints& points, const HistoryOptions& options) {
    if (options.json) {
        json list = json::array();
        for (const auto& point : points) {
            if (!point) {
                list.push_back(nullptr);
                continue;
            }
            list.push_back({{"t", LocalStamp(point->start)},
                            {"n", point->count},
                            {"min", point->min},
                            {"mean", point->mean},
                            {"max", point->max}});
        }
        std::printf("%s\n", json{{"columns", kSeriesColumns}, {"points", list}}.dump().c_str());
        return kExitDone;
    }
    // Text and CSV show the mean of each column; a gap is an empty row.
    std::printf(options.csv ? "time,records" : "time                records");
    for (std::string_view column : kSeriesColumns)
        std::printf(options.csv ? ",%.*s" : " %.*s", static_cast<int>(column.size()),
                    column.data());
    std::printf("\n");
    for (const auto& point : points) {
        if (!point) {
            std::printf("\n");
            continue;
        }
        std::printf(options.csv ? "%s,%d" : "%s %d", LocalStamp(point->start).c_str(),
                    point->count);
        for (double mean : point->mean)
            std::printf(options.csv ? ",%s" : " %s", Number(mean).c_str());
        std::printf("\n");
    }
    return kExitDone;
}

}  // namespace

CLI::App* AddHistoryCommand(CLI::App& app, CliOptions& options) {
    HistoryOptions& h = options.history;
    CLI::App* history = app.add_subcommand(
        "history", "the bridge's history: controllers and days, day totals, or a series");
    history->add_option("--dir", h.dir, "the history folder (one sub-folder per controller)")
        ->required();
    history->add_option("--device", h.device, "a controller's id, e.g. sn-ks2026a000000042");
    history->add_option("--from", h.from, "first day, YYYY-MM-DD");
    history->add_option("--to", h.to, "last day, YYYY-MM-DD (included)");
    history->add_option("--buckets", h.buckets, "points of the series")
        ->capture_default_str()
        ->check(CLI::Range(1, 100000));
    history->add_flag("--days", h.days, "day totals instead of a series");
    auto* json = history->add_flag("--json", h.json, "one JSON document");
    history->add_flag("--csv", h.csv, "comma-separated values")->excludes(json);
    return history;
}

int RunHistory(const CliOptions& cliOptions) {
    const HistoryOptions& options = cliOptions.history;
    HistoryStore store(options.dir);
    std::optional<LogDate> from, to;
    if (!options.from.empty() && !(from = ParseIsoDate(options.from)))
        return Refuse("--from " + options.from + ": expected a date as YYYY-MM-DD");
    if (!options.to.empty() && !(to = ParseIsoDate(options.to)))
        return Refuse("--to " + options.to + ": expected a date as YYYY-MM-DD");
    if (from && to && *to < *from) return Refuse("--to is before --from");
    if (options.device.empty()) return ListDevices(store, options);

    const auto days = store.Days(options.device, from.value_or(LogDate{}), to.value_or(LogDate{}));
    if (!days) return Refuse("no controller " + options.device + " in " + options.dir);
    if (days->empty()) return Refuse("no days of " + options.device + " in that range");
    if (options.days) return PrintDays(*days, options);

    // A series over the days asked for, by default the last day there is.
    const LogDate first = from.value_or(to ? *to : days->back().date);
    const LogDate last = to.value_or(from ? days->back().date : first);
    const auto points = store.Series(options.device, LocalSeconds(first, 0),
                                     LocalSeconds(last, 86400), options.buckets);
    return PrintSeries(points.value_or(SeriesPoints{}), options);
}

}  // namespace kestrane::cli
