#include "doctor/LinkClassifier.h"

#include <algorithm>
#include <span>

#include "doctor/FrameAnnotation.h"

namespace kestrane {

namespace {

using Kind = FramePiece::Kind;

constexpr uint8_t kExceptionBit = 0x80;

void Count(const TraceEvent& burst, const TraceEvent* request, int address, LinkClassification& c) {
    const std::span<const uint8_t> asked =
        request ? std::span<const uint8_t>(request->bytes) : std::span<const uint8_t>();
    const std::span<const uint8_t> bytes(burst.bytes);
    for (const FramePiece& piece : SplitReceived(bytes, asked)) {
        const std::span<const uint8_t> frame = bytes.subspan(piece.offset, piece.length);
        switch (piece.kind) {
            case Kind::kEcho:
                ++c.echoes;
                break;
            case Kind::kGarbage:
                c.garbageBytes += piece.length;
                break;
            case Kind::kCrcBad:
                ++c.crcErrors;
                break;
            case Kind::kFrame:
                if (frame[0] != address) {
                    if (std::find(c.otherAddresses.begin(), c.otherAddresses.end(), frame[0]) ==
                        c.otherAddresses.end())
                        c.otherAddresses.push_back(frame[0]);
                } else if ((frame[1] & kExceptionBit) != 0) {
                    ++c.exceptions;
                    c.exceptionCode = frame[2];
                } else {
                    ++c.replies;
                }
                break;
        }
    }
}

}  // namespace

const char* LinkFindingName(LinkFinding finding) {
    switch (finding) {
        case LinkFinding::kNothing:
            return "nothing";
        case LinkFinding::kGarbage:
            return "no_valid_frame";
        case LinkFinding::kOtherAddress:
            return "other_address";
        case LinkFinding::kCrcErrors:
            return "crc_errors";
        case LinkFinding::kExceptions:
            return "exceptions";
        case LinkFinding::kAnswers:
            return "answers";
    }
    return "";
}

LinkClassification ClassifyLink(std::span<const TraceEvent> events, int address) {
    LinkClassification c;
    const TraceEvent* request = nullptr;
    for (const TraceEvent& event : events) {
        if (event.sent) {
            request = &event;
            ++c.requests;
        } else {
            Count(event, request, address, c);
        }
    }
    if (c.exceptions > 0) {
        c.finding = LinkFinding::kExceptions;
    } else if (!c.otherAddresses.empty()) {
        c.finding = LinkFinding::kOtherAddress;
    } else if (c.crcErrors > 0) {
        c.finding = LinkFinding::kCrcErrors;
    } else if (c.garbageBytes > 0) {
        c.finding = LinkFinding::kGarbage;
    } else {
        c.finding = c.replies > 0 ? LinkFinding::kAnswers : LinkFinding::kNothing;
    }
    return c;
}

std::string LinkClassification::Text() const {
    const std::string of = " of " + std::to_string(requests) + " requests";
    switch (finding) {
        case LinkFinding::kNothing:
            return "nothing came back to " + std::to_string(requests) + " requests";
        case LinkFinding::kGarbage:
            return std::to_string(garbageBytes) + " bytes came back that never form a valid frame";
        case LinkFinding::kOtherAddress: {
            std::string list;
            for (const int a : otherAddresses)
                list += (list.empty() ? "" : ", ") + std::to_string(a);
            return "valid frames came from address " + list;
        }
        case LinkFinding::kCrcErrors:
            return "CRC errors in " + std::to_string(crcErrors) + of;
        case LinkFinding::kExceptions:
            return "exception replies (code " + std::to_string(exceptionCode) + ") to " +
                   std::to_string(exceptions) + of;
        case LinkFinding::kAnswers:
            return "answers to " + std::to_string(replies) + of;
    }
    return {};
}

std::string LinkClassification::Hint() const {
    switch (finding) {
        case LinkFinding::kNothing:
            return "check the controller's power and the wiring (A and B swapped?), and that this "
                   "is the port the adapter is on";
        case LinkFinding::kGarbage:
            return "the baud rate or the parity differs from the controller's, or there is noise "
                   "on the line";
        case LinkFinding::kOtherAddress:
            return "the address is wrong, or two devices share one address on the bus";
        case LinkFinding::kCrcErrors:
            return "noise on the line: check the termination resistors, the ground wire and the "
                   "cable length";
        case LinkFinding::kExceptions:
            return "a device answers, but refuses these registers: it is not this kind of "
                   "controller";
        case LinkFinding::kAnswers:
            return {};
    }
    return {};
}

}  // namespace kestrane
