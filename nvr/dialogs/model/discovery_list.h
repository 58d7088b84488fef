// The result list of device discovery: one row per camera that answered, with its check box,
// and the "Select All" box above it.
//
// A reply becomes a row unless its address is listed already (one row per camera however many
// requests it answered) or its model is neither "DVS" nor "IPCAMERA". Rows are numbered from 1
// in the order the answers came.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "nvr/dialogs/model/discovery_wire.h"

namespace nvrdlg {

// Column titles: 103 "ID", 130 "Model", 132 "Device Name", 122 "Channel", "IP" (the same text
// in both languages), 125 "RTSP Port"; widths 55, 80, 90, 60, 100, 70.
struct DiscoveryRow {
  int number = 0;  // from 1
  std::string model;
  std::string name;
  int channels = 0;
  std::string address;
  uint16_t rtsp_port = 0;
  bool ticked = false;
};

class DiscoveryList {
 public:
  // Empties the list and clears "Select All" (a new search).
  void Clear();
  // True when the reply became a row.
  bool Offer(const DiscoveryReply& reply);

  const std::vector<DiscoveryRow>& Rows() const { return rows_; }
  // A click on a row's box; unticking a row clears "Select All" (the other rows keep theirs).
  void SetTicked(size_t row, bool ticked);
  // A click on "Select All": every row takes the new state. With no rows the box clears
  // itself. Returns the box's state.
  bool SetSelectAll(bool on);
  bool select_all() const { return select_all_; }
  bool select_all_enabled() const { return !rows_.empty(); }

 private:
  std::vector<DiscoveryRow> rows_;
  bool select_all_ = false;
};

}  // namespace nvrdlg
