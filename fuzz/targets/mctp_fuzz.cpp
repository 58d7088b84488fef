// MCTP as the client reads it: command answers (one receive of at most kMctpAnswerCapacity
// bytes, text up to a NUL) through every answer check, and the event channel's stream of
// motion and alarm reports through HandleEventMessage.
#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "fuzz/targets/fuzz_support.h"
#include "fuzz/targets/fuzz_targets.h"
#include "netclient/stream/event_receiver.h"
#include "netclient/wire/mctp_event_framer.h"
#include "netclient/wire/mctp_message.h"
#include "netclient/wire/scan_ints.h"

namespace qvfuzz {
namespace {

constexpr const char* kAnswerName = "mctp_answer";
constexpr const char* kEventName = "event_message";

void CheckLines(std::string_view text) {
  const int lines = qvnet::CountLines(text);
  size_t total = 0;
  for (int i = 1; i <= lines; ++i) total += qvnet::NthLine(text, i).size();
  Check(total == text.size(), kAnswerName, "the lines do not add up to the text");
  Check(qvnet::NthLine(text, lines + 1).empty() && qvnet::NthLine(text, 0).empty(), kAnswerName,
        "a line outside 1..CountLines");
}

// A table read from an answer goes back to the camera in a save request; that request must read
// back as the same table.
void CheckRegions(std::string_view text) {
  MDRegionTable table{};
  if (!qvnet::ReadMdRegions(text, &table)) return;
  MDRegionTable again{};
  const bool read = qvnet::ReadMdRegions(qvnet::MctpMdSave(0, table), &again);
  Check(read && std::memcmp(&table, &again, sizeof table) == 0, kAnswerName, "saved regions read back differently");
}

void CheckScans(std::string_view text) {
  static constexpr std::string_view kFormats[] = {"@%d@%d@%d\n", "@%d@%d@%d@%d@%d@%d@%d@%d\n", "@%d@%d@%d@\n",
                                                  "@%d@%d@%d@%d@%d@\n", "@%d@%d@\n", "%d*%d*%d*%d\r\n"};
  std::array<int32_t, 8> out{};
  for (const std::string_view format : kFormats) {
    const int n = qvnet::ScanInts(text, format, out.data(), out.size());
    Check(n >= 0 && n <= 8, kAnswerName, "ScanInts counted beyond its output");
    Check(qvnet::ScanInts(text, format, out.data(), 2) <= 2, kAnswerName, "ScanInts wrote beyond max_out");
  }
}

// The event channel as the event receiver runs it: receives go into the channel's framer,
// every complete message is handled, a full buffer without one is dropped.
class EventChannel {
 public:
  explicit EventChannel(FuzzClient& client) : client_(client) {}

  // One receive of at most `want` bytes (and never more than the framer has room for, the rest
  // stays in the socket); false when the channel ends.
  bool Receive(ByteReader& in, size_t want) {
    const std::span<char> space = framer_.Space();
    const std::span<const uint8_t> bytes = in.Take(std::min(want, space.size()));
    std::memcpy(space.data(), bytes.data(), bytes.size());
    return framer_.Commit(bytes.size(), [this](std::string_view message) {
      const bool go_on = qvnet::HandleEventMessage(client_, message, now_);
      Check(client_.motion.mask.load() <= 0xFFFF, kEventName, "motion mask names a region above 15");
      now_ += 40;
      return go_on;
    });
  }

 private:
  FuzzClient& client_;
  qvnet::MctpEventFramer framer_;
  qvp::Tick now_ = 1000;
};

}  // namespace

int FuzzMctpAnswer(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), std::min(size, qvnet::kMctpAnswerCapacity));
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);

  CheckLines(text);
  CheckScans(text);
  CheckRegions(text);
  qvnet::RegistrationAccepted(text);
  qvnet::MdStatusAccepted(text);
  qvnet::AlarmResetAccepted(text);
  qvnet::VideoParamSetAccepted(text);
  uint8_t v[3] = {};
  qvnet::ReadVideoParams(text, &v[0], &v[1], &v[2]);
  bool talk_back = false;
  qvnet::ReadTalkAnswer(text, &talk_back);
  return 0;
}

int FuzzEventMessage(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  const uint8_t mode = in.Byte();
  FuzzClient client(qvnet::kNetClientFlavor);
  EventChannel channel(client);
  // Receive sizes: the whole rest at once for mode 0, else 1..8*mode bytes at a time.
  uint32_t state = mode + 1u;
  while (!in.Empty()) {
    size_t n = in.Remaining();
    if (mode != 0) {
      state = state * 1103515245u + 12345u;
      n = 1 + (state >> 8) % (8u * mode);
    }
    if (!channel.Receive(in, n)) break;
  }
  return 0;
}

}  // namespace qvfuzz
