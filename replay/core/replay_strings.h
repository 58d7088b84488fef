// The replay program's own texts by number, in English (locale 0x409) and Simplified Chinese
// (0x804). The recorder keeps a table of its own that reuses some of these numbers for other
// texts; the two never mix.
#pragma once

#include <cstdint>

#include "nvr/core/engine/strings.h"

namespace replay {

using nvr::Language;

enum StringId : uint32_t {
  kStrFast = 133,
  kStrSlow = 134,
  kStrSnapshot = 135,
  kStrPause = 136,
  kStrContinue = 137,
  kStrSound = 138,
  kStrDriveOrder = 139,     // "End drive should not be after start drive."
  kStrPlayFailed = 140,
  kStrStep = 141,
  kStrColumnIndex = 142,    // result-list column titles ...
  kStrColumnFileName = 143,
  kStrColumnChannel = 144,
  kStrColumnType = 145,
  kStrColumnStartTime = 146,
  kStrColumnEndTime = 147,  // ... up to here
  kStrDeviceName = 148,
  kStrIpAddress = 149,
  kStrNormal = 150,
  kStrAlarm = 151,
  kStrCloseAudioFailed = 152,
  kStrOpenAudioFailed = 153,
  kStrTimeOrder = 154,      // "End time should be after start time."
};

inline constexpr uint32_t kFirstStringId = kStrFast;
inline constexpr uint32_t kLastStringId = kStrTimeOrder;

// The text of `id`; "" for a number without text.
const char* LoadString(uint32_t id, Language language);

}  // namespace replay
