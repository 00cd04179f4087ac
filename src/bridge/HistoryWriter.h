// The bridge's own history: every interval, one record per controller in the
// window's daily log format, in a folder per controller
// (<dir>/<device id>/<year>_<month>_<day>_Log.csv).
//
// The bus threads only hand over their latest values (a copy under a mutex);
// one writer thread stamps them with the local time each interval and writes
// them. A controller that is offline gets "Disconnected" records with its last
// values; one that never answered gets none. While the folder cannot be
// written (full or read-only disk, removed folder, permissions) records wait
// in a bounded queue, the oldest dropped and counted beyond it, and writing
// resumes by itself. Each record is one whole-line write; the data is flushed
// to the disk at most every ten minutes per file and when a file is left for
// the next day's, to spare SD cards. A power cut loses at most the records
// since a file's last flush: the first flush of a file also makes its folder
// entries durable, and a file that a cut left ending inside a line is cut
// back to its last whole line before it is written again.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "bridge/BridgeConfig.h"
#include "bridge/BridgeLink.h"
#include "history/LogDate.h"
#include "platform/ClockSync.h"
#include "platform/Heartbeat.h"
#include "platform/LocalClock.h"

namespace kestrane::bridge {

struct HistoryStatus {
    bool enabled = false;
    std::string dir;
    int intervalS = 0;
    uint64_t written = 0;  // records in the files
    uint64_t synced = 0;   // of those, records flushed to the disk
    uint64_t dropped = 0;  // records lost because the queue was full
    size_t queued = 0;
    bool failing = false;   // the last write failed
    std::string lastError;  // why, while failing
};

class HistoryWriter : public IUpdateSink {
public:
    static constexpr size_t kDefaultQueueBound = 16384;
    static constexpr std::chrono::minutes kSyncEvery{10};
    // Intervals a controller that answers but has not yet given its serial
    // number waits before its records go under its bus and address.
    static constexpr int kIdentityWaitIntervals = 3;

    // `config.dir` must be resolved (not empty); `clock` gives the local time
    // of each record. Old days are deleted only while `clockSync` (null: a
    // clock that is always right) says the clock is synchronised: a clock
    // that is wrong by a year forwards would otherwise take the whole history
    // with it. Both must outlive the writer. `syncEvery` is the longest a
    // file's records stay unflushed while it is written.
    HistoryWriter(HistoryConfig config, const ILocalClock& clock,
                  const IClockSync* clockSync = nullptr, size_t queueBound = kDefaultQueueBound,
                  std::chrono::steady_clock::duration syncEvery = kSyncEvery);
    ~HistoryWriter() override;  // stops and joins
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    void Start();
    // Ends the thread, writes what it can of the queue and flushes the files.
    void Stop();

    void Publish(const DeviceUpdate& update) override;
    void ReportOutcome(const CommandOutcome&) override {}
    void Renamed(const std::string&, const DeviceIdentity&) override {}

    // One interval: a record for every controller, old days deleted when the
    // date has changed (forwards or back) and the clock is synchronised, then
    // the queue written. Intervals are counted on the monotonic clock: a
    // wall-clock jump moves the records' stamps and files, not their pace. Run by the thread; tests
    // call it directly without starting one.
    void Tick();

    HistoryStatus Status() const;
    // The writer thread's sign of life for the service watchdog.
    const Heartbeat& ThreadBeat() const { return heartbeat_; }

private:
    struct Latest {
        std::string deviceId;
        std::string values;
        bool online = false;
        bool identityKnown = false;
        int waitedForIdentity = 0;
    };
    struct Record {
        std::string folder;  // the device id
        std::string fileName;
        std::string line;  // with its line end
    };
    struct OpenDay {
        std::string path;
        uint64_t unsynced = 0;      // records written since the last flush
        bool folderSynced = false;  // its folder entries are on the disk
        std::chrono::steady_clock::time_point lastSync;
    };

    void Run();
    void DeleteOldDays(const LogDate& today);
    void Sample(const LocalTime& now);
    void Enqueue(Record record);
    void Flush();
    void NoteWritten(const std::string& folder, const std::string& path);
    void SyncDay(const std::string& folder, OpenDay& day);
    void SyncAll();
    void SetFailing(int error, const std::string& path);

    const HistoryConfig config_;
    const ILocalClock& clock_;
    const IClockSync* const clockSync_;
    const size_t queueBound_;
    const std::chrono::steady_clock::duration syncEvery_;

    std::mutex latestMutex_;  // the bus threads' hand-over
    std::map<std::pair<int, int>, Latest> latest_;

    // The writer thread's own (or the caller's of Tick without a thread).
    std::deque<Record> queue_;
    std::map<std::string, OpenDay> days_;
    LogDate lastRetention_;
    bool retentionWaitLogged_ = false;

    std::atomic<uint64_t> written_{0};
    std::atomic<uint64_t> synced_{0};
    std::atomic<uint64_t> dropped_{0};
    std::atomic<size_t> queued_{0};
    std::atomic<bool> failing_{false};
    mutable std::mutex errorMutex_;
    std::string lastError_;

    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    Heartbeat heartbeat_;
    std::thread thread_;
};

}  // namespace kestrane::bridge
