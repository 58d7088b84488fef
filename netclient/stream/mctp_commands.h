// The camera-control functions behind the exported MCTP calls. Each runs one command
// transaction on the calling thread (blocking for up to its time-outs) and returns true when
// the camera's answer accepted the command. Each uses a socket of its own, so they may run
// beside each other and beside the event channel.
#pragma once

#include <cstdint>
#include <optional>

#include "netclient/include/QVNetClient.h"
#include "netclient/media/codec/voiceengine.h"
#include "netclient/stream/stream_client.h"
#include "platform/socket.h"

namespace qvnet {

// Fills *table region by region from the camera; on success also the client's cache.
bool GetMDInfo(StreamClient& client, MDRegionTable* table);
// Sends *table; the client's cache takes it only when the camera accepted it.
bool SaveMDInfo(StreamClient& client, const MDRegionTable* table);
// Set / clear the client's motion-detection flag first, whatever the camera answers.
bool StartMD(StreamClient& client);
bool StopMD(StreamClient& client);
bool StopAlarm(StreamClient& client, int output);
// Values are sent & 255; `save` non-zero asks the camera to keep them.
bool SetVideoParam(StreamClient& client, int v1, int v2, int v3, int save);
bool GetVideoParam(StreamClient& client, uint8_t* v1, uint8_t* v2, uint8_t* v3);
// Any answer (even none, when the camera closes) counts once the request went out.
bool PTZCtrl(StreamClient& client, int command, int value);

// An opened talk connection, handed to the talk object with the camera's mode.
struct TalkChannel {
  qvp::Socket socket;
  bool talk_back = false;  // the camera will send its own voice back
};

// Voice codec announced when opening talk.
inline constexpr qvcodec::VoiceCodec kTalkCodec = qvcodec::kVoiceG726_32;

// The talk negotiation in two steps, so that a talk session can publish the socket between them
// (and shut it down from another thread while the camera takes its time to answer): the
// connected talk socket (time-outs and small-packet options set; invalid on failure), then the
// request and the answer check (true when the camera accepted; `talk_back` set).
qvp::Socket ConnectTalk(const StreamClient& client);
bool NegotiateTalk(const qvp::Socket& socket, const StreamClient& client, bool* talk_back);

// Both steps; nullopt (socket closed) when the camera refused or did not answer.
std::optional<TalkChannel> OpenTalkChannel(StreamClient& client);

}  // namespace qvnet
