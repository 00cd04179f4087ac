#include "serial/CSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

#include "serial/LineSpeed.h"
#include "serial/PortPath.h"

namespace kestrane {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMinReplySilenceMs = 50;
constexpr int kBitsPerCharacter = 10;
constexpr int kSilenceCharacters = 4;
// Without a wake-up descriptor, waits are cut into slices this long so Close
// is noticed in time.
constexpr int kPollSliceMs = 10;
// A driver that rounds the rate to what its clock can make is still accepted
// within this many parts per thousand (well inside what a UART tolerates).
constexpr unsigned kRateTolerancePerMille = 30;

struct StandardRate {
    unsigned rate;
    speed_t code;
};

constexpr StandardRate kStandardRates[] = {
    {50, B50},         {75, B75},         {110, B110},         {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},         {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},       {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},   {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000},
};

const StandardRate* FindStandardRate(unsigned rate) {
    for (const StandardRate& entry : kStandardRates) {
        if (entry.rate == rate) return &entry;
    }
    return nullptr;
}

bool IsGoneErrno(int err) {
    return err == EIO || err == ENODEV || err == ENXIO;
}

int MillisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

void CloseQuietly(int fd) {
    if (fd >= 0) ::close(fd);
}

}  // namespace

SerialError SerialErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return SerialError::None;
        case ENOENT:
        case ENOTDIR:
        case ENODEV:
        case ENXIO:
            return SerialError::NotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return SerialError::PermissionDenied;
        case EBUSY:
        case EWOULDBLOCK:
            return SerialError::Busy;
        case ENOTTY:
            return SerialError::NotATerminal;
        case EIO:
        case ESHUTDOWN:
            return SerialError::DeviceGone;
        default:
            return SerialError::Other;
    }
}

CSerialPort::CSerialPort() {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

CSerialPort::~CSerialPort() {
    Close();
    CloseQuietly(wakeFd_);
}

void CSerialPort::SetError(int err, const std::string& path) {
    lastError_ = SerialErrorFromErrno(err);
    std::string reason = std::error_code(err, std::generic_category()).message();
    lastErrorText_ = path.empty() ? reason : path + ": " + reason;
    if (err == EACCES || err == EPERM) {
        lastErrorText_ +=
            ". The user must be in the 'dialout' group to use serial ports "
            "(sudo usermod -aG dialout $USER, then log in again)";
    }
}

bool CSerialPort::Open(const std::string& name) {
    Close();
    std::unique_lock lock(lifeMutex_);
    hungUp_ = false;
    baudRate_ = 0;
    if (name.empty()) {
        lastError_ = SerialError::NotFound;
        lastErrorText_ = "No port name given";
        return false;
    }
    const std::string path = PortDevicePath(name);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetError(errno, path);
        return false;
    }
    struct termios found {};
    if (::tcgetattr(fd, &found) != 0) {
        int err = errno;
        CloseQuietly(fd);
        SetError(err, path);
        return false;
    }
    // The advisory lock first: when it fails nothing about the line has been
    // touched. TIOCEXCL then keeps out programs that do not take the lock.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        CloseQuietly(fd);
        SetError(err == EWOULDBLOCK ? EBUSY : err, path);
        return false;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        int err = errno;
        CloseQuietly(fd);
        SetError(err, path);
        return false;
    }
    savedTermios_ = found;
    haveSavedTermios_ = true;
    path_ = path;
    lastError_ = SerialError::None;
    lastErrorText_.clear();
    fd_ = fd;
    return true;
}

