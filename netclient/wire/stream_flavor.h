// The points where the recording library behaves differently from the live-view library. The
// stream code is shared by both; every difference is a field here, so that no stream code is
// copied between them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvnet {

struct StreamFlavor {
  // A failed UDP set-up is reported as state 2.
  bool udp_reports_failed_setup;
  // State stored and reported when the TCP connection thread gives up.
  int32_t tcp_give_up_state;
  // A refused authenticated DESCRIBE is reported as state 6 before the attempt fails.
  bool reports_refused_auth;
  // State changes 0, 1, 3 and 4 are not reported once the client is being stopped.
  bool quiet_while_stopping;
  // The UDP video receiver takes payload type 26 apart as JPEG; otherwise every UDP video
  // packet is handled as H.264 (and JPEG is recorded over TCP only).
  bool jpeg_over_udp;
  // H.264 frame headers carry the client's picture size; otherwise width and height are 0.
  bool fill_h264_size;
  // Audio is decoded and only packets that decode are recorded; otherwise every packet is
  // recorded as received, undecoded.
  bool decode_audio;
};

inline constexpr StreamFlavor kNetClientFlavor{
    .udp_reports_failed_setup = true,
    .tcp_give_up_state = 5,
    .reports_refused_auth = false,
    .quiet_while_stopping = false,
    .jpeg_over_udp = true,
    .fill_h264_size = true,
    .decode_audio = true,
};

inline constexpr StreamFlavor kNvrClientFlavor{
    .udp_reports_failed_setup = false,
    .tcp_give_up_state = 2,
    .reports_refused_auth = true,
    .quiet_while_stopping = true,
    .jpeg_over_udp = false,
    .fill_h264_size = false,
    .decode_audio = false,
};

}  // namespace qvnet
