// The start of the recorder program before its core runs: one copy per user (a second copy
// asks the first to show itself and ends), the language of its texts, the database compacted
// and opened. The windowed recorder and the service share it.
#pragma once

#include <optional>
#include <string>

#include "nvr/core/store/database.h"
#include "nvr/core/engine/strings.h"
#include "platform/endpoint.h"
#include "platform/instance_lock.h"

namespace nvrapp {

enum class StartResult {
  kOk,
  kAlreadyRunning,  // another copy holds the lock; it was asked to show itself
  kNoRuntimeFolder, // neither lock nor endpoint can be made
  kNoDatabase,      // "Connect database failed"
  // Another recorder (started with another runtime folder, or by another user) runs on the
  // same program folder: two would write the same files and database.
  kFolderInUse,
};

// What a started program holds for as long as it runs. Members are released in reverse order:
// the database first, the lock last, so a new copy never finds the lock free while this one
// still has the database open.
struct AppResources {
  std::optional<qvp::InstanceLock> lock;
  std::optional<qvp::InstanceLock> folder_lock;  // "<home>/NVRData/QV_NVR.lock"
  qvp::Endpoint endpoint;  // "QV_NVRAPP": messages from a second copy
  nvr::Language language = nvr::Language::kEnglish;
  nvr::DbConnection db;
};

// `home` is the program folder (config.ini, NVRData/). On kOk every member of `out` is set.
StartResult StartApplication(const std::string& home, AppResources* out);

// The one-line text of a failed start in `language` ("" for kOk).
std::string StartFailureText(StartResult result, nvr::Language language);

}  // namespace nvrapp
