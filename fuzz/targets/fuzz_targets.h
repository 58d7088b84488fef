// One entry function per parser. Each takes an arbitrary input, drives its parser the way the
// product does, checks what must hold whatever the input, releases everything it made and
// returns 0. The libFuzzer programs call one each; the regression test calls all of them over
// their corpus folders (fuzz/corpus/<name>/).
//
// Inputs that describe a sequence (packets, frames, receive sizes) use one layout: a few
// set-up bytes first, then chunks of a 16-bit big-endian length and that many bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qvfuzz {

// The text of one RTSP receive: status checks, Digest challenge, track ids, the server's video
// parameters, codecs and the session id, then the requests built from what was parsed.
int FuzzRtspAnswer(const uint8_t* data, size_t size);
// Byte 0 picks the receive sizes; the rest is the connection after PLAY over TCP.
int FuzzInterleavedReader(const uint8_t* data, size_t size);
// One MCTP command answer run through every answer check.
int FuzzMctpAnswer(const uint8_t* data, size_t size);
// Byte 0 picks the receive sizes; the rest is what the event channel receives.
int FuzzEventMessage(const uint8_t* data, size_t size);
// Set-up bytes (flags, frame rate), then RTP packets as chunks.
int FuzzH264Depacketizer(const uint8_t* data, size_t size);
int FuzzJpegDepacketizer(const uint8_t* data, size_t size);
int FuzzAudioDepacketizer(const uint8_t* data, size_t size);
// A whole record file, opened and read like the file source does.
int FuzzRecordReader(const uint8_t* data, size_t size);
// A whole AVI file, opened and read like the file source does.
int FuzzAviReader(const uint8_t* data, size_t size);
// The same bytes read as Local.dat and as Schedule.dat.
int FuzzSettingsFiles(const uint8_t* data, size_t size);
// A config.ini read and rewritten the way the recorder does.
int FuzzIniFile(const uint8_t* data, size_t size);
// Byte 0 picks the codec; then voice frames as chunks.
int FuzzVoiceDecoder(const uint8_t* data, size_t size);
// Byte 0 picks the input slicing; the rest is an Annex B byte stream.
int FuzzH264Decoder(const uint8_t* data, size_t size);
// One JPEG image.
int FuzzMjpegDecoder(const uint8_t* data, size_t size);
// Byte 0 picks the senders; then discovery datagrams as chunks, offered to the result list.
int FuzzDiscoveryReply(const uint8_t* data, size_t size);
// The bytes a server sends for one answer in standard mode: framing, headers, challenges.
int FuzzRtspMessage(const uint8_t* data, size_t size);
// A session description: media sections, the tracks chosen, the parameter sets.
int FuzzSdp(const uint8_t* data, size_t size);
// A chunk with an RTSP URL, then a control to resolve against it.
int FuzzRtspUrl(const uint8_t* data, size_t size);
// An H.264 sequence parameter set (NAL header first).
int FuzzH264Sps(const uint8_t* data, size_t size);
// The H.264 records of a recording as chunks, regrouped into access units for export.
int FuzzAccessUnits(const uint8_t* data, size_t size);

using FuzzEntry = int (*)(const uint8_t* data, size_t size);

struct FuzzTarget {
  const char* name;  // also the corpus folder's name
  FuzzEntry entry;
};

std::span<const FuzzTarget> AllFuzzTargets();

}  // namespace qvfuzz
