#include "netclient/wire/mctp_event_framer.h"

#include <algorithm>
#include <cstring>

namespace qvnet {

bool MctpEventFramer::Commit(size_t received, const Handler& handle) {
  fill_ += std::min(received, buffer_.size() - fill_);
  if (!Extract(handle)) return false;
  if (fill_ == buffer_.size()) fill_ = 0;
  return true;
}

bool MctpEventFramer::Extract(const Handler& handle) {
  // Each turn removes at least one byte, so the buffer size bounds the loop.
  for (size_t turn = 0; turn < buffer_.size(); ++turn) {
    const std::string_view text(buffer_.data(), fill_);
    const size_t start = text.find("CMD");
    if (start == std::string_view::npos) return true;
    const size_t end = text.find("END\n", start + 3);
    if (end == std::string_view::npos) return true;
    const size_t after = end + 4;
    const bool go_on = handle(text.substr(start, after - start));
    std::memmove(buffer_.data(), buffer_.data() + after, fill_ - after);
    fill_ -= after;
    if (!go_on) return false;
  }
  return true;
}

}  // namespace qvnet
