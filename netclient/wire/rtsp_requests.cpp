#include "netclient/wire/rtsp_requests.h"

#include "netclient/wire/rtsp_digest.h"

namespace qvnet {
namespace {

constexpr std::string_view kUserAgent = "User-Agent: Quorvalenta Client\r\n";

std::string Cseq(int cseq) { return "CSeq: " + std::to_string(cseq) + "\r\n"; }

std::string OptionalAuth(const DigestAuth* auth, std::string_view method, std::string_view uri) {
  return auth == nullptr ? std::string() : AuthorizationLine(*auth, method, uri);
}

std::string SessionLine(std::string_view session) {
  std::string line = "Session: ";
  line.append(session);
  line.append("\r\n");
  return line;
}

std::string SetupLine(std::string_view uri, char track) {
  std::string line = "SETUP ";
  line.append(uri);
  line.append("/trackID=");
  line.push_back(track);
  line.append(" RTSP/1.0\r\n");
  return line;
}

}  // namespace

std::string BuildRtspUri(const ClientAddress& address, uint8_t stream_number) {
  if (address.standard) return address.url.request_url;
  if (address.url_mode) return "rtsp://" + address.text;
  return "rtsp://" + address.host + ":" + std::to_string(address.port) + "/" + std::to_string(stream_number);
}

std::string AuthorizationLine(const DigestAuth& auth, std::string_view method, std::string_view uri) {
  const std::string response = DigestResponse(auth.user, auth.realm, auth.password, method, uri, auth.nonce);
  std::string line = "Authorization: Digest username=\"" + auth.user + "\", realm=\"" + auth.realm +
                     "\", nonce=\"" + auth.nonce + "\", uri=\"";
  line.append(uri);
  line.append("\", response=\"" + response + "\"\r\n");
  return line;
}

std::string UdpTransportLine(uint16_t client_port) {
  return "Transport: RTP/AVP;unicast;client_port=" + std::to_string(client_port) + "-" +
         std::to_string(client_port + 1) + "\r\n";
}

std::string TcpTransportLine(int first_channel) {
  return "Transport: RTP/AVP/TCP;unicast;interleaved=" + std::to_string(first_channel) + "-" +
         std::to_string(first_channel + 1) + "\r\n";
}

std::string BuildDescribe(std::string_view uri, int cseq, const DigestAuth* auth) {
  std::string text = "DESCRIBE ";
  text.append(uri);
  text.append(" RTSP/1.0\r\n" + Cseq(cseq) + "Accept: application/sdp\r\n");
  text.append(OptionalAuth(auth, "DESCRIBE", uri));
  text.append(kUserAgent);
  text.append("\r\n");
  return text;
}

std::string BuildVideoSetup(std::string_view uri, char track, int cseq, std::string_view transport_line,
                            const DigestAuth* auth) {
  std::string text = SetupLine(uri, track) + Cseq(cseq);
  text.append(transport_line);
  text.append(OptionalAuth(auth, "SETUP", uri));
  text.append(kUserAgent);
  text.append("\r\n");
  return text;
}

std::string BuildAudioSetup(std::string_view uri, char track, int cseq, std::string_view session,
                            std::string_view transport_line, const DigestAuth* auth) {
  std::string text = SetupLine(uri, track) + Cseq(cseq) + SessionLine(session);
  text.append(transport_line);
  text.append(OptionalAuth(auth, "SETUP", uri));
  text.append(kUserAgent);
  text.append("\r\n");
  return text;
}

std::string BuildPlay(std::string_view uri, int cseq, std::string_view session, const DigestAuth* auth) {
  std::string text = "PLAY ";
  text.append(uri);
  text.append(" RTSP/1.0\r\n" + Cseq(cseq) + SessionLine(session));
  text.append(OptionalAuth(auth, "PLAY", uri));
  text.append("Rang: npt=0.000-\r\n");
  text.append(kUserAgent);
  text.append("\r\n");
  return text;
}

std::string BuildTeardown(std::string_view uri, int cseq, std::string_view session, const DigestAuth* auth) {
  std::string text = "TEARDOWN ";
  text.append(uri);
  text.append(" RTSP/1.0\r\n" + Cseq(cseq) + SessionLine(session));
  text.append(OptionalAuth(auth, "TEARDOWN", uri));
  text.append(kUserAgent);
  text.append("\r\n");
  return text;
}

std::string BuildRequest(std::string_view method, std::string_view uri, int cseq, std::string_view headers) {
  std::string text(method);
  text.push_back(' ');
  text.append(uri);
  text.append(" RTSP/1.0\r\n" + Cseq(cseq));
  text.append(headers);
  text.append(kUserAgent);
  text.append("\r\n");
  return text;
}

}  // namespace qvnet
