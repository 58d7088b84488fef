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

  // The dialogs (device discovery, device dialog, schedule editor, system settings, log
  // viewer): their own texts, and the log viewer's texts whose wording is ours.
  kStrTime = 102,
  kStrOperator = 104,
  kStrAddDeviceCaption = 109,
  kStrIndex = 116,
  kStrRtspPort = 125,
  kStrModel = 130,
  kStrDeviceName = 132,
  kStrNoRecordingDrive = 148,
  kStrCapacity = 159,
  kStrFreeSpace = 160,
  kStrReservedSpace = 161,
  kStrDrive = 162,
  kStrConfirmDeleteSchedule = 176,  // printf format with the schedule name
  kStrAdd = 183,
  kStrModify = 184,
  kStrModifyFailed = 189,
  kStrScheduleSaved = 209,
  kStrScheduleDeleted = 210,
  kStrScheduleAdded = 211,
  kStrScheduleCaption = 212,
  kStrLogDate = 218,                // log viewer column 1
  kStrOpLogIn = 219,                // operation codes 10 (219) and 11..28 (221..238)
  kStrOpFirstAfterLogIn = 221,
  kStrRecordingStarted = 239,
  kStrRecordingStopped = 240,
  kStrScheduleRecording = 241,      // second item of the recording sub-types
  kStrScheduleRecordingStopped = 242,
  kStrRecordingDisksFull = 243,
  kStrAlarmOn = 244,
  kStrMotionStarted = 245,
  kStrMotionEnded = 246,
  kStrAlarmOff = 247,
  kStrAlarmInput = 248,             // second item of the alarm sub-types
  kStrLogEvent = 249,               // log viewer column 4
  kStrUserOperation = 253,
  kStrOperationType = 254,
  kStrRecordType = 255,
  kStrAlarmType = 256,
  // Numbers of our own (the first sub-type items and the failures the dialogs report).
  kStrManualRecording = 1401,
  kStrMotionDetection = 1402,
  kStrSchedulesNotSaved = 1403,     // printf format with the reason
  kStrSettingsNotSaved = 1404,      // printf format with the reason
  kStrAutorunNotWritten = 1405,     // printf format with the reason
  kStrAutorunNotRemoved = 1406,     // printf format with the reason
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
