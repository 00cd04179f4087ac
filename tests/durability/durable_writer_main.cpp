// kestrane_durable_writer MODE DIR [SYNC-MS [COUNT]]: writes in a loop, as the bridge
// does, until it is killed, and says on stdout what it knows to be on the
// disk, so that a test can kill it (or cut the power under it) at any moment
// and check what survived:
//   config   replaces DIR/bridge.toml with generation after generation;
//            "done G" once generation G is replaced and synced;
//   backup   takes settings backups into DIR, one a second of controller
//            time; "done NAME" once the backup NAME is synced;
//   history  records one controller per interval into DIR with the history
//            writer, flushed every SYNC-MS; "written W synced S" after each;
//            with COUNT, stops after that many records and exits 0.
// The texts are made by ConfigText and HistoryValues, whose rules the test
// repeats to check every byte.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "bridge/HistoryWriter.h"
#include "platform/FileReplace.h"
#include "profile/SettingsWrite.h"
#include "protocol/ControllerData.h"

namespace {

using namespace kestrane;

// Generation g: a first and a last line naming it, and between them a number
// of lines that varies with g, so a file torn anywhere cannot pass for whole.
std::string ConfigText(long generation) {
    std::string text = "# generation " + std::to_string(generation) + "\n";
    const long lines = 50 + generation * 37 % 400;
    for (long i = 0; i < lines; ++i)
        text += "key_" + std::to_string(i) + " = " + std::to_string(generation * 1000 + i) + "\n";
    return text + "# end " + std::to_string(generation) + "\n";
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

int Config(const std::string& dir) {
    const std::string path = dir + "/bridge.toml";
    for (long generation = 1;; ++generation) {
        if (ReplaceFile(path, [&](int fd) { return WriteAll(fd, ConfigText(generation)); }))
            Say("done " + std::to_string(generation));
    }
}

int Backup(const std::string& dir) {
    const ControllerData data{};
    const std::time_t start = 1796000000;
    for (long i = 0;; ++i) {
        std::string error;
        if (const auto path = profile::BackupSettings(dir, data, start + i, error))
            Say("done " + path->substr(path->rfind('/') + 1));
    }
}

class FixedClock : public ILocalClock {
public:
    LocalTime Now() const override { return {2026, 12, 9, 12, 0, 0, 3, 0}; }
};

int History(const std::string& dir, long syncMs, long count) {
    const FixedClock clock;
    bridge::HistoryWriter writer({dir, 1, 0}, clock, nullptr,
                                 bridge::HistoryWriter::kDefaultQueueBound,
                                 std::chrono::milliseconds(syncMs));
    bridge::DeviceUpdate update;
    update.identity.busIndex = 0;
    update.identity.address = 1;
    update.identity.serialNumber = "KS1";
    update.identity.deviceId = "sn-KS1";
    update.online = true;
    for (long record = 1; count <= 0 || record <= count; ++record) {
        // The record's number is its last value.
        update.logValues = "KS1,CC CHG,ON,NormalRun, 18.2,13.1,13.0,4.5,1.2, 59,15,120,30,25," +
                           std::to_string(record);
        writer.Publish(update);
        writer.Tick();
        const bridge::HistoryStatus status = writer.Status();
        Say("written " + std::to_string(status.written) + " synced " +
            std::to_string(status.synced));
    }
    writer.Stop();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s config|backup|history DIR [SYNC-MS]\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const std::string dir = argv[2];
    if (mode == "config") return Config(dir);
    if (mode == "backup") return Backup(dir);
    if (mode == "history")
        return History(dir, argc > 3 ? std::atol(argv[3]) : 0, argc > 4 ? std::atol(argv[4]) : 0);
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
