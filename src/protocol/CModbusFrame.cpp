#include "protocol/CModbusFrame.h"

#include <algorithm>
#include <cstring>

#include "protocol/Crc16.h"
#include "protocol/RegisterMap.h"

namespace kestrane {

namespace {

constexpr uint8_t kReadFunction = 3;
constexpr uint8_t kWriteSingleFunction = 6;
constexpr uint8_t kWriteMultipleFunction = 16;

// Every reply other than a function-3 reply is checked over its first 6 bytes.
constexpr size_t kFixedReplyLength = 6;

// The 0xAA frame: fixed bytes around the address and the battery type. Its
// last byte makes all 11 bytes sum to 0 modulo 256; the fixed bytes sum to
// 0xB3, so the checksum starts from 0x100 - 0xB3 = 0x4D.
constexpr uint8_t kBatteryFrameLead[] = {0xAA, 0x01};
constexpr uint8_t kBatteryFrameMiddle[] = {0x02, 0x01, 0x04, 0x01, 0x00};
constexpr uint8_t kBatteryFrameChecksumBase = 0x4D;
constexpr size_t kBatteryFrameLength = 11;

constexpr uint8_t HighByte(uint16_t word) {
    return static_cast<uint8_t>(word >> 8);
}
constexpr uint8_t LowByte(uint16_t word) {
    return static_cast<uint8_t>(word & 0xFF);
}

}  // namespace

CModbusFrame::CModbusFrame(SharedState& state) : state_(state) {}

CModbusFrame::~CModbusFrame() = default;

size_t CModbusFrame::ExpectedReplyLength(const uint8_t* request, size_t length) {
    constexpr size_t kReadRequestLength = 8;
    constexpr size_t kReadReplyOverhead = 5;
    constexpr size_t kWriteReplyLength = 8;
    if (request == nullptr || length < kReadRequestLength || request[0] == 0xAA) return 0;
    switch (request[1]) {
        case 3:
            return kReadReplyOverhead + 2 * (size_t{request[4]} << 8 | request[5]);
        case 6:
        case 16:
            return kWriteReplyLength;
        default:
            return 0;
    }
}

uint16_t CModbusFrame::Crc16(const uint8_t* data, size_t length) {
    return ::kestrane::Crc16(data, length);
}

void CModbusFrame::PutWord(size_t index, uint16_t word) {
    request_[index] = HighByte(word);
    request_[index + 1] = LowByte(word);
}

void CModbusFrame::FinishWithCrc(size_t lengthBeforeCrc) {
    const uint16_t crc = Crc16(request_, lengthBeforeCrc);
    request_[lengthBeforeCrc] = LowByte(crc);
    request_[lengthBeforeCrc + 1] = HighByte(crc);
    requestLength_.store(static_cast<uint8_t>(lengthBeforeCrc + 2));
}

void CModbusFrame::BuildReadRequest(uint8_t address, uint8_t function, uint16_t startRegister,
                                    uint16_t registerCount) {
    request_[0] = address;
    request_[1] = function;
    PutWord(2, startRegister);
    PutWord(4, registerCount);
    FinishWithCrc(6);
}

void CModbusFrame::BuildWriteRequest(uint8_t address, uint8_t function, int transactionCode) {
    if (transactionCode == kBatteryTypeFrameCode) {
        BuildBatteryTypeFrame(address);
        return;
    }
    const std::optional<WriteBlock> block = WriteBlockFor(transactionCode);
    if (!block) return;

    request_[0] = address;
    request_[1] = function;
    PutWord(2, block->startRegister);

    // Only the low 16 bits of each image value go on the wire.
    const AtomicValue* image = block->image ? block->image(state_.data) : nullptr;
    const auto wordAt = [&](int position) -> uint16_t {
        if (block->fixedFirstWord != kNoFixedWord) {
            if (position == 0) return static_cast<uint16_t>(block->fixedFirstWord);
            --position;
        }
        return static_cast<uint16_t>(image[position].load());
    };

    if (block->singleRegister) {
        PutWord(4, wordAt(0));
        FinishWithCrc(6);
        return;
    }
    PutWord(4, block->registerCount);
    request_[6] = static_cast<uint8_t>(2 * block->registerCount);
    size_t index = 7;
    for (int position = 0; position < block->registerCount; ++position, index += 2)
        PutWord(index, wordAt(position));
    FinishWithCrc(index);
}

void CModbusFrame::BuildBatteryTypeFrame(uint8_t address) {
    const uint16_t batteryType = static_cast<uint16_t>(state_.data.batteryWrite[0].load());
    size_t index = 0;
    for (uint8_t byte : kBatteryFrameLead)
        request_[index++] = byte;
    request_[index++] = address;
    for (uint8_t byte : kBatteryFrameMiddle)
        request_[index++] = byte;
    request_[index++] = LowByte(batteryType);
    request_[index++] = HighByte(batteryType);
    request_[index++] = static_cast<uint8_t>(kBatteryFrameChecksumBase - HighByte(batteryType) -
                                             LowByte(batteryType) - address);
    requestLength_.store(static_cast<uint8_t>(kBatteryFrameLength));
}

bool CModbusFrame::ValidateResponse(uint8_t expectedAddress) const {
    // 1. The length the CRC covers: header plus data for function 3, else 6.
    const uint8_t function = response_[1];
    size_t covered = kFixedReplyLength;
    if (function == kReadFunction) {
        const uint8_t byteCount = response_[2];
        if (byteCount > kMaxByteCount) return false;
        covered = size_t{byteCount} + 3;
    }
    // 2. From the expected device.
    if (response_[0] != expectedAddress) return false;
    // 3. A function this system uses; exception replies have bit 7 set.
    if (function != kReadFunction && function != kWriteSingleFunction &&
        function != kWriteMultipleFunction)
        return false;
    // 4. CRC, low byte first, right after the covered bytes.
    const uint16_t crc = Crc16(response_, covered);
    if (response_[covered] != LowByte(crc) || response_[covered + 1] != HighByte(crc)) return false;
    // 5. Every byte up to the CRC has actually arrived.
    return responseCount_.load() >= covered + 2;
}

void CModbusFrame::ClearRequest() {
    std::memset(request_, 0, sizeof request_);
    requestLength_.store(0);
}

void CModbusFrame::ClearResponse() {
    std::memset(response_, 0, sizeof response_);
    responseCount_.store(0);
}

void CModbusFrame::AppendResponse(const uint8_t* bytes, size_t count) {
    const size_t stored = responseCount_.load();
    const size_t room = kBufferSize - std::min(stored, kBufferSize);
    const size_t taken = std::min(count, room);
    if (taken == 0) return;
    std::memcpy(response_ + stored, bytes, taken);
    responseCount_.store(static_cast<uint8_t>(stored + taken));
}

}  // namespace kestrane
