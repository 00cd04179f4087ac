// Identifiers of the controls of the four service dialogs. Each dialog has
// its own numbering; the same number may name different controls in
// different dialogs.
#pragma once

namespace kestrane::id {

// Buttons every dialog platform numbers the same way.
constexpr int kOkButton = 1;
constexpr int kCancelButton = 2;

namespace address {  // Check Address, dialog 130
constexpr int kDialog = 130;
constexpr int kModifyButton = 1016;
constexpr int kNewAddressEdit = 1126;
constexpr int kCurrentAddress = 1127;
}  // namespace address

namespace correction {  // Data Correction, dialog 131
constexpr int kDialog = 131;
// Calibration rows, one identifier per row for rows 1 to 6 (PV voltage,
// battery voltage, load voltage, charge current, load current, Vcomp).
constexpr int kFirstMeasuredEdit = 1148;   // 1148-1153
constexpr int kFirstOffsetEdit = 1154;     // 1154-1159
constexpr int kFirstConfirmButton = 1160;  // 1160-1165
constexpr int kFirstRatioStatic = 1166;    // 1166-1171
constexpr int kFirstOffsetStatic = 1172;   // 1172-1177
constexpr int kRowCount = 6;
// Factory identity.
constexpr int kSerialEdit = 1178;
constexpr int kSerialButton = 1179;
constexpr int kCustomSerialButton = 1180;
constexpr int kModelButton = 1181;
constexpr int kCustomSerialEdit = 1182;
constexpr int kModelEdit = 1183;
constexpr int kStandardGroup = 1259;
constexpr int kCustomGroup = 1260;
constexpr int kSerialLabel = 1261;
constexpr int kCustomSerialLabel = 1262;
constexpr int kTip = 1264;
constexpr int kCalibrationTitle = 1267;
constexpr int kModelLabel = 1273;
constexpr int kStandardTitle = 1274;
constexpr int kCustomTitle = 1275;
}  // namespace correction

namespace restore {  // Restore, dialog 132
constexpr int kDialog = 132;
}  // namespace restore

namespace settime {  // Set Time, dialog 133
constexpr int kDialog = 133;
constexpr int kYearList = 1173;
constexpr int kMonthList = 1174;
constexpr int kDayList = 1175;
constexpr int kHourList = 1176;
constexpr int kMinuteList = 1177;
constexpr int kSecondList = 1178;
constexpr int kLocalTimeButton = 1179;
constexpr int kConfirmButton = 1180;
constexpr int kLocalTime = 1181;
}  // namespace settime

}  // namespace kestrane::id
