// Developer traces of the stream code. Silent unless the environment variable QV_DEBUG_TRACE
// is "1", so that a field installation can be asked for them without a special build.
#pragma once

namespace qvnet {

// Writes `text` as given (it carries its own line ends) to stderr when tracing is on.
void DebugTrace(const char* text);

}  // namespace qvnet
