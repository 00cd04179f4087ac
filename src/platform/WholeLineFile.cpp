#include "platform/WholeLineFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kestrane {

namespace {

int OpenRetrying(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Writes the whole buffer with one call; a short write (a full disk) is cut
// back to `size` so that no partial line stays in the file.
int WriteWhole(int fd, const std::string& bytes, off_t size) {
    ssize_t written;
    do {
        written = ::write(fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(bytes.size())) return 0;
    const int error = written < 0 ? errno : ENOSPC;
    if (written > 0) [[maybe_unused]]
        const int ignored = ftruncate(fd, size);
    return error;
}

// True when the file's last byte is not a line end.
bool EndsInsideLine(int fd, off_t size) {
    if (size <= 0) return false;
    char last = '\n';
    return ::pread(fd, &last, 1, size - 1) == 1 && last != '\n';
}

}  // namespace

int AppendWholeLines(const std::string& path, std::string_view bytes, AppendOptions options) {
    // Read access only serves the look at the last byte; a file we may only
    // write is appended to without it.
    bool readable = true;
    int fd = OpenRetrying(path, O_RDWR | O_APPEND | O_CREAT);
    if (fd < 0 && errno == EACCES) {
        readable = false;
        fd = OpenRetrying(path, O_WRONLY | O_APPEND | O_CREAT);
    }
    if (fd < 0) return errno;
    struct stat before {};
    if (fstat(fd, &before) != 0) before.st_size = 0;
    std::string whole;
    whole.reserve(options.prefixWhenEmpty.size() + bytes.size() + 2);
    if (before.st_size == 0)
        whole.append(options.prefixWhenEmpty);
    else if (readable && EndsInsideLine(fd, before.st_size))
        whole.append("\r\n");
    whole.append(bytes);
    int error = WriteWhole(fd, whole, before.st_size);
    if (error == 0 && options.sync && ::fdatasync(fd) != 0) error = errno;
    ::close(fd);
    return error;
}

int CutTornLine(const std::string& path) {
    const int fd = OpenRetrying(path, O_RDWR);
    if (fd < 0) return errno == ENOENT ? 0 : errno;
    struct stat info {};
    int error = fstat(fd, &info) == 0 ? 0 : errno;
    if (error == 0 && EndsInsideLine(fd, info.st_size)) {
        // Back from the end, a block at a time, to the last line end.
        off_t end = info.st_size;
        off_t keep = 0;
        char block[4096];
        while (end > 0 && keep == 0) {
            const off_t from = end > static_cast<off_t>(sizeof block) ? end - sizeof block : 0;
            const ssize_t got = ::pread(fd, block, static_cast<size_t>(end - from), from);
            if (got != end - from) {
                error = got < 0 ? errno : EIO;
                break;
            }
            for (ssize_t i = got; i > 0 && keep == 0; --i)
                if (block[i - 1] == '\n') keep = from + i;
            end = from;
        }
        if (error == 0 && ::ftruncate(fd, keep) != 0) error = errno;
    }
    ::close(fd);
    return error;
}

int SyncFileData(const std::string& path) {
    const int fd = OpenRetrying(path, O_WRONLY | O_APPEND);
    if (fd < 0) return errno;
    const int error = ::fdatasync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

}  // namespace kestrane
