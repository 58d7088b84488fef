#include "netclient/stream/debug_trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qvnet {

void DebugTrace(const char* text) {
  const char* on = std::getenv("QV_DEBUG_TRACE");
  if (on == nullptr || std::strcmp(on, "1") != 0 || text == nullptr) return;
  std::fputs(text, stderr);
}

}  // namespace qvnet
