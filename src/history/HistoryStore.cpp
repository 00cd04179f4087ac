#include "history/HistoryStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "history/LogDayFiles.h"

namespace kestrane {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxDeviceName = 64;

bool InRange(const LogDate& date, const LogDate& from, const LogDate& to) {
    return (!from.IsValid() || !(date < from)) && (!to.IsValid() || !(to < date));
}

LogDate DateOfLocalSeconds(int64_t seconds) {
    return DateFromDaysSinceEpoch(
        static_cast<int>(seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400));
}

// Asks the kernel to start reading the file parsed next (when it is in the
// range asked for), so that with a cold page cache the disk works while the
// current file is parsed.
void ReadAhead(const std::vector<LogDayFile>& files, size_t next, const LogDate& from,
               const LogDate& to) {
    if (next >= files.size() || !InRange(files[next].date, from, to)) return;
    const int fd = ::open(files[next].path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
    ::close(fd);
}

}  // namespace

HistoryStore::HistoryStore(std::string root) : root_(std::move(root)) {}

bool HistoryStore::IsDeviceName(std::string_view name) {
    if (name.empty() || name.size() > kMaxDeviceName) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
}

std::vector<std::string> HistoryStore::Devices() const {
    std::vector<std::string> devices;
    std::error_code error;
    for (fs::directory_iterator it(root_, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code statError;
        if (IsDeviceName(name) && fs::is_directory(it->symlink_status(statError)))
            devices.push_back(name);
    }
    std::sort(devices.begin(), devices.end());
    return devices;
}

std::optional<std::string> HistoryStore::DeviceFolder(const std::string& device) const {
    if (!IsDeviceName(device)) return std::nullopt;
    const std::string folder = root_ + "/" + device;
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
    return folder;
}

std::optional<std::string> HistoryStore::DayFile(const std::string& device,
                                                 const LogDate& date) const {
    const auto folder = DeviceFolder(device);
    if (!folder || !date.IsValid()) return std::nullopt;
    for (const LogDayFile& file : ListLogDays(*folder))
        if (file.date == date) return file.path;
    return std::nullopt;
}

const HistoryDay& HistoryStore::GrowingDay(const std::string& device, const std::string& path,
                                           const LogDate& date) {
    Growing& growing = growing_[device];
    if (growing.path != path || !growing.reader) {
        growing.path = path;
        growing.reader = std::make_unique<CLogDayReader>(date);
    }
    growing.reader->ReadAppended(path);
    return growing.reader->Day();
}

std::optional<std::vector<StoredDay>> HistoryStore::Days(const std::string& device, LogDate from,
                                                         LogDate to) {
    const auto folder = DeviceFolder(device);
    if (!folder) return std::nullopt;
    const std::vector<LogDayFile> files = ListLogDays(*folder);
    std::vector<StoredDay> days;
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < files.size(); ++i) {
        const LogDayFile& file = files[i];
        if (!InRange(file.date, from, to)) continue;
        StoredDay day{file.date, file.size, {}};
        if (i + 1 == files.size()) {
            day.totals = GrowingDay(device, file.path, file.date).totals;
            days.push_back(day);
            continue;
        }
        struct stat info {};
        if (::stat(file.path.c_str(), &info) != 0) continue;
        const int64_t modified = int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
        const uint64_t size = static_cast<uint64_t>(info.st_size);
        auto cached = totals_.find(file.path);
        if (cached == totals_.end() || cached->second.size != size ||
            cached->second.modified != modified) {
            ReadAhead(files, i + 1, from, to);
            const DayTotals read = ReadLogDayTotals(file.path, file.date);
            cached = totals_.insert_or_assign(file.path, CachedTotals{size, modified, read}).first;
        }
        day.size = size;
        day.totals = cached->second.totals;
        days.push_back(day);
    }
    return days;
}

std::optional<SeriesPoints> HistoryStore::Series(const std::string& device, int64_t from,
                                                 int64_t to, int buckets) {
    const auto folder = DeviceFolder(device);
    if (!folder) return std::nullopt;
    const std::vector<LogDayFile> files = ListLogDays(*folder);
    const LogDate first = DateOfLocalSeconds(from);
    const LogDate last = DateOfLocalSeconds(std::max(from, to - 1));
    SeriesBuilder builder(from, to, buckets);
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < files.size(); ++i) {
        const LogDayFile& file = files[i];
        if (!InRange(file.date, first, last)) continue;
        if (i + 1 == files.size()) {
            builder.AddDay(file.date, GrowingDay(device, file.path, file.date).samples);
        } else {
            ReadAhead(files, i + 1, first, last);
            builder.AddDay(file.date, ReadLogDay(file.path, file.date).samples);
        }
    }
    return builder.Finish();
}

}  // namespace kestrane
