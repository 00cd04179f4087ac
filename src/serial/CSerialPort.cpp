#include "serial/CSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestrane {

namespace {

speed_t SpeedOf(unsigned baud) {
    switch (baud) {
        case 110:
            return B110;
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 921600:
            return B921600;
        default:
            return 0;
    }
}

constexpr int kReplySilenceMs = 50;

}  // namespace

CSerialPort::~CSerialPort() {
    Close();
}

void CSerialPort::Fail(int errorNumber) {
    switch (errorNumber) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            error_ = SerialError::NotFound;
            break;
        case EACCES:
        case EPERM:
            error_ = SerialError::PermissionDenied;
            break;
        case EBUSY:
        case EWOULDBLOCK:
            error_ = SerialError::Busy;
            break;
        case ENOTTY:
            error_ = SerialError::NotATerminal;
            break;
        default:
            error_ = SerialError::Other;
            break;
    }
    errorText_ = std::strerror(errorNumber);
    if (error_ == SerialError::PermissionDenied) {
        errorText_ += " (add your user to the dialout group and log in again)";
    } else if (error_ == SerialError::Busy) {
        errorText_ += " (another program is using the port)";
    }
}

bool CSerialPort::Open(const std::string& name) {
    const std::string path = (!name.empty() && name[0] == '/') ? name : "/dev/" + name;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        Fail(EBUSY);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    error_ = SerialError::None;
    errorText_.clear();
    return true;
}

bool CSerialPort::Configure(unsigned baud) {
    termios settings{};
    if (fd_ < 0 || ::tcgetattr(fd_, &settings) != 0) {
        Fail(fd_ < 0 ? EBADF : errno);
        return false;
    }
    const speed_t speed = SpeedOf(baud);
    if (speed == 0) {
        Fail(EINVAL);
        return false;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~(PARENB | CSTOPB | CSIZE);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    if (::tcsetattr(fd_, TCSANOW, &settings) != 0) {
        Fail(errno);
        return false;
    }
    return true;
}

bool CSerialPort::Write(const uint8_t* data, size_t length, int timeoutMs) {
    if (fd_ < 0) return false;
    size_t written = 0;
    while (written < length) {
        const ssize_t n = ::write(fd_, data + written, length - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd wait{fd_, POLLOUT, 0};
        if (::poll(&wait, 1, timeoutMs) <= 0) return false;
    }
    return true;
}

bool CSerialPort::Read(uint8_t* buffer, size_t capacity, size_t& count) {
    count = 0;
    if (fd_ < 0) return false;
    pollfd wait{fd_, POLLIN, 0};
    if (::poll(&wait, 1, kReplySilenceMs) <= 0 || !(wait.revents & POLLIN)) return false;
    const ssize_t n = ::read(fd_, buffer, capacity);
    if (n <= 0) return false;
    count = static_cast<size_t>(n);
    return true;
}

void CSerialPort::DiscardInput() {
    if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

void CSerialPort::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace kestrane
