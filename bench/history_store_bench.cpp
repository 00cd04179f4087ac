// The bridge's history store on a folder of controllers' logs: listing the
// days of every controller with their totals, a day and a month as series,
// and a year of one controller's day totals, each beside the floor of reading
// the same files once with plain read(). "Cold" runs after the page cache was
// dropped (when this process may write /proc/sys/vm/drop_caches); without
// that there is no cold figure. Prints one line per figure, tab-separated,
// for bench/history_store_bench.sh to lay out:
//   key <TAB> milliseconds <TAB> floor milliseconds
//
// usage: history_store_bench ROOT
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "history/HistoryStore.h"
#include "history/LogDayFiles.h"

namespace {

using kestrane::HistoryStore;
using kestrane::LogDayFile;

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Processor time of this process: on a shared, loaded machine it says what
// the work costs, where the wall clock also counts the waits for a core.
double CpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Wall and processor milliseconds of one measured step.
struct Lap {
    double wall = 0;
    double cpu = 0;
};

template <typename Work>
Lap Measure(Work&& work) {
    const double cpu = CpuMilliseconds();
    const auto start = Clock::now();
    work();
    return {MillisecondsSince(start), CpuMilliseconds() - cpu};
}

long StatusKilobytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
    return 0;
}

bool DropPageCache() {
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY);
    if (fd < 0) return false;
    const bool ok = ::write(fd, "3", 1) == 1;
    ::close(fd);
    return ok;
}

// The floor: every byte of the files read once, plain read() into one buffer.
double ReadEveryByte(const std::vector<const LogDayFile*>& files, uint64_t* bytes = nullptr) {
    static std::vector<char> buffer(1 << 20);
    const auto start = Clock::now();
    uint64_t total = 0;
    for (const LogDayFile* file : files) {
        const int fd = ::open(file->path.c_str(), O_RDONLY);
        if (fd < 0) continue;
        for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;)
            total += static_cast<uint64_t>(got);
        ::close(fd);
    }
    if (bytes != nullptr) *bytes = total;
    return MillisecondsSince(start);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The median wall time and, apart, the median processor time.
Lap Median(const std::vector<Lap>& laps) {
    std::vector<double> wall, cpu;
    for (const Lap& lap : laps) {
        wall.push_back(lap.wall);
        cpu.push_back(lap.cpu);
    }
    return {Median(wall), Median(cpu)};
}

