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
