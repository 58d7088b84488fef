#include "netclient/wire/rtsp_auth.h"

#include <cctype>
#include <cstdio>

#include "netclient/wire/base64.h"
#include "netclient/wire/rtsp_message.h"
#include "platform/md5.h"

namespace qvnet {
namespace {

struct Param {
  std::string name;
  std::string value;
};

struct RawChallenge {
  std::string scheme;
  std::vector<Param> params;
};

bool IsTokenChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

void SkipBlanksAndCommas(std::string_view text, size_t* pos) {
  while (*pos < text.size() && (text[*pos] == ' ' || text[*pos] == '\t' || text[*pos] == ',')) ++*pos;
}

std::string_view Token(std::string_view text, size_t* pos) {
  const size_t start = *pos;
  while (*pos < text.size() && IsTokenChar(text[*pos])) ++*pos;
  return text.substr(start, *pos - start);
}

// A quoted string with backslash escapes, or a token; false when it is unterminated or too long.
bool Value(std::string_view text, size_t* pos, std::string* out) {
  out->clear();
  if (*pos < text.size() && text[*pos] == '"') {
    for (++*pos; *pos < text.size(); ++*pos) {
      char c = text[*pos];
      if (c == '"') {
        ++*pos;
        return true;
      }
      if (c == '\\' && *pos + 1 < text.size()) c = text[++*pos];
      // A control character would travel back in our Authorization line and could end it.
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
      if (out->size() >= kMaxChallengeParameter) return false;
      out->push_back(c);
    }
    return false;
  }
  // Unquoted: up to the next comma or blank (some servers leave base64 nonces unquoted).
  const size_t start = *pos;
  while (*pos < text.size() && text[*pos] != ',' && text[*pos] != ' ' && text[*pos] != '\t') {
    if (static_cast<unsigned char>(text[*pos]) < 0x20 || text[*pos] == 0x7F) return false;
    ++*pos;
  }
  if (*pos - start > kMaxChallengeParameter) return false;
  out->assign(text.substr(start, *pos - start));
  return true;
}

// Every challenge of one header value: "Scheme a=1, b="2", Other c=3". A name not followed by
// '=' starts the next challenge. False for a malformed value (nothing of it is used then).
bool SplitChallenges(std::string_view text, std::vector<RawChallenge>* out) {
  size_t pos = 0;
  while (true) {
    SkipBlanksAndCommas(text, &pos);
    if (pos >= text.size()) return true;
    const std::string_view name = Token(text, &pos);
    if (name.empty()) return false;
    size_t look = pos;
    while (look < text.size() && (text[look] == ' ' || text[look] == '\t')) ++look;
    if (look < text.size() && text[look] == '=' && !out->empty()) {
      pos = look + 1;
      while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
      Param p{std::string(name), {}};
      if (!Value(text, &pos, &p.value)) return false;
      if (out->back().params.size() >= 32) return false;
      out->back().params.push_back(std::move(p));
    } else if (look < text.size() && text[look] == '=') {
      return false;  // a parameter without a scheme
    } else {
      if (out->size() >= 16) return false;
      out->push_back(RawChallenge{std::string(name), {}});
    }
  }
}

const std::string* ParamOf(const RawChallenge& c, std::string_view name) {
  for (const Param& p : c.params) {
    if (EqualsNoCase(p.name, name)) return &p.value;
  }
  return nullptr;
}

bool OffersAuth(std::string_view qop) {
  size_t pos = 0;
  while (pos <= qop.size()) {
    size_t end = qop.find(',', pos);
    if (end == std::string_view::npos) end = qop.size();
    if (EqualsNoCase(TrimBlanks(qop.substr(pos, end - pos)), "auth")) return true;
    pos = end + 1;
  }
  return false;
}

std::optional<AuthChallenge> DigestOf(const RawChallenge& raw) {
  AuthChallenge c;
  c.scheme = AuthChallenge::Scheme::kDigest;
  const std::string* realm = ParamOf(raw, "realm");
  const std::string* nonce = ParamOf(raw, "nonce");
  if (realm == nullptr || nonce == nullptr) return std::nullopt;
  c.realm = *realm;
  c.nonce = *nonce;
  if (const std::string* v = ParamOf(raw, "opaque")) c.opaque = *v;
  if (const std::string* v = ParamOf(raw, "algorithm")) c.algorithm = *v;
  if (const std::string* v = ParamOf(raw, "stale")) c.stale = EqualsNoCase(*v, "true");
  if (!c.algorithm.empty() && !EqualsNoCase(c.algorithm, "MD5") && !EqualsNoCase(c.algorithm, "MD5-sess")) {
    return std::nullopt;
  }
  c.session = EqualsNoCase(c.algorithm, "MD5-sess");
  if (const std::string* qop = ParamOf(raw, "qop")) {
    if (!OffersAuth(*qop)) return std::nullopt;
    c.qop_auth = true;
  }
  return c;
}

// Quoted-string contents: '"' and '\' escaped (RFC 7230 §3.2.6).
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string Md5Of(std::initializer_list<std::string_view> parts) {
  std::string text;
  bool first = true;
  for (std::string_view p : parts) {
    if (!first) text.push_back(':');
    text.append(p);
    first = false;
  }
  return qvp::Md5Hex(text);
}

}  // namespace

std::optional<AuthChallenge> ChooseChallenge(const std::vector<std::string_view>& headers) {
  std::optional<AuthChallenge> basic;
  for (std::string_view header : headers) {
    std::vector<RawChallenge> raws;
    if (!SplitChallenges(header, &raws)) continue;
    for (const RawChallenge& raw : raws) {
      if (EqualsNoCase(raw.scheme, "Digest")) {
        if (std::optional<AuthChallenge> digest = DigestOf(raw)) return digest;
      } else if (EqualsNoCase(raw.scheme, "Basic") && !basic) {
        basic = AuthChallenge{};
        if (const std::string* realm = ParamOf(raw, "realm")) basic->realm = *realm;
      }
    }
  }
  return basic;
}

std::string AuthorizationValue(AuthState& state, std::string_view method, std::string_view uri,
                               std::string_view cnonce) {
  const AuthChallenge& c = state.challenge;
  if (c.scheme == AuthChallenge::Scheme::kBasic) return "Basic " + Base64Encode(state.user + ":" + state.password);
  std::string ha1 = Md5Of({state.user, c.realm, state.password});
  if (c.session) ha1 = Md5Of({ha1, c.nonce, cnonce});
  const std::string ha2 = Md5Of({method, uri});
  std::string value = "Digest username=" + Quoted(state.user) + ", realm=" + Quoted(c.realm) +
                      ", nonce=" + Quoted(c.nonce) + ", uri=" + Quoted(uri);
  if (c.qop_auth) {
    char nc[9];
    std::snprintf(nc, sizeof nc, "%08x", ++state.nonce_count);
    value += ", response=\"" + Md5Of({ha1, c.nonce, nc, cnonce, "auth", ha2}) + "\", qop=auth, nc=" + nc +
             ", cnonce=" + Quoted(cnonce);
  } else {
    value += ", response=\"" + Md5Of({ha1, c.nonce, ha2}) + "\"";
    if (c.session) value += ", cnonce=" + Quoted(cnonce);
  }
  if (!c.algorithm.empty()) value += ", algorithm=" + c.algorithm;
  if (!c.opaque.empty()) value += ", opaque=" + Quoted(c.opaque);
  return value;
}

}  // namespace qvnet
