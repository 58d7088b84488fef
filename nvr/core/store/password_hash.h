// Login passwords are kept as Argon2id hash strings (libsodium's crypto_pwhash_str format,
// which carries its own salt and cost parameters), never as plain text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nvr {

// The hash string for `password`; nullopt when libsodium cannot start or the memory for the
// hash cannot be had.
std::optional<std::string> HashPassword(std::string_view password);

// True when `hash` is a hash string of `password`. A malformed hash never matches.
bool VerifyPassword(std::string_view hash, std::string_view password);

// A fresh random password of kGeneratedPasswordLength characters from an alphabet without
// look-alikes (no 0/O/o, 1/I/l), for a setup run that is given none. Empty when libsodium
// cannot start.
inline constexpr size_t kGeneratedPasswordLength = 16;
std::string GeneratePassword();

}  // namespace nvr
