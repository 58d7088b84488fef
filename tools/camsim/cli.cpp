#include "tools/camsim/cli.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>

#include "tools/camsim/simulator.h"

namespace camsim {

namespace {

constexpr uint16_t kDefaultPort = 8554;

bool ToInt(const std::string& text, long min, long max, long* out) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || errno != 0 || *end != '\0' || value < min || value > max) return false;
  *out = value;
  return true;
}

bool ParseAudio(const std::string& text, AudioCodec* out) {
  static const std::map<std::string, AudioCodec> kNames = {
      {"none", AudioCodec::kNone},        {"pcma", AudioCodec::kPcma},        {"pcmu", AudioCodec::kPcmu},
      {"g726-16", AudioCodec::kG726_16}, {"g726-24", AudioCodec::kG726_24}, {"g726-32", AudioCodec::kG726_32},
      {"g726-40", AudioCodec::kG726_40}, {"unknown", AudioCodec::kUnknown}};
  const auto it = kNames.find(text);
  if (it == kNames.end()) return false;
  *out = it->second;
  return true;
}

bool ParseSize(const std::string& text, int* width, int* height) {
  const size_t x = text.find('x');
  long w = 0, h = 0;
  if (x == std::string::npos || !ToInt(text.substr(0, x), 16, 4096, &w) || !ToInt(text.substr(x + 1), 16, 4096, &h)) {
    return false;
  }
  if (w % 2 != 0 || h % 2 != 0) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

using Handler = std::function<bool(const std::string&, CommandLine*)>;

// Options taking a value; each handler checks and stores it.
const std::map<std::string, Handler>& ValueOptions() {
  auto integer = [](long min, long max, auto store) {
    return [=](const std::string& v, CommandLine* c) {
      long n = 0;
      if (!ToInt(v, min, max, &n)) return false;
      store(c, n);
      return true;
    };
  };
  auto seconds = [](auto store) {
    return [=](const std::string& v, CommandLine* c) {
      uint32_t ms = 0;
      if (!ParseSecondsMs(v, &ms)) return false;
      store(c, ms);
      return true;
    };
  };
  static const std::map<std::string, Handler> kOptions = {
      {"--port", integer(1, 65535, [](CommandLine* c, long n) { c->camera.port = static_cast<uint16_t>(n); })},
      {"--cameras", integer(1, 256, [](CommandLine* c, long n) { c->cameras = static_cast<int>(n); })},
      {"--bind", [](const std::string& v, CommandLine* c) { c->camera.bind_address = v; return !v.empty(); }},
      {"--video",
       [](const std::string& v, CommandLine* c) {
         if (v != "h264" && v != "jpeg") return false;
         c->camera.video = v == "jpeg" ? VideoCodec::kJpeg : VideoCodec::kH264;
         return true;
       }},
      {"--size",
       [](const std::string& v, CommandLine* c) { return ParseSize(v, &c->camera.width, &c->camera.height); }},
      {"--fps", integer(1, 60, [](CommandLine* c, long n) { c->camera.fps = static_cast<int>(n); })},
      {"--kbps", integer(16, 100000, [](CommandLine* c, long n) { c->camera.kbps = static_cast<int>(n); })},
      {"--h264-file", [](const std::string& v, CommandLine* c) { c->camera.h264_file = v; return !v.empty(); }},
      {"--clip-seconds", integer(1, 60, [](CommandLine* c, long n) { c->camera.clip_seconds = static_cast<int>(n); })},
      {"--jpeg-qscale", integer(1, 31, [](CommandLine* c, long n) { c->camera.jpeg_qscale = static_cast<int>(n); })},
      {"--audio", [](const std::string& v, CommandLine* c) { return ParseAudio(v, &c->camera.audio); }},
      {"--mtu", integer(200, 65000, [](CommandLine* c, long n) { c->camera.mtu = static_cast<size_t>(n); })},
      {"--user", [](const std::string& v, CommandLine* c) { c->camera.user = v; return true; }},
      {"--password", [](const std::string& v, CommandLine* c) { c->camera.password = v; return true; }},
      {"--realm", [](const std::string& v, CommandLine* c) { c->camera.realm = v; return !v.empty(); }},
      {"--refuse-auth",
       [](const std::string& v, CommandLine* c) {
         if (v != "401" && v != "403") return false;
         c->camera.refuse_auth = v == "403" ? RefuseAuth::k403 : RefuseAuth::k401;
         return true;
       }},
      {"--server-text",
       [](const std::string& v, CommandLine* c) {
         c->camera.server_header = ServerHeader::kCustom;
         c->camera.server_header_text = v;
         return v.find_first_of("\r\n") == std::string::npos;
       }},
      {"--session-timeout-s",
       integer(1, 3600, [](CommandLine* c, long n) {
         c->camera.session_timeout = true;
         c->camera.session_timeout_s = static_cast<int>(n);
       })},
      {"--slow", integer(0, 600000, [](CommandLine* c, long n) { c->camera.slow_ms = static_cast<uint32_t>(n); })},
      {"--pause-video", seconds([](CommandLine* c, uint32_t ms) { c->camera.pause_video_ms = ms; })},
      {"--pause-after", seconds([](CommandLine* c, uint32_t ms) { c->camera.pause_after_ms = ms; })},
      {"--drop", seconds([](CommandLine* c, uint32_t ms) { c->camera.drop_after_ms = ms; })},
      {"--talk-back", [](const std::string& v, CommandLine* c) { return ParseOnOff(v, &c->camera.talk_back); }},
      {"--mctp-fault",
       [](const std::string& v, CommandLine* c) {
         if (v != "none" && v != "wrong-lines" && v != "garbage") return false;
         c->camera.mctp_fault = v == "none" ? McptFault::kNone : v == "garbage" ? McptFault::kGarbageNumbers
                                                                                : McptFault::kWrongLineCount;
         return true;
       }},
      {"--log-dir", [](const std::string& v, CommandLine* c) { c->camera.log_dir = v; return !v.empty(); }},
      {"--control", [](const std::string& v, CommandLine* c) { c->control_path = v; return !v.empty(); }},
      {"--discovery-model",
       [](const std::string& v, CommandLine* c) {
         c->discovery_options.model = v;
         return !v.empty() && v.size() < 47;
       }},
      {"--discovery-name",
       [](const std::string& v, CommandLine* c) {
         c->discovery_options.name = v;
         return v.size() < 70;
       }},
      {"--discovery-channels",
       integer(0, 255, [](CommandLine* c, long n) { c->discovery_options.channels = static_cast<int>(n); })},
      {"--discovery-port",
       integer(1, 65535, [](CommandLine* c, long n) { c->discovery_options.port = static_cast<uint16_t>(n); })},
  };
  return kOptions;
}

const std::map<std::string, std::function<void(CommandLine*)>>& FlagOptions() {
  static const std::map<std::string, std::function<void(CommandLine*)>> kFlags = {
      {"--stap-a", [](CommandLine* c) { c->camera.stap_a = true; }},
      {"--rtp-extras", [](CommandLine* c) { c->camera.rtp_extras = true; }},
      {"--split-answers", [](CommandLine* c) { c->camera.split_answers = true; }},
      {"--text-session-id", [](CommandLine* c) { c->camera.text_session_id = true; }},
      {"--no-get-parameter", [](CommandLine* c) { c->camera.refuse_get_parameter = true; }},
      {"--no-server-header", [](CommandLine* c) { c->camera.server_header = ServerHeader::kOmit; }},
      {"--session-timeout", [](CommandLine* c) { c->camera.session_timeout = true; }},
      {"--long-session-id", [](CommandLine* c) { c->camera.long_session_id = true; }},
      {"--one-track", [](CommandLine* c) { c->camera.audio_without_control = true; }},
      {"--silent", [](CommandLine* c) { c->camera.silent = true; }},
      {"--refuse-talk", [](CommandLine* c) { c->camera.refuse_talk = true; }},
      {"--no-stdin", [](CommandLine* c) { c->stdin_commands = false; }},
      {"--discovery", [](CommandLine* c) { c->discovery = true; }},
  };
  return kFlags;
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args, CommandLine* out, std::string* error) {
  out->camera.port = kDefaultPort;
  // The program writes its logs to files; keeping media in memory too would only grow.
  out->camera.keep_media_log = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") return ParseResult::kHelp;
    if (const auto flag = FlagOptions().find(arg); flag != FlagOptions().end()) {
      flag->second(out);
      continue;
    }
    const auto option = ValueOptions().find(arg);
    if (option == ValueOptions().end()) {
      *error = "unknown option " + arg + " (see --help)";
      return ParseResult::kError;
    }
    if (i + 1 >= args.size() || !option->second(args[i + 1], out)) {
      *error = "bad or missing value for " + arg + " (see --help)";
      return ParseResult::kError;
    }
    ++i;
  }
  if (static_cast<long>(out->camera.port) + out->cameras - 1 > 65535) {
    *error = "--port + --cameras goes beyond port 65535";
    return ParseResult::kError;
  }
  return ParseResult::kRun;
}

}  // namespace camsim
