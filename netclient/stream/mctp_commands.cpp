#include "netclient/stream/mctp_commands.h"

#include <mutex>
#include <string>

#include "netclient/wire/mctp_message.h"
#include "netclient/stream/mctp_transaction.h"

namespace qvnet {
namespace {

constexpr MctpTimeouts kCommandTimeouts{3000, 3000, 3000};
constexpr MctpTimeouts kMdSaveTimeouts{3000, 3000, 5000};
constexpr MctpTimeouts kPtzTimeouts{1000, 500, 500};
constexpr MctpTimeouts kTalkTimeouts{3000, 10000, 10000};

std::optional<std::string> Run(StreamClient& client, const std::string& request, const MctpTimeouts& timeouts) {
  return MctpTransaction(client.address.host, client.address.port, request, timeouts);
}

}  // namespace

bool GetMDInfo(StreamClient& client, MDRegionTable* table) {
  if (table == nullptr) return false;
  const std::optional<std::string> answer = Run(client, MctpMdGet(client.stream_number), kCommandTimeouts);
  if (!answer || !ReadMdRegions(*answer, table)) return false;
  std::lock_guard guard(client.motion.lock);
  client.motion.regions = *table;
  return true;
}

bool SaveMDInfo(StreamClient& client, const MDRegionTable* table) {
  if (table == nullptr) return false;
  const std::optional<std::string> answer = Run(client, MctpMdSave(client.stream_number, *table), kMdSaveTimeouts);
  if (!answer || !MdStatusAccepted(*answer)) return false;
  std::lock_guard guard(client.motion.lock);
  client.motion.regions = *table;
  return true;
}

bool StartMD(StreamClient& client) {
  client.motion.enabled = true;
  const std::optional<std::string> answer = Run(client, MctpMdSwitch(client.stream_number, true), kCommandTimeouts);
  return answer && MdStatusAccepted(*answer);
}

bool StopMD(StreamClient& client) {
  client.motion.enabled = false;
  const std::optional<std::string> answer = Run(client, MctpMdSwitch(client.stream_number, false), kCommandTimeouts);
  return answer && MdStatusAccepted(*answer);
}

bool StopAlarm(StreamClient& client, int output) {
  const std::optional<std::string> answer = Run(client, MctpAlarmReset(output), kCommandTimeouts);
  return answer && AlarmResetAccepted(*answer);
}

bool SetVideoParam(StreamClient& client, int v1, int v2, int v3, int save) {
  const std::string request = MctpVideoParamSet(client.stream_number, v1, v2, v3, save != 0);
  const std::optional<std::string> answer = Run(client, request, kCommandTimeouts);
  return answer && VideoParamSetAccepted(*answer);
}

bool GetVideoParam(StreamClient& client, uint8_t* v1, uint8_t* v2, uint8_t* v3) {
  if (v1 == nullptr || v2 == nullptr || v3 == nullptr) return false;
  const std::optional<std::string> answer = Run(client, MctpVideoParamGet(client.stream_number), kCommandTimeouts);
  return answer && ReadVideoParams(*answer, v1, v2, v3);
}

bool PTZCtrl(StreamClient& client, int command, int value) {
  return Run(client, MctpPtz(client.stream_number, command, value), kPtzTimeouts).has_value();
}

qvp::Socket ConnectTalk(const StreamClient& client) {
  const MctpSocketExtras extras{.no_delay = true, .send_buffer = 8192, .recv_buffer = 16384};
  return MctpConnect(client.address.host, client.address.port, kTalkTimeouts, extras);
}

bool NegotiateTalk(const qvp::Socket& socket, const StreamClient& client, bool* talk_back) {
  const std::optional<std::string> answer = MctpExchange(socket, MctpTalk(client.stream_number, kTalkCodec));
  return answer && ReadTalkAnswer(*answer, talk_back);
}

std::optional<TalkChannel> OpenTalkChannel(StreamClient& client) {
  TalkChannel channel;
  channel.socket = ConnectTalk(client);
  if (!channel.socket.IsValid() || !NegotiateTalk(channel.socket, client, &channel.talk_back)) return std::nullopt;
  return channel;
}

}  // namespace qvnet
