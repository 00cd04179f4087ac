// The history window on a folder of logs, offscreen: the time to list the
// days and build the days view (the reader alone and the whole window), the
// time to switch to a day (read, charts, one paint), the memory the window
// adds, and the floor of reading every byte of the folder once.
//
// usage: history_bench FOLDER
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "history/LogDayFiles.h"
#include "history/ui/CHistoryDayCharts.h"
#include "history/ui/CHistoryDlg.h"

namespace {

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

double Milliseconds(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Processor time of this process: on a shared, loaded machine it says what
// the work costs, where the wall clock also counts the waits for a core.
double CpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: history_bench FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];

    // Floor: every byte of every file read once.
    QElapsedTimer timer;
    timer.start();
    uint64_t bytes = 0;
    std::vector<char> buffer(1 << 20);
    const std::vector<kestrane::LogDayFile> listed = kestrane::ListLogDays(folder);
    for (const kestrane::LogDayFile& file : listed) {
        std::ifstream in(file.path, std::ios::binary);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount())
            bytes += static_cast<uint64_t>(in.gcount());
    }
    const double floorMs = Milliseconds(timer);

    timer.restart();
    const auto files = kestrane::ListLogDays(folder);
    const auto days = kestrane::SummariseDays(files);
    const double readerMs = Milliseconds(timer);

    // A first window warms up Qt's fonts and chart classes, as the main
    // window's start has done before HISTORY is pressed.
    { kestrane::CHistoryDlg warm(folder, true, 0); }
    QApplication::processEvents();
    const long before = ResidentKilobytes();
    timer.restart();
    const double cpuOpen = CpuMilliseconds();
    kestrane::CHistoryDlg dialog(folder, true, 0);
    dialog.resize(1280, 900);
    dialog.show();
    dialog.ShowView(1);
    dialog.grab();
    const double openMs = Milliseconds(timer);
    const double openCpuMs = CpuMilliseconds() - cpuOpen;
    const long opened = ResidentKilobytes();
    dialog.ShowView(0);
    if (qEnvironmentVariableIsSet("HISTORY_BENCH_PHASES")) {
        for (int i = 0; i < 5; ++i) {
            timer.restart();
            dialog.ShowDay(files[i].date);
            const double show = Milliseconds(timer);
            timer.restart();
            dialog.grab();
            std::printf("phase: show %.1f ms, paint %.1f ms, rss %ld KB\n", show,
                        Milliseconds(timer), ResidentKilobytes());
        }
    }

    std::vector<double> switches;
    std::vector<double> cpuSwitches;
    for (size_t i = 0; i < files.size() && switches.size() < 30;
         i += std::max<size_t>(1, files.size() / 30)) {
        timer.restart();
        const double cpuStart = CpuMilliseconds();
        dialog.ShowDay(files[i].date);
        dialog.grab();
        switches.push_back(Milliseconds(timer));
        cpuSwitches.push_back(CpuMilliseconds() - cpuStart);
        if (qEnvironmentVariableIsSet("HISTORY_BENCH_PHASES"))
            std::printf("switch %zu: %.1f ms\n", i, switches.back());
    }
    std::sort(switches.begin(), switches.end());
    std::sort(cpuSwitches.begin(), cpuSwitches.end());
    const long after = ResidentKilobytes();
    const double median = switches.empty() ? 0 : switches[switches.size() / 2];
    const double worst = switches.empty() ? 0 : switches.back();

    std::printf("days %zu, %.1f MB of log, %d points per quantity on the last day\n", files.size(),
                static_cast<double>(bytes) / 1e6, dialog.DayCharts().PointCount(0));
    std::printf("list+summary (reader) %.1f ms; floor (read every byte once) %.1f ms; ratio %.3f\n",
                readerMs, floorMs, floorMs > 0 ? readerMs / floorMs : 0.0);
    std::printf("open window with days view %.1f ms, processor time %.1f ms (target <= 500)\n",
                openMs, openCpuMs);
    std::printf(
        "switch to a day: median %.1f ms, worst %.1f ms over %zu days (target <= 50);"
        " processor time median %.1f ms\n",
        median, worst, switches.size(),
        cpuSwitches.empty() ? 0 : cpuSwitches[cpuSwitches.size() / 2]);
    std::printf("added memory %.1f MB after opening, %.1f MB after the switches (target <= 40)\n",
                static_cast<double>(opened - before) / 1024,
                static_cast<double>(after - before) / 1024);
    (void)days;
    return 0;
}
