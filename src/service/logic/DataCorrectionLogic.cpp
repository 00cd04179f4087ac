#include "service/logic/DataCorrectionLogic.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "monitor/NumberText.h"
#include "protocol/TextCodec.h"
#include "service/logic/CalibrationRows.h"
#include "service/logic/ServiceControlIds.h"
#include "service/logic/ServiceInput.h"
#include "service/logic/ServiceSelectors.h"

namespace kestrane {

namespace {

// The calibration registers 0x0301-0x030C in order, as the controller reported
// them.
constexpr AtomicValue ControllerData::*kCalibrationAsRead[ControllerData::kCalibrationWriteWords] =
    {
        &ControllerData::pvVoltageRatio,      &ControllerData::pvVoltageOffset,
        &ControllerData::batteryVoltageRatio, &ControllerData::batteryVoltageOffset,
        &ControllerData::chargeCurrentRatio,  &ControllerData::chargeCurrentOffset,
        &ControllerData::loadCurrentRatio,    &ControllerData::loadCurrentOffset,
        &ControllerData::loadVoltageRatio,    &ControllerData::loadVoltageOffset,
        &ControllerData::compVoltageRatio,    &ControllerData::compVoltageOffset,
};

constexpr LanguageText kAbnormalDataText{"Abnormal data!", "数据异常！"};
constexpr LanguageText kSerialRangeText{"Enter a value in the range of 1 ~ 9999 !",
                                        "输入1~9999的数值！"};
constexpr LanguageText kCustomSerialTooLongText{"You can enter up to 16 numbers!",
                                                "最多可输入16个数字！"};
constexpr LanguageText kModelTooLongText{"You can enter up to 16 characters!",
                                         "最多可输入16个字符！"};

constexpr size_t kStandardSerialDigits = 4;
constexpr size_t kIdentityTextBytes = 16;
constexpr int kSerialFirstWord = 0;
constexpr int kStandardSerialFirstWord = 2;  // bytes 5-16: number, year, month, day
constexpr int kModelFirstWord = ControllerData::kSerialWords + ControllerData::kFirmwareWords;
constexpr uint64_t kLargestRegisterValue = 0xFFFF;

void SetTextIfChanged(IControlAccess& controls, int id, const std::string& text) {
    if (controls.Text(id) != text) controls.SetText(id, text);
}

}  // namespace

DataCorrectionLogic::CalibrationImage DataCorrectionLogic::CalibrationAsRead() const {
    CalibrationImage image{};
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = (shared_.data.*kCalibrationAsRead[i]).load();
    return image;
}

DataCorrectionLogic::IdentityImage DataCorrectionLogic::IdentityAsRead() const {
    const ControllerData& d = shared_.data;
    IdentityImage image{};
    size_t at = 0;
    for (const AtomicValue& word : d.serialNumber)
        image[at++] = static_cast<uint16_t>(word.load());
    for (const AtomicValue& word : d.firmwareVersion)
        image[at++] = static_cast<uint16_t>(word.load());
    for (const AtomicValue& word : d.modelName)
        image[at++] = static_cast<uint16_t>(word.load());
    return image;
}

void DataCorrectionLogic::QueueCalibration(const CalibrationImage& image) {
    for (size_t i = 0; i < image.size(); ++i)
        shared_.data.calibrationWrite[i].store(image[i]);
    shared_.settingsStatus.store(service::kStatusWriteQueued);
    shared_.pendingWrite.store(service::kSelectorCalibration);
}

void DataCorrectionLogic::QueueIdentity(const IdentityImage& image) {
    for (size_t i = 0; i < image.size(); ++i)
        shared_.data.identityWrite[i].store(image[i]);
    shared_.settingsStatus.store(service::kStatusWriteQueued);
    shared_.pendingWrite.store(service::kSelectorIdentity);
}

void DataCorrectionLogic::ShowMessage(const LanguageText& text) {
    dialog_.ShowMessage(text.In(shared_));
}

void DataCorrectionLogic::OnRefresh() {
    const ControllerData& d = shared_.data;
    if (d.calibrationEditsReload.load() == 1) {
        for (int row = 0; row < id::correction::kRowCount; ++row) {
            const CalibrationRow& r = kCalibrationRows[row];
            dialog_.SetText(id::correction::kFirstOffsetEdit + row,
                            std::to_string((d.*r.offset).load()));
            dialog_.SetText(id::correction::kFirstMeasuredEdit + row,
                            FormatTenths(static_cast<uint32_t>((d.*r.liveReading).load())));
        }
        shared_.data.calibrationEditsReload.store(0);
    }
    for (int row = 0; row < id::correction::kRowCount; ++row) {
        const CalibrationRow& r = kCalibrationRows[row];
        SetTextIfChanged(dialog_, id::correction::kFirstRatioStatic + row,
                         std::to_string((d.*r.ratio).load()));
        SetTextIfChanged(dialog_, id::correction::kFirstOffsetStatic + row,
                         std::to_string((d.*r.offset).load()));
    }
}

void DataCorrectionLogic::OnConfirmRow(int row) {
    if (row < 0 || row >= id::correction::kRowCount) return;
    const CalibrationRow& r = kCalibrationRows[row];
    CalibrationImage image = CalibrationAsRead();

    // A live reading this low means no reading yet or a dead channel; it would
    // also be a division by zero.
    const auto live = static_cast<uint32_t>((shared_.data.*r.liveReading).load());
    if (live < static_cast<uint32_t>(r.minimum)) {
        ShowMessage(kAbnormalDataText);
        return;
    }

    const std::string offsetText = dialog_.Text(id::correction::kFirstOffsetEdit + row);
    if (!IsBlankEntry(offsetText)) image[r.ratioIndex + 1] = ReadLeadingInteger(offsetText);

    const int32_t measured = ReadTenthsText(dialog_.Text(id::correction::kFirstMeasuredEdit + row));
    if (measured < r.minimum) {
        ShowMessage(r.tooLowMessage);
        return;
    }

    // The register holds 16 bits: a ratio beyond that would reach the
    // controller cut to its low bits, a wrong calibration, so it is refused.
    const uint64_t ratio = static_cast<uint64_t>(static_cast<uint32_t>(image[r.ratioIndex])) *
                           static_cast<uint64_t>(measured) / live;
    if (ratio > kLargestRegisterValue) {
        ShowMessage(kAbnormalDataText);
        return;
    }
    image[r.ratioIndex] = static_cast<int32_t>(ratio);
    QueueCalibration(image);
}

void DataCorrectionLogic::OnWriteSerialNumber() {
    IdentityImage image = IdentityAsRead();
    std::string number = dialog_.Text(id::correction::kSerialEdit);
    if (number.size() > kStandardSerialDigits) {
        ShowMessage(kSerialRangeText);
        return;
    }
    number.insert(0, kStandardSerialDigits - number.size(), '0');

    const LocalTime today = clock_.Now();
    char date[16];
    std::snprintf(date, sizeof date, "%04d%02d%02d", std::clamp(today.year, 0, 9999),
                  std::clamp(today.month, 0, 99), std::clamp(today.day, 0, 99));
    const std::string tail = number + date;  // 12 bytes: bytes 1-4 stay as read
    TextToWords(tail, image.data() + kStandardSerialFirstWord,
                ControllerData::kSerialWords - kStandardSerialFirstWord);
    QueueIdentity(image);
}

void DataCorrectionLogic::WriteBlankPaddedText(int editId, int firstWord,
                                               const LanguageText& tooLong) {
    IdentityImage image = IdentityAsRead();
    std::string text = dialog_.Text(editId);
    if (text.size() > kIdentityTextBytes) {
        ShowMessage(tooLong);
        return;
    }
    text.append(kIdentityTextBytes - text.size(), ' ');
    TextToWords(text, image.data() + firstWord, static_cast<int>(kIdentityTextBytes / 2));
    QueueIdentity(image);
}

void DataCorrectionLogic::OnWriteCustomSerial() {
    WriteBlankPaddedText(id::correction::kCustomSerialEdit, kSerialFirstWord,
                         kCustomSerialTooLongText);
}

void DataCorrectionLogic::OnWriteModel() {
    WriteBlankPaddedText(id::correction::kModelEdit, kModelFirstWord, kModelTooLongText);
}

void DataCorrectionLogic::OnClose() {
    shared_.data.calibrationDialogRefresh.store(0);
}

}  // namespace kestrane
