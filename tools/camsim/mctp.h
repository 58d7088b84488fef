// MCTP/1.0 as a camera speaks it: "CMD:<name> MCTP/1.0[ CS]\n", parameter lines of
// '@'-separated numbers, "END\n". Framing, parsing and the answers and events a camera
// builds from its state, without sockets.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/camsim/camera_options.h"

namespace camsim {

inline constexpr int kMdRegions = 16;
inline constexpr size_t kMaxMctpMessage = 8192;

struct MdRegion {
  int value = 0;
  std::array<int, 4> rect{};  // left, top, right, bottom
};

// What the control channel reads and changes on a camera.
struct CameraState {
  std::array<MdRegion, kMdRegions> md;
  bool md_enabled = false;
  std::array<int, 3> video_params{128, 128, 128};
};

// Regions laid out as a 4 x 4 grid over the picture, value 50: a camera fresh from the box.
CameraState DefaultCameraState(int width, int height);

struct MctpMessage {
  std::string command;              // "MD", "ALARM", "ALIVE", ...
  std::vector<std::string> params;  // parameter lines without the line feed
};

// Size of the first complete message at the start of `buffer` (through its "END\n" line),
// 0 when it is not complete yet.
size_t MctpMessageSize(std::string_view buffer);

// Nullopt unless the first line is "CMD:<name> MCTP/1.0..." and the last is "END".
std::optional<MctpMessage> ParseMctpMessage(std::string_view text);

// Numbers of a parameter line "@1@2@3" (a trailing '@' is allowed). Nullopt on anything
// that is not a decimal integer in int range.
std::optional<std::vector<int>> ParseMctpNumbers(std::string_view line);

// Fields of a parameter line split at '@', without checking they are numbers.
std::vector<std::string_view> SplitMctpFields(std::string_view line);

// Answer to an MD, ALARM, VCTRL or PTZ command, applied to `state`; nullopt for other
// commands. Malformed parameters get an answer whose status number is 0.
std::optional<std::string> AnswerMctpCommand(const MctpMessage& message, CameraState* state,
                                             McptFault fault);

std::string KeepAliveAnswer(McptFault fault);
std::string RegistrationAnswer(int stream, bool ok, McptFault fault);
// "CMD:TALK MCTP/1.0 CS\n@<talk_back>@<accepted>@\n": two lines, no END.
std::string TalkAnswer(bool talk_back, bool accepted, McptFault fault);

// One line per region in `mask`: "@<stream>@1@<region>@<l>@<t>@<r>@<b>@<value>"; mask 0
// sends one line with field 2 = 0 so that the message still has three lines.
std::string MotionEvent(unsigned mask, int stream, const CameraState& state, McptFault fault);
std::string AlarmEvent(int value, McptFault fault);

}  // namespace camsim
