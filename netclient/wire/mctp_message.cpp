#include "netclient/wire/mctp_message.h"

#include <array>
#include <initializer_list>

#include "netclient/wire/scan_ints.h"

namespace qvnet {
namespace {

constexpr std::string_view kEightNumbers = "@%d@%d@%d@%d@%d@%d@%d@%d\n";

std::string Numbers(std::initializer_list<int> numbers, bool trailing_at = false) {
  std::string line;
  for (int n : numbers) line += "@" + std::to_string(n);
  if (trailing_at) line += "@";
  line += "\n";
  return line;
}

std::string Command(std::string_view name, const std::string& params) {
  std::string text = "CMD:";
  text.append(name);
  text.append(" MCTP/1.0 CS\n");
  text.append(params);
  text.append("END\n");
  return text;
}

// Line 2 read with `format`; the count of numbers read, written into out.
template <size_t N>
int ReadLine2(std::string_view answer, std::string_view format, std::array<int32_t, N>* out) {
  return ScanInts(NthLine(answer, 2), format, out->data(), out->size());
}

}  // namespace

std::string MctpRegistration(std::string_view session_id, int stream) {
  std::string params = "@";
  params.append(session_id);
  params.append("@" + std::to_string(stream) + "\n");
  return Command("ALIVE", params);
}

std::string MctpMdGet(int stream) { return Command("MD", Numbers({2, stream, 0, 0, 0, 0, 0, 0})); }

std::string MctpMdSave(int stream, const MDRegionTable& table) {
  std::string params;
  for (int i = 0; i < 16; ++i) {
    const int32_t* r = table.rect[i];
    params += Numbers({1, stream, i, table.value[i], r[0], r[1], r[2], r[3]});
  }
  return Command("MD", params);
}

std::string MctpMdSwitch(int stream, bool on) { return Command("MD", Numbers({on ? 3 : 4, stream, 0, 0, 0, 0, 0, 0})); }

std::string MctpAlarmReset(int output) { return Command("ALARM", Numbers({1, output})); }

std::string MctpVideoParamSet(int stream, int v1, int v2, int v3, bool save) {
  return Command("VCTRL", Numbers({save ? 3 : 2, stream, v1 & 255, v2 & 255, v3 & 255}, true));
}

std::string MctpVideoParamGet(int stream) { return Command("VCTRL", Numbers({1, stream, 0, 0, 0}, true)); }

std::string MctpPtz(int stream, int command, int value) {
  // The only command line without " CS": the cameras expect it so.
  return "CMD:PTZ MCTP/1.0\n" + Numbers({stream, command, value}) + "END\n";
}

std::string MctpTalk(int stream, int codec) { return Command("TALK", Numbers({stream, codec}, true)); }

int CountLines(std::string_view text) {
  int lines = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t nl = text.find('\n', pos);
    ++lines;
    if (nl == std::string_view::npos) break;
    pos = nl + 1;
  }
  return lines;
}

std::string_view NthLine(std::string_view text, int index) {
  size_t pos = 0;
  for (int line = 1; pos < text.size(); ++line) {
    const size_t nl = text.find('\n', pos);
    const size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    if (line == index) return text.substr(pos, end - pos);
    pos = end;
  }
  return {};
}

bool RegistrationAccepted(std::string_view answer) {
  std::array<int32_t, 3> n{};
  return CountLines(answer) == 3 && ReadLine2(answer, "@%d@%d@%d\n", &n) == 3 && n[2] != 0;
}

bool MdStatusAccepted(std::string_view answer) {
  std::array<int32_t, 8> n{};
  return CountLines(answer) == 3 && ReadLine2(answer, kEightNumbers, &n) == 8 && n[2] == 1;
}

bool AlarmResetAccepted(std::string_view answer) {
  std::array<int32_t, 3> n{};
  return CountLines(answer) == 3 && ReadLine2(answer, "@%d@%d@%d\n", &n) == 3 && n[2] == 1;
}

bool VideoParamSetAccepted(std::string_view answer) {
  std::array<int32_t, 3> n{};
  return CountLines(answer) == 3 && ReadLine2(answer, "@%d@%d@%d@\n", &n) == 3 && n[2] == 1;
}

bool ReadMdRegions(std::string_view answer, MDRegionTable* table) {
  if (table == nullptr || CountLines(answer) != 18) return false;
  if (NthLine(answer, 1).find("CMD:MD MCTP/1.0") == std::string_view::npos) return false;
  for (int region = 0; region < 16; ++region) {
    std::array<int32_t, 8> n{};
    if (ScanInts(NthLine(answer, region + 2), kEightNumbers, n.data(), n.size()) != 8) return false;
    table->value[region] = static_cast<uint8_t>(n[3]);
    for (int k = 0; k < 4; ++k) table->rect[region][k] = n[4 + static_cast<size_t>(k)];
  }
  return true;
}

bool ReadVideoParams(std::string_view answer, uint8_t* v1, uint8_t* v2, uint8_t* v3) {
  std::array<int32_t, 5> n{};
  if (CountLines(answer) != 3 || ReadLine2(answer, "@%d@%d@%d@%d@%d@\n", &n) != 5) return false;
  *v1 = static_cast<uint8_t>(n[2]);
  *v2 = static_cast<uint8_t>(n[3]);
  *v3 = static_cast<uint8_t>(n[4]);
  return true;
}

bool ReadTalkAnswer(std::string_view answer, bool* talk_back) {
  std::array<int32_t, 2> n{};
  if (CountLines(answer) != 2 || NthLine(answer, 1).find("CMD:TALK") == std::string_view::npos) return false;
  if (ReadLine2(answer, "@%d@%d@\n", &n) != 2 || n[1] != 1) return false;
  *talk_back = n[0] != 0;
  return true;
}

}  // namespace qvnet
