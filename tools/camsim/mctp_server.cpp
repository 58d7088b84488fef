#include "tools/camsim/mctp_server.h"

#include <algorithm>
#include <charconv>

#include "platform/tick_clock.h"
#include "tools/camsim/camera_context.h"
#include "tools/camsim/connection.h"
#include "tools/camsim/mctp.h"
#include "tools/camsim/talk.h"

namespace camsim {

namespace {

constexpr int64_t kTalkIntervalMs = 40;

int ParseIntOr(std::string_view text, int fallback) {
  int value = fallback;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() ? value : fallback;
}

class MctpSession {
 public:
  MctpSession(CameraContext& context, Connection& connection) : context_(context), connection_(connection) {}
  ~MctpSession() {
    if (event_channel_) context_.RemoveEventChannel(&connection_);
  }
  MctpSession(const MctpSession&) = delete;
  MctpSession& operator=(const MctpSession&) = delete;

  void Serve(std::string buffer);

 private:
  bool Answer(const std::string& text) { return connection_.DelayAnswer() && connection_.Send(text); }
  bool OnAlive(const MctpMessage& message);
  // Negotiates a talk session; true when the connection now carries talk frames.
  bool OnTalk(const MctpMessage& message, bool* talk_back);
  void ServeTalk(std::string pending, bool talk_back);

  CameraContext& context_;
  Connection& connection_;
  bool event_channel_ = false;
};

void MctpSession::Serve(std::string buffer) {
  for (;;) {
    const size_t size = MctpMessageSize(buffer);
    if (size == 0) {
      // A client that never ends its message gets no answer and loses the connection.
      if (buffer.size() >= kMaxMctpMessage || connection_.Receive(&buffer, -1) < 0) return;
      continue;
    }
    const std::string text = buffer.substr(0, size);
    buffer.erase(0, size);
    context_.log.Request("MCTP", connection_.Id(), text);
    const std::optional<MctpMessage> message = ParseMctpMessage(text);
    if (!message) continue;
    if (message->command == "ALIVE") {
      if (!OnAlive(*message)) return;
      continue;
    }
    if (message->command == "TALK") {
      bool talk_back = false;
      if (OnTalk(*message, &talk_back)) ServeTalk(std::move(buffer), talk_back);
      return;
    }
    const McptFault fault = context_.mctp_fault.load();
    const std::optional<std::string> answer =
        context_.WithState([&](CameraState* state) { return AnswerMctpCommand(*message, state, fault); });
    if (answer && !Answer(*answer)) return;
  }
}

bool MctpSession::OnAlive(const MctpMessage& message) {
  const McptFault fault = context_.mctp_fault.load();
  if (message.params.empty()) {
    if (context_.silent.load()) return true;
    return Answer(KeepAliveAnswer(fault));
  }
  const std::vector<std::string_view> fields = SplitMctpFields(message.params.front());
  const std::string session = fields.empty() ? std::string() : std::string(fields[0]);
  const int stream = fields.size() > 1 ? ParseIntOr(fields[1], 0) : 0;
  const bool ok = !session.empty() && context_.IsPlaying(session);
  if (!Answer(RegistrationAnswer(stream, ok, fault))) return false;
  if (ok && !event_channel_) {
    context_.AddEventChannel(&connection_, stream);
    event_channel_ = true;
  }
  return true;
}

bool MctpSession::OnTalk(const MctpMessage& message, bool* talk_back) {
  const McptFault fault = context_.mctp_fault.load();
  const auto numbers = message.params.empty() ? std::nullopt : ParseMctpNumbers(message.params.front());
  *talk_back = context_.talk_back.load() && context_.talk_voice != nullptr;
  const bool accepted = numbers && numbers->size() == 2 && !context_.refuse_talk.load();
  if (!Answer(TalkAnswer(*talk_back, accepted, fault))) return false;
  return accepted;
}

void MctpSession::ServeTalk(std::string pending, bool talk_back) {
  struct Ended {
    CameraLog& log;
    ~Ended() { log.TalkEnded(); }
  } ended{context_.log};
  TalkFrameReader reader([&](uint32_t length, uint32_t tick, const uint8_t* voice, bool valid) {
    context_.log.Talk({qvp::TickCount(), length, tick, valid}, voice, length);
  });
  if (!reader.Feed(reinterpret_cast<const uint8_t*>(pending.data()), pending.size())) {
    context_.log.Talk({qvp::TickCount(), 0, 0, false}, nullptr, 0);
    return;
  }
  const std::vector<Bytes>* voice = talk_back ? &context_.talk_voice->packets : nullptr;
  // The first voice frame waits a little longer, so that it never joins the TALK answer in
  // the client's single recv.
  int64_t next_send = SteadyMs() + 2 * kTalkIntervalMs;
  size_t index = 0;
  std::string received;
  for (;;) {
    const int64_t now = SteadyMs();
    const int timeout = voice ? static_cast<int>(std::clamp<int64_t>(next_send - now, 0, kTalkIntervalMs)) : -1;
    received.clear();
    const int n = connection_.Receive(&received, timeout);
    if (n < 0) return;
    if (n > 0 && !reader.Feed(reinterpret_cast<const uint8_t*>(received.data()), received.size())) {
      // A length no voice frame can have: the stream cannot be followed any further.
      context_.log.Talk({qvp::TickCount(), 0, 0, false}, nullptr, 0);
      return;
    }
    if (voice == nullptr || SteadyMs() < next_send) continue;
    const Bytes frame = MakeVoiceFrame((*voice)[index++ % voice->size()]);
    if (!connection_.Send(std::string_view(reinterpret_cast<const char*>(frame.data()), frame.size()))) return;
    next_send = std::max(next_send + kTalkIntervalMs, SteadyMs() - 1000);
  }
}

}  // namespace

void ServeMctp(CameraContext& context, Connection& connection, std::string initial) {
  MctpSession session(context, connection);
  session.Serve(std::move(initial));
}

}  // namespace camsim
