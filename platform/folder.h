// Folders of the running program and of the files it writes.
#pragma once

#include <string>

namespace qvp {

// Makes sure the folder that will hold the file `path` exists, creating missing levels.
// The separator is '/' when the path has one, else '\\'; a path with neither fails. The
// folder is everything before the last separator. When it already exists the answer is
// whether it is a folder. Otherwise each level is created in turn, except the first one,
// which is taken as the drive and never created: for "/srv/rec/a/f" the first level is the
// root, for a relative "rec/a/f" it is "rec", which must exist. Returns true when the folder
// exists as a folder at the end.
bool EnsureFolderForFile(const std::string& path);

// Where the program keeps its files: $QV_NVR_HOME when set and non-empty, else the folder of
// the running executable. Never ends with '/' (the root folder gives ""), so callers append
// "/name". Empty too when the executable's path cannot be read.
std::string ProgramFolder();

// The folder of the running executable itself (whatever QV_NVR_HOME says), without a trailing
// '/'; "" when it cannot be read. Programs find their companion programs here.
std::string ExecutableFolder();

}  // namespace qvp
