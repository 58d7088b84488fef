// Small rules of the player window that need no window: the time label, the slider's range,
// the names and folder of snapshots.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace replay {

// "MM:SS/MM:SS" with the minutes not wrapped at 60 or 100: a file of 125 minutes shows
// "125:00" as its total.
std::string TimeLabel(uint32_t position_s, uint32_t total_s);

// The slider's maximum for a file of `total_s` seconds: a damaged file may claim more
// seconds than a slider can hold.
int SliderMaximum(uint32_t total_s);

// "<folder>/ReplayShot_<YYYY>_<MM>_<DD>_<hh>_<mm>_<ss>_<tick>.jpg"; the time part is empty
// when `now` cannot be converted. The tick tells two snapshots of the same second apart.
std::string SnapshotPath(const std::string& folder, time_t now, uint32_t tick);

// Where snapshots go: "<program folder>/ReplayShot" when that folder exists or can be made and
// is writable, else "$XDG_PICTURES_DIR/QV_NVR/ReplayShot" (default ~/Pictures). "" when
// neither can be used.
std::string SnapshotFolder(const std::string& program_folder);

}  // namespace replay
