#include "Captions.h"

namespace korvat {
namespace {

constexpr Caption kMain[] = {
    {"StatusBar1", {"状态", "狀態", "State"}},
    {"window", {"Korvat 2高速编程器", "Korvat 2高速編程器", "Korvat 2 USB High Programmer"}},
    {"GroupBox1", {"芯片", "芯片", "Chip"}},
    {"Label1", {"类型", "類型", "Type"}},
    {"Label2", {"厂商", "廠商", "Manufacturer"}},
    {"Label3", {"名称", "名稱", "Name"}},
    {"BitBtn1", {"检测", "檢測", "Detect"}},
    {"BitBtn2", {"查找", "查找", "Search"}},
    {"Label4", {"容量", "容量", "Size"}},
    {"Label5", {"页面大小", "頁面大小", "Page Size"}},
    {"Label6", {"DATA大小", "DATA大小", "DATA Size"}},
    {"TabSheet1", {"FLASH", "FLASH", "FLASH"}},
    {"TabSheet2", {"EEPROM", "EEPROM", "EEPROM"}},
    {"TabSheet3", {"CONFIG", "CONFIG", "CONFIG"}},
    {"GroupBox2", {"自动编程选项", "自動編程選項", "Auto Options"}},
    {"CheckBox1", {"擦除", "擦除", "Erase"}},
    {"CheckBox2", {"编程", "編程", "Program"}},
    {"CheckBox3", {"校验", "校驗", "Verify"}},
    {"GroupBox4", {"编程地址范围", "編程地址範圍", "Address"}},
    {"Label7", {"起始地址", "起始地址", "Start ADDR"}},
    {"Label8", {"结束地址", "結束地址", "End ADDR"}},
    {"ToolOpen", {"打开", "打開", "Open"}},
    {"ToolSave", {"保存", "保存", "Save"}},
    {"ToolFill", {"填充", "填充", "FIll"}},
    {"ToolBank", {"查空", "查空", "Bank"}},
    {"ToolAuto", {"自动", "自動", "AUTO"}},
    {"ToolErase", {"擦除", "擦除", "ERASE"}},
    {"ToolWrite", {"写入", "寫入", "Write"}},
    {"ToolRead", {"读出", "讀出", "Read"}},
    {"ToolVerify", {"校验", "校驗", "Verify"}},
    {"ToolBulk", {"批量", "批量", "BULK"}},
    {"ToolDevice", {"设备", "設備", "Device"}},
    {"ToolAbout", {"关于", "關於", "About"}},
};

constexpr Caption kMenu[] = {
    {"O1", {"文件(&F)", "文件(&F)", "File(&F)"}},
    {"O2", {"打开(&O)", "打開(&O)", "Open(&O)"}},
    {"S1", {"保存(&S)", "保存(&S)", "Save(&S)"}},
    {"Q1", {"退出(&Q)", "退出(&Q)", "Quit(&Q)"}},
    {"Buff", {"缓冲区(&B)", "緩沖區(&B)", "Buffer(&B)"}},
    {"Fill", {"填充(&F)", "填充(&F)", "Fill(&F)"}},
    {"O3", {"操作(&O)", "操作(&O)", "Operation(&O)"}},
    {"A1", {"自动(&A)", "自動(&A)", "Auto(&A)"}},
    {"E1", {"擦除(&E)", "擦除(&E)", "Erase(&E)"}},
    {"W1", {"写入(&W)", "寫入(&W)", "Write(&W)"}},
    {"R1", {"读出(&R)", "讀出(&R)", "Read(&R)"}},
    {"V1", {"校验(&V)", "校驗(&V)", "Verify(&V)"}},
    {"N7", {"查空(&B)", "查空(&B)", "Bank(&B)"}},
    {"N3", {"设备(&Y)", "設備(&Y)", "Device(&Y)"}},
    {"L1", {"语言(&L)", "語言(&L)", "Language(&L)"}},
    {"China", {"中文", "中文简体", "Simplified Chinese"}},
    {"fanti", {"繁體", "中文繁體", "Traditional Chinese"}},
    {"Enlish", {"Enlish", "Enlish", "Enlish"}},
    {"H1", {"帮助(&H)", "幫助(&H)", "Help(&H)"}},
    {"N5", {"关于(&A)", "關於(&A)", "About(&A)"}},
    {"N4", {"硬件信息(&D)", "硬件信息(&D)", "Hardware(&D)"}},
};

constexpr Caption kEditor[] = {
    {"window", {"芯片编辑", "芯片編輯", "Chip Editor"}},
    {"GroupBox1", {"配置", "配置", "Config"}},
    {"Label1", {"种类", "種類", "Type"}},
    {"Label2", {"厂商", "廠商", "Manufacturer"}},
    {"Label3", {"芯片型号", "芯片型號", "Name"}},
    {"Label4", {"延时", "延時", "Delay"}},
    {"Label5", {"芯片类型", "芯片類型", "Class"}},
    {"Label6", {"FLASH", "FLASH", "FLASH"}},
    {"Label7", {"FLASH页", "FLASH頁", "FLASH Page"}},
    {"Label8", {"工作电压", "工作電壓", "Voltage"}},
    {"Label9", {"算法", "算法", "Algorithm"}},
    {"Label10", {"芯片ID", "芯片ID", "Chip ID"}},
    {"Label11", {"EEPROM", "EEPROM", "EEPROM"}},
    {"Label12", {"EEPROM页", "EEPROM頁", "EEPROM page"}},
    {"Label13", {"扩展关联", "擴展關聯", "Extend"}},
    {"BtnDelete", {"删除", "删除", "Delete"}},
    {"BtnAdd", {"添加", "添加", "Add"}},
    {"BtnEdit", {"编辑", "編輯", "Edit"}},
    {"BtnSave", {"保存", "保存", "Save"}},
    {"BtnExit", {"退出", "退出", "Quit"}},
    {"BtnImport", {"导入", "導入", "Import"}},
    {"BtnExport", {"导出", "導出", "Export"}},
    {"LabelFilter", {"筛选", "篩選", "Filter"}},
};

constexpr Caption kSearch[] = {
    {"window", {"芯片选择", "芯片選擇", "Chip Select"}},
    {"Label1", {"查找", "查找", "Find"}},
    {"BitBtn1", {"选择", "選擇", "Select"}},
    {"BitBtn2", {"退出", "退出", "Quit"}},
    {"column1", {"类型", "類型", "Type"}},
    {"column2", {"厂商", "廠商", "Manufacturer"}},
    {"column3", {"名称", "名稱", "Name"}},
};

constexpr Caption kFill[] = {
    {"window", {"填充", "填充", "Fill"}},
    {"GroupBox1", {"数据", "數據", "Data"}},
    {"RadioButton1", {"常量字节(8bits)", "常量字節(8bits)", "Byte(8bits)"}},
    {"RadioButton2", {"常量字(16bits)", "常量字(16bits)", "Word(16bits)"}},
    {"RadioButton3", {"随机数", "隨機數", "Random"}},
    {"GroupBox2", {"范围", "範圍", "Range"}},
    {"Label1", {"开始地址", "開始地址", "Start ADDR"}},
    {"Label2", {"结束地址", "結束地址", "End ADDR"}},
    {"BitBtn1", {"确定", "確定", "OK"}},
    {"BitBtn2", {"取消", "取消", "Cance"}},
};

constexpr Caption kHardware[] = {
    {"window", {"硬件信息", "硬件信息", "Hardware information"}},
    {"Label1", {"硬件版本：", "硬件版本：", "Hardware version:"}},
    {"Label3", {"固件版本：", "固件版本：", "Firmware version:"}},
    {"Label5", {"系列号：  ", "系列號：  ", "Series number:"}},
    {"BitBtn1", {"升级固件", "升級固件", "Upgrade firmware"}},
    {"BitBtn2", {"关闭", "關閉", "Close"}},
};

constexpr Caption kAbout[] = {
    {"ProductName", {"Selvan高速编程器", "Selvan高速編程器", "Selvan High Speed Programmer"}},
    {"Copyright",
     {"版权所有 © 2026 Korvat 开发组", "版權所有 © 2026 Korvat 開發組",
      "Copyright © 2026 the Korvat developers"}},
};

} // namespace

std::span<const Caption> mainWindowCaptions() {
    return kMain;
}
std::span<const Caption> mainMenuCaptions() {
    return kMenu;
}
std::span<const Caption> editorWindowCaptions() {
    return kEditor;
}
std::span<const Caption> searchWindowCaptions() {
    return kSearch;
}
std::span<const Caption> fillWindowCaptions() {
    return kFill;
}
std::span<const Caption> hardwareWindowCaptions() {
    return kHardware;
}
std::span<const Caption> aboutBoxCaptions() {
    return kAbout;
}

} // namespace korvat
