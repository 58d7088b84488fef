#include "nvr/core/store/password_hash.h"

#include <sodium.h>

namespace nvr {
namespace {

bool SodiumReady() {
  static const bool ready = sodium_init() >= 0;  // thread-safe, once per process
  return ready;
}

// Never a null pointer, even for an empty password.
const char* Bytes(std::string_view s) { return s.empty() ? "" : s.data(); }

constexpr std::string_view kUnambiguous = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnpqrstuvwxyz23456789";

}  // namespace

std::optional<std::string> HashPassword(std::string_view password) {
  if (!SodiumReady()) return std::nullopt;
  char out[crypto_pwhash_STRBYTES] = {};
  // Interactive limits: a login answers within a fraction of a second on small machines.
  if (crypto_pwhash_str_alg(out, Bytes(password), password.size(),
                            crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE,
                            crypto_pwhash_ALG_ARGON2ID13) != 0) {
    return std::nullopt;
  }
  return std::string(out);
}

bool VerifyPassword(std::string_view hash, std::string_view password) {
  if (!SodiumReady() || hash.empty() || hash.size() >= crypto_pwhash_STRBYTES) return false;
  // The verifier reads a NUL-terminated string of at most crypto_pwhash_STRBYTES.
  char stored[crypto_pwhash_STRBYTES] = {};
  hash.copy(stored, hash.size());
  return crypto_pwhash_str_verify(stored, Bytes(password), password.size()) == 0;
}

std::string GeneratePassword() {
  if (!SodiumReady()) return std::string();
  std::string password;
  for (size_t i = 0; i < kGeneratedPasswordLength; ++i) {
    password += kUnambiguous[randombytes_uniform(static_cast<uint32_t>(kUnambiguous.size()))];
  }
  return password;
}

}  // namespace nvr
