// The office's secrets: operators' passwords hashed with argon2id, session
// tokens drawn at random and kept only as their SHA-256.
#pragma once

#include <string>
#include <string_view>

namespace office {

// Makes libsodium ready; false when it cannot (no source of randomness).
bool InitCrypto();

// An argon2id hash in libsodium's self-describing string form (salt and
// cost inside), for the operators' table.
std::string HashPassword(std::string_view password);
bool VerifyPassword(const std::string& hash, std::string_view password);

// A new session token: 256 random bits as 64 lower-case hex digits.
std::string NewToken();
// The SHA-256 of a text as 64 lower-case hex digits.
std::string Sha256Hex(std::string_view text);
// Compares two texts in time that depends on their length alone.
bool SameSecret(std::string_view a, std::string_view b);

}  // namespace office
