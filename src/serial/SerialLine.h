// What the transaction engine needs of a serial line. CSerialPort implements it
// over a real device; tests implement it with a scripted device.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrane {

class ISerialLine {
public:
    virtual ~ISerialLine() = default;

    virtual bool IsOpen() const = 0;
    // Writes the whole buffer; true when it was handed to the driver within
    // timeoutMs. False on a closed port.
    virtual bool Write(const uint8_t* data, size_t length, int timeoutMs) = 0;
    // Waits for the first byte at most the reply silence (50 ms, or four
    // character times at slow rates), then returns what is queued, never more
    // than capacity. False when nothing arrived, the port is closed or the
    // device has gone; count is then 0.
    virtual bool Read(uint8_t* buffer, size_t capacity, size_t& count) = 0;
    // Like Read, but waits at most timeoutMs (0: only what is already queued)
    // for the first byte. For a master that times replies itself.
    virtual bool ReadFor(uint8_t* buffer, size_t capacity, size_t& count, int timeoutMs) = 0;
    // True once the device was found gone (an unplugged adapter, a closed
    // pseudo-terminal): further reads will not bring anything.
    virtual bool HasHungUp() const { return false; }
    // The reply to the request about to be written should be `length` bytes
    // long (0: not known). Read may then sleep through the time the rest of a
    // reply still needs on the wire instead of waking for every byte; what it
    // returns, and when the last byte is seen, stay the same.
    virtual void ExpectReply(size_t length) { (void)length; }
    // Drops whatever sits in the receive queue (a late reply to a transaction
    // that was given up must not be taken for the answer to the next one).
    virtual void DiscardInput() = 0;
};

}  // namespace kestrane
