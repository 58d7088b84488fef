// Seeds from the camera simulator: two cameras that play (H.264 with Digest authentication and
// G.711 A-law; motion JPEG with G.726-32), a row of cameras that only describe themselves
// in the other ways the client must read (codecs, server lines, session headers), and the
// discovery responder's replies.
#include <algorithm>
#include <cstdio>
#include <string>

#include "fuzz/seeds/seed_groups.h"
#include "netclient/wire/client_address.h"
#include "netclient/wire/mctp_message.h"
#include "netclient/wire/rtsp_requests.h"
#include "platform/tick_clock.h"
#include "tools/camsim/discovery.h"

namespace qvseeds {
namespace {

constexpr size_t kStreamCapture = 24 * 1024;
// Interleaved and packet seeds stop below this, a few kilobytes of real traffic.
constexpr size_t kStreamSeedBytes = 4096;

bool Marker(const Bytes& packet) { return packet.size() > 1 && (packet[1] & 0x80) != 0; }

Bytes Concat(std::initializer_list<std::span<const uint8_t>> parts) {
  Bytes all;
  for (const std::span<const uint8_t> p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Whole frames of the stream from `first`, at most `limit` bytes.
Bytes FramesPrefix(const std::vector<Interleaved>& frames, size_t first, size_t limit) {
  Bytes out;
  for (size_t i = first; i < frames.size(); ++i) {
    const Interleaved& f = frames[i];
    if (out.size() + 4 + f.packet.size() > limit) break;
    out.insert(out.end(), {'$', f.channel, static_cast<uint8_t>(f.packet.size() >> 8),
                           static_cast<uint8_t>(f.packet.size() & 0xFF)});
    out.insert(out.end(), f.packet.begin(), f.packet.end());
  }
  return out;
}

// Packets of one channel as a depacketizer input, from packet `first` of that channel.
Bytes PacketSeed(const std::vector<Interleaved>& frames, uint8_t channel, uint8_t flags, size_t first = 0) {
  ChunkedInput input({flags, 25});
  size_t n = 0;
  for (const Interleaved& f : frames) {
    if (f.channel != channel || n++ < first) continue;
    if (!input.Add(f.packet, kStreamSeedBytes)) break;
  }
  return input.bytes();
}

// Index of the first video packet that starts the picture after the first one.
size_t SecondPicture(const std::vector<Interleaved>& frames) {
  size_t n = 0;
  for (const Interleaved& f : frames) {
    if (f.channel != 0) continue;
    ++n;
    if (Marker(f.packet)) return n;
  }
  return 0;
}

void SaveAnswers(SeedSet& seeds, const SessionCapture& capture, const std::string& prefix) {
  for (const auto& [name, text] : capture.answers) seeds.Save("rtsp_answer", prefix + name, text);
  if (!capture.teardown_text.empty()) seeds.Save("rtsp_answer", prefix + "teardown", capture.teardown_text);
}

void SaveMedia(const camsim::SessionMedia& session, MediaSamples* media) {
  for (const camsim::SentFrame& f : session.frames) {
    const Bytes& from = f.kind == camsim::MediaKind::kVideo ? session.video : session.audio;
    if (f.offset + f.size > from.size()) continue;
    Bytes part(from.begin() + static_cast<std::ptrdiff_t>(f.offset),
               from.begin() + static_cast<std::ptrdiff_t>(f.offset + f.size));
    if (f.kind == camsim::MediaKind::kAudio) {
      (session.audio_codec == camsim::AudioCodec::kPcma ? media->alaw_payloads : media->g726_payloads)
          .push_back(std::move(part));
    } else {
      (session.video_codec == camsim::VideoCodec::kJpeg ? media->jpeg_pictures : media->h264_units)
          .push_back(std::move(part));
    }
  }
}

// The control channel's answers, the correct ones and the two kinds of malformed ones.
void MctpSeeds(SeedSet& seeds, ScopedCamera& camera) {
  const uint16_t port = camera.Port();
  const std::string md = MctpAnswer(port, qvnet::MctpMdGet(0));
  seeds.Save("mctp_answer", "md_get", md);
  MDRegionTable table{};
  if (qvnet::ReadMdRegions(md, &table)) seeds.Save("mctp_answer", "md_save", MctpAnswer(port, qvnet::MctpMdSave(0, table)));
  seeds.Save("mctp_answer", "md_start", MctpAnswer(port, qvnet::MctpMdSwitch(0, true)));
  seeds.Save("mctp_answer", "md_stop", MctpAnswer(port, qvnet::MctpMdSwitch(0, false)));
  seeds.Save("mctp_answer", "alarm_reset", MctpAnswer(port, qvnet::MctpAlarmReset(1)));
  seeds.Save("mctp_answer", "video_param_set", MctpAnswer(port, qvnet::MctpVideoParamSet(0, 100, 120, 140, true)));
  seeds.Save("mctp_answer", "video_param_get", MctpAnswer(port, qvnet::MctpVideoParamGet(0)));
  seeds.Save("mctp_answer", "ptz", MctpAnswer(port, qvnet::MctpPtz(0, 3, 5)));
  seeds.Save("mctp_answer", "talk", MctpAnswer(port, qvnet::MctpTalk(0, 6)));
  camera.Get().SetMctpFault(camsim::McptFault::kWrongLineCount);
  seeds.Save("mctp_answer", "md_get_wrong_lines", MctpAnswer(port, qvnet::MctpMdGet(0)));
  seeds.Save("mctp_answer", "talk_wrong_lines", MctpAnswer(port, qvnet::MctpTalk(0, 6)));
  camera.Get().SetMctpFault(camsim::McptFault::kGarbageNumbers);
  seeds.Save("mctp_answer", "md_get_garbage", MctpAnswer(port, qvnet::MctpMdGet(0)));
  seeds.Save("mctp_answer", "video_param_get_garbage", MctpAnswer(port, qvnet::MctpVideoParamGet(0)));
  camera.Get().SetMctpFault(camsim::McptFault::kNone);
}

// While the session plays: the registration answer and the event channel's traffic.
void EventSeeds(SeedSet& seeds, ScopedCamera& camera, const std::string& session_id) {
  seeds.Save("mctp_answer", "registration", MctpAnswer(camera.Port(), qvnet::MctpRegistration(session_id, 0)));
  const Bytes events = CaptureEvents(camera.Port(), session_id, [&camera] {
    camera.Get().PushMotion(0x0005);
    camera.Get().PushAlarm(3);
    camera.Get().PushMotion(0);
  });
  seeds.Save("event_message", "motion_alarm", Concat({Bytes{0}, events}));
  seeds.Save("event_message", "motion_alarm_split", Concat({Bytes{3}, events}));
}

void H264CameraSeeds(SeedSet& seeds, MediaSamples* media) {
  camsim::CameraOptions options = SmallCamera(camsim::VideoCodec::kH264, camsim::AudioCodec::kPcma);
  options.user = "admin";
  options.password = "1234";
  ScopedCamera camera(options);
  if (!camera.Ok()) return;
  const SessionCapture capture = CaptureSession(camera, true, kStreamCapture, [&](const std::string& session_id) {
    EventSeeds(seeds, camera, session_id);
  });
  SaveAnswers(seeds, capture, "h264_pcma_");
  const std::vector<Interleaved>& frames = capture.packets;
  const Bytes start = FramesPrefix(frames, 0, kStreamSeedBytes);
  seeds.Save("interleaved_reader", "h264_after_play", Concat({Bytes{0}, start}));
  seeds.Save("interleaved_reader", "h264_split_receives", Concat({Bytes{5}, start}));
  const Bytes head = FramesPrefix(frames, 0, 1200);
  seeds.Save("interleaved_reader", "teardown_between_frames",
             Concat({Bytes{0}, head, AsBytes(capture.teardown_text), FramesPrefix(frames, 20, 1200)}));
  seeds.Save("h264_depacketizer", "tcp_record_key_frame", PacketSeed(frames, 0, 0x03));
  seeds.Save("h264_depacketizer", "udp_live_key_frame", PacketSeed(frames, 0, 0x00));
  seeds.Save("h264_depacketizer", "nvr_record_no_media", PacketSeed(frames, 0, 0x0F));
  seeds.Save("h264_depacketizer", "tcp_record_later_pictures", PacketSeed(frames, 0, 0x03, SecondPicture(frames)));
  seeds.Save("audio_depacketizer", "alaw_tcp_record", PacketSeed(frames, 2, 0x13));
  seeds.Save("audio_depacketizer", "alaw_udp_live", PacketSeed(frames, 2, 0x10));
  seeds.Save("audio_depacketizer", "alaw_nvr_record", PacketSeed(frames, 2, 0x17));
  MctpSeeds(seeds, camera);
  media->h264_stream = frames;
  for (const camsim::SessionMedia& session : camera.Get().Media()) SaveMedia(session, media);
}

void JpegCameraSeeds(SeedSet& seeds, MediaSamples* media) {
  ScopedCamera camera(SmallCamera(camsim::VideoCodec::kJpeg, camsim::AudioCodec::kG726_32));
  if (!camera.Ok()) return;
  const SessionCapture capture = CaptureSession(camera, true, kStreamCapture);
  SaveAnswers(seeds, capture, "jpeg_g726_");
  const std::vector<Interleaved>& frames = capture.packets;
  seeds.Save("interleaved_reader", "jpeg_after_play", Concat({Bytes{0x80}, FramesPrefix(frames, 0, kStreamSeedBytes)}));
  seeds.Save("jpeg_depacketizer", "tcp_record_picture", PacketSeed(frames, 0, 0x03));
  seeds.Save("jpeg_depacketizer", "udp_record_picture", PacketSeed(frames, 0, 0x02));
  seeds.Save("jpeg_depacketizer", "nvr_tcp_record", PacketSeed(frames, 0, 0x07, SecondPicture(frames)));
  seeds.Save("audio_depacketizer", "g726_32_tcp_live", PacketSeed(frames, 2, 0x61));
  // Requests a camera refuses: a track it does not have, PLAY before SETUP.
  qvnet::ClientAddress address;
  address.host = "127.0.0.1";
  address.port = camera.Port();
  const std::string uri = qvnet::BuildRtspUri(address, 0);
  seeds.Save("rtsp_answer", "setup_unknown_track",
             RtspExchange(camera.Port(), qvnet::BuildVideoSetup(uri, '7', 1, qvnet::TcpTransportLine(0), nullptr)));
  seeds.Save("rtsp_answer", "play_before_setup", RtspExchange(camera.Port(), qvnet::BuildPlay(uri, 1, "1234", nullptr)));
  media->jpeg_stream = frames;
  for (const camsim::SessionMedia& session : camera.Get().Media()) SaveMedia(session, media);
}

// Cameras that only answer DESCRIBE (and SETUP, for the session header variants).
void DescribeVariantSeeds(SeedSet& seeds) {
  struct Variant {
    const char* name;
    camsim::AudioCodec audio;
    camsim::ServerHeader server;
    const char* server_text;
    bool setup;
    void (*tweak)(camsim::CameraOptions&);
  };
  const Variant variants[] = {
      {"pcmu", camsim::AudioCodec::kPcmu, camsim::ServerHeader::kParams, "", false, nullptr},
      {"g726_16", camsim::AudioCodec::kG726_16, camsim::ServerHeader::kParams, "", false, nullptr},
      {"g726_24", camsim::AudioCodec::kG726_24, camsim::ServerHeader::kParams, "", false, nullptr},
      {"g726_40", camsim::AudioCodec::kG726_40, camsim::ServerHeader::kParams, "", false, nullptr},
      {"no_audio", camsim::AudioCodec::kNone, camsim::ServerHeader::kParams, "", false, nullptr},
      {"no_server_line", camsim::AudioCodec::kPcma, camsim::ServerHeader::kOmit, "", false, nullptr},
      {"server_three_numbers", camsim::AudioCodec::kPcma, camsim::ServerHeader::kCustom, "704*576*25", false, nullptr},
      {"server_overflow", camsim::AudioCodec::kPcma, camsim::ServerHeader::kCustom, "2147483648*576*25*4096", false,
       nullptr},
      {"one_track", camsim::AudioCodec::kPcma, camsim::ServerHeader::kParams, "", false,
       [](camsim::CameraOptions& o) { o.audio_without_control = true; }},
      {"long_session", camsim::AudioCodec::kPcma, camsim::ServerHeader::kParams, "", true,
       [](camsim::CameraOptions& o) {
         o.long_session_id = true;
         o.session_timeout = true;
       }},
  };
  for (const Variant& v : variants) {
    camsim::CameraOptions options = SmallCamera(camsim::VideoCodec::kH264, v.audio);
    options.server_header = v.server;
    options.server_header_text = v.server_text;
    if (v.tweak != nullptr) v.tweak(options);
    ScopedCamera camera(options);
    if (!camera.Ok()) continue;
    SaveAnswers(seeds, CaptureSession(camera, v.setup, 0), std::string(v.name) + "_");
  }
}

// Discovery replies as the simulator's responder sends them, alone, repeated by another
// camera and a foreign model, cut short, and with texts that fill their fields to the end.
void DiscoverySeeds(SeedSet& seeds) {
  camsim::DiscoveryOptions camera;
  camera.channels = 4;
  const Bytes ipcamera = camsim::EncodeDiscoveryReply(camera, 554, "192.0.2.9");
  camsim::DiscoveryOptions dvs;
  dvs.model = "DVS";
  dvs.name = "Gate";
  const Bytes dvs_reply = camsim::EncodeDiscoveryReply(dvs, 8554, "");
  camsim::DiscoveryOptions nvr = dvs;
  nvr.model = "NVR";
  Bytes unterminated = ipcamera;
  std::fill(unterminated.begin() + 13, unterminated.begin() + 160, 'A');
  unterminated.resize(200, 'B');
  struct Seed {
    const char* name;
    uint8_t senders;
    std::vector<Bytes> datagrams;
  };
  const Seed list[] = {
      {"ipcamera_four_channels", 0x00, {ipcamera}},
      {"dvs_twice_and_nvr", 0x04, {dvs_reply, dvs_reply, camsim::EncodeDiscoveryReply(nvr, 554, "")}},
      {"cut_before_channels", 0x00, {Bytes(ipcamera.begin(), ipcamera.begin() + 164)}},
      {"texts_to_the_end", 0x1B, {unterminated, ipcamera}},
  };
  for (const Seed& seed : list) {
    ChunkedInput input({seed.senders});
    for (const Bytes& d : seed.datagrams) input.Add(d);
    seeds.Save("discovery_reply", seed.name, input.bytes());
  }
}

}  // namespace

MediaSamples MakeCameraSeeds(SeedSet& seeds) {
  MediaSamples media;
  H264CameraSeeds(seeds, &media);
  JpegCameraSeeds(seeds, &media);
  DescribeVariantSeeds(seeds);
  DiscoverySeeds(seeds);
  return media;
}

}  // namespace qvseeds
