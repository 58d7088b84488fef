#include "tools/camsim/simulator.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace camsim {

namespace {

bool ParseLong(std::string_view text, long min, long max, long* out) {
  const std::string s(text);
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(s.c_str(), &end, 0);  // 0x... masks welcome
  if (errno != 0 || end != s.c_str() + s.size() || value < min || value > max) return false;
  *out = value;
  return true;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\r')) ++pos;
    const size_t start = pos;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t' && line[pos] != '\r') ++pos;
    if (pos > start) words.push_back(line.substr(start, pos - start));
  }
  return words;
}

}  // namespace

bool ParseOnOff(std::string_view text, bool* out) {
  if (text != "on" && text != "1" && text != "off" && text != "0") return false;
  *out = text == "on" || text == "1";
  return true;
}

bool ParseSecondsMs(std::string_view text, uint32_t* ms) {
  const std::string s(text);
  char* end = nullptr;
  const double seconds = std::strtod(s.c_str(), &end);
  if (s.empty() || end != s.c_str() + s.size() || !(seconds >= 0.0) || seconds > 86400.0 * 7) return false;
  *ms = static_cast<uint32_t>(std::lround(seconds * 1000.0));
  return true;
}

bool Simulator::Start(const CameraOptions& options, int count, std::string* error) {
  for (int i = 0; i < count; ++i) {
    CameraOptions camera = options;
    camera.index = i;
    if (options.port != 0) camera.port = static_cast<uint16_t>(options.port + i);
    auto instance = std::make_unique<Camera>(camera);
    if (!instance->Start(error)) {
      *error = "camera " + std::to_string(i) + ": " + *error;
      Stop();
      return false;
    }
    cameras_.push_back(std::move(instance));
  }
  return true;
}

void Simulator::Stop() {
  for (auto& camera : cameras_) camera->Stop();
  cameras_.clear();
}

bool Simulator::Select(std::string_view which, std::vector<Camera*>* out) const {
  if (which == "*") {
    for (const auto& camera : cameras_) out->push_back(camera.get());
    return !out->empty();
  }
  long value = 0;
  if (!ParseLong(which, 0, 65535, &value)) return false;
  if (static_cast<size_t>(value) < cameras_.size()) {
    out->push_back(cameras_[static_cast<size_t>(value)].get());
    return true;
  }
  for (const auto& camera : cameras_) {
    if (camera->Port() == value) out->push_back(camera.get());
  }
  return !out->empty();
}

const char* Simulator::CommandHelp() {
  return "commands (CAM is a camera index, its port, or * for all):\n"
         "  motion CAM MASK         motion event, bit n = region n (decimal or 0x...)\n"
         "  alarm CAM VALUE         alarm event\n"
         "  pause CAM SECONDS       no video for SECONDS (audio goes on)\n"
         "  drop CAM                close the RTSP connections, which stops their streaming\n"
         "  refuse-auth CAM on|off|403  refuse correct Digest answers to DESCRIBE (401 or 403)\n"
         "  slow CAM MS             delay every RTSP and MCTP answer\n"
         "  talk-back CAM on|off    send voice back during talk\n"
         "  silent CAM on|off       leave keep-alives unanswered\n"
         "  flood CAM               4096+ bytes on the event channels without END\n"
         "  fault CAM none|wrong-lines|garbage   malformed MCTP answers and events\n"
         "  list                    cameras, ports, playing sessions, event channels\n"
         "  quit\n";
}

std::string Simulator::Execute(std::string_view line, bool* quit) {
  const std::vector<std::string_view> w = Words(line);
  if (w.empty()) return "";
  const std::string_view cmd = w[0];
  if (cmd == "quit" || cmd == "exit") {
    *quit = true;
    return "ok";
  }
  if (cmd == "help") return CommandHelp();
  if (cmd == "list") {
    std::ostringstream out;
    for (size_t i = 0; i < cameras_.size(); ++i) {
      out << i << " port " << cameras_[i]->Port() << " playing " << cameras_[i]->PlayingSessions()
          << " event-channels " << cameras_[i]->EventChannels() << "\n";
    }
    return out.str() + "ok";
  }
  static const std::string_view kPerCamera[] = {"motion", "alarm", "pause", "drop", "refuse-auth", "slow",
                                                "talk-back", "silent", "flood", "fault"};
  if (std::find(std::begin(kPerCamera), std::end(kPerCamera), cmd) == std::end(kPerCamera)) {
    return "error: unknown command (try help)";
  }
  std::vector<Camera*> targets;
  if (w.size() < 2 || !Select(w[1], &targets)) return "error: unknown camera (try help)";
  const std::string_view arg = w.size() > 2 ? w[2] : std::string_view();
  long number = 0;
  uint32_t ms = 0;
  bool on = false;
  int reached = 0;
  for (Camera* camera : targets) {
    if (cmd == "motion" && ParseLong(arg, 0, 0xFFFF, &number)) {
      reached += camera->PushMotion(static_cast<unsigned>(number));
    } else if (cmd == "alarm" && ParseLong(arg, -2147483647L - 1, 2147483647L, &number)) {
      reached += camera->PushAlarm(static_cast<int>(number));
    } else if (cmd == "pause" && ParseSecondsMs(arg, &ms)) {
      camera->PauseVideo(ms);
    } else if (cmd == "drop" && w.size() == 2) {
      reached += camera->DropConnections();
    } else if (cmd == "refuse-auth" && (arg == "403" || ParseOnOff(arg, &on))) {
      camera->SetRefuseAuth(arg == "403" ? RefuseAuth::k403 : on ? RefuseAuth::k401 : RefuseAuth::kOff);
    } else if (cmd == "slow" && ParseLong(arg, 0, 600000, &number)) {
      camera->SetSlow(static_cast<uint32_t>(number));
    } else if (cmd == "talk-back" && ParseOnOff(arg, &on)) {
      camera->SetTalkBack(on);
    } else if (cmd == "silent" && ParseOnOff(arg, &on)) {
      camera->SetSilent(on);
    } else if (cmd == "flood" && w.size() == 2) {
      reached += camera->FloodEvents();
    } else if (cmd == "fault" && (arg == "none" || arg == "wrong-lines" || arg == "garbage")) {
      camera->SetMctpFault(arg == "none" ? McptFault::kNone : arg == "garbage" ? McptFault::kGarbageNumbers
                                                                             : McptFault::kWrongLineCount);
    } else {
      return "error: bad command or argument (try help)";
    }
  }
  const bool counts = cmd == "motion" || cmd == "alarm" || cmd == "drop" || cmd == "flood";
  return counts ? "ok " + std::to_string(reached) : "ok";
}

}  // namespace camsim
