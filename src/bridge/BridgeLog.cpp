#include "bridge/BridgeLog.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace kestrane::bridge {

namespace {

std::atomic<int> gLowest{static_cast<int>(LogLevel::kInfo)};
std::mutex gWriteMutex;
std::function<void(std::string_view)> gReceiver;  // guarded by gWriteMutex

struct LevelStyle {
    const char* word;
    const char* colour;      // ANSI colour on a terminal
    const char* journalTag;  // syslog priority prefix for journald
};

constexpr LevelStyle kStyles[] = {
    {"debug", "\033[2m", "<7>"},
    {"info", "", "<6>"},
    {"warning", "\033[33m", "<4>"},
    {"error", "\033[31m", "<3>"},
};

enum class Sink { kPlain, kTerminal, kJournal };

// systemd names the journal's stream in JOURNAL_STREAM as "device:inode";
// it is ours only when stderr is still that stream (not redirected by a
// child's caller).
bool StderrIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    unsigned long long device = 0, inode = 0;
    struct stat info {};
    return stream != nullptr && std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 &&
           ::fstat(STDERR_FILENO, &info) == 0 && info.st_dev == device && info.st_ino == inode;
}

Sink StderrSink() {
    static const Sink sink = [] {
        if (StderrIsJournal()) return Sink::kJournal;
        return ::isatty(STDERR_FILENO) ? Sink::kTerminal : Sink::kPlain;
    }();
    return sink;
}

}  // namespace

void SetBridgeLogLevel(LogLevel lowest) {
    gLowest = static_cast<int>(lowest);
}

bool BridgeLogEnabled(LogLevel level) {
    return static_cast<int>(level) >= gLowest.load();
}

void BridgeLog(LogLevel level, std::string_view message) {
    if (!BridgeLogEnabled(level)) return;
    const LevelStyle& style = kStyles[static_cast<int>(level)];
    std::lock_guard lock(gWriteMutex);
    if (gReceiver) {
        gReceiver(std::string(style.word) + ": " + std::string(message));
        return;
    }
    std::string line;
    switch (StderrSink()) {
        case Sink::kJournal:
            line = std::string(style.journalTag);
            break;
        case Sink::kTerminal:
            line = std::string(style.colour) + style.word + (*style.colour ? "\033[0m" : "") + ": ";
            break;
        case Sink::kPlain:
            line = std::string(style.word) + ": ";
            break;
    }
    for (const char c : message)
        line += (c == '\n' || c == '\r') ? ' ' : c;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void DivertBridgeLog(std::function<void(std::string_view)> receiver) {
    std::lock_guard lock(gWriteMutex);
    gReceiver = std::move(receiver);
}

}  // namespace kestrane::bridge
