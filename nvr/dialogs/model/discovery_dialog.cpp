#include "nvr/dialogs/model/discovery_dialog.h"

#include "platform/tick_clock.h"

namespace nvrdlg {

DiscoveryDialog::DiscoveryDialog(nvr::RecorderCore& core, nvr::RecorderDb& db,
                                 nvr::Language language, SearchOptions options)
    : core_(core),
      db_(db),
      language_(language),
      search_(std::move(options)),
      // Seeded with the tick count, as the names always were.
      generator_(qvp::TickCount()),
      random_([this] { return static_cast<uint32_t>(generator_()); }) {}

bool DiscoveryDialog::Open(std::function<void()> wake) {
  list_.Clear();
  add_enabled_ = false;
  return search_.Open(std::move(wake));
}

size_t DiscoveryDialog::Search() {
  list_.Clear();
  const size_t sent = search_.Search();
  add_enabled_ = true;
  return sent;
}

bool DiscoveryDialog::TakeReplies() {
  bool added = false;
  while (const std::optional<DiscoveryReply> reply = search_.TakeReply()) added |= list_.Offer(*reply);
  return added;
}

AddResult DiscoveryDialog::Add() {
  std::vector<FoundDevice> found;
  for (const DiscoveryRow& r : list_.Rows()) {
    if (r.ticked) found.push_back(FoundDevice{r.address, r.rtsp_port, r.channels});
  }
  return AddFoundDevices(core_, db_, found, random_, language_);
}

}  // namespace nvrdlg
