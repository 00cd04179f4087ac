// One serial port over POSIX termios: 8 data bits, no parity, one stop bit at
// the chosen baud rate. Keeps the system's reason for the last failure.
#pragma once

#include <string>

#include "serial/SerialLine.h"

namespace kestrane {

enum class SerialError { None, NotFound, PermissionDenied, Busy, NotATerminal, Other };

class CSerialPort : public ISerialLine {
public:
    CSerialPort() = default;
    ~CSerialPort() override;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // A bare name gets "/dev/" in front; an absolute path is used as it is.
    bool Open(const std::string& name);
    bool Configure(unsigned baud);
    bool Write(const uint8_t* data, size_t length, int timeoutMs) override;
    bool Read(uint8_t* buffer, size_t capacity, size_t& count) override;
    bool IsOpen() const override { return fd_ >= 0; }
    void DiscardInput() override;
    void Close();

    SerialError LastError() const { return error_; }
    std::string LastErrorText() const { return errorText_; }

private:
    void Fail(int errorNumber);

    int fd_ = -1;
    SerialError error_ = SerialError::None;
    std::string errorText_;
};

}  // namespace kestrane
