#include "sim/SimDevice.h"

#include "sim/FactoryDefaults.h"

namespace kestrane::sim {

namespace {

constexpr uint8_t kReadHolding = 3;
constexpr uint8_t kWriteSingle = 6;
constexpr uint8_t kWriteMultiple = 16;
constexpr int kMaxReadCount = 125;
constexpr int kMaxWriteCount = 123;

uint16_t Word(const std::vector<uint8_t>& pdu, size_t at) {
    return static_cast<uint16_t>(pdu[at] << 8 | pdu[at + 1]);
}

void PutWord(std::vector<uint8_t>& out, uint16_t word) {
    out.push_back(static_cast<uint8_t>(word >> 8));
    out.push_back(static_cast<uint8_t>(word & 0xFF));
}

std::vector<uint8_t> Exception(uint8_t function, uint8_t code) {
    return {static_cast<uint8_t>(function | 0x80), code};
}

}  // namespace

SimDevice::SimDevice(const SimulatorOptions& options)
    : model_(options.seed, options.start), address_(options.address) {
    ApplyFactoryState(bank_);
    bank_.Set(reg::kControllerAddress, static_cast<uint16_t>(address_));
    model_.Step(0, bank_);
}

std::vector<uint8_t> SimDevice::Execute(const std::vector<uint8_t>& pdu) {
    if (pdu.empty()) return {};
    switch (pdu[0]) {
        case kReadHolding:
            return Read(pdu);
        case kWriteSingle:
            return WriteSingle(pdu);
        case kWriteMultiple:
            return WriteMultiple(pdu);
        default:
            return Exception(pdu[0], exception::kIllegalFunction);
    }
}

std::vector<uint8_t> SimDevice::Read(const std::vector<uint8_t>& pdu) const {
    if (pdu.size() != 5) return Exception(kReadHolding, exception::kIllegalValue);
    const uint16_t start = Word(pdu, 1);
    const int count = Word(pdu, 3);
    if (count < 1 || count > kMaxReadCount)
        return Exception(kReadHolding, exception::kIllegalValue);
    if (!RegisterBank::CanRead(start, count))
        return Exception(kReadHolding, exception::kIllegalAddress);
    std::vector<uint8_t> reply{kReadHolding, static_cast<uint8_t>(2 * count)};
    for (int i = 0; i < count; ++i)
        PutWord(reply, bank_.Get(static_cast<uint16_t>(start + i)));
    return reply;
}

std::vector<uint8_t> SimDevice::WriteSingle(const std::vector<uint8_t>& pdu) {
    if (pdu.size() != 5) return Exception(kWriteSingle, exception::kIllegalValue);
    const uint8_t code = Write(Word(pdu, 1), {Word(pdu, 3)});
    if (code != 0) return Exception(kWriteSingle, code);
    return pdu;
}

std::vector<uint8_t> SimDevice::WriteMultiple(const std::vector<uint8_t>& pdu) {
    if (pdu.size() < 6) return Exception(kWriteMultiple, exception::kIllegalValue);
    const uint16_t start = Word(pdu, 1);
    const int count = Word(pdu, 3);
    if (count < 1 || count > kMaxWriteCount || pdu[5] != 2 * count ||
        pdu.size() != 6 + 2 * static_cast<size_t>(count))
        return Exception(kWriteMultiple, exception::kIllegalValue);
    std::vector<uint16_t> values;
    for (int i = 0; i < count; ++i)
        values.push_back(Word(pdu, 6 + 2 * static_cast<size_t>(i)));
    const uint8_t code = Write(start, values);
    if (code != 0) return Exception(kWriteMultiple, code);
    return {pdu.begin(), pdu.begin() + 5};
}

uint8_t SimDevice::Write(uint16_t start, const std::vector<uint16_t>& values) {
    const int count = static_cast<int>(values.size());
    if (RegisterBank::AccessOf(start) == RegisterAccess::kCommand) {
        if (start != reg::kCommand || start + count > reg::kCommand + 7)
            return exception::kIllegalAddress;
        return RunCommand(values);
    }
    if (!RegisterBank::CanWrite(start, count)) return exception::kIllegalAddress;
    // The bus address only takes the addresses a master can poll.
    const int addressIndex = reg::kControllerAddress - start;
    if (addressIndex >= 0 && addressIndex < count) {
        const uint16_t address = values[static_cast<size_t>(addressIndex)];
        if (address < 1 || address > 247) return exception::kIllegalValue;
        address_ = address;
    }
    for (int i = 0; i < count; ++i)
        bank_.Set(static_cast<uint16_t>(start + i), values[static_cast<size_t>(i)]);
    model_.Step(0, bank_);
    return 0;
}

uint8_t SimDevice::RunCommand(const std::vector<uint16_t>& values) {
    if (values[0] == reg::kCommandRestore && values.size() == 1) {
        ApplyFactorySettings(bank_);
        model_.ClearEnergy();
        model_.Step(0, bank_);
        return 0;
    }
    if (values[0] == reg::kCommandSetClock && values.size() == 7) {
        SimDateTime clock;
        if (values[1] > 99 || !SimDateTime::FromParts(2000 + values[1], values[2], values[3],
                                                      values[4], values[5], values[6], &clock))
            return exception::kIllegalValue;
        model_.SetClock(clock);
        return 0;
    }
    return exception::kIllegalValue;
}

bool SimDevice::ApplyBatteryType(uint16_t value) {
    if (value > 5) return false;
    bank_.Set(reg::kBatteryType, value);
    model_.Step(0, bank_);
    return true;
}

}  // namespace kestrane::sim
