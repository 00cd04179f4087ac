#include "serial/OpenLine.h"

#include "serial/CSerialPort.h"
#include "serial/TcpLine.h"

namespace kestrane {

std::unique_ptr<ISerialLine> OpenLine(const std::string& portName, unsigned baud,
                                      std::string* error, int connectTimeoutMs) {
    if (IsTcpPortName(portName)) {
        auto line = std::make_unique<TcpLine>();
        line->SetBaud(baud);
        if (!line->Connect(portName, connectTimeoutMs)) {
            *error = line->LastErrorText();
            return nullptr;
        }
        return line;
    }
    auto port = std::make_unique<CSerialPort>();
    if (!port->Open(portName)) {
        *error = port->LastErrorText();
        return nullptr;
    }
    if (!port->Configure(baud)) {
        *error = port->LastErrorText();
        return nullptr;
    }
    return port;
}

}  // namespace kestrane
