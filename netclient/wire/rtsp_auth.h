// Authentication of the standard mode: the challenges of a 401 answer (RFC 7235
// WWW-Authenticate) and the Authorization header for each later request: Basic (RFC 7617),
// and Digest (RFC 7616 / RFC 2617) with MD5 or MD5-sess, with or without qop=auth, echoing
// opaque. The dialect keeps its own RFC 2069 form (rtsp_requests.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvnet {

// Longest parameter value taken from a challenge; a longer one makes the challenge unusable.
inline constexpr size_t kMaxChallengeParameter = 512;

struct AuthChallenge {
  enum class Scheme { kBasic, kDigest };
  Scheme scheme = Scheme::kBasic;
  std::string realm;
  std::string nonce;
  std::string opaque;
  std::string algorithm;  // as the server wrote it; empty means MD5
  bool qop_auth = false;  // the server offers qop "auth"
  bool session = false;   // MD5-sess
  bool stale = false;
};

// The challenge to answer from all WWW-Authenticate values of one answer: a usable Digest
// (algorithm absent, MD5 or MD5-sess; qop absent or offering "auth") before Basic. Other
// schemes and algorithms (SHA-256 only, auth-int only) and challenges whose values hold
// control characters (they would come back in our requests) are passed over; nullopt when
// nothing is left.
std::optional<AuthChallenge> ChooseChallenge(const std::vector<std::string_view>& headers);

// What a session keeps to authorize its requests after a challenge.
struct AuthState {
  AuthChallenge challenge;
  std::string user;
  std::string password;
  uint32_t nonce_count = 0;  // requests answered with this nonce (qop=auth)
};

// The value of the Authorization header for one request (counts the nonce for qop=auth).
// `cnonce` is the client nonce for qop=auth and MD5-sess; the caller makes a fresh one.
std::string AuthorizationValue(AuthState& state, std::string_view method, std::string_view uri,
                               std::string_view cnonce);

}  // namespace qvnet
