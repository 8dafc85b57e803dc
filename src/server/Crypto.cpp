#include "server/Crypto.h"

#include <sodium.h>

#include <algorithm>
#include <semaphore>
#include <stdexcept>
#include <thread>

namespace office {

namespace {

std::string Hex(const unsigned char* bytes, std::size_t size) {
  std::string hex(size * 2 + 1, '\0');
  sodium_bin2hex(hex.data(), hex.size(), bytes, size);
  hex.pop_back();
  return hex;
}

// Each hash takes its 64 MiB and all of a processor for a fraction of a
// second: at most two at once, whatever the number of logins that arrive
// together, and never more than half the processors, so that a crowd of
// logins leaves the operators already at work a processor of their own.
std::counting_semaphore<2> hashing(
    std::clamp<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(std::thread::hardware_concurrency() / 2), 1, 2));

struct HashSlot {
  HashSlot() { hashing.acquire(); }
  ~HashSlot() { hashing.release(); }
};

}  // namespace

bool InitCrypto() { return sodium_init() >= 0; }

std::string HashPassword(std::string_view password) {
  char out[crypto_pwhash_STRBYTES];
  HashSlot slot;
  // The interactive limits: about 64 MiB and a fraction of a second here,
  // paid once per login.
  if (crypto_pwhash_str_alg(out, password.data(), password.size(),
                            crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE,
                            crypto_pwhash_ALG_ARGON2ID13) != 0)
    throw std::runtime_error("out of memory while hashing a password");
  return out;
}

bool VerifyPassword(const std::string& hash, std::string_view password) {
  if (hash.empty() || hash.size() >= crypto_pwhash_STRBYTES) return false;
  HashSlot slot;
  return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

std::string NewToken() {
  unsigned char bytes[32];
  randombytes_buf(bytes, sizeof bytes);
  return Hex(bytes, sizeof bytes);
}

std::string Sha256Hex(std::string_view text) {
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(text.data()), text.size());
  return Hex(digest, sizeof digest);
}

bool SameSecret(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  return a.empty() || sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace office
