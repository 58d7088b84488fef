#include "replay/core/playback_texts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/folder.h"

namespace replay {
namespace {

// Creates `folder` (and the levels above it, below its first one) and checks that it can be
// written to.
bool UsableFolder(const std::string& folder) {
  if (folder.empty() || !qvp::EnsureFolderForFile(folder + "/x")) return false;
  return access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string PicturesFolder() {
  const char* pictures = std::getenv("XDG_PICTURES_DIR");
  if (pictures != nullptr && pictures[0] == '/') return pictures;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') return "";
  return std::string(home) + "/Pictures";
}

}  // namespace

std::string TimeLabel(uint32_t position_s, uint32_t total_s) {
  char text[48];
  std::snprintf(text, sizeof text, "%02u:%02u/%02u:%02u", position_s / 60, position_s % 60, total_s / 60,
                total_s % 60);
  return text;
}

int SliderMaximum(uint32_t total_s) { return total_s > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(total_s); }

std::string SnapshotPath(const std::string& folder, time_t now, uint32_t tick) {
  char stamp[64] = "";
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr || std::strftime(stamp, sizeof stamp, "%Y_%m_%d_%H_%M_%S", &local) == 0) {
    stamp[0] = '\0';
  }
  return folder + "/ReplayShot_" + stamp + "_" + std::to_string(tick) + ".jpg";
}

std::string SnapshotFolder(const std::string& program_folder) {
  if (!program_folder.empty() && UsableFolder(program_folder + "/ReplayShot")) return program_folder + "/ReplayShot";
  const std::string pictures = PicturesFolder();
  if (!pictures.empty() && UsableFolder(pictures + "/QV_NVR/ReplayShot")) return pictures + "/QV_NVR/ReplayShot";
  return "";
}

}  // namespace replay
