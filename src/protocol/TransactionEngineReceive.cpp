// The receive side of CTransactionEngine: collecting, validating and decoding
// one reply on the receive worker.
#include "protocol/CTransactionEngine.h"
#include "protocol/RegisterMap.h"

namespace kestrane {

namespace {

// What the worker reads in one go; no accepted reply is longer than 132 bytes,
// and the frame drops whatever would overflow its response buffer.
constexpr size_t kReadBufferSize = 130;
// A reply shorter than this cannot be a complete Modbus reply.
constexpr uint8_t kShortestReply = 6;
// Short replies tolerated before a short reply ends the pass at once.
constexpr int32_t kShortReplyLimit = 3;
// Unanswered special frames before the engine gives up on it.
constexpr int32_t kSpecialFrameSendLimit = 3;

}  // namespace

void CTransactionEngine::ReceivePass() {
    uint8_t buffer[kReadBufferSize] = {};
    while (receiveRunning.load() != 0) {
        size_t count = 0;
        // Read waits for the silence that ends a reply, whatever its length
        // at the configured rate; the engine relies on nothing more.
        if (line_.Read(buffer, sizeof buffer, count)) {
            frame_.AppendResponse(buffer, count);
            bytesReceived.fetch_add(static_cast<int32_t>(count));
            host_.ShowRepliesReceived(repliesReceived.load());
            continue;
        }
        OnSilence();
    }
    passActive_.store(0);
}

void CTransactionEngine::OnSilence() {
    if (TransactionCode.load() == kBatteryTypeFrameCode) {
        EndSpecialFrame();
        return;
    }
    const uint8_t* reply = frame_.Response();
    const uint8_t* request = frame_.Request();

    // Nothing that looks like an answer to this request (this is also the
    // path of no reply at all): drop it and leave the link to the watchdog.
    if (reply[0] != request[0] && reply[1] != request[1]) {
        frame_.ClearResponse();
        receiveRunning.store(0);
        frame_.ClearRequest();
        return;
    }
    // A register read must carry exactly the registers asked for.
    if (reply[1] == 3 && reply[2] != 2 * request[5]) {
        frame_.ClearResponse();
        receiveRunning.store(0);
    }
    if (frame_.ResponseCount() < kShortestReply) {
        const int32_t shortCount = shortReplies.fetch_add(1) + 1;
        if (shortCount > kShortReplyLimit) {
            frame_.ClearResponse();
            receiveRunning.store(0);
        }
        linkIdle.store(1);
        frame_.ClearRequest();
        return;
    }
    // The address was checked above, loosely; validation takes the reply's own.
    // A read must be answered by a register read: a write acknowledgement in
    // its place would be decoded as a block of zeros.
    const bool expectsRegisters = ReadBlockFor(TransactionCode.load()).has_value();
    if (frame_.ValidateResponse(reply[0]) && (!expectsRegisters || reply[1] == 3)) {
        AcceptValidReply();
    } else {
        frame_.ClearResponse();
        receiveRunning.store(0);
    }
    linkIdle.store(1);
    frame_.ClearRequest();
}

// Any reply to the special frame ends it, whatever it holds; with no reply it
// is sent again, three times at most, and then the read cycle resumes.
void CTransactionEngine::EndSpecialFrame() {
    if (frame_.ResponseCount() > 0) {
        if (frame_.ResponseCount() >= kShortestReply &&
            frame_.ValidateResponse(frame_.Response()[0])) {
            host_.ShowRepliesReceived(repliesReceived.fetch_add(1) + 1);
        }
        TransactionCode.store(0);
        linkIdle.store(1);
    } else if (specialFrameSends_.load() >= kSpecialFrameSendLimit) {
        TransactionCode.store(0);
    }
    frame_.ClearResponse();
    frame_.ClearRequest();
    receiveRunning.store(0);
}

void CTransactionEngine::AcceptValidReply() {
    host_.ShowRepliesReceived(repliesReceived.fetch_add(1) + 1);
    const int32_t sentCode = TransactionCode.load();
    const uint8_t replyAddress = frame_.Response()[0];
    const int32_t result = frame_.DecodeResponse(TransactionCode);
    AfterDecode(sentCode, result, replyAddress);
    receiveRunning.store(0);
}

void CTransactionEngine::AfterDecode(int32_t sentCode, int32_t result, uint8_t replyAddress) {
    if (result != 0) {
        frame_.ClearResponse();
    } else if (sentCode >= 0 && sentCode < kReadBlockCount) {
        blockDecodes_[sentCode].fetch_add(1);
    } else if (TransactionCode.load() == kAddressScanCode) {
        // The scan found a device at the address just polled.
        TransactionCode.store(0);
        host_.SelectAddressIndex(deviceAddress.load() - 1);
    } else if (sentCode == kAddressWriteCode) {
        // The controller acknowledged its new address from the old one:
        // polling follows it there.
        addressWriteTicks.store(0);
        awaitedAddress_.store(0);
        SwitchToAddress(shared_.data.newAddress.load());
    }
    frame_.ClearRequest();

    const int32_t awaited = awaitedAddress_.load();
    if (awaited != 0 && replyAddress == awaited) {
        shared_.settingsStatus.store(1);
        awaitedAddress_.store(0);
    }
}

}  // namespace kestrane
