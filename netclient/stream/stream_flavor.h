// The points where the recording library behaves differently from the live-view library. The
// stream code is shared by both; every difference is a field here, so that no stream code is
// copied between them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvnet {

struct StreamFlavor {
  // Length of the host working copy: a longer host is refused.
  size_t max_host_length;
  // A failed UDP set-up is reported as state 2.
  bool udp_reports_failed_setup;
  // State stored and reported when the TCP connection thread gives up.
  int32_t tcp_give_up_state;
  // A refused authenticated DESCRIBE is reported as state 6 before the attempt fails.
  bool reports_refused_auth;
  // State changes 0, 1, 3 and 4 are not reported once the client is being stopped.
  bool quiet_while_stopping;
};

inline constexpr StreamFlavor kNetClientFlavor{
    .max_host_length = 35,
    .udp_reports_failed_setup = true,
    .tcp_give_up_state = 5,
    .reports_refused_auth = false,
    .quiet_while_stopping = false,
};

inline constexpr StreamFlavor kNvrClientFlavor{
    .max_host_length = 31,
    .udp_reports_failed_setup = false,
    .tcp_give_up_state = 2,
    .reports_refused_auth = true,
    .quiet_while_stopping = true,
};

}  // namespace qvnet
