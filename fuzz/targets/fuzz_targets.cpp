#include "fuzz/targets/fuzz_targets.h"

namespace qvfuzz {

std::span<const FuzzTarget> AllFuzzTargets() {
  static constexpr FuzzTarget kTargets[] = {
      {"rtsp_answer", FuzzRtspAnswer},
      {"interleaved_reader", FuzzInterleavedReader},
      {"mctp_answer", FuzzMctpAnswer},
      {"event_message", FuzzEventMessage},
      {"h264_depacketizer", FuzzH264Depacketizer},
      {"jpeg_depacketizer", FuzzJpegDepacketizer},
      {"audio_depacketizer", FuzzAudioDepacketizer},
      {"record_reader", FuzzRecordReader},
      {"avi_reader", FuzzAviReader},
      {"settings_files", FuzzSettingsFiles},
      {"ini_file", FuzzIniFile},
      {"voice_decoder", FuzzVoiceDecoder},
      {"h264_decoder", FuzzH264Decoder},
      {"mjpeg_decoder", FuzzMjpegDecoder},
      {"discovery_reply", FuzzDiscoveryReply},
      {"rtsp_message", FuzzRtspMessage},
      {"sdp", FuzzSdp},
      {"rtsp_url", FuzzRtspUrl},
      {"h264_sps", FuzzH264Sps},
      {"access_units", FuzzAccessUnits},
  };
  return kTargets;
}

}  // namespace qvfuzz
