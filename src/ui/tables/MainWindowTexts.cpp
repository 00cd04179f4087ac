#include "ui/tables/MainWindowTexts.h"

namespace kestrane {

namespace {

constexpr auto kSet = TextRowKind::kSet;
constexpr auto kSwap = TextRowKind::kSwap;
constexpr auto kAlways = TextCondition::kAlways;
constexpr auto kReadNotLithium = TextCondition::kReadNotLithium;
constexpr auto kReadLithium = TextCondition::kReadLithium;
constexpr auto kWrittenNotLithium = TextCondition::kWrittenNotLithium;

// Some texts are odd ("DATA CORRECTTION", "地址号：:", "本月用电；") but they are
// the captions operators and documentation know, so they stay as they are.
constexpr MainWindowTextRow kRows[] = {
    {1187, kSet, kAlways, "Com Port:", "串口号:"},
    {1188, kSet, kAlways, "BaudRate:", "波特率:"},
    {1189, kSet, kAlways, "Address :", "地址号：:"},
    {1007, kSwap, kAlways, "OPEN", "打开串口", "CLOSE", "关闭串口"},
    {1036, kSwap, kAlways, "Opened", "已打开", "Closed", "已关闭"},
    {1120, kSet, kAlways, "CHECK ADDRESS", "查询设备地址"},
    {1014, kSwap, kAlways, "START MONITOR", "开始监控", "STOP MONITOR", "停止监控"},
    {1118, kSwap, kAlways, "START EDIT", "开始编辑", "STOP EDIT", "停止编辑"},
    {1122, kSet, kAlways, "DATA CORRECTTION", "数据校正"},
    {1280, kSet, kAlways, "HISTORY", "历史记录"},
    {1136, kSet, kAlways, "SET TIME", "时钟同步设置"},
    {1121, kSet, kAlways, "RESTORE", "恢复出厂设置"},
    {1242, kSet, kAlways, "MPPT Model:", "MPPT产品型号："},
    {1243, kSet, kAlways, "Firmware:", "软件版本："},
    {1244, kSet, kAlways, "Serial:", "序列号："},
    {1245, kSet, kAlways, "Message:", "系统消息："},
    {1129, kSet, kAlways, "Running State", "运行状态"},
    {1130, kSet, kAlways, "Real-time Data", "实时数据"},
    {1131, kSet, kAlways, "Electricity Statistics", "电量统计"},
    {1132, kSet, kAlways, "Bat Parameters Of Controller", "控制器电池参数"},
    {1134, kSet, kAlways, "Load Output Parameters Of Controller", "控制器负载参数"},
    {1133, kSet, kAlways, "Bat Parameters Set", "电池参数设置"},
    {1135, kSet, kAlways, "Load Output Set", "负载模式和参数设置"},
    {1190, kSet, kAlways, "PV  Volt.:", "光伏电压："},
    {1191, kSet, kAlways, "BAT Volt.:", "电池电压："},
    {1192, kSet, kAlways, "LoadVolt.:", "负载电压："},
    {1193, kSet, kAlways, "CHG Curr.:", "充电电流："},
    {1194, kSet, kAlways, "LoadCurr.:", "负载电流："},
    {1195, kSet, kAlways, "CHG Power:", "充电功率："},
    {1196, kSet, kAlways, "LoadPower:", "负载功率："},
    {1197, kSet, kAlways, "InnerTemp:", "内部温度："},
    {1198, kSet, kAlways, "BAT  Temp:", "电池温度："},
    {1199, kSet, kAlways, "Alarm Tip:", "告警提示："},
    {1247, kSet, kAlways, "Day   CHG:", "今日发电："},
    {1248, kSet, kAlways, "Month CHG:", "本月发电："},
    {1249, kSet, kAlways, "Total CHG:", "总发电量："},
    {1250, kSet, kAlways, "Day  Used:", "今日用电："},
    {1251, kSet, kAlways, "MonthUsed:", "本月用电；"},
    {1252, kSet, kAlways, "TotalUsed:", "总用电量："},
    {1200, kSet, kAlways, "Bat  Category:", "当前电池属性："},
    {1107, kSet, kReadNotLithium, "System Volt.:", "电池系统电压："},
    {1101, kSet, kReadNotLithium, "C. V.  Charge:", "恒压充电电压："},
    {1102, kSet, kReadNotLithium, "Float  Charge:", "浮充充电电压："},
    {1103, kSet, kReadNotLithium, "Equalizing.V :", "均衡充电电压："},
    {1104, kSet, kReadNotLithium, "Equalizing.T :", "均衡充电时间："},
    {1107, kSet, kReadLithium, "", nullptr},
    {1101, kSet, kReadLithium, "Charge  Volt.:", "恒压充电电压："},
    {1102, kSet, kReadLithium, "Nominal Volt.:", ""},
    {1103, kSet, kReadLithium, "", ""},
    {1104, kSet, kReadLithium, "", ""},
    {1201, kSet, kAlways, "Max.Chg Curr.:", "最大充电电流："},
    {1202, kSet, kAlways, "Max.LoadCurr.:", "最大负载电流："},
    {1203, kSet, kAlways, "Battery  Over:", "电池过压保护："},
    {1205, kSet, kAlways, "Over  Recover:", "电池过压恢复："},
    {1204, kSet, kAlways, "Battery   Low:", "电池欠压保护："},
    {1206, kSet, kAlways, "Low   Recover:", "电池欠压恢复："},
    {1246, kSet, kAlways, "Select Battery", "选择电池"},
    {1210, kSet, kAlways, "Lead Acid Battery(9~15V)", "铅酸电池设置项(9~15V)"},
    {1211, kSet, kAlways, "Lithium Battery", "锂电池设置项"},
    {1119, kSet, kWrittenNotLithium, "Sys.Volt.:", "系统电压:"},
    {1207, kSet, kAlways, "BatType:", "电池种类选择："},
    {1208, kSet, kAlways, "Max.CHG -I:", "最大充电电流："},
    {1209, kSet, kAlways, "Max.Load-I:", "最大负载电流："},
    {1212, kSet, kAlways, "C.V.  Charge:", "恒压充电电压："},
    {1213, kSet, kAlways, "Equalizing.V:", "均衡充电电压："},
    {1214, kSet, kAlways, "Float Charge:", "浮充充电电压："},
    {1215, kSet, kAlways, "Equalizing.T:", "均衡充电时间："},
    {1216, kSet, kAlways, "Battery Over:", "电池过压保护："},
    {1217, kSet, kAlways, "Over Recover:", "电池过压恢复："},
    {1218, kSet, kAlways, "Battery  Low:", "电池欠压保护："},
    {1219, kSet, kAlways, "Low  Recover:", "电池欠压恢复："},
    {1220, kSet, kAlways, "Charge Volt.:", "饱和充电电压："},
    {1221, kSet, kAlways, "NominalVolt.:", "标称电池电压："},
    {1222, kSet, kAlways, "Battery Over:", "电池过压保护："},
    {1223, kSet, kAlways, "Over Recover:", "电池过压恢复："},
    {1224, kSet, kAlways, "Battery  Low:", "电池欠压保护："},
    {1225, kSet, kAlways, "Low  Recover:", "电池欠压恢复："},
    {1084, kSet, kAlways, "SAVE", "保存设置"},
    {1052, kSet, kAlways, "SAVE", "保存设置"},
    {1257, kSet, kAlways, "SAVE", "保存"},
    {1226, kSet, kAlways, "Light Mode ", "光控模式参数"},
    {1227, kSet, kAlways, "Dual Timer Mode", "双时段定时模式参数"},
    {1228, kSet, kAlways, "Light-Time Mode", "固定时间光控模式参数"},
    {1230, kSet, kAlways, "On Load->PV Low:", "开负载->PV欠压："},
    {1231, kSet, kAlways, "OffLoad->PV  OK:", "关负载->PV正常："},
    {1232, kSet, kAlways, "Off Delay:", "开动作延时："},
    {1233, kSet, kAlways, "Off Delay:", "关动作延时："},
    {1234, kSet, kAlways, "Timer1->On Time:", "时段1-> ON时间："},
    {1235, kSet, kAlways, "Timer2->On Time:", "时段2-> ON时间："},
    {1236, kSet, kAlways, "Off Time:", "OFF时间："},
    {1237, kSet, kAlways, "Off Time:", "OFF时间："},
    {1238, kSet, kAlways, "Dark>On Load->PvLow:", "天黑->开-> PV欠压："},
    {1239, kSet, kAlways, "Dawn>OffLoad->Pv Ok:", "天亮->关-> PV正常："},
    {1240, kSet, kAlways, "On Hour:", "ON时长："},
    {1241, kSet, kAlways, "On Hour:", "ON时长："},
    {1229, kSet, kAlways, "Load Mode Selection:", "负载模式选择："},
    {1053, kSet, kAlways, "SAVE", "保存设置"},
    {1253, kSet, kAlways, "Received:", "接收："},
    {1254, kSet, kAlways, "Sent:", "发送："},
    {1255, kSet, kAlways, " Language:English", " 语言：中文"},
    {1186, kSet, kAlways, "切换为中文", "Turn To English"},
};

}  // namespace

std::span<const MainWindowTextRow> MainWindowTexts() {
    return kRows;
}

const MainWindowTextRow* FixedCaptionOf(int id) {
    for (const MainWindowTextRow& row : kRows) {
        if (row.id == id && row.kind == kSet && row.when == kAlways) return &row;
    }
    return nullptr;
}

}  // namespace kestrane