bool CSerialPort::Configure(unsigned baudRate) {
    std::unique_lock lock(lifeMutex_);
    int fd = fd_;
    if (fd < 0) {
        lastError_ = SerialError::Other;
        lastErrorText_ = "The port is not open";
        return false;
    }
    if (baudRate == 0) {
        // B0 would drop the modem lines rather than set a rate.
        lastError_ = SerialError::UnsupportedRate;
        lastErrorText_ = path_ + ": 0 baud is not a rate";
        return false;
    }
    struct termios tio {};
    if (::tcgetattr(fd, &tio) != 0) {
        SetError(errno, path_);
        return false;
    }
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | INPCK | IXON | IXOFF | IXANY);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const StandardRate* standard = FindStandardRate(baudRate);
    if (standard != nullptr) {
        ::cfsetispeed(&tio, standard->code);
        ::cfsetospeed(&tio, standard->code);
    }
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        int err = errno;
        SetError(err, path_);
        if (err == EINVAL) lastError_ = SerialError::UnsupportedRate;
        return false;
    }
    if (standard == nullptr) {
        if (int err = SetArbitrarySpeed(fd, baudRate); err != 0) {
            SetError(err, path_);
            if (err == EINVAL || err == ENOTTY) lastError_ = SerialError::UnsupportedRate;
            return false;
        }
    }
    // tcsetattr succeeds when any part was taken, so look at what the driver kept.
    struct termios kept {};
    if (::tcgetattr(fd, &kept) != 0) {
        SetError(errno, path_);
        return false;
    }
    if ((kept.c_cflag & CSIZE) != CS8 || (kept.c_cflag & (PARENB | CSTOPB)) != 0) {
        lastError_ = SerialError::Other;
        lastErrorText_ = path_ + ": the driver does not take 8 data bits, no parity, 1 stop bit";
        return false;
    }
    unsigned actual = ReadActualSpeed(fd);
    // Where termios2 cannot be read (qemu-user emulates no TCGETS2), a
    // standard rate shows as the B-constant the driver kept.
    if (actual == 0 && standard != nullptr && ::cfgetospeed(&kept) == standard->code)
        actual = baudRate;
    unsigned difference = actual > baudRate ? actual - baudRate : baudRate - actual;
    if (actual == 0 || static_cast<unsigned long long>(difference) * 1000 >
                           static_cast<unsigned long long>(baudRate) * kRateTolerancePerMille) {
        lastError_ = SerialError::UnsupportedRate;
        lastErrorText_ = path_ + ": the driver does not support " + std::to_string(baudRate) +
                         " baud (it runs at " + std::to_string(actual) + ")";
        return false;
    }
    baudRate_ = baudRate;
    lastError_ = SerialError::None;
    lastErrorText_.clear();
    return true;
}

int CSerialPort::ReplySilenceMs() const {
    unsigned rate = baudRate_;
    if (rate == 0) return kMinReplySilenceMs;
    unsigned long long bits = 1000ULL * kBitsPerCharacter * kSilenceCharacters;
    auto ms = static_cast<int>((bits + rate - 1) / rate);
    return std::max(ms, kMinReplySilenceMs);
}

bool CSerialPort::CloseRequested() const {
    return closing_.load();
}

void CSerialPort::WaitForWakeOrTimeout(int timeoutMs) const {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (int left = timeoutMs; left > 0 && !CloseRequested(); left = MillisecondsUntil(deadline)) {
        if (wakeFd_ >= 0) {
            struct pollfd wake {
                wakeFd_, POLLIN, 0
            };
            if (::poll(&wake, 1, left) > 0) return;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, kPollSliceMs)));
        }
    }
}

