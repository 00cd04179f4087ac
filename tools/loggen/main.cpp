// kestrane-loggen: writes days of event log into a folder with the program's
// own log writer, for the history benchmark and for trying the viewer.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>

#include "loggen/LogGenerator.h"

int main(int argc, char** argv) {
    CLI::App app{"Writes days of event log with the program's own writer"};
    kestrane::loggen::LogGeneratorOptions options;
    std::string first = "2025-01-01";
    bool clean = false;
    app.add_option("folder", options.folder, "folder to write the daily files into")->required();
    app.add_option("--first", first, "date of the first day, YYYY-MM-DD");
    app.add_option("--days", options.days, "number of days")->check(CLI::Range(1, 3660));
    app.add_option("--interval", options.intervalSeconds, "seconds between records")
        ->capture_default_str()
        ->check(CLI::Range(1, 86400));
    app.add_option("--seed", options.seed, "seed of the weather");
    app.add_flag("--clean", clean, "no link drop-outs and no alarm");
    CLI11_PARSE(app, argc, argv);
    options.withFaults = !clean;
    if (std::sscanf(first.c_str(), "%d-%d-%d", &options.first.year, &options.first.month,
                    &options.first.day) != 3) {
        std::fprintf(stderr, "kestrane-loggen: --first wants YYYY-MM-DD\n");
        return 2;
    }
    std::filesystem::create_directories(options.folder);
    const long records = kestrane::loggen::GenerateLogs(options);
    std::printf("%ld records in %d days\n", records, options.days);
    return 0;
}
