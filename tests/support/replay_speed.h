// Puts a replay mailbox at a given speed by the steps the speed exports take.
#pragma once

#include <cstdint>

#include "netclient/media/display/replay_control.h"

namespace qvtest {

inline void SetSpeed(qvnet::ReplayControl& replay, int32_t speed) {
  replay.NormalSpeed();
  for (int32_t s = 0; s < speed; ++s) replay.Faster();
  for (int32_t s = 0; s > speed; --s) replay.Slower();
}

}  // namespace qvtest
