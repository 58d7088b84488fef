// Base64 (RFC 4648 §4) for what RTSP carries in it: Basic credentials and the H.264 parameter
// sets of a description's sprop-parameter-sets.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qvnet {

std::string Base64Encode(std::span<const uint8_t> data);
inline std::string Base64Encode(std::string_view text) {
  return Base64Encode(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// Padding is optional; nullopt for a character outside the alphabet, data after padding or a
// length that cannot be base64.
std::optional<std::vector<uint8_t>> Base64Decode(std::string_view text);

}  // namespace qvnet
