#include "history/CleanCsv.h"

#include <cstdio>
#include <fstream>

namespace kestrane {

namespace {

void AppendQuoted(std::string& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

std::string FormatCleanCsv(const HistoryDay& day) {
    std::string out = kCleanCsvHeader;
    out += "\r\n";
    out.reserve(day.samples.size() * 140);
    char buffer[160];
    for (const HistorySample& s : day.samples) {
        std::snprintf(buffer, sizeof buffer, "\"%04d-%02d-%02dT%02d:%02d:%02d\",\"%s\",",
                      day.date.year, day.date.month, day.date.day, s.secondOfDay / 3600,
                      s.secondOfDay / 60 % 60, s.secondOfDay % 60,
                      s.connected ? "Connected" : "Disconnected");
        out += buffer;
        AppendQuoted(out, day.Text(s.serialText));
        out += ',';
        AppendQuoted(out, day.Text(s.workModeText));
        out += s.loadOn ? ",\"ON\"," : ",\"OFF\",";
        AppendQuoted(out, day.Text(s.errorText));
        std::snprintf(
            buffer, sizeof buffer, ",%.1f,%.1f,%.1f,%.1f,%.1f,%lld,%lld,%lld,%lld,%d,%d\r\n",
            s.pvVoltage, s.batteryVoltage, s.loadVoltage, s.chargeCurrent, s.loadCurrent,
            static_cast<long long>(s.chargePower), static_cast<long long>(s.loadPower),
            static_cast<long long>(s.chargedTodayWh), static_cast<long long>(s.usedTodayWh),
            s.innerTemperature, s.batteryTemperature);
        out += buffer;
    }
    return out;
}

bool WriteCleanCsv(const HistoryDay& day, const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string text = FormatCleanCsv(day);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace kestrane
