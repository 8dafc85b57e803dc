#include "server/Crypto.h"

#include <sodium.h>

#include <algorithm>
#include <future>
#include <stdexcept>
#include <thread>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include "server/JobThreads.h"

namespace office {

namespace {

std::string Hex(const unsigned char* bytes, std::size_t size) {
  std::string hex(size * 2 + 1, '\0');
  sodium_bin2hex(hex.data(), hex.size(), bytes, size);
  hex.pop_back();
  return hex;
}

// Each hash takes its 64 MiB and all of a processor for a fraction of a
// second. The hashes run on hashing threads of their own: at most two at
// once whatever the number of logins that arrive together, never more
// than half the processors, and at a lower priority than the requests, so
// that a crowd of logins waits for the processor rather than the operators
// already at work (a login is paid once per session; a revision is
// recorded while its operator waits).
class Hashing {
 public:
  // Runs the hash on a hashing thread and waits for it; its exception
  // reaches the caller.
  template <typename Hash>
  auto Run(Hash hash) {
    std::packaged_task<decltype(hash())()> task(std::move(hash));
    auto result = task.get_future();
    threads_.Post([&task] { task(); });
    return result.get();
  }

 private:
  static void Lowered(int) {
#ifdef __linux__
    // A thread's own nice value; a higher one gives it a smaller share of a
    // busy processor and none of an idle one is lost.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
#endif
  }

  JobThreads threads_{static_cast<int>(std::clamp(std::thread::hardware_concurrency() / 2, 1u, 2u)), Lowered};
};

Hashing& Hashers() {
  static Hashing hashing;
  return hashing;
}

}  // namespace

bool InitCrypto() { return sodium_init() >= 0; }

std::string HashPassword(std::string_view password) {
  return Hashers().Run([password] {
    char out[crypto_pwhash_STRBYTES];
    // The interactive limits: about 64 MiB and a fraction of a second here,
    // paid once per login.
    if (crypto_pwhash_str_alg(out, password.data(), password.size(),
                              crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
      throw std::runtime_error("out of memory while hashing a password");
    return std::string(out);
  });
}

bool VerifyPassword(const std::string& hash, std::string_view password) {
  if (hash.empty() || hash.size() >= crypto_pwhash_STRBYTES) return false;
  return Hashers().Run(
      [&] { return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0; });
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
