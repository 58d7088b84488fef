// Whole-file rewrites that a crash never leaves half done: the new contents go to a temporary
// file in the same folder, are flushed to disk, and then take the old file's place by rename
// (atomic within one file system). Readers see the old file or the new one, never a mix.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace nvr {

// Replaces `path` with `data`. The new file keeps the mode of the file it replaces, or gets
// `new_mode` when there was none. Returns 0, or the errno value of the failing step (the old
// file is then untouched and no temporary file is left).
int WriteFileAtomically(const std::string& path, std::string_view data, mode_t new_mode);

// Reads at most `limit` bytes of `path` into `out`. Returns 0, or the errno value of the open
// or read (EFBIG when the file is longer than `limit`; `out` then holds the first `limit`
// bytes).
int ReadWholeFile(const std::string& path, size_t limit, std::string* out);

}  // namespace nvr
