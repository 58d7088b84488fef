// The RTSP/1.0 requests of the client, byte for byte as the cameras expect them. The cameras
// match some header texts literally (the range header is spelled "Rang" and must stay so),
// so these texts are part of the product and pinned by tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "netclient/wire/client_address.h"

namespace qvnet {

// What an Authorization header needs once a camera has sent its Digest challenge.
struct DigestAuth {
  std::string user;
  std::string password;
  std::string realm;
  std::string nonce;
};

// Base URI of the session: the URL without its user information in standard mode,
// "rtsp://" + the address text in URL mode, else "rtsp://host:port/stream_number".
std::string BuildRtspUri(const ClientAddress& address, uint8_t stream_number);

// "Authorization: Digest ...\r\n" for `method`; the hashed and the sent uri is always the base
// URI, also for a SETUP whose request line names a track.
std::string AuthorizationLine(const DigestAuth& auth, std::string_view method, std::string_view uri);

// Transport header lines: RTP over UDP to `client_port` and the next port, or interleaved in
// the RTSP connection on channels `first_channel` and the next.
std::string UdpTransportLine(uint16_t client_port);
std::string TcpTransportLine(int first_channel);

// Each builder adds the Authorization line when `auth` is not null.
std::string BuildDescribe(std::string_view uri, int cseq, const DigestAuth* auth);
std::string BuildVideoSetup(std::string_view uri, char track, int cseq, std::string_view transport_line,
                            const DigestAuth* auth);
std::string BuildAudioSetup(std::string_view uri, char track, int cseq, std::string_view session,
                            std::string_view transport_line, const DigestAuth* auth);
std::string BuildPlay(std::string_view uri, int cseq, std::string_view session, const DigestAuth* auth);
std::string BuildTeardown(std::string_view uri, int cseq, std::string_view session, const DigestAuth* auth);

// A request of the standard mode: request line, CSeq, `headers` (whole lines, each ending in
// CRLF), the user agent and the blank line.
std::string BuildRequest(std::string_view method, std::string_view uri, int cseq, std::string_view headers);

}  // namespace qvnet
