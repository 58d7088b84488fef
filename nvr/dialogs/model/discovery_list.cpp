#include "nvr/dialogs/model/discovery_list.h"

#include <algorithm>

namespace nvrdlg {

void DiscoveryList::Clear() {
  rows_.clear();
  select_all_ = false;
}

bool DiscoveryList::Offer(const DiscoveryReply& reply) {
  const bool listed = std::any_of(rows_.begin(), rows_.end(),
                                  [&](const DiscoveryRow& r) { return r.address == reply.address; });
  if (listed || !IsListedModel(reply.model)) return false;
  rows_.push_back(DiscoveryRow{static_cast<int>(rows_.size()) + 1, reply.model, reply.name,
                               reply.channels, reply.address, reply.rtsp_port, false});
  return true;
}

void DiscoveryList::SetTicked(size_t row, bool ticked) {
  if (row >= rows_.size()) return;
  rows_[row].ticked = ticked;
  if (!ticked) select_all_ = false;
}

bool DiscoveryList::SetSelectAll(bool on) {
  select_all_ = on && !rows_.empty();
  for (DiscoveryRow& r : rows_) r.ticked = on;
  return select_all_;
}

}  // namespace nvrdlg
