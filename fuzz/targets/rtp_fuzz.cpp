// The RTP depacketizers fed the way the receivers feed them: a packet context per packet with
// the client, the recording pair, a media output that decodes voice like the live library's,
// the JPEG assembly and the key-frame span; packets as large as the receive buffers allow.
// With recording on, the file the packets made is read back at the end and must be whole.
//
// Set-up bytes: flags (bit 0 interleaved over TCP, bit 1 record, bit 2 the recording
// library's flavor, bit 3 no media output, bits 4-7 the client's audio codec), then the
// client's frame rate. Then RTP packets as chunks.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "fuzz/targets/fuzz_support.h"
#include "fuzz/targets/fuzz_targets.h"
#include "netclient/media/codec/voiceengine.h"
#include "netclient/media/record/record_pair.h"
#include "netclient/media/record/record_reader.h"
#include "netclient/wire/audio_depacketizer.h"
#include "netclient/stream/av_source_tcp.h"
#include "netclient/wire/h264_depacketizer.h"
#include "netclient/wire/jpeg_depacketizer.h"
#include "netclient/wire/media_output.h"
#include "netclient/wire/rtp_header.h"
#include "netclient/stream/rtp_receivers.h"

namespace qvfuzz {
namespace {

constexpr uint8_t kFlagTcp = 1;
constexpr uint8_t kFlagRecord = 2;
constexpr uint8_t kFlagNvr = 4;
constexpr uint8_t kFlagNoMedia = 8;

// Display and sound as far as the stream code reaches them: video is counted, voice is
// decoded with the bounded decoder as the live library does.
class FuzzMediaOutput : public qvnet::MediaOutput {
 public:
  bool StartDisplay() override { return true; }
  void StopDisplay() override {}
  bool WriteVideo(const uint8_t*, size_t length, bool) override {
    video_bytes += length;
    return true;
  }
  bool ResetVoiceDecoder(uint8_t codec) override {
    return qvcodec::VoiceDecReset(&voice_, static_cast<int16_t>(codec)) == qvcodec::kVoiceOk;
  }
  bool DecodeAudio(const uint8_t* voice_frame, size_t length) override {
    uint16_t count = 0;
    return qvcodec::VoiceDecodeFrameBounded(&voice_, voice_frame, length, samples_.data(), &count) ==
           qvcodec::kVoiceOk;
  }
  void ResetForConnection() override {}

  uint64_t video_bytes = 0;

 private:
  qvcodec::VoiceState voice_{};
  std::array<int16_t, qvcodec::kMaxVoiceSamples> samples_{};
};

class DepacketizerRig {
 public:
  DepacketizerRig(const char* name, ByteReader& in, uint8_t payload_type)
      : name_(name),
        flags_(in.Byte()),
        client_((flags_ & kFlagNvr) != 0 ? qvnet::kNvrClientFlavor : qvnet::kNetClientFlavor),
        record_([](int) {}),
        file_(std::string(name) + ".rec") {
    client_.frame_rate = in.Byte();
    client_.audio_codec = static_cast<uint8_t>(flags_ >> 4);
    client_.video_payload_type = payload_type;
    client_.width = 352;
    client_.height = 288;
    Check(jpeg_.Allocate(), name_, "no memory for the JPEG assembly");
    // What a source does when the connection plays: header from the client, voice decoder
    // reset for the announced codec, then the recording the application asked for.
    qvnet::RecordHeader header;
    header.payload_type = payload_type;
    header.audio_codec = client_.audio_codec.load();
    header.frame_rate = static_cast<uint8_t>(client_.frame_rate.load());
    record_.SetRecordHeader(header);
    if (Media() != nullptr && client_.Flavor().decode_audio) {
      voice_ready_ = media_.ResetVoiceDecoder(client_.audio_codec.load());
    }
    if ((flags_ & kFlagRecord) != 0) {
      Check(record_.ClientStartRecord(file_.Path().c_str(), 0) == 1, name_, "the recording did not start");
    }
  }
  ~DepacketizerRig() { record_.StopRecordings(); }
  DepacketizerRig(const DepacketizerRig&) = delete;
  DepacketizerRig& operator=(const DepacketizerRig&) = delete;

  bool Tcp() const { return (flags_ & kFlagTcp) != 0; }
  // The most a receiver hands over at once: interleaved packets above it are skipped by the
  // reader, datagrams are cut by the receive.
  size_t MaxPacket() const {
    return Tcp() ? qvnet::CAVSource_RTSP_TCP::kPacketBuffer : qvnet::CRTPVideoReceiver::kMaxDatagram;
  }
  bool VoiceReady() const { return voice_ready_ || Media() == nullptr || !client_.Flavor().decode_audio; }
  FuzzClient& Client() { return client_; }

