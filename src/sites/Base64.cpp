#include "sites/Base64.h"

#include <sodium.h>

std::string EncodeBase64(const std::vector<std::uint8_t>& bytes) {
  std::string text(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes.data(), bytes.size(), sodium_base64_VARIANT_ORIGINAL);
  text.pop_back();  // the terminating NUL
  return text;
}

bool DecodeBase64(const std::string& text, std::vector<std::uint8_t>& bytes) {
  bytes.resize(text.size() / 4 * 3 + 3);
  std::size_t size = 0;
  const char* end = nullptr;
  if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &size, &end,
                        sodium_base64_VARIANT_ORIGINAL) != 0 ||
      end != text.data() + text.size()) {
    // Without padding, as some encoders write it.
    if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &size, &end,
                          sodium_base64_VARIANT_ORIGINAL_NO_PADDING) != 0 ||
        end != text.data() + text.size())
      return false;
  }
  bytes.resize(size);
  return true;
}
