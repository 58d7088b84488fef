#include "nvr/core/engine/strings.h"

#include "nvr/core/store/config_ini.h"

namespace nvr {
namespace {

struct Text {
  uint32_t id;
  const char* english;
  const char* chinese;
};

#define QV_SCHEDULED_EN "This operation is invalid on devices which are set to record using a schedule"
#define QV_SCHEDULED_ZH "此操作对设置了计划录像的设备无效"

// The English texts are part of the product (people and scripts compare them), spelling
// included.
constexpr Text kTexts[] = {
    {kStrId, "ID", "ID"},
    {kStrConnectDbFailed, "Connect database failed", "连接数据库失败"},
    {kStrDevice, "Device", "设备"},
    {kStrConnecting, "Connecting...", "正在连接..."},
    {kStrChannel, "Channel", "通道"},
    {kStrScheduledConnect, QV_SCHEDULED_EN, QV_SCHEDULED_ZH},
    {kStrScheduleName, "Schedule Name", "时间表名称"},
    {kStrAllDisksFull, "All disks is full !", "所有磁盘已满！"},
    {kStrConfirmConnectAll, QV_SCHEDULED_EN ". \r\nDo you want to continue? ",
     QV_SCHEDULED_ZH "。\r\n是否继续？"},
    {kStrConfirmDisconnectAll, QV_SCHEDULED_EN ". \r\nDo you want to continue? ",
     QV_SCHEDULED_ZH "。\r\n正在录像的设备将停止录像并断开连接。\r\n是否继续？"},
    {kStrConfirmRecordAll, QV_SCHEDULED_EN ". \r\nDo you want to continue? ",
     QV_SCHEDULED_ZH "。\r\n是否继续？"},
    {kStrRecordingStatus, "Recording Status", "录像状态"},
    {kStrConfirmStopAll, QV_SCHEDULED_EN ". \r\nDo you want to continue? ",
     QV_SCHEDULED_ZH "。\r\n是否继续？"},
    {kStrLiveCaption, "Double click the device in the list below to view the live video",
     "双击下面列表中的设备查看实时视频"},
    {kStrUnauthorized, "Unauthorized", "未授权"},
    {kStrStopFailed, "Stop failed", "停止失败"},
    {kStrConfirmDeleteAll, "Are you sure you want to delete all devices?", "确定要删除所有设备吗？"},
    {kStrConfirmContinue, "Do you want to continue?", "是否继续？"},
    {kStrDeleteDeviceFailed, "Delete device failed!", "删除设备失败！"},
    {kStrHostAddress, "Host Address", "主机地址"},
    {kStrUnlock, "Unlock", "解除锁定"},
    {kStrLock, "Lock QV_NVR", "锁定 QV_NVR"},
    {kStrInitFailed, "Inital failed!", "初始化失败！"},
    {kStrReadDbFailed, "Read database failed", "读数据库失败"},
    {kStrRecordFailed, "Record failed", "录像失败"},
    {kStrDeviceStatus, "Device Status", "设备状态"},
    {kStrScheduledRecord, QV_SCHEDULED_EN, QV_SCHEDULED_ZH},
    {kStrNotConnected, "Connect was not successful!", "连接未成功！"},
    {kStrConfirmDelete, "Are you sure you want to delete %s ?", "确定要删除 %s 吗？"},
    {kStrDeleteFailed, "Delte failed", "删除失败"},
    {kStrConnected, "Connected successfully", "连接成功"},
    {kStrReconnecting, "Reconnect...", "正在重连..."},
    {kStrRecording, "Recording...", "正在录像..."},
    {kStrReadDbFailedShort, "Read database failed", "读数据库失败"},
    {kStrIllegalCharacter, "Illegal characters \"%c\"", "非法字符 \"%c\""},
    {kStrScheduleNameEmpty, "Please specify a schedule name!", "时间表的名称不能为空"},
    {kStrDeviceAddFailed, "add the device failed!", "添加设备失败"},
    {kStrDeviceNameEmpty, "Device name can't be empty!", "设备名称不能为空"},
    {kStrScheduleNameDuplicate,
     "Duplicate schedule name.\nPlease specify a different schedule name!",
     "存在着相同的录像时间记录名称"},
    {kStrDeviceDuplicate, "Device name was existent already!", "相同的设备已存在"},
    {kStrTimeSettingError, "Time Setting error!", "时间设置有误"},
    {kStrHostEmpty, "Host address can't be empty!", "IP/域名不能为空"},
    {kStrNameExists, "name was existent already", "该名称已存在"},
    {kStrConfirmPasswordWrong, "Confirm password error!", "确认密码错误"},
    {kStrOldPasswordWrong, "User name or password is error!", "用户名或密码错误"},
    {kStrConfirmPasswordEmpty, "Confirm password can't be empty!", "确认密码不能为空"},
    {kStrNewPasswordEmpty, "New password can't be empty!", "新密码不能为空"},
    {kStrPasswordChanged, "Change password successful!", "修改密码成功"},
    {kStrLogin, "Login", "登录"},
    {kStrLogout, "Logout", "退出"},
    {kStrLoginRefused, "User name or password error!", "用户名或密码错误."},
    {kStrUserNameEmpty, "User name can't be empty!", "用户名不能为空"},

    // The dialogs. Texts 218, 219, 221-249 and our own 14xx are worded here: the log viewer's
    // codes as the recorder writes them (activity_log.h), column titles and sub-types, and the
    // failures the dialogs report.
    {kStrTime, "Time", "时间"},
    {kStrOperator, "Operator", "操作人"},
    {kStrAddDeviceCaption, "Add a Device", "添加设备"},
    {kStrIndex, "Index", "编号"},
    {kStrRtspPort, "RTSP Port", "RTSP 端口"},
    {kStrModel, "Model", "类型"},
    {kStrDeviceName, "Device Name", "设备名称"},
    {kStrNoRecordingDrive, "Please select at lease one recording drive!", "至少选择一个磁盘"},
    {kStrCapacity, "Capacity (GB)", "总大小(G)"},
    {kStrFreeSpace, "Free Space (GB)", "剩余空间(G)"},
    {kStrReservedSpace, "Reserved Space (MB)", "预留大小(M)"},
    {kStrDrive, "Drive", "录像存储盘符"},
    {kStrConfirmDeleteSchedule, "Are you sure you want to delete schedule %s ?", "确定删除时间表 %s 吗？"},
    {kStrAdd, "Add", "添加"},
    {kStrModify, "Modify", "修改"},
    {kStrModifyFailed, "Modify device failed", "修改设备失败"},
    {kStrScheduleSaved, "The changes has been saved", "修改时间表成功"},
    {kStrScheduleDeleted, "The schedule has been deleted", "删除时间表成功"},
    {kStrScheduleAdded, "A new schedule has been added", "添加时间表成功"},
    {kStrScheduleCaption, "Recording Time Schedule", "时间表"},
    {kStrLogDate, "Date", "日期"},
    {219, "Log in", "登录"},
    {221, "Log out and exit", "注销并退出"},
    {222, "Lock", "锁定"},
    {223, "Unlock", "解除锁定"},
    {224, "Change password", "修改密码"},
    {225, "Connect a device", "连接设备"},
    {226, "Disconnect a device", "断开设备"},
    {227, "Record a device", "设备录像"},
    {228, "Stop recording a device", "停止设备录像"},
    {229, "Connect all devices", "连接所有设备"},
    {230, "Disconnect all devices", "断开所有设备"},
    {231, "Record all devices", "所有设备录像"},
    {232, "Stop recording all devices", "停止所有设备录像"},
    {233, "Add a device", "添加设备"},
    {234, "Modify a device", "修改设备"},
    {235, "Delete a device", "删除设备"},
    {236, "Delete all devices", "删除所有设备"},
    {237, "Change the schedules", "修改时间表"},
    {238, "Change the system settings", "修改系统设置"},
    {kStrRecordingStarted, "Recording started", "开始录像"},
    {kStrRecordingStopped, "Recording stopped", "停止录像"},
    {kStrScheduleRecording, "Schedule recording", "计划录像"},
    {kStrScheduleRecordingStopped, "Recording stopped", "停止录像"},
    {kStrRecordingDisksFull, "Recording stopped: all disks full", "磁盘已满，停止录像"},
    {kStrAlarmOn, "Alarm input on", "报警输入触发"},
    {kStrMotionStarted, "Motion detected", "检测到移动"},
    {kStrMotionEnded, "Motion ended", "移动结束"},
    {kStrAlarmOff, "Alarm input off", "报警输入解除"},
    {kStrAlarmInput, "Alarm input", "报警输入"},
    {kStrLogEvent, "Event", "事件"},
    {kStrUserOperation, "user operat", "用户操作"},
    {kStrOperationType, "opert type", "操作类型"},
    {kStrRecordType, "record type", "录像类型"},
    {kStrAlarmType, "alarm type", "报警类型"},
    {kStrManualRecording, "Manual recording", "手动录像"},
    {kStrMotionDetection, "Motion detection", "移动侦测"},
    {kStrSchedulesNotSaved, "The schedules could not be saved: %s", "时间表保存失败：%s"},
    {kStrSettingsNotSaved, "The settings could not be saved: %s", "系统设置保存失败：%s"},
    {kStrAutorunNotWritten, "Run at log-in could not be switched on: %s", "无法开启登录时自动运行：%s"},
    {kStrAutorunNotRemoved, "Run at log-in could not be switched off: %s", "无法关闭登录时自动运行：%s"},
};

#undef QV_SCHEDULED_EN
#undef QV_SCHEDULED_ZH

}  // namespace

Language LanguageForLocale(std::optional<uint32_t> locale_id) {
  return locale_id == kLocaleChinese ? Language::kChinese : Language::kEnglish;
}

Language LanguageFromConfig(const std::string& home) {
  return LanguageForLocale(ReadLocaleId(ConfigIniPath(home)));
}

const char* LoadString(uint32_t id, Language language) {
  for (const Text& t : kTexts) {
    if (t.id == id) return language == Language::kChinese ? t.chinese : t.english;
  }
  return "";
}

}  // namespace nvr
