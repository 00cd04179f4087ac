// The one transaction in flight between the PC and the controller: the request
// about to be written and the reply being collected. Builds read and write
// requests and the 0xAA battery-type frame, checks a collected reply and
// decodes an accepted one into the controller record.
//
// Threads: the window thread builds requests; the receive worker appends,
// validates, decodes and clears. The engine's flags make them take turns, so
// the byte arrays need no lock; the two counts are atomic because the engine
// may look at them from either side.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "protocol/SharedState.h"

namespace kestrane {

class CModbusFrame {
public:
    static constexpr size_t kBufferSize = 200;
    // A function-3 reply may carry at most this many data bytes.
    static constexpr uint8_t kMaxByteCount = 127;

    // Write images come from state.data; DecodeResponse stores into it and sets
    // state.settingsStatus.
    explicit CModbusFrame(SharedState& state);
    virtual ~CModbusFrame();

    CModbusFrame(const CModbusFrame&) = delete;
    CModbusFrame& operator=(const CModbusFrame&) = delete;

    // CRC-16/MODBUS of the bytes; an empty input gives 0xFFFF.
    static uint16_t Crc16(const uint8_t* data, size_t length);

    // How long a proper reply to this request is: 5 + 2N bytes for a read of
    // N registers, 8 for a single or multiple write; 0 for anything else (the
    // 0xAA frame, an empty request).
    static size_t ExpectedReplyLength(const uint8_t* request, size_t length);

    // Fills the 8-byte read request. Does not clear the buffer first.
    void BuildReadRequest(uint8_t address, uint8_t function, uint16_t startRegister,
                          uint16_t registerCount);
    // Fills the write request of a write code (10-13, 15-19) or the 0xAA frame
    // of code 50. Any other code leaves the request as it is.
    void BuildWriteRequest(uint8_t address, uint8_t function, int transactionCode);

    // True when the collected reply is a complete, well-formed reply from
    // expectedAddress with function 3, 6 or 16 and a matching CRC. Bytes after
    // the CRC are ignored; the echo of a write is not compared here.
    bool ValidateResponse(uint8_t expectedAddress) const;

    // Zero the whole buffer and its count, so no byte of an earlier
    // transaction can be mistaken for part of the next one.
    void ClearRequest();
    void ClearResponse();

    // Appends reply bytes in arrival order. Bytes beyond the buffer are dropped,
    // so responseCount stops at kBufferSize.
    void AppendResponse(const uint8_t* bytes, size_t count);

    // Moves an accepted reply into the record, judges a write acknowledgement
    // and replaces transactionCode with the next code. Returns 0 when the reply
    // was accepted and the transaction is finished, non-zero otherwise (for
    // codes without a reply meaning, the code itself). Always ends with
    // ClearResponse.
    int32_t DecodeResponse(std::atomic<int32_t>& transactionCode);

    const uint8_t* Request() const { return request_; }
    uint8_t RequestLength() const { return requestLength_.load(); }
    const uint8_t* Response() const { return response_; }
    uint8_t ResponseCount() const { return responseCount_.load(); }

private:
    void PutWord(size_t index, uint16_t word);
    void FinishWithCrc(size_t lengthBeforeCrc);
    void BuildBatteryTypeFrame(uint8_t address);

    int32_t DecodeReadBlock(int code, std::atomic<int32_t>& transactionCode);
    int32_t DecodeAcknowledgement(int code, std::atomic<int32_t>& transactionCode);
    uint16_t ResponseWord(int word) const;

    SharedState& state_;
    uint8_t request_[kBufferSize]{};
    uint8_t response_[kBufferSize]{};
    std::atomic<uint8_t> requestLength_{0};
    std::atomic<uint8_t> responseCount_{0};

    static_assert(kBufferSize <= 255, "the counts are 8-bit");
};

}  // namespace kestrane