bool CSerialPort::Write(const uint8_t* data, size_t length, int timeoutMs) {
    if (closing_) return false;
    std::shared_lock lock(lifeMutex_);
    int fd = fd_;
    if (fd < 0 || (data == nullptr && length > 0)) return false;
    auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::write(fd, data + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            if (IsGoneErrno(errno)) hungUp_ = true;
            return false;
        }
        int left = MillisecondsUntil(deadline);
        if (left == 0 || CloseRequested()) return false;
        struct pollfd fds[2] = {{fd, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
        nfds_t count = wakeFd_ >= 0 ? 2 : 1;
        if (count == 1) left = std::min(left, kPollSliceMs);
        if (::poll(fds, count, left) < 0 && errno != EINTR) return false;
        if (count == 2 && fds[1].revents != 0) return false;
        if ((fds[0].revents & POLLOUT) == 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
            if (fds[0].revents & POLLHUP) hungUp_ = true;
            return false;
        }
    }
    return true;
}

bool CSerialPort::Read(uint8_t* buffer, size_t capacity, size_t& count) {
    if (!ReadFor(buffer, capacity, count, ReplySilenceMs())) return false;
    FollowExpectedReply(buffer, capacity, count);
    return true;
}

void CSerialPort::ExpectReply(size_t length) {
    expectedLeft_ = length;
}

// The rest of a reply cannot arrive faster than the line carries it, so a
// sleep no longer than its wire time never outlasts its last byte. A sleep
// that brought less than half of what the line could carry in it saw the
// reply end early (an exception, a broken reply): the caller gets the bytes
// at once and waits for the silence as it always does.
void CSerialPort::FollowExpectedReply(uint8_t* buffer, size_t capacity, size_t& count) {
    constexpr long long kMaxSleepCharacters = 16;
    constexpr long long kMinLongestSleepUs = 2000;
    size_t left = expectedLeft_.load();
    left = left > count ? left - count : 0;
    const unsigned rate = baudRate_;
    while (left > 0 && count < capacity && rate > 0) {
        const long long characterUs = 1000000LL * kBitsPerCharacter / rate;
        const long long longestUs = std::max(kMaxSleepCharacters * characterUs, kMinLongestSleepUs);
        const long long sleepUs = std::min(static_cast<long long>(left) * characterUs, longestUs);
        if (sleepUs < 1000) break;
        const int sleepMs = static_cast<int>(sleepUs / 1000);
        WaitForWakeOrTimeout(sleepMs);
        if (CloseRequested()) break;
        size_t more = 0;
        if (!ReadFor(buffer + count, capacity - count, more, 0)) break;
        count += more;
        left = left > more ? left - more : 0;
        if (static_cast<long long>(more) * 2 * characterUs < sleepMs * 1000LL) break;
    }
    expectedLeft_ = left;
}

bool CSerialPort::ReadFor(uint8_t* buffer, size_t capacity, size_t& count, int timeoutMs) {
    count = 0;
    const int waitMs = std::max(timeoutMs, 0);
    // A Close is under way: it needs the lock for a moment only.
    if (closing_) return false;
    auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    std::shared_lock lock(lifeMutex_);
    int fd = fd_;
    if (fd < 0) {
        // Same time bound as an open port with nothing arriving, so a caller
        // that reads in a loop does not spin on a closed port.
        lock.unlock();
        WaitForWakeOrTimeout(waitMs);
        return false;
    }
    if (buffer == nullptr || capacity == 0) return false;
    for (;;) {
        int left = MillisecondsUntil(deadline);
        struct pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        nfds_t nfds = wakeFd_ >= 0 ? 2 : 1;
        if (nfds == 1) left = std::min(left, kPollSliceMs);
        int ready = ::poll(fds, nfds, left);
        if (ready < 0 && errno != EINTR) return false;
        if ((nfds == 2 && fds[1].revents != 0) || CloseRequested()) return false;
        if (fds[0].revents & POLLIN) {
            ssize_t n = ::read(fd, buffer, capacity);
            if (n > 0) {
                count = static_cast<size_t>(n);
                return true;
            }
            // A hung-up terminal reads as end of file.
            if (n == 0 || (errno != EAGAIN && errno != EINTR)) break;
        } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            break;
        }
        if (ready == 0 && MillisecondsUntil(deadline) == 0) return false;
    }
    // The device has gone. Wait out the rest of the silence instead of
    // returning at once, so a caller that keeps reading does not spin.
    hungUp_ = true;
    WaitForWakeOrTimeout(MillisecondsUntil(deadline));
    return false;
}

bool CSerialPort::IsOpen() const {
    return fd_ >= 0;
}

bool CSerialPort::HasHungUp() const {
    return hungUp_;
}

std::string CSerialPort::DevicePath() const {
    std::shared_lock lock(lifeMutex_);
    return path_;
}

void CSerialPort::DiscardInput() {
    std::shared_lock lock(lifeMutex_);
    if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

void CSerialPort::Close() {
    if (fd_ < 0) return;
    closing_ = true;
    if (wakeFd_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
    }
    {
        std::unique_lock lock(lifeMutex_);
        int fd = fd_;
        if (fd >= 0) {
            // Unsent output is dropped so close() does not wait for a line that
            // flow control holds back.
            ::tcflush(fd, TCOFLUSH);
            if (haveSavedTermios_) ::tcsetattr(fd, TCSANOW, &savedTermios_);
            ::ioctl(fd, TIOCNXCL);
            ::close(fd);
        }
        fd_ = -1;
        haveSavedTermios_ = false;
        baudRate_ = 0;
        path_.clear();
        if (wakeFd_ >= 0) {
            uint64_t drained = 0;
            [[maybe_unused]] ssize_t ignored = ::read(wakeFd_, &drained, sizeof drained);
        }
        closing_ = false;
    }
}

SerialError CSerialPort::LastError() const {
    return lastError_;
}

std::string CSerialPort::LastErrorText() const {
    return lastErrorText_;
}

}  // namespace kestrane