void Print(const char* key, Lap lap, double floorMs) {
    std::printf("%s\t%.2f\t%.2f\t%.2f\n", key, lap.wall, floorMs, lap.cpu);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: history_store_bench ROOT\n");
        return 2;
    }
    const std::string root = argv[1];
    const std::vector<std::string> devices = HistoryStore(root).Devices();
    if (devices.empty()) {
        std::fprintf(stderr, "history_store_bench: no controller's folder in %s\n", root.c_str());
        return 1;
    }
    std::vector<std::vector<LogDayFile>> files;
    for (const std::string& device : devices)
        files.push_back(kestrane::ListLogDays(root + "/" + device));
    std::vector<const LogDayFile*> all;
    for (const auto& list : files)
        for (const LogDayFile& file : list)
            all.push_back(&file);
    std::vector<const LogDayFile*> year;  // the first controller's files
    for (const LogDayFile& file : files[0])
        year.push_back(&file);
    if (year.size() < 40) {
        std::fprintf(stderr, "history_store_bench: needs at least 40 days\n");
        return 1;
    }

    uint64_t bytes = 0;
    ReadEveryByte(all, &bytes);
    std::printf("info\t%zu controllers, %zu files, %.1f MB\n", devices.size(), all.size(),
                static_cast<double>(bytes) / 1e6);
    const bool drops = DropPageCache();
    std::printf("cold\t%s\n", drops ? "yes" : "no");

    // Floors, cold then warm, before the store so that its memory is not
    // mixed with the floor's buffer.
    auto coldFloor = [&](const std::vector<const LogDayFile*>& set) {
        DropPageCache();
        return ReadEveryByte(set);
    };
    const double allFloorCold = drops ? coldFloor(all) : 0;
    const double yearFloorCold = drops ? coldFloor(year) : 0;
    ReadEveryByte(all);
    std::vector<double> warm;
    for (int i = 0; i < 5; ++i)
        warm.push_back(ReadEveryByte(all));
    const double allFloorWarm = Median(warm);
    warm.clear();
    for (int i = 0; i < 5; ++i)
        warm.push_back(ReadEveryByte(year));
    const double yearFloorWarm = Median(warm);

    const long rssBefore = StatusKilobytes("VmRSS");

    // Every day of every controller with its totals. Cold and warm with a
    // new store each time; cached: the same store asked again.
    auto listAll = [&](HistoryStore& store) {
        size_t days = 0;
        const Lap lap = Measure([&] {
            for (const std::string& device : devices)
                days += store.Days(device)->size();
        });
        if (days != all.size()) std::fprintf(stderr, "listed %zu of %zu days\n", days, all.size());
        return lap;
    };
    Lap allCold;
    if (drops) {
        DropPageCache();
        HistoryStore store(root);
        allCold = listAll(store);
    }
    std::vector<Lap> allNew, allCached;
    for (int i = 0; i < 3; ++i) {
        HistoryStore store(root);
        allNew.push_back(listAll(store));
    }
    HistoryStore listed(root);
    listAll(listed);
    for (int i = 0; i < 5; ++i)
        allCached.push_back(listAll(listed));

    // A year of one controller's day totals.
    const std::string& device = devices[0];
    Lap yearCold;
    if (drops) {
        DropPageCache();
        HistoryStore store(root);
        yearCold = Measure([&] { store.Days(device); });
    }
    std::vector<Lap> yearNew, yearCached;
    for (int i = 0; i < 5; ++i) {
        HistoryStore store(root);
        yearNew.push_back(Measure([&] { store.Days(device); }));
        yearCached.push_back(Measure([&] { store.Days(device); }));
    }

    // One day as 1440 buckets: 15 days spread over the year (never the last,
    // which the store keeps open), files in the page cache.
    HistoryStore store(root);
    std::vector<Lap> day;
    std::vector<double> dayFloor;
    for (size_t i = 10; i + 1 < year.size() && day.size() < 15; i += year.size() / 15) {
        const int64_t from = kestrane::LocalSeconds(year[i]->date, 0);
        ReadEveryByte({year[i]});
        dayFloor.push_back(ReadEveryByte({year[i]}));
        std::optional<kestrane::SeriesPoints> points;
        day.push_back(Measure([&] { points = store.Series(device, from, from + 86400, 1440); }));
        if (!points || points->empty()) std::fprintf(stderr, "an empty day\n");
    }

    // 31 days as 1000 buckets: five months.
    std::vector<Lap> month;
    std::vector<double> monthFloor;
    for (size_t i = 0; i + 32 < year.size() && month.size() < 5; i += 62) {
        const int64_t from = kestrane::LocalSeconds(year[i]->date, 0);
        const std::vector<const LogDayFile*> span(year.begin() + static_cast<long>(i),
                                                  year.begin() + static_cast<long>(i) + 31);
        ReadEveryByte(span);
        monthFloor.push_back(ReadEveryByte(span));
        std::optional<kestrane::SeriesPoints> points;
        month.push_back(
            Measure([&] { points = store.Series(device, from, from + 31 * 86400, 1000); }));
        if (!points || points->empty()) std::fprintf(stderr, "an empty month\n");
    }

    const long peakAfter = StatusKilobytes("VmHWM");
    const long rssAfter = StatusKilobytes("VmRSS");

    if (drops) Print("all_cold", allCold, allFloorCold);
    Print("all_warm", Median(allNew), allFloorWarm);
    Print("all_cached", Median(allCached), allFloorWarm);
    Print("day", Median(day), Median(dayFloor));
    Print("month", Median(month), Median(monthFloor));
    if (drops) Print("year_cold", yearCold, yearFloorCold);
    Print("year_warm", Median(yearNew), yearFloorWarm);
    Print("year_cached", Median(yearCached), yearFloorWarm);
    // The peak resident size while the store worked above the resident size
    // before it, and what the store still held at the end (its caches).
    std::printf("memory\t%.1f\t%.1f\n", static_cast<double>(peakAfter - rssBefore) / 1024,
                static_cast<double>(rssAfter - rssBefore) / 1024);
    return 0;
}
