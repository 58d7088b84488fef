// The device discovery dialog ("Search for Devices") without its widgets: the search engine,
// the result list with its check boxes and "Select All", and Add.
//
// Life of the dialog: Open() when it is shown (receive thread started; the list empty, "Select
// All" and Add disabled), Search() for each press of Search (the list emptied, the request
// sent, Add enabled), TakeReplies() on the dialog's thread whenever the wake function fired,
// Add() for each press of Add (the dialog stays open), Close() when it closes.
//
// Answers have no time limit: they fill the list (discovery_list.h) as they come until the next
// Search.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "nvr/core/engine/recorder_core.h"
#include "nvr/core/engine/strings.h"
#include "nvr/dialogs/model/device_search.h"
#include "nvr/dialogs/model/discovery_add.h"
#include "nvr/dialogs/model/discovery_list.h"

namespace nvrdlg {

class DiscoveryDialog {
 public:
  DiscoveryDialog(nvr::RecorderCore& core, nvr::RecorderDb& db, nvr::Language language,
                  SearchOptions options = SearchOptions());
  ~DiscoveryDialog() { Close(); }

  bool Open(std::function<void()> wake);
  size_t Search();
  // Takes every reply waiting; true when rows were added.
  bool TakeReplies();
  AddResult Add();
  void Close() { search_.Close(); }

  DiscoveryList& List() { return list_; }
  const std::vector<DiscoveryRow>& Rows() const { return list_.Rows(); }
  bool add_enabled() const { return add_enabled_; }

  // The names' random numbers (tests give their own).
  void SetRandomSource(RandomSource random) { random_ = std::move(random); }
  DeviceSearch& Engine() { return search_; }

 private:
  nvr::RecorderCore& core_;
  nvr::RecorderDb& db_;
  nvr::Language language_;
  DeviceSearch search_;
  DiscoveryList list_;
  bool add_enabled_ = false;
  std::mt19937 generator_;
  RandomSource random_;
};

}  // namespace nvrdlg
