#include "bridge/HistoryWriter.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "bridge/BridgeLog.h"
#include "history/LogDate.h"
#include "history/LogRetention.h"
#include "monitor/CEventLog.h"
#include "platform/SyncFolder.h"
#include "platform/WholeLineFile.h"

namespace kestrane::bridge {

namespace {

using Steady = std::chrono::steady_clock;

std::string HeaderLine() {
    return std::string(CEventLog::kLogHeader) + "\r\n";
}

}  // namespace

HistoryWriter::HistoryWriter(HistoryConfig config, const ILocalClock& clock,
                             const IClockSync* clockSync, size_t queueBound,
                             Steady::duration syncEvery)
    : config_(std::move(config)),
      clock_(clock),
      clockSync_(clockSync),
      queueBound_(queueBound),
      syncEvery_(syncEvery) {}

HistoryWriter::~HistoryWriter() {
    Stop();
}

void HistoryWriter::Start() {
    if (config_.intervalS <= 0 || thread_.joinable()) return;
    {
        std::lock_guard lock(wakeMutex_);
        stop_ = false;
    }
    thread_ = std::thread(&HistoryWriter::Run, this);
}

void HistoryWriter::Stop() {
    {
        std::lock_guard lock(wakeMutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (!thread_.joinable()) return;
    thread_.join();
    Flush();
    SyncAll();
}

void HistoryWriter::Run() {
    const auto interval = std::chrono::seconds(config_.intervalS);
    auto next = Steady::now() + interval;
    for (;;) {
        heartbeat_.BeatUntil(next);
        {
            std::unique_lock lock(wakeMutex_);
            if (wake_.wait_until(lock, next, [this] { return stop_; })) return;
        }
        heartbeat_.Beat();
        Tick();
        next += interval;
        // After a stall (a suspended machine, a hung disk) carry on from now
        // rather than writing a burst of records for the missed intervals.
        const auto now = Steady::now();
        if (next < now) next = now + interval;
    }
}

void HistoryWriter::Publish(const DeviceUpdate& update) {
    if (config_.intervalS <= 0) return;
    std::lock_guard lock(latestMutex_);
    Latest& latest = latest_[{update.identity.busIndex, update.identity.address}];
    latest.deviceId = update.identity.deviceId;
    latest.identityKnown = !update.identity.serialNumber.empty();
    latest.online = update.online;
    if (!update.logValues.empty()) latest.values = update.logValues;
}

void HistoryWriter::Tick() {
    const LocalTime now = clock_.Now();
    const LogDate today{now.year, now.month, now.day};
    if (config_.keepDays > 0 && today != lastRetention_) DeleteOldDays(today);
    Sample(now);
    Flush();
}

// Files dated after today (written before the clock was set back) are never
// old, so a jump backwards deletes nothing it would not have deleted anyway.
void HistoryWriter::DeleteOldDays(const LogDate& today) {
    if (clockSync_ != nullptr && !clockSync_->Synchronised()) {
        if (!retentionWaitLogged_)
            BridgeLog(LogLevel::kInfo,
                      "history: old days are kept until this machine's clock is synchronised "
                      "(clock_source = \"network\")");
        retentionWaitLogged_ = true;
        return;
    }
    retentionWaitLogged_ = false;
    lastRetention_ = today;
    const int deleted = DeleteOldLogDays(config_.dir, config_.keepDays, today);
    if (deleted > 0)
        BridgeLog(LogLevel::kInfo, "history: deleted " + std::to_string(deleted) +
                                       " day file(s) older than " +
                                       std::to_string(config_.keepDays) + " days");
}

void HistoryWriter::Sample(const LocalTime& now) {
    const std::string fileName = LogFileName({now.year, now.month, now.day});
    std::lock_guard lock(latestMutex_);
    for (auto& [key, latest] : latest_) {
        if (latest.values.empty()) continue;  // never answered: nothing to record
        if (!latest.identityKnown && latest.waitedForIdentity < kIdentityWaitIntervals) {
            ++latest.waitedForIdentity;
            continue;
        }
        Enqueue({latest.deviceId, fileName,
                 CEventLog::FormatLogStamp(now, latest.online) + latest.values + "\r\n"});
    }
}

void HistoryWriter::Enqueue(Record record) {
    queue_.push_back(std::move(record));
    while (queue_.size() > queueBound_) {
        queue_.pop_front();
        ++dropped_;
    }
    queued_ = queue_.size();
}

void HistoryWriter::Flush() {
    while (!queue_.empty()) {
        const Record& record = queue_.front();
        const std::string folder = config_.dir + "/" + record.folder;
        const std::string path = folder + "/" + record.fileName;
        // Taking up a file (at start, or again after another day's): a line
        // a power cut tore goes before anything is added behind it.
        if (const auto open = days_.find(record.folder);
            open == days_.end() || open->second.path != path)
            CutTornLine(path);
        int error = AppendWholeLines(path, record.line, {HeaderLine(), false});
        if (error == ENOENT) {
            // The folder is new, or was removed under us: make it again.
            std::error_code made;
            std::filesystem::create_directories(folder, made);
            error =
                made ? made.value() : AppendWholeLines(path, record.line, {HeaderLine(), false});
        }
        if (error != 0) {
            SetFailing(error, path);
            break;
        }
        NoteWritten(record.folder, path);
        queue_.pop_front();
        ++written_;
        if (failing_.exchange(false)) {
            BridgeLog(LogLevel::kInfo, "history: writing again to " + config_.dir + "; " +
                                           std::to_string(dropped_.load()) +
                                           " record(s) dropped so far");
        }
    }
    queued_ = queue_.size();
}

void HistoryWriter::SetFailing(int error, const std::string& path) {
    const std::string reason = std::strerror(error);
    {
        std::lock_guard lock(errorMutex_);
        lastError_ = path + ": " + reason;
    }
    if (!failing_.exchange(true))
        BridgeLog(LogLevel::kError, "history: cannot write " + path + ": " + reason +
                                        "; keeping up to " + std::to_string(queueBound_) +
                                        " records until it can");
}

void HistoryWriter::NoteWritten(const std::string& folder, const std::string& path) {
    OpenDay& day = days_[folder];
    const auto now = Steady::now();
    if (day.path != path) {
        // A new day's file (or the first): the previous one is complete.
        SyncDay(folder, day);
        day.path = path;
        day.unsynced = 0;
        day.folderSynced = false;
        day.lastSync = now;
    }
    ++day.unsynced;
    if (now - day.lastSync >= syncEvery_) {
        SyncDay(folder, day);
        day.lastSync = now;
    }
}

void HistoryWriter::SyncDay(const std::string& folder, OpenDay& day) {
    if (day.unsynced == 0 || SyncFileData(day.path) != 0) return;
    // The file may be new, and its device folder too: their names must
    // reach the disk with the data, or a power cut could lose the whole day.
    if (!day.folderSynced)
        day.folderSynced =
            SyncFolder(config_.dir + "/" + folder) == 0 && SyncFolder(config_.dir) == 0;
    synced_ += day.unsynced;
    day.unsynced = 0;
}

void HistoryWriter::SyncAll() {
    for (auto& [folder, day] : days_)
        SyncDay(folder, day);
}

HistoryStatus HistoryWriter::Status() const {
    HistoryStatus status;
    status.enabled = config_.intervalS > 0;
    status.dir = config_.dir;
    status.intervalS = config_.intervalS;
    status.written = written_;
    status.synced = synced_;
    status.dropped = dropped_;
    status.queued = queued_;
    status.failing = failing_;
    if (status.failing) {
        std::lock_guard lock(errorMutex_);
        status.lastError = lastError_;
    }
    return status;
}

}  // namespace kestrane::bridge
