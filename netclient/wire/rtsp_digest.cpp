#include "netclient/wire/rtsp_digest.h"

#include "platform/md5.h"

namespace qvnet {
namespace {

std::string Joined(std::initializer_list<std::string_view> parts) {
  std::string text;
  bool first = true;
  for (std::string_view part : parts) {
    if (!first) text.push_back(':');
    text.append(part);
    first = false;
  }
  return text;
}

}  // namespace

std::string DigestResponse(std::string_view user, std::string_view realm, std::string_view password,
                           std::string_view method, std::string_view uri, std::string_view nonce) {
  const std::string ha1 = qvp::Md5Hex(Joined({user, realm, password}));
  const std::string ha2 = qvp::Md5Hex(Joined({method, uri}));
  return qvp::Md5Hex(Joined({ha1, nonce, ha2}));
}

}  // namespace qvnet
