#include "tools/camsim/mctp.h"

#include <charconv>

namespace camsim {

namespace {

constexpr int kOpSave = 1;
constexpr int kOpGet = 2;
constexpr int kOpStart = 3;
constexpr int kOpStop = 4;

std::string Line(std::initializer_list<int> numbers, bool trailing_at = false) {
  std::string line;
  for (int n : numbers) line += "@" + std::to_string(n);
  if (trailing_at) line += "@";
  return line;
}

// Joins an answer and applies the configured fault. `with_end` adds the "END" line.
std::string Finish(std::vector<std::string> lines, McptFault fault, bool with_end = true) {
  if (fault == McptFault::kGarbageNumbers) {
    for (size_t i = 1; i < lines.size(); ++i) {
      for (char& c : lines[i]) {
        if (c >= '0' && c <= '9') c = static_cast<char>('a' + (c - '0'));
      }
    }
  }
  if (fault == McptFault::kWrongLineCount) {
    if (lines.size() > 2) {
      lines.pop_back();  // e.g. 17 lines where 18 belong
    } else {
      lines.push_back("@0@0@0");
    }
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  if (with_end) text += "END\n";
  return text;
}

std::string MdHeader() { return "CMD:MD MCTP/1.0 CS"; }

std::string AnswerMd(const MctpMessage& m, CameraState* state, McptFault fault) {
  const auto first = m.params.empty() ? std::nullopt : ParseMctpNumbers(m.params[0]);
  if (!first || first->size() != 8) return Finish({MdHeader(), Line({0, 0, 0, 0, 0, 0, 0, 0})}, fault);
  const int op = (*first)[0];
  const int stream = (*first)[1];
  const std::string failed = Line({op, stream, 0, 0, 0, 0, 0, 0});
  const std::string done = Line({op, stream, 1, 0, 0, 0, 0, 0});
  if (op == kOpGet) {
    std::vector<std::string> lines{MdHeader()};
    for (int i = 0; i < kMdRegions; ++i) {
      const MdRegion& r = state->md[static_cast<size_t>(i)];
      lines.push_back(Line({kOpGet, stream, i, r.value, r.rect[0], r.rect[1], r.rect[2], r.rect[3]}));
    }
    return Finish(std::move(lines), fault);
  }
  if (op == kOpStart || op == kOpStop) {
    state->md_enabled = op == kOpStart;
    return Finish({MdHeader(), done}, fault);
  }
  if (op != kOpSave) return Finish({MdHeader(), failed}, fault);
  // Check every region line before changing anything: a half-applied save helps nobody.
  CameraState updated = *state;
  for (const std::string& param : m.params) {
    const auto n = ParseMctpNumbers(param);
    if (!n || n->size() != 8 || (*n)[0] != kOpSave || (*n)[2] < 0 || (*n)[2] >= kMdRegions) {
      return Finish({MdHeader(), failed}, fault);
    }
    MdRegion& r = updated.md[static_cast<size_t>((*n)[2])];
    r.value = (*n)[3];
    r.rect = {(*n)[4], (*n)[5], (*n)[6], (*n)[7]};
  }
  *state = updated;
  return Finish({MdHeader(), done}, fault);
}

std::string AnswerAlarm(const MctpMessage& m, McptFault fault) {
  const auto n = m.params.empty() ? std::nullopt : ParseMctpNumbers(m.params[0]);
  const std::string header = "CMD:ALARM MCTP/1.0 CS";
  if (!n || n->size() != 2 || (*n)[0] != 1) return Finish({header, Line({0, 0, 0})}, fault);
  return Finish({header, Line({1, (*n)[1], 1})}, fault);
}

std::string AnswerVctrl(const MctpMessage& m, CameraState* state, McptFault fault) {
  const auto n = m.params.empty() ? std::nullopt : ParseMctpNumbers(m.params[0]);
  const std::string header = "CMD:VCTRL MCTP/1.0 CS";
  if (!n || n->size() != 5) return Finish({header, Line({0, 0, 0}, true)}, fault);
  const int op = (*n)[0];
  const int stream = (*n)[1];
  if (op == 1) {
    const auto& v = state->video_params;
    return Finish({header, Line({1, stream, v[0], v[1], v[2]}, true)}, fault);
  }
  if (op != 2 && op != 3) return Finish({header, Line({op, stream, 0}, true)}, fault);
  for (size_t i = 0; i < 3; ++i) state->video_params[i] = (*n)[2 + i] & 255;
  return Finish({header, Line({op, stream, 1}, true)}, fault);
}

std::string AnswerPtz(const MctpMessage& m, McptFault fault) {
  const auto n = m.params.empty() ? std::nullopt : ParseMctpNumbers(m.params[0]);
  const std::string header = "CMD:PTZ MCTP/1.0";
  if (!n || n->size() != 3) return Finish({header, Line({0, 0, 0})}, fault);
  return Finish({header, Line({(*n)[0], (*n)[1], 1})}, fault);
}

}  // namespace

CameraState DefaultCameraState(int width, int height) {
  CameraState state;
  for (int i = 0; i < kMdRegions; ++i) {
    const int col = i % 4;
    const int row = i / 4;
    MdRegion& r = state.md[static_cast<size_t>(i)];
    r.value = 50;
    r.rect = {col * width / 4, row * height / 4, (col + 1) * width / 4 - 1, (row + 1) * height / 4 - 1};
  }
  return state;
}

size_t MctpMessageSize(std::string_view buffer) {
  if (buffer.substr(0, 4) == "END\n") return 4;
  const size_t end = buffer.find("\nEND\n");
  return end == std::string_view::npos ? 0 : end + 5;
}

std::optional<MctpMessage> ParseMctpMessage(std::string_view text) {
  if (text.substr(0, 4) != "CMD:") return std::nullopt;
  std::vector<std::string_view> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t nl = std::min(text.find('\n', pos), text.size());
    lines.push_back(text.substr(pos, nl - pos));
    pos = nl + 1;
  }
  if (lines.size() < 2 || lines.back() != "END") return std::nullopt;
  const std::string_view first = lines.front().substr(4);
  const size_t blank = first.find(' ');
  if (blank == std::string_view::npos || first.substr(blank + 1, 8) != "MCTP/1.0") return std::nullopt;
  MctpMessage message;
  message.command = std::string(first.substr(0, blank));
  for (size_t i = 1; i + 1 < lines.size(); ++i) message.params.emplace_back(lines[i]);
  return message;
}

std::vector<std::string_view> SplitMctpFields(std::string_view line) {
  std::vector<std::string_view> fields;
  if (line.empty() || line.front() != '@') return fields;
  line.remove_prefix(1);
  if (!line.empty() && line.back() == '@') line.remove_suffix(1);
  size_t pos = 0;
  while (pos <= line.size()) {
    const size_t at = std::min(line.find('@', pos), line.size());
    fields.push_back(line.substr(pos, at - pos));
    pos = at + 1;
  }
  return fields;
}

std::optional<std::vector<int>> ParseMctpNumbers(std::string_view line) {
  std::vector<int> numbers;
  if (line.size() < 2) return std::nullopt;
  for (std::string_view field : SplitMctpFields(line)) {
    int value = 0;
    const auto result = std::from_chars(field.data(), field.data() + field.size(), value);
    if (field.empty() || result.ec != std::errc() || result.ptr != field.data() + field.size()) {
      return std::nullopt;
    }
    numbers.push_back(value);
  }
  if (numbers.empty()) return std::nullopt;
  return numbers;
}

std::optional<std::string> AnswerMctpCommand(const MctpMessage& message, CameraState* state,
                                             McptFault fault) {
  if (message.command == "MD") return AnswerMd(message, state, fault);
  if (message.command == "ALARM") return AnswerAlarm(message, fault);
  if (message.command == "VCTRL") return AnswerVctrl(message, state, fault);
  if (message.command == "PTZ") return AnswerPtz(message, fault);
  return std::nullopt;
}

std::string KeepAliveAnswer(McptFault fault) {
  return Finish({"CMD:ALIVE MCTP/1.0 CS"}, fault == McptFault::kWrongLineCount ? fault : McptFault::kNone);
}

std::string RegistrationAnswer(int stream, bool ok, McptFault fault) {
  return Finish({"CMD:ALIVE MCTP/1.0 CS", Line({1, stream, ok ? 1 : 0})}, fault);
}

std::string TalkAnswer(bool talk_back, bool accepted, McptFault fault) {
  std::vector<std::string> lines{"CMD:TALK MCTP/1.0 CS", Line({talk_back ? 1 : 0, accepted ? 1 : 0}, true)};
  if (fault == McptFault::kWrongLineCount) lines.push_back("END");
  return Finish(std::move(lines), fault == McptFault::kGarbageNumbers ? fault : McptFault::kNone, false);
}

std::string MotionEvent(unsigned mask, int stream, const CameraState& state, McptFault fault) {
  std::vector<std::string> lines{MdHeader()};
  for (int i = 0; i < kMdRegions; ++i) {
    if ((mask & (1u << i)) == 0) continue;
    const MdRegion& r = state.md[static_cast<size_t>(i)];
    lines.push_back(Line({stream, 1, i, r.rect[0], r.rect[1], r.rect[2], r.rect[3], r.value}));
  }
  if (lines.size() == 1) lines.push_back(Line({stream, 0, 0, 0, 0, 0, 0, 0}));
  return Finish(std::move(lines), fault);
}

std::string AlarmEvent(int value, McptFault fault) {
  return Finish({"CMD:ALARM MCTP/1.0 CS", Line({2, value})}, fault);
}

}  // namespace camsim
