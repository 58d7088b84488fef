// Seeds the product's own writers make: record files recorded from the camera's packets by the
// same depacketizers and writer the live clients use (with and without their index, cut short,
// and rewritten in the legacy layout), AVI files from the AVI writer, the recorder's settings
// files and config.ini, voice frames of every codec and the decoders' inputs.
#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <string>

#include "fuzz/seeds/seed_groups.h"
#include "fuzz/targets/fuzz_support.h"
#include "netclient/media/codec/voiceengine.h"
#include "netclient/media/record/record_pair.h"
#include "netclient/media/record/record_reader.h"
#include "netclient/stream/av_source_tcp.h"
#include "netclient/wire/interleaved_dispatch.h"
#include "netclient/wire/h264_depacketizer.h"
#include "netclient/wire/jpeg_depacketizer.h"
#include "nvr/core/store/atomic_file.h"
#include "nvr/core/store/settings_files.h"
#include "tools/aviwrite/avi_writer.h"

namespace qvseeds {
namespace {

// Recordings made here stay far below this; a larger file is no seed anyway.
constexpr size_t kMaxFileRead = 1u << 20;

Bytes ReadWholeFile(const std::string& path) {
  std::string data;
  if (nvr::ReadWholeFile(path, kMaxFileRead, &data) != 0) return {};
  return Bytes(data.begin(), data.end());
}

// Records the first `count` packets of `stream` the way a TCP source does and returns the
// file the stopped recording left (empty when the writer removed it: no key frame).
Bytes RecordPackets(const std::vector<Interleaved>& stream, size_t count, bool jpeg, uint8_t audio_codec) {
  const uint8_t payload_type = jpeg ? qvnet::kPayloadTypeJpeg : qvnet::kPayloadTypeH264;
  qvfuzz::FuzzClient client(qvnet::kNvrClientFlavor);
  client.video_payload_type = payload_type;
  client.audio_codec = audio_codec;
  client.frame_rate = 25;
  client.width = 160;
  client.height = 128;
  qvnet::RecordPair record([](int) {});
  qvnet::RecordHeader header;
  header.payload_type = payload_type;
  header.audio_codec = audio_codec;
  header.frame_rate = 25;
  record.SetRecordHeader(header);
  const qvfuzz::ScratchFile file("seed.rec");
  if (record.ClientStartRecord(file.Path().c_str(), 0) != 1) return {};
  qvnet::JpegAssembly assembly;
  if (!assembly.Allocate()) return {};
  qvnet::KeyFrameSpan span;
  qvnet::FuAssembly fua;
  qvp::Tick now = 0;
  for (size_t i = 0; i < std::min(count, stream.size()); ++i) {
    Bytes packet = stream[i].packet;
    const qvnet::PacketContext ctx{client, qvnet::MediaTransport::kTcp, &record, nullptr, &assembly, &span, now += 40, &fua};
    qvnet::HandleInterleavedPacket(ctx, stream[i].channel, packet.data(), packet.size());
  }
  record.ClientStopRecord();
  return ReadWholeFile(file.Path());
}

// The longest recording of the stream's first packets that still fits a seed.
Bytes FittingRecording(const std::vector<Interleaved>& stream, bool jpeg, uint8_t audio_codec) {
  for (size_t count = std::min<size_t>(stream.size(), 200); count > 0; count = count * 3 / 4) {
    Bytes file = RecordPackets(stream, count, jpeg, audio_codec);
    if (!file.empty() && file.size() <= kMaxSeedBytes) return file;
  }
  return {};
}

// The same records in the legacy layout: its signature and frame rate, 8-byte frame headers,
// 8-byte index entries.
Bytes ToLegacy(const Bytes& current) {
  const qvfuzz::ScratchFile file("legacy_source.rec", current);
  qvnet::RecordFileReader reader;
  if (!file.Written() || reader.Open(file.Path()) != qvnet::RecordOpenResult::kOk) return {};
  const std::string signature(qvnet::kLegacySignature);
  Bytes out(signature.begin(), signature.end());
  out.push_back(reader.FrameRate());
  std::vector<qvnet::IndexEntry> index;
  Bytes payload(qvnet::kMaxPayloadLength + 1);
  qvnet::FrameHeader header;
  while (reader.ReadFrame(payload, header) == qvnet::FrameReadResult::kFrame) {
    if (header.stream == qvnet::kStreamVideo && header.kind == qvnet::kKindKeyFrame) {
      index.push_back({out.size(), header.tick});
    }
    uint8_t h[qvnet::kLegacyFrameHeaderSize] = {};
    qvnet::PutU32(h, qvnet::EncodeDescriptor(header.stream, header.kind, header.length));
    qvnet::PutU32(h + 4, header.tick);
    out.insert(out.end(), std::begin(h), std::end(h));
    out.insert(out.end(), payload.begin(), payload.begin() + header.length);
  }
  const std::string begin(qvnet::kBeginIndexMarker);
  out.insert(out.end(), begin.begin(), begin.end());
  for (const qvnet::IndexEntry& e : index) {
    uint8_t entry[qvnet::kLegacyIndexEntrySize] = {};
    qvnet::PutU32(entry, static_cast<uint32_t>(e.offset));
    qvnet::PutU32(entry + 4, e.tick);
    out.insert(out.end(), std::begin(entry), std::end(entry));
  }
  uint8_t count[4] = {};
  qvnet::PutU32(count, static_cast<uint32_t>(index.size()));
  out.insert(out.end(), std::begin(count), std::end(count));
  const std::string end(qvnet::kEndIndexMarker);
  out.insert(out.end(), end.begin(), end.end());
  return out;
}

uint64_t FramesEnd(const Bytes& recording) {
  const qvfuzz::ScratchFile file("frames_end.rec", recording);
  qvnet::RecordFileReader reader;
  if (!file.Written() || reader.Open(file.Path()) != qvnet::RecordOpenResult::kOk) return 0;
  return reader.FramesEnd();
}

void SaveRecordVariants(SeedSet& seeds, const std::string& prefix, const Bytes& recording) {
  if (recording.empty()) {
    std::fprintf(stderr, "no %s recording came out of the camera's packets\n", prefix.c_str());
    return;
  }
  seeds.Save("record_reader", prefix + "indexed", recording);
  const uint64_t frames_end = FramesEnd(recording);
  if (frames_end == 0 || frames_end > recording.size()) return;
  const Bytes records(recording.begin(), recording.begin() + static_cast<std::ptrdiff_t>(frames_end));
  seeds.Save("record_reader", prefix + "no_index", records);
  // A recording still being written: its last record only partly on disk.
  seeds.Save("record_reader", prefix + "growing", Bytes(records.begin(), records.end() - 5));
  const Bytes legacy = ToLegacy(recording);
  if (!legacy.empty() && legacy.size() <= kMaxSeedBytes) seeds.Save("record_reader", prefix + "legacy", legacy);
}

void RecordSeeds(SeedSet& seeds, const MediaSamples& media) {
  SaveRecordVariants(seeds, "h264_alaw_",
                     FittingRecording(media.h264_stream, false, static_cast<uint8_t>(qvcodec::kVoiceAlaw)));
  SaveRecordVariants(seeds, "jpeg_g726_",
                     FittingRecording(media.jpeg_stream, true, static_cast<uint8_t>(qvcodec::kVoiceG726_32)));
}

// 320 samples of a tone, 40 ms at 8000 Hz.
Bytes Pcm(int index) {
  Bytes pcm(640);
  for (size_t i = 0; i < 320; ++i) {
    const auto s = static_cast<int16_t>(((i * 37 + static_cast<size_t>(index) * 11) % 200) * 40 - 4000);
    pcm[2 * i] = static_cast<uint8_t>(s & 0xFF);
    pcm[2 * i + 1] = static_cast<uint8_t>((s >> 8) & 0xFF);
  }
  return pcm;
}

// An AVI of at most `max_frames` pictures that fits a seed.
void SaveAvi(SeedSet& seeds, const std::string& name, const std::vector<Bytes>& pictures, bool jpeg, bool sound) {
  for (size_t n = std::min<size_t>(pictures.size(), 12); n > 0; --n) {
    aviwrite::AviWriter writer({jpeg, 160, 128, 25});
    for (size_t i = 0; i < n; ++i) {
      const Bytes pcm = sound ? Pcm(static_cast<int>(i)) : Bytes();
      writer.AddFrame(pictures[i], std::span<const uint8_t>(pcm).first(sound ? 64 : 0),
                      jpeg || aviwrite::IsKeyAccessUnit(pictures[i]));
    }
    const Bytes file = writer.Build();
    if (file.size() <= kMaxSeedBytes) {
      seeds.Save("avi_reader", name, file);
      return;
    }
  }
}

void AviSeeds(SeedSet& seeds, const MediaSamples& media) {
  SaveAvi(seeds, "h264_with_sound", media.h264_units, false, true);
  SaveAvi(seeds, "mjpeg_silent", media.jpeg_pictures, true, false);
}

void SettingsSeeds(SeedSet& seeds) {
  const qvfuzz::ScratchFile local("Local.dat");
  nvr::SettingsBlock block = nvr::DefaultSettings('D');
  block.disk_full_policy = 1;
  if (nvr::WriteSettings(local.Path(), block)) {
    const Bytes bytes = ReadWholeFile(local.Path());
    seeds.Save("settings_files", "local_dat", bytes);
    seeds.Save("settings_files", "local_dat_cut_in_drives", Bytes(bytes.begin(), bytes.begin() + 301));
  }
  std::vector<nvr::ScheduleRecord> schedules(2);
  const char* const names[] = {"Nights", "Weekend, all day"};
  for (size_t i = 0; i < schedules.size(); ++i) {
    schedules[i].id = static_cast<int32_t>(i + 1);
    std::snprintf(schedules[i].name, sizeof schedules[i].name, "%s", names[i]);
    for (int day = 0; day < 7; ++day) {
      schedules[i].day_code[day] = day;
      schedules[i].start[day] = i == 0 ? 1200 : 0;
      schedules[i].end[day] = 1439;
    }
  }
  const std::string encoded = nvr::EncodeSchedules(schedules);
  seeds.Save("settings_files", "schedule_dat", encoded);
  seeds.Save("settings_files", "schedule_dat_count_too_high",
             std::string("\x09\x00\x00\x00", 4) + encoded.substr(4));
}

void IniSeeds(SeedSet& seeds) {
  seeds.Save("ini_file", "typical",
             "[LANG]\r\nlang=ru\r\n[OTHER]\r\nexit=1\r\n[DRIVES]\r\nD=/srv/video/d\r\nE=/mnt/e\r\n");
  seeds.Save("ini_file", "unclean_exit_unix_lines", "[OTHER]\nexit=0\n[LANG]\nlang=en\n");
  seeds.Save("ini_file", "odd_layout",
             "; comment\n[DRIVES]\n  d = relative/path  \n=no key\n[DRIVES]\nZ=\n[\nexit=1\n[OTHER");
}

void VoiceSeeds(SeedSet& seeds) {
  constexpr int16_t kCodecs[] = {qvcodec::kVoiceAlaw,     qvcodec::kVoiceUlaw,     qvcodec::kVoiceG726_16,
                                 qvcodec::kVoiceG726_24, qvcodec::kVoiceG726_32, qvcodec::kVoiceG726_40};
  for (const int16_t codec : kCodecs) {
    qvcodec::VoiceState state{};
    if (qvcodec::VoiceEncReset(&state, codec) != qvcodec::kVoiceOk) continue;
    ChunkedInput input({static_cast<uint8_t>(codec)});
    for (int i = 0; i < 3; ++i) {
      const Bytes pcm = Pcm(i);
      Bytes frame(qvcodec::VoiceFrameBytes(codec, 320));
      qvcodec::VoiceEncodeFrame(&state, reinterpret_cast<const int16_t*>(pcm.data()), frame.data(), 320);
      input.Add(frame);
    }
    seeds.Save("voice_decoder", "codec_" + std::to_string(codec), input.bytes());
  }
}

void DecoderSeeds(SeedSet& seeds, const MediaSamples& media) {
  Bytes stream;
  for (const Bytes& unit : media.h264_units) {
    if (stream.size() + unit.size() > kMaxSeedBytes - 1) break;
    stream.insert(stream.end(), unit.begin(), unit.end());
  }
  if (!stream.empty()) {
    Bytes whole{0};
    whole.insert(whole.end(), stream.begin(), stream.end());
    seeds.Save("h264_decoder", "live_pictures", whole);
    whole[0] = 5;  // 320-byte slices, as a replay reads
    seeds.Save("h264_decoder", "replay_slices", whole);
  }
  for (const Bytes& picture : media.jpeg_pictures) {
    if (picture.size() <= kMaxSeedBytes) {
      seeds.Save("mjpeg_decoder", "camera_picture", picture);
      break;
    }
  }
}

}  // namespace

void MakeFileSeeds(SeedSet& seeds, const MediaSamples& media) {
  RecordSeeds(seeds, media);
  AviSeeds(seeds, media);
  SettingsSeeds(seeds);
  IniSeeds(seeds);
  VoiceSeeds(seeds);
  DecoderSeeds(seeds, media);
}

}  // namespace qvseeds
