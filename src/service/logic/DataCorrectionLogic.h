// What the Data Correction dialog does, without widgets: shows the
// controller's calibration, derives a new ratio from a reference measurement
// and queues the calibration write, and queues writes of the factory identity
// (serial number and model name).
//
// Every write is built in full before anything shared is touched: a refused
// entry leaves the write images as they were, so a write still being repeated
// by the engine is not changed under it.
#pragma once

#include <array>
#include <cstdint>

#include "platform/LocalClock.h"
#include "protocol/SharedState.h"
#include "service/logic/ServiceText.h"
#include "ui/ControlAccess.h"

namespace kestrane {

class DataCorrectionLogic {
public:
    using CalibrationImage = std::array<int32_t, ControllerData::kCalibrationWriteWords>;
    using IdentityImage = std::array<uint16_t, ControllerData::kIdentityWriteWords>;

    DataCorrectionLogic(SharedState& shared, IControlAccess& dialog, const ILocalClock& clock)
        : shared_(shared), dialog_(dialog), clock_(clock) {}

    // User message 0x402 from the monitor pass: the ratio and offset statics,
    // and once after a reload request the offset and measured edits.
    void OnRefresh();
    // CONFIRM of calibration row 0-5 (buttons 1160-1165).
    void OnConfirmRow(int row);
    // CONFIRM of the standard serial number (1179).
    void OnWriteSerialNumber();
    // CONFIRM of the customised serial number (1180).
    void OnWriteCustomSerial();
    // CONFIRM of the model name (1181).
    void OnWriteModel();
    // Any way the dialog closes: the monitor pass stops refreshing it.
    void OnClose();

private:
    CalibrationImage CalibrationAsRead() const;
    IdentityImage IdentityAsRead() const;
    void QueueCalibration(const CalibrationImage& image);
    void QueueIdentity(const IdentityImage& image);
    // Steps shared by the customised serial number and the model name.
    void WriteBlankPaddedText(int editId, int firstWord, const LanguageText& tooLong);
    void ShowMessage(const LanguageText& text);

    SharedState& shared_;
    IControlAccess& dialog_;
    const ILocalClock& clock_;
};

}  // namespace kestrane
