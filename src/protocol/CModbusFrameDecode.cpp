// DecodeResponse: read replies into the controller record, write
// acknowledgements into the settings status, and the choice of the next code.
#include <span>
#include <type_traits>

#include "protocol/CModbusFrame.h"
#include "protocol/RegisterMap.h"

namespace kestrane {

namespace {

enum class Encoding : uint8_t {
    kUnsigned16,  // zero-extended
    kSigned16,    // sign-extended
    kUnsigned32,  // this word and the next, high word first
};

// The record field (or first field of a run of text words) a reply word fills.
using FieldOf = AtomicValue* (*)(ControllerData&);

template <auto Member>
AtomicValue* Field(ControllerData& data) {
    auto& field = data.*Member;
    if constexpr (std::is_array_v<std::remove_reference_t<decltype(field)>>)
        return field;
    else
        return &field;
}

// `count` consecutive words from `word` on fill `count` consecutive fields.
struct Slot {
    uint8_t word;
    Encoding encoding;
    FieldOf field;
    uint8_t count = 1;
};

using D = ControllerData;

constexpr Slot kRealTimeSlots[] = {
    {0, Encoding::kUnsigned16, Field<&D::chargeState>},
    {1, Encoding::kUnsigned16, Field<&D::pvVoltage>},
    {2, Encoding::kUnsigned16, Field<&D::batteryVoltage>},
    {3, Encoding::kUnsigned16, Field<&D::chargeCurrent>},
    {4, Encoding::kUnsigned16, Field<&D::compVoltage>},
    {5, Encoding::kUnsigned16, Field<&D::loadVoltage>},
    {6, Encoding::kUnsigned16, Field<&D::loadCurrent>},
    {7, Encoding::kUnsigned16, Field<&D::chargePower>},
    {8, Encoding::kUnsigned16, Field<&D::loadPower>},
    {9, Encoding::kSigned16, Field<&D::batteryTemperature>},
    {10, Encoding::kSigned16, Field<&D::innerTemperature>},
    {11, Encoding::kUnsigned16, Field<&D::spare000B>},
    {12, Encoding::kUnsigned32, Field<&D::spare000C>},
    {14, Encoding::kUnsigned16, Field<&D::alarmCode>},
};

constexpr Slot kBatterySlots[] = {
    {0, Encoding::kUnsigned16, Field<&D::batteryType>},
    {1, Encoding::kUnsigned16, Field<&D::systemVoltageSetting>},
    {2, Encoding::kUnsigned16, Field<&D::cvChargeVoltage>},
    {3, Encoding::kUnsigned16, Field<&D::floatChargeVoltage>},
    {4, Encoding::kUnsigned16, Field<&D::maxChargeCurrent>},
    {5, Encoding::kUnsigned16, Field<&D::maxLoadCurrent>},
    {6, Encoding::kUnsigned16, Field<&D::equalizeVoltage>},
    {7, Encoding::kUnsigned16, Field<&D::equalizeMinutes>},
    {8, Encoding::kUnsigned16, Field<&D::spare0109>},
    {9, Encoding::kUnsigned16, Field<&D::systemVoltageUnits>},
};

constexpr Slot kLithiumSlots[] = {
    {0, Encoding::kUnsigned16, Field<&D::liChargeVoltage>},
    {1, Encoding::kUnsigned16, Field<&D::liNominalVoltage>},
    {2, Encoding::kUnsigned16, Field<&D::liLowVoltageProtect>},
    {3, Encoding::kUnsigned16, Field<&D::liOverVoltageProtect>},
    {4, Encoding::kUnsigned16, Field<&D::liLowVoltageRecover>},
    {5, Encoding::kUnsigned16, Field<&D::liOverVoltageRecover>},
};

// Words 0 and 1 (0x0701, 0x0702) are received and ignored.
constexpr Slot kLeadAcidSlots[] = {
    {2, Encoding::kUnsigned16, Field<&D::overVoltageProtect>},
    {3, Encoding::kUnsigned16, Field<&D::overVoltageRecover>},
    {4, Encoding::kUnsigned16, Field<&D::lowVoltageProtect>},
    {5, Encoding::kUnsigned16, Field<&D::lowVoltageRecover>},
};

constexpr Slot kEnergySlots[] = {
    {0, Encoding::kUnsigned16, Field<&D::controllerAddress>},
    {1, Encoding::kUnsigned16, Field<&D::spare0204>},
    {2, Encoding::kUnsigned16, Field<&D::spare0205>},
    {3, Encoding::kUnsigned32, Field<&D::chargedTodayWh>},
    {5, Encoding::kUnsigned32, Field<&D::spare0208>},
    {7, Encoding::kUnsigned32, Field<&D::chargedMonthWh>},
    {9, Encoding::kUnsigned32, Field<&D::spare020C>},
    {11, Encoding::kUnsigned32, Field<&D::chargedTotalWh>},
    {13, Encoding::kUnsigned32, Field<&D::usedTodayWh>},
    {15, Encoding::kUnsigned32, Field<&D::usedMonthWh>},
    {17, Encoding::kUnsigned32, Field<&D::usedTotalWh>},
};

// Text words are kept raw; TextCodec turns them into characters.
constexpr Slot kIdentitySlots[] = {
    {0, Encoding::kUnsigned16, Field<&D::serialNumber>, D::kSerialWords},
    {8, Encoding::kUnsigned16, Field<&D::firmwareVersion>, D::kFirmwareWords},
    {10, Encoding::kUnsigned16, Field<&D::modelName>, D::kModelWords},
};

constexpr Slot kLoadSlots[] = {
    {0, Encoding::kUnsigned16, Field<&D::loadMode>},
    {1, Encoding::kUnsigned16, Field<&D::morningOnCode>},
    {2, Encoding::kUnsigned16, Field<&D::loadOnPvVoltage>},
    {3, Encoding::kUnsigned16, Field<&D::loadOffPvVoltage>},
    {4, Encoding::kUnsigned16, Field<&D::loadOnDelay>},
    {5, Encoding::kUnsigned16, Field<&D::loadOffDelay>},
    {6, Encoding::kUnsigned16, Field<&D::timer1OnHour>},
    {7, Encoding::kUnsigned16, Field<&D::timer1OnMinute>},
    {8, Encoding::kUnsigned16, Field<&D::timer1OffHour>},
    {9, Encoding::kUnsigned16, Field<&D::timer1OffMinute>},
    {10, Encoding::kUnsigned16, Field<&D::timer2OnHour>},
    {11, Encoding::kUnsigned16, Field<&D::timer2OnMinute>},
    {12, Encoding::kUnsigned16, Field<&D::timer2OffHour>},
    {13, Encoding::kUnsigned16, Field<&D::timer2OffMinute>},
    {14, Encoding::kUnsigned16, Field<&D::loadOutputOn>},
};

constexpr Slot kCalibrationSlots[] = {
    {0, Encoding::kUnsigned16, Field<&D::pvVoltageRatio>},
    {1, Encoding::kUnsigned16, Field<&D::pvVoltageOffset>},
    {2, Encoding::kUnsigned16, Field<&D::batteryVoltageRatio>},
    {3, Encoding::kUnsigned16, Field<&D::batteryVoltageOffset>},
    {4, Encoding::kUnsigned16, Field<&D::chargeCurrentRatio>},
    {5, Encoding::kUnsigned16, Field<&D::chargeCurrentOffset>},
    {6, Encoding::kUnsigned16, Field<&D::loadCurrentRatio>},
    {7, Encoding::kUnsigned16, Field<&D::loadCurrentOffset>},
    {8, Encoding::kUnsigned16, Field<&D::loadVoltageRatio>},
    {9, Encoding::kUnsigned16, Field<&D::loadVoltageOffset>},
    {10, Encoding::kUnsigned16, Field<&D::compVoltageRatio>},
    {11, Encoding::kUnsigned16, Field<&D::compVoltageOffset>},
};

// Indexed by read code 0-7.
constexpr std::span<const Slot> kReadSlots[] = {
    kRealTimeSlots, kBatterySlots,  kLithiumSlots, kLeadAcidSlots,
    kEnergySlots,   kIdentitySlots, kLoadSlots,    kCalibrationSlots,
};
constexpr int kReadCodes = static_cast<int>(std::size(kReadSlots));
constexpr int kLeadAcidCode = 3;

// Every slot lies within its block, so decoding never reads past the data a
// correctly sized reply carries (at most 19 words, far inside the buffer).
constexpr bool SlotsFitBlocks() {
    for (int code = 0; code < kReadCodes; ++code) {
        const int registers = ReadBlockFor(code)->registerCount;
        for (const Slot& slot : kReadSlots[code]) {
            const int width = slot.encoding == Encoding::kUnsigned32 ? 2 : slot.count;
            if (slot.word + width > registers) return false;
        }
    }
    return true;
}
static_assert(SlotsFitBlocks());

// How a write acknowledgement is judged and what it changes.
enum class Echo : uint8_t {
    kNone,      // any valid reply is accepted
    kRegister,  // reply bytes 2-3 equal request bytes 2-3
    kHeader,    // reply bytes 0-1 equal request bytes 0-1
};

constexpr int32_t kKeep = -1;
constexpr int32_t kStatusDone = 1;
constexpr int32_t kStatusFailed = 2;
constexpr int32_t kStatusAddressFound = 5;

struct Acknowledgement {
    int code;
    Echo echo;
    int32_t statusOnSuccess;
    int32_t nextCode;
    int32_t resultOnSuccess;
    int32_t statusOnFailure;
    AtomicValue ControllerData::*raisedFlag;
};

// The battery chain 11 -> 12 -> 10 -> 50 reports success only at code 10, and
// its steps answer 1 because the transaction goes on.
constexpr Acknowledgement kAcknowledgements[] = {
    {10, Echo::kRegister, kStatusDone, kBatteryTypeFrameCode, 1, kStatusFailed, nullptr},
    {11, Echo::kRegister, kKeep, 12, 1, kStatusFailed, nullptr},
    {12, Echo::kRegister, kKeep, 10, 1, kStatusFailed, nullptr},
    {13, Echo::kRegister, kStatusDone, 0, 0, kStatusFailed, &D::calibrationEditsReload},
    {kAddressScanCode, Echo::kHeader, kStatusAddressFound, kKeep, 0, kKeep, nullptr},
    {kAddressWriteCode, Echo::kNone, kStatusDone, 0, 0, kKeep, nullptr},
    {16, Echo::kHeader, kStatusDone, 0, 0, kKeep, &D::calibrationDialogRefresh},
    {17, Echo::kHeader, kStatusDone, 0, 0, kKeep, nullptr},
    {18, Echo::kHeader, kStatusDone, 0, 0, kKeep, nullptr},
    {19, Echo::kHeader, kStatusDone, 0, 0, kKeep, nullptr},
};

const Acknowledgement* AcknowledgementFor(int code) {
    for (const Acknowledgement& ack : kAcknowledgements)
        if (ack.code == code) return &ack;
    return nullptr;
}

}  // namespace

uint16_t CModbusFrame::ResponseWord(int word) const {
    const size_t index = 3 + 2 * static_cast<size_t>(word);
    return static_cast<uint16_t>((response_[index] << 8) | response_[index + 1]);
}

int32_t CModbusFrame::DecodeResponse(std::atomic<int32_t>& transactionCode) {
    const int code = transactionCode.load();
    int32_t result = code;
    if (code >= 0 && code < kReadCodes)
        result = DecodeReadBlock(code, transactionCode);
    else if (AcknowledgementFor(code) != nullptr)
        result = DecodeAcknowledgement(code, transactionCode);
    ClearResponse();
    return result;
}

int32_t CModbusFrame::DecodeReadBlock(int code, std::atomic<int32_t>& transactionCode) {
    if (code == kLeadAcidCode) {
        // The protection thresholds must be ordered (over-voltage recovery at
        // or below its protection, under-voltage protection at or below the
        // over-voltage one, its recovery at or above it); a block that breaks
        // the order is dropped and read again.
        const uint16_t overProtect = ResponseWord(2);
        const uint16_t overRecover = ResponseWord(3);
        const uint16_t underProtect = ResponseWord(4);
        const uint16_t underRecover = ResponseWord(5);
        if (overProtect < underProtect || overRecover > overProtect || underRecover < underProtect)
            return 1;
    }

    ControllerData& data = state_.data;
    for (const Slot& slot : kReadSlots[code]) {
        AtomicValue* field = slot.field(data);
        switch (slot.encoding) {
            case Encoding::kUnsigned16:
                for (int i = 0; i < slot.count; ++i)
                    field[i].store(ResponseWord(slot.word + i));
                break;
            case Encoding::kSigned16:
                field->store(static_cast<int16_t>(ResponseWord(slot.word)));
                break;
            case Encoding::kUnsigned32: {
                const uint32_t value =
                    (uint32_t{ResponseWord(slot.word)} << 16) | ResponseWord(slot.word + 1);
                field->store(static_cast<int32_t>(value));
                break;
            }
        }
    }
    transactionCode.store(code + 1 < kReadCodes ? code + 1 : 0);
    return 0;
}

int32_t CModbusFrame::DecodeAcknowledgement(int code, std::atomic<int32_t>& transactionCode) {
    const Acknowledgement& ack = *AcknowledgementFor(code);
    bool echoed = true;
    if (ack.echo == Echo::kRegister)
        echoed = response_[2] == request_[2] && response_[3] == request_[3];
    else if (ack.echo == Echo::kHeader)
        echoed = response_[0] == request_[0] && response_[1] == request_[1];

    if (!echoed) {
        if (ack.statusOnFailure != kKeep) state_.settingsStatus.store(ack.statusOnFailure);
        return 1;
    }
    if (ack.raisedFlag != nullptr) (state_.data.*ack.raisedFlag).store(1);
    if (ack.statusOnSuccess != kKeep) state_.settingsStatus.store(ack.statusOnSuccess);
    if (ack.nextCode != kKeep) transactionCode.store(ack.nextCode);
    return ack.resultOnSuccess;
}

}  // namespace kestrane
