#include "nvr/app/app_start.h"

#include "nvr/app/app_names.h"
#include "nvr/core/store/db_setup.h"

namespace nvrapp {

StartResult StartApplication(const std::string& home, AppResources* out) {
  out->lock = qvp::TryAcquireInstance(kInstanceName);
  if (!out->lock) {
    if (qvp::RuntimeFolder().empty()) return StartResult::kNoRuntimeFolder;
    // The running copy shows its window; a service has none and only notes the request.
    qvp::PostToEndpoint(kAppEndpoint, kWmShowWindow, 0, 0);
    return StartResult::kAlreadyRunning;
  }
  // The runtime folder's lock finds a copy of the same session; the program folder's lock also
  // one started with another runtime folder. Without NVRData there is no database either, and
  // the start ends below.
  bool busy = false;
  out->folder_lock = qvp::TryAcquireLockFile(home + "/NVRData/" + kFolderLockName, &busy);
  if (busy) return StartResult::kFolderInUse;
  // The lock is ours, so an endpoint of that name left behind is stale and gets replaced.
  if (!out->endpoint.Bind(kAppEndpoint)) return StartResult::kNoRuntimeFolder;

  out->language = nvr::LanguageFromConfig(home);
  const std::string path = nvr::DatabasePath(home);
  nvr::DbCompact(path);  // a failure leaves the database as it was
  if (nvr::DbOpen(out->db, path) != 1 || !nvr::UpgradeDatabase(out->db)) return StartResult::kNoDatabase;
  return StartResult::kOk;
}

std::string StartFailureText(StartResult result, nvr::Language language) {
  switch (result) {
    case StartResult::kOk:
      return std::string();
    case StartResult::kAlreadyRunning:
      return "QV_NVR is already running; it was asked to show itself";
    case StartResult::kNoRuntimeFolder:
      return "QV_NVR: no usable runtime folder for its lock and endpoint "
             "(check $XDG_RUNTIME_DIR)";
    case StartResult::kNoDatabase:
      return nvr::LoadString(nvr::kStrConnectDbFailed, language);
    case StartResult::kFolderInUse:
      return "QV_NVR is already running on this program folder (another runtime folder or user); "
             "a second recorder would write the same files";
  }
  return std::string();
}

}  // namespace nvrapp
