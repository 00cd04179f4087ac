// Identifiers of the main window's controls (dialog 102). They are fixed
// interface values: the dialog template, the handlers, the language tables and
// the display all address controls by these numbers, and each widget's
// objectName is its decimal identifier.
#pragma once

namespace kestrane::id {

constexpr int kMainDialog = 102;

// Port box and link counters.
constexpr int kBaudList = 1003;
constexpr int kOpenButton = 1007;
constexpr int kPortList = 1010;
constexpr int kAddressList = 1015;
constexpr int kPortState = 1036;
constexpr int kFramesSent = 1037;
constexpr int kRepliesReceived = 1038;
constexpr int kPortLabel = 1187;
constexpr int kBaudLabel = 1188;
constexpr int kAddressLabel = 1189;
constexpr int kRepliesLabel = 1253;
constexpr int kSentLabel = 1254;

// Command buttons.
constexpr int kCheckAddressButton = 1120;
constexpr int kMonitorButton = 1014;
constexpr int kEditButton = 1118;
constexpr int kSetTimeButton = 1136;
constexpr int kRestoreButton = 1121;
constexpr int kDataCorrectionButton = 1122;
// Opens the history window; an addition of this program, in the energy group.
constexpr int kHistoryButton = 1280;

// Parameter SAVE buttons.
constexpr int kBatterySaveButton = 1084;
constexpr int kBatteryVoltageSaveButton = 1052;
constexpr int kLoadSaveButton = 1053;

// Top line: identity and the message line.
constexpr int kModelLabel = 1242;
constexpr int kModelValue = 1111;
constexpr int kFirmwareLabel = 1243;
constexpr int kFirmwareValue = 1110;
constexpr int kSerialLabel = 1244;
constexpr int kSerialValue = 1109;
constexpr int kMessageLabel = 1245;
constexpr int kMessageLine = 1117;

// Bottom bar.
constexpr int kPcDateTime = 1182;
constexpr int kFixedCaption = 1272;
constexpr int kBackgroundLabel = 1256;
constexpr int kBackgroundListChinese = 1009;  // the two theme lists stand on top of each other
constexpr int kBackgroundListEnglish = 1011;
constexpr int kBackgroundSaveButton = 1257;
constexpr int kLanguageLabel = 1255;
constexpr int kLanguageButton = 1186;

// Logos, one per colour theme, stacked on each other.
constexpr int kLogoTheme0 = 1268;
constexpr int kLogoTheme1 = 1269;
constexpr int kLogoTheme2 = 1271;
constexpr int kLogoTheme3 = 1276;
constexpr int kLogoTheme4 = 1270;

// Parameter lists.
constexpr int kBatteryTypeList = 1004;
constexpr int kSystemVoltageList = 1005;
constexpr int kSystemVoltageLabel = 1119;
constexpr int kLoadModeListChinese = 1006;  // the two mode lists stand on top of each other
constexpr int kLoadModeListEnglish = 1008;
constexpr int kLoadModeLabel = 1229;

// Display groups (titles).
constexpr int kRunningStateGroup = 1129;
constexpr int kRealTimeGroup = 1130;
constexpr int kEnergyGroup = 1131;
constexpr int kBatteryParametersGroup = 1132;
constexpr int kBatterySettingsGroup = 1133;
constexpr int kLoadParametersGroup = 1134;
constexpr int kLoadSettingsGroup = 1135;

// Real-time display: running state, measurements and alarm.
constexpr int kRunningState = 1087;
constexpr int kPvVoltage = 1042;
constexpr int kBatteryVoltage = 1043;
constexpr int kLoadVoltage = 1044;
constexpr int kChargeCurrent = 1045;
constexpr int kLoadCurrent = 1046;
constexpr int kChargePower = 1047;
constexpr int kLoadPower = 1048;
constexpr int kInnerTemperature = 1049;
constexpr int kBatteryTemperature = 1050;
constexpr int kAlarm = 1051;

// Battery parameters of the controller: values, units and the captions that
// change between the lead-acid and the lithium layout.
constexpr int kBatteryType = 1088;
constexpr int kChargeVoltage = 1089;  // constant-voltage (lead acid) or saturation (lithium)
constexpr int kFloatVoltage = 1098;   // float (lead acid) or nominal (lithium)
constexpr int kEqualizeVoltage = 1090;
constexpr int kEqualizeMinutes = 1097;
constexpr int kMaxChargeCurrent = 1091;
constexpr int kMaxLoadCurrent = 1096;
constexpr int kOverVoltageProtect = 1092;
constexpr int kOverVoltageRecover = 1095;
constexpr int kLowVoltageProtect = 1093;
constexpr int kLowVoltageRecover = 1094;
constexpr int kSystemVoltage = 1099;
constexpr int kSystemVoltageUnit = 1108;
constexpr int kSystemVoltageCaption = 1107;
constexpr int kChargeVoltageCaption = 1101;
constexpr int kFloatVoltageCaption = 1102;
constexpr int kEqualizeVoltageCaption = 1103;
constexpr int kEqualizeMinutesCaption = 1104;
constexpr int kEqualizeVoltageUnit = 1105;
constexpr int kEqualizeMinutesUnit = 1106;

// Load parameters of the controller: the six description lines, top to bottom.
constexpr int kLoadLine1 = 1100;
constexpr int kLoadLine2 = 1112;
constexpr int kLoadLine3 = 1113;
constexpr int kLoadLine4 = 1114;
constexpr int kLoadLine5 = 1115;
constexpr int kLoadLine6 = 1116;

// Energy statistics.
constexpr int kChargedToday = 1123;
constexpr int kChargedMonth = 1124;
constexpr int kChargedTotal = 1125;
constexpr int kUsedToday = 1126;
constexpr int kUsedMonth = 1127;
constexpr int kUsedTotal = 1128;

// Service dialogs that the monitor pass asks to refresh themselves.
constexpr int kCheckAddressDialog = 130;
constexpr int kDataCorrectionDialog = 131;
constexpr int kRestoreDialog = 132;
constexpr int kSetTimeDialog = 133;
// Battery parameter edits: basics, lead-acid set, lithium set.
constexpr int kMaxChargeCurrentEdit = 1085;
constexpr int kMaxLoadCurrentEdit = 1086;
constexpr int kCvChargeVoltageEdit = 1054;
constexpr int kEqualizeVoltageEdit = 1055;
constexpr int kFloatChargeVoltageEdit = 1056;
constexpr int kEqualizeMinutesEdit = 1057;
constexpr int kOverVoltageProtectEdit = 1058;
constexpr int kOverVoltageRecoverEdit = 1059;
constexpr int kLowVoltageProtectEdit = 1060;
constexpr int kLowVoltageRecoverEdit = 1061;
constexpr int kLiChargeVoltageEdit = 1078;
constexpr int kLiNominalVoltageEdit = 1079;
constexpr int kLiOverVoltageProtectEdit = 1080;
constexpr int kLiOverVoltageRecoverEdit = 1081;
constexpr int kLiLowVoltageProtectEdit = 1082;
constexpr int kLiLowVoltageRecoverEdit = 1083;

// Load control edits, by mode group.
constexpr int kLightOnVoltageEdit = 1076;
constexpr int kLightOffVoltageEdit = 1077;
constexpr int kLightOnDelayEdit = 1074;
constexpr int kLightOffDelayEdit = 1075;
constexpr int kTimer1OnHourEdit = 1066;
constexpr int kTimer1OnMinuteEdit = 1072;
constexpr int kTimer1OffHourEdit = 1068;
constexpr int kTimer1OffMinuteEdit = 1070;
constexpr int kTimer2OnHourEdit = 1067;
constexpr int kTimer2OnMinuteEdit = 1073;
constexpr int kTimer2OffHourEdit = 1069;
constexpr int kTimer2OffMinuteEdit = 1071;
constexpr int kLightTimeOnVoltageEdit = 1064;
constexpr int kEveningHoursEdit = 1062;
constexpr int kLightTimeOffVoltageEdit = 1065;
constexpr int kMorningHoursEdit = 1063;

// Captions of the real-time data.
constexpr int kPvVoltageCaption = 1190;
constexpr int kBatteryVoltageCaption = 1191;
constexpr int kLoadVoltageCaption = 1192;
constexpr int kChargeCurrentCaption = 1193;
constexpr int kLoadCurrentCaption = 1194;
constexpr int kChargePowerCaption = 1195;
constexpr int kLoadPowerCaption = 1196;
constexpr int kInnerTemperatureCaption = 1197;
constexpr int kBatteryTemperatureCaption = 1198;
constexpr int kAlarmCaption = 1199;

// Captions of the energy statistics.
constexpr int kChargedTodayCaption = 1247;
constexpr int kChargedMonthCaption = 1248;
constexpr int kChargedTotalCaption = 1249;
constexpr int kUsedTodayCaption = 1250;
constexpr int kUsedMonthCaption = 1251;
constexpr int kUsedTotalCaption = 1252;

// Captions of the controller's battery parameters that stay in both layouts.
constexpr int kBatteryTypeCaption = 1200;
constexpr int kMaxChargeCurrentCaption = 1201;
constexpr int kMaxLoadCurrentCaption = 1202;
constexpr int kOverVoltageProtectCaption = 1203;
constexpr int kOverVoltageRecoverCaption = 1205;
constexpr int kLowVoltageProtectCaption = 1204;
constexpr int kLowVoltageRecoverCaption = 1206;

// Battery settings: boxes and labels.
constexpr int kBatterySelectionGroup = 1246;
constexpr int kLeadAcidGroup = 1210;
constexpr int kLithiumGroup = 1211;
constexpr int kBatteryTypeLabel = 1207;
constexpr int kMaxChargeCurrentLabel = 1208;
constexpr int kMaxLoadCurrentLabel = 1209;
constexpr int kCvChargeVoltageLabel = 1212;
constexpr int kEqualizeVoltageLabel = 1213;
constexpr int kFloatChargeVoltageLabel = 1214;
constexpr int kEqualizeMinutesLabel = 1215;
constexpr int kOverVoltageProtectLabel = 1216;
constexpr int kOverVoltageRecoverLabel = 1217;
constexpr int kLowVoltageProtectLabel = 1218;
constexpr int kLowVoltageRecoverLabel = 1219;
constexpr int kLiChargeVoltageLabel = 1220;
constexpr int kLiNominalVoltageLabel = 1221;
constexpr int kLiOverVoltageProtectLabel = 1222;
constexpr int kLiOverVoltageRecoverLabel = 1223;
constexpr int kLiLowVoltageProtectLabel = 1224;
constexpr int kLiLowVoltageRecoverLabel = 1225;

// Load settings: boxes and labels.
constexpr int kLightModeGroup = 1226;
constexpr int kDualTimerGroup = 1227;
constexpr int kLightTimeGroup = 1228;
constexpr int kLightOnVoltageLabel = 1230;
constexpr int kLightOffVoltageLabel = 1231;
constexpr int kLightOnDelayLabel = 1232;
constexpr int kLightOffDelayLabel = 1233;
constexpr int kTimer1OnLabel = 1234;
constexpr int kTimer2OnLabel = 1235;
constexpr int kTimer1OffLabel = 1236;
constexpr int kTimer2OffLabel = 1237;
constexpr int kLightTimeOnVoltageLabel = 1238;
constexpr int kLightTimeOffVoltageLabel = 1239;
constexpr int kEveningHoursLabel = 1240;
constexpr int kMorningHoursLabel = 1241;

}  // namespace kestrane::id
