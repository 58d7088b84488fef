#include "replay/core/replay_strings.h"

namespace replay {
namespace {

struct Text {
  uint32_t id;
  const char* english;
  const char* chinese;
};

// The English texts are part of the product: people and scripts compare them.
constexpr Text kTexts[] = {
    {kStrFast, "Fast", "快进"},
    {kStrSlow, "Slow", "慢进"},
    {kStrSnapshot, "Snapshot", "快照"},
    {kStrPause, "Pause", "暂停"},
    {kStrContinue, "Continue", "继续"},
    {kStrSound, "Sound", "声音"},
    {kStrDriveOrder, "End drive should not be after start drive.", "磁盘设置有误"},
    {kStrPlayFailed, "Play Failed", "播放失败"},
    {kStrStep, "Step", "步进"},
    {kStrColumnIndex, "Index", "编号"},
    {kStrColumnFileName, "File Name", "文件名"},
    {kStrColumnChannel, "Channel", "通道"},
    {kStrColumnType, "Type", "类型"},
    {kStrColumnStartTime, "Start Time", "开始时间"},
    {kStrColumnEndTime, "End Time", "结束时间"},
    {kStrDeviceName, "Device Name", "设备名称"},
    {kStrIpAddress, "IP Address", "指定IP"},
    {kStrNormal, "Normal", "正常"},
    {kStrAlarm, "Alarm", "报警"},
    {kStrCloseAudioFailed, "Close Audio Failed", "关闭声音失败"},
    {kStrOpenAudioFailed, "Open Audio Failed", "打开声音失败"},
    {kStrTimeOrder, "End time should be after start time.", "时间设置有误"},
};

}  // namespace

const char* LoadString(uint32_t id, Language language) {
  for (const Text& t : kTexts) {
    if (t.id == id) return language == Language::kChinese ? t.chinese : t.english;
  }
  return "";
}

}  // namespace replay
