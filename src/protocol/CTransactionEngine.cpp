#include "protocol/CTransactionEngine.h"

#include <algorithm>

#include "protocol/RegisterMap.h"

namespace kestrane {

namespace {

constexpr uint8_t kReadFunction = 3;
constexpr uint8_t kWriteSingleFunction = 6;
constexpr uint8_t kWriteMultipleFunction = 16;
constexpr int kWriteTimeoutMs = 1000;
// The watchdog frees a busy link on every third busy tick.
constexpr int32_t kBusyTickLimit = 2;
// An event-log record every 551 ticks.
constexpr int32_t kLogTickLimit = 550;
// Free ticks spent sending the address write before the engine stops waiting
// for its acknowledgement.
constexpr int32_t kAddressWriteTickLimit = 2;
constexpr int32_t kHighestSelector = 9;

}  // namespace

CTransactionEngine::CTransactionEngine(SharedState& shared, ISerialLine& line, IEngineHost& host)
    : shared_(shared), line_(line), host_(host), frame_(shared) {}

uint32_t CTransactionEngine::ReadBlockDecodes(int code) const {
    return code >= 0 && code < kReadBlockCount ? blockDecodes_[code].load() : 0;
}

uint32_t CTransactionEngine::CompleteReadCycles() const {
    uint32_t cycles = blockDecodes_[0].load();
    for (const auto& decodes : blockDecodes_)
        cycles = std::min(cycles, decodes.load());
    return cycles;
}

void CTransactionEngine::NotePortOpened() {
    for (int code = 0; code < kReadBlockCount; ++code)
        decodesAtOpen_[code].store(blockDecodes_[code].load());
}

bool CTransactionEngine::SettingsBlocksRead() const {
    return std::all_of(kSettingsReadCodes.begin(), kSettingsReadCodes.end(), [this](int code) {
        return blockDecodes_[code].load() > decodesAtOpen_[code].load();
    });
}

void CTransactionEngine::StartMonitoring() {
    TransactionCode.store(0);
    framesSent.store(0);
    repliesReceived.store(0);
}

void CTransactionEngine::StopMonitoring() {
    receiveRunning.store(0);
    linkIdle.store(1);
}

void CTransactionEngine::BeginAddressScan() {
    shared_.settingsStatus.store(4);
    shared_.pendingWrite.store(4);
    framesSent.store(0);
    repliesReceived.store(0);
}

void CTransactionEngine::OnPortClosed() {
    receiveRunning.store(0);
    linkIdle.store(1);
}

void CTransactionEngine::OnWindowClosing() {
    receiveRunning.store(0);
    linkIdle.store(0);
}

bool CTransactionEngine::OnTimer1Tick() {
    bool passNeeded = false;
    if (LinkFree()) {
        ChooseAddress();
        frame_.ClearRequest();
        TakePendingWrite();
        BuildRequest();
        SendRequest();
        passNeeded = true;
    } else {
        CountBusyTick();
    }
    CountLogTick();
    return passNeeded;
}

bool CTransactionEngine::LinkFree() const {
    return linkIdle.load() == 1 && receiveRunning.load() == 0 && passActive_.load() == 0;
}

void CTransactionEngine::ChooseAddress() {
    if (TransactionCode.load() == kAddressScanCode) {
        const int32_t next = deviceAddress.load() + 1;
        deviceAddress.store(next > kHighestAddress ? 1 : next);
    } else {
        deviceAddress.store(host_.SelectedAddressIndex() + 1);
    }
}

void CTransactionEngine::TakePendingWrite() {
    const int32_t selector = shared_.pendingWrite.load();
    if (selector < 1 || selector > kHighestSelector) return;
    TransactionCode.store(WriteCodeForSelector(selector));
    shared_.pendingWrite.store(0);
    // A new settings operation owns the status from here on.
    awaitedAddress_.store(0);
}

void CTransactionEngine::BuildRequest() {
    const int32_t code = TransactionCode.load();
    const auto address = static_cast<uint8_t>(deviceAddress.load());
    specialFrameSends_.store(code == kBatteryTypeFrameCode ? specialFrameSends_.load() + 1 : 0);

    if (const auto block = ReadBlockFor(code)) {
        frame_.BuildReadRequest(address, kReadFunction, block->startRegister, block->registerCount);
    } else if (code == kAddressWriteCode) {
        const int32_t ticks = addressWriteTicks.load() + 1;
        addressWriteTicks.store(ticks);
        if (ticks <= kAddressWriteTickLimit)
            frame_.BuildWriteRequest(address, kWriteSingleFunction, code);
        else
            GiveUpAddressWrite();
    } else if (const auto write = WriteBlockFor(code)) {
        frame_.BuildWriteRequest(
            address, write->singleRegister ? kWriteSingleFunction : kWriteMultipleFunction, code);
    } else if (code == kBatteryTypeFrameCode) {
        frame_.BuildWriteRequest(address, kWriteMultipleFunction, code);
    }
    // Any other code leaves the request empty: a write of length 0 goes out.
}

// The controller did not acknowledge the address write twice over. It may
// have taken the new address without answering, so polling moves there; the
// change counts as done only once that address answers.
void CTransactionEngine::GiveUpAddressWrite() {
    addressWriteTicks.store(0);
    const int32_t newAddress = shared_.data.newAddress.load();
    shared_.settingsStatus.store(3);
    TransactionCode.store(0);
    SwitchToAddress(newAddress);
    awaitedAddress_.store(newAddress);
}

void CTransactionEngine::SwitchToAddress(int32_t address) {
    deviceAddress.store(address);
    if (address >= 1 && address <= kHighestAddress) host_.SelectAddressIndex(address - 1);
}

void CTransactionEngine::SendRequest() {
    // A late reply to a transaction already given up must not be taken for
    // the answer to this one.
    line_.DiscardInput();
    const uint8_t length = frame_.RequestLength();
    line_.ExpectReply(CModbusFrame::ExpectedReplyLength(frame_.Request(), length));
    line_.Write(frame_.Request(), length, kWriteTimeoutMs);
    bytesSent.fetch_add(length);
    host_.ShowFramesSent(framesSent.fetch_add(1) + 1);
    frame_.ClearResponse();
    passActive_.store(1);
    receiveRunning.store(1);
    linkIdle.store(0);
}

void CTransactionEngine::CountBusyTick() {
    const int32_t ticks = busyTicks.load() + 1;
    if (ticks > kBusyTickLimit) {
        busyTicks.store(0);
        linkIdle.store(1);
    } else {
        busyTicks.store(ticks);
    }
}

void CTransactionEngine::CountLogTick() {
    const int32_t ticks = logTicks.load() + 1;
    if (ticks > kLogTickLimit) {
        logTicks.store(0);
        host_.OnLogTick();
    } else {
        logTicks.store(ticks);
    }
}

}  // namespace kestrane
