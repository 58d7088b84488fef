// What qvplay --info prints about a file: layout, header, frame rate, the key-frame index
// (count, first and last entries, where it came from) and the duration.
#pragma once

#include <string>

namespace qvplay {

// Prints the description of `path`; false when the replay would not open it.
bool PrintFileInfo(const std::string& path);

}  // namespace qvplay
