// The recorder's user-visible texts by number, in English (locale 0x409) and Simplified Chinese
// (0x804). The core returns these numbers as the outcome of its operations; whoever shows the
// outcome (a window, the service's log) looks the text up here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace nvr {

enum StringId : uint32_t {
  kStrId = 103,                // column headers of the device list ...
  kStrDevice = 118,
  kStrChannel = 122,
  kStrScheduleName = 129,
  kStrRecordingStatus = 137,
  kStrHostAddress = 163,
  kStrDeviceStatus = 190,      // ... up to here
  kStrConnectDbFailed = 115,
  kStrConnecting = 119,
  kStrScheduledConnect = 124,  // connect / disconnect refused on a scheduled device
  kStrAllDisksFull = 131,
  kStrConfirmConnectAll = 133,
  kStrConfirmDisconnectAll = 134,
  kStrConfirmRecordAll = 136,
  kStrConfirmStopAll = 138,
  kStrLiveCaption = 140,
  kStrUnauthorized = 141,
  kStrStopFailed = 147,
  kStrConfirmDeleteAll = 150,
  kStrConfirmContinue = 151,
  kStrDeleteDeviceFailed = 152,
  kStrUnlock = 171,
  kStrLock = 172,
  kStrInitFailed = 173,
  kStrReadDbFailed = 174,
  kStrRecordFailed = 175,
  kStrScheduledRecord = 258,   // record / stop record refused on a scheduled device
  kStrNotConnected = 260,
  kStrConfirmDelete = 261,     // printf format with the device name
  kStrDeleteFailed = 262,
  kStrConnected = 263,
  kStrReconnecting = 264,
  kStrRecording = 265,
  // Checks of the device and schedule entries (device dialog, schedule editor, setup commands).
  kStrReadDbFailedShort = 114,
  kStrScheduleNameEmpty = 142,
  kStrDeviceAddFailed = 144,
  kStrDeviceNameEmpty = 146,
  kStrScheduleNameDuplicate = 149,
  kStrDeviceDuplicate = 155,
  kStrTimeSettingError = 156,
  kStrIllegalCharacter = 121,  // printf format with the character
  kStrHostEmpty = 257,
  kStrNameExists = 259,
  // Login, logout, unlock and the password change.
  kStrConfirmPasswordWrong = 164,
  kStrOldPasswordWrong = 165,
  kStrConfirmPasswordEmpty = 166,
  kStrNewPasswordEmpty = 167,
  kStrPasswordChanged = 168,
  kStrLogin = 169,
  kStrLogout = 170,
  kStrLoginRefused = 213,
  kStrUserNameEmpty = 214,
};

enum class Language { kEnglish, kChinese };

inline constexpr uint32_t kLocaleEnglish = 0x409;
inline constexpr uint32_t kLocaleChinese = 0x804;

// The table a locale selects: Chinese for 0x804, English for every other locale and when
// config.ini names none.
Language LanguageForLocale(std::optional<uint32_t> locale_id);
// The language chosen by "<home>/config.ini" [LANG].
Language LanguageFromConfig(const std::string& home);

// The text of `id`; "" for a number without text.
const char* LoadString(uint32_t id, Language language);

}  // namespace nvr
