// One serial port over POSIX termios: opened exclusively, set to 8N1 raw at a
// chosen rate, written with a time bound and read with a reply-silence bound.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <shared_mutex>
#include <string>

#include <termios.h>

#include "serial/SerialLine.h"

namespace kestrane {

enum class SerialError {
    None,
    NotFound,
    PermissionDenied,
    Busy,
    NotATerminal,
    UnsupportedRate,
    DeviceGone,
    Other
};

// The one place where a system error number becomes a SerialError.
SerialError SerialErrorFromErrno(int err);

// Threads: Open, Configure, Close and Write run on the window thread, Read on a
// receive worker; Read and Write may be in progress at the same time, and Close
// may be called while a Read waits. Read and Write hold a shared lock for the
// whole call and wait in poll() together with a wake-up descriptor; Open,
// Configure and Close take the lock exclusively, and Close first signals the
// wake-up so a waiting Read returns at once. The port descriptor is therefore
// never closed, or its number reused, under a running Read or Write.
class CSerialPort : public ISerialLine {
public:
    CSerialPort();
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // name is a port-list name or a path, resolved by PortDevicePath
    // (PortPath.h): "ttyUSB0" opens /dev/ttyUSB0, "./ttyX" and "/tmp/link" are
    // paths. An open port is closed first. Fails with Busy when this or
    // another program holds the port.
    bool Open(const std::string& name);
    // 8 data bits, no parity, one stop bit, raw, at baudRate. Hardware flow
    // control stays as the driver had it; software flow control is switched off
    // because it would swallow the bytes 0x11 and 0x13 of binary frames. False
    // when the driver refuses the rate or the settings.
    bool Configure(unsigned baudRate);
    bool Write(const uint8_t* data, size_t length, int timeoutMs) override;
    bool Read(uint8_t* buffer, size_t capacity, size_t& count) override;
    bool ReadFor(uint8_t* buffer, size_t capacity, size_t& count, int timeoutMs) override;
    bool IsOpen() const override;
    void DiscardInput() override;
    void ExpectReply(size_t length) override;
    // Restores the line settings found at open; does nothing when closed.
    void Close();

    SerialError LastError() const;
    std::string LastErrorText() const;

    // How long Read waits for a first byte: 50 ms, or four character times at
    // the configured rate when that is longer.
    int ReplySilenceMs() const;
    // True once a Read or Write found the device gone (unplugged); cleared by Open.
    bool HasHungUp() const override;
    // The device path of the open port, empty when closed.
    std::string DevicePath() const;

private:
    void SetError(int err, const std::string& path);
    void WaitForWakeOrTimeout(int timeoutMs) const;
    // After Read found the first bytes of an expected reply: sleeps through
    // the time the rest needs at the line rate and takes it, until it is
    // complete, the buffer is full or a sleep brought nothing.
    void FollowExpectedReply(uint8_t* buffer, size_t capacity, size_t& count);
    bool CloseRequested() const;

    std::atomic<int> fd_{-1};
    int wakeFd_ = -1;
    std::atomic<bool> closing_{false};
    std::atomic<bool> hungUp_{false};
    std::atomic<unsigned> baudRate_{0};
    // Bytes of the expected reply that have not arrived yet.
    std::atomic<size_t> expectedLeft_{0};
    mutable std::shared_mutex lifeMutex_;
    struct termios savedTermios_ {};
    bool haveSavedTermios_ = false;
    std::string path_;
    SerialError lastError_ = SerialError::None;
    std::string lastErrorText_;
};

}  // namespace kestrane
