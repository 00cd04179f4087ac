#include "sim/RtuSlave.h"

#include <algorithm>

#include "protocol/Crc16.h"

namespace kestrane::sim {

namespace {

constexpr uint8_t kWriteSingle = 6;
constexpr uint8_t kWriteMultiple = 16;

void AppendCrc(std::vector<uint8_t>& frame) {
    const uint16_t crc = Crc16(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
}

bool IsWrite(uint8_t function) {
    return function == kWriteSingle || function == kWriteMultiple;
}

// True for a reply PDU that is no exception: the request was carried out.
bool Accepted(const std::vector<uint8_t>& reply) {
    return !reply.empty() && (reply[0] & 0x80) == 0;
}

// The whole exception frame from `address` for `function`: server device
// failure, as a controller that cannot store settings answers.
std::vector<uint8_t> Refusal(uint8_t address, uint8_t function) {
    std::vector<uint8_t> frame{address, static_cast<uint8_t>(function | 0x80),
                               exception::kDeviceFailure};
    AppendCrc(frame);
    return frame;
}

}  // namespace

RtuSlave::RtuSlave(SimDevice& device, const SimulatorOptions& options)
    : device_(device), options_(options), random_(0x534C4156ULL + options.seed) {}

std::vector<Transmission> RtuSlave::Handle(const RtuFrame& frame) {
    const std::vector<uint8_t>& bytes = frame.bytes;
    if (frame.kind == RtuFrame::Kind::kBatteryType) {
        if (bytes[2] != device_.Address()) return {};
        ++requests_;
        if (random_.Chance(options_.drop) || options_.ignoreAa) return {};
        // The acknowledgement is the frame itself, echoed. The frame follows
        // a battery-settings write, so a controller that refuses writes
        // refuses it as it refuses that write.
        std::vector<uint8_t> answer = bytes;
        if (options_.refuseWrites)
            answer = Refusal(bytes[2], kWriteMultiple);
        else if (device_.ApplyBatteryType(static_cast<uint16_t>(bytes[8] | bytes[9] << 8)))
            ++writes_;
        if (random_.Chance(options_.corrupt)) answer.back() ^= 0x5A;
        return Shape(std::move(answer));
    }

    const uint8_t address = bytes[0];
    const std::vector<uint8_t> pdu(bytes.begin() + 1, bytes.end() - 2);
    if (address == 0) {
        // A lost broadcast is lost for this controller only.
        const bool write = !pdu.empty() && IsWrite(pdu[0]);
        if (write && !random_.Chance(options_.drop) && !options_.refuseWrites &&
            Accepted(device_.Execute(pdu)))
            ++writes_;
        return {};
    }
    if (address != device_.Address()) return {};
    ++requests_;
    if (random_.Chance(options_.drop)) return {};
    return Shape(AnswerModbus(bytes));
}

std::vector<uint8_t> RtuSlave::AnswerModbus(const std::vector<uint8_t>& frame) {
    const std::vector<uint8_t> pdu(frame.begin() + 1, frame.end() - 2);
    std::vector<uint8_t> reply;
    const bool write = IsWrite(pdu[0]);
    if (random_.Chance(options_.exception) || (write && options_.refuseWrites)) {
        reply = {static_cast<uint8_t>(pdu[0] | 0x80), exception::kDeviceFailure};
    } else {
        reply = device_.Execute(pdu);
        if (write && Accepted(reply)) ++writes_;
    }
    const bool writeEcho = IsWrite(reply[0]) && reply.size() >= 3;
    if (writeEcho && random_.Chance(options_.wrongEcho)) {
        const uint16_t other = static_cast<uint16_t>((reply[1] << 8 | reply[2]) + 1);
        reply[1] = static_cast<uint8_t>(other >> 8);
        reply[2] = static_cast<uint8_t>(other & 0xFF);
    }
    // The answer carries the address the request was sent to, so a change of
    // address is acknowledged from the old one.
    reply.insert(reply.begin(), frame[0]);
    AppendCrc(reply);
    if (random_.Chance(options_.corrupt)) reply[reply.size() - 2] ^= 0x5A;
    return reply;
}

std::vector<Transmission> RtuSlave::Shape(std::vector<uint8_t> reply) {
    std::vector<Transmission> out;
    if (random_.Chance(options_.split) && reply.size() >= 2) {
        const int pieces = random_.Integer(2, std::min<int>(4, static_cast<int>(reply.size())));
        size_t at = 0;
        for (int piece = 0; piece < pieces; ++piece) {
            const size_t left = reply.size() - at;
            const size_t take = piece + 1 == pieces
                                    ? left
                                    : static_cast<size_t>(random_.Integer(
                                          1, static_cast<int>(left) - (pieces - piece - 1)));
            out.push_back({piece == 0 ? options_.delayMs : random_.Integer(10, 30),
                           {reply.begin() + static_cast<long>(at),
                            reply.begin() + static_cast<long>(at + take)}});
            at += take;
        }
    } else {
        out.push_back({options_.delayMs, std::move(reply)});
    }
    if (random_.Chance(options_.noise)) {
        Transmission garbage{60, {}};
        const int count = random_.Integer(1, 8);
        for (int i = 0; i < count; ++i)
            garbage.bytes.push_back(static_cast<uint8_t>(random_.Next() & 0xFF));
        out.push_back(std::move(garbage));
    }
    return out;
}

}  // namespace kestrane::sim