  qvnet::PacketContext NextContext() {
    now_ += 40;
    const auto transport = Tcp() ? qvnet::MediaTransport::kTcp : qvnet::MediaTransport::kUdp;
    return qvnet::PacketContext{client_, transport, &record_, Media(), &jpeg_, &span_, now_, &fua_};
  }

  // Stops the recording and reads the file back: every record written must read back, and the
  // index block the stop wrote must be the one the reader loads.
  void Finish() {
    if (!record_.NormalWriter().IsActive()) return;
    record_.ClientStopRecord();
    const qvnet::RecordWriterStats stats = record_.NormalWriter().Stats();
    if (::access(file_.Path().c_str(), F_OK) != 0) return;  // nothing indexed: the file was removed
    qvnet::RecordFileReader reader;
    Check(reader.Open(file_.Path()) == qvnet::RecordOpenResult::kOk, name_, "own recording does not open");
    Check(reader.Origin() == qvnet::IndexOrigin::kTail, name_, "own index block was not trusted");
    Check(reader.Index().size() == stats.index_entries, name_, "index entries lost");
    static std::vector<uint8_t> payload(qvnet::kMaxPayloadLength + 1);
    qvnet::FrameHeader header;
    size_t frames = 0;
    while (reader.ReadFrame(payload, header) == qvnet::FrameReadResult::kFrame) {
      Check(++frames <= reader.FileSize() / qvnet::kFrameHeaderSize, name_, "more records than the file holds");
    }
    Check(reader.Position() == reader.FramesEnd(), name_, "own records do not read to the index block");
  }

 private:
  qvnet::MediaOutput* Media() { return (flags_ & kFlagNoMedia) != 0 ? nullptr : &media_; }
  const qvnet::MediaOutput* Media() const { return (flags_ & kFlagNoMedia) != 0 ? nullptr : &media_; }

  const char* name_;
  uint8_t flags_;
  FuzzClient client_;
  FuzzMediaOutput media_;
  qvnet::RecordPair record_;
  qvnet::JpegAssembly jpeg_;
  qvnet::FuAssembly fua_;
  qvnet::KeyFrameSpan span_;
  ScratchFile file_;
  qvp::Tick now_ = 0;
  bool voice_ready_ = false;
};

// Feeds every packet of the input to `handle` with a writable copy, as the receive buffers are.
template <typename Handle>
void FeedPackets(DepacketizerRig& rig, ByteReader& in, size_t max_packet, Handle handle) {
  std::vector<uint8_t> packet;
  while (!in.Empty()) {
    const std::span<const uint8_t> chunk = in.Chunk();
    if (rig.Tcp() && chunk.size() > max_packet) continue;
    packet.assign(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(std::min(chunk.size(), max_packet)));
    handle(rig.NextContext(), packet);
  }
  rig.Finish();
}

}  // namespace

int FuzzH264Depacketizer(const uint8_t* data, size_t size) {
  constexpr const char* kName = "h264_depacketizer";
  ByteReader in(data, size);
  DepacketizerRig rig(kName, in, qvnet::kPayloadTypeH264);
  uint32_t accepted = 0;
  FeedPackets(rig, in, rig.MaxPacket(), [&](const qvnet::PacketContext& ctx, std::vector<uint8_t>& p) {
    // Taken packets count their payload: behind CSRCs and extension, without padding.
    const std::optional<qvnet::RtpHeaderView> rtp = qvnet::ParseRtpHeader(p.data(), p.size());
    if (qvnet::HandleH264Packet(ctx, p.data(), p.size())) accepted += static_cast<uint32_t>(rtp->payload_length);
  });
  Check(rig.Client().received_bytes.load() == accepted, kName, "byte count differs from the packets taken");
  return 0;
}

int FuzzJpegDepacketizer(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  DepacketizerRig rig("jpeg_depacketizer", in, qvnet::kPayloadTypeJpeg);
  FeedPackets(rig, in, rig.MaxPacket(), [](const qvnet::PacketContext& ctx, std::vector<uint8_t>& p) {
    qvnet::HandleJpegPacket(ctx, p.data(), p.size());
  });
  return 0;
}

int FuzzAudioDepacketizer(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  DepacketizerRig rig("audio_depacketizer", in, qvnet::kPayloadTypeH264);
  // A source whose voice decoder refuses the codec ends the connection before any packet.
  if (!rig.VoiceReady()) return 0;
  FeedPackets(rig, in, qvnet::kMaxAudioPacket, [](const qvnet::PacketContext& ctx, std::vector<uint8_t>& p) {
    qvnet::HandleAudioPacket(ctx, p.data(), p.size());
  });
  return 0;
}

}  // namespace qvfuzz
