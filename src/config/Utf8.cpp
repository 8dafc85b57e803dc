#include "config/Utf8.h"

#include <cstdio>

#include <cstdint>

std::string ToUtf8(const std::u16string& text) {
  // At most three bytes for each UTF-16 unit (a pair makes four bytes of two).
  std::string out(3 * text.size(), '\0');
  char* o = out.data();
  auto put = [&o](std::uint32_t byte) { *o++ = static_cast<char>(byte); };
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      put(c);
    } else if (c < 0x800) {
      put(0xC0 | (c >> 6));
      put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      put(0xE0 | (c >> 12));
      put(0x80 | ((c >> 6) & 0x3F));
      put(0x80 | (c & 0x3F));
    } else {
      put(0xF0 | (c >> 18));
      put(0x80 | ((c >> 12) & 0x3F));
      put(0x80 | ((c >> 6) & 0x3F));
      put(0x80 | (c & 0x3F));
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

bool HasLoneSurrogate(const std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF)
      ++i;
    else if (c >= 0xD800 && c <= 0xDFFF)
      return true;
  }
  return false;
}

std::optional<std::u16string> FromUtf8(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    int extra;
    std::uint32_t c;
    if (b < 0x80) {
      extra = 0, c = b;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1, c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, c = b & 0x07;
    } else {
      return std::nullopt;
    }
    if (i + static_cast<std::size_t>(extra) >= text.size() && extra > 0) return std::nullopt;
    for (int k = 1; k <= extra; ++k) {
      const auto n = static_cast<unsigned char>(text[i + k]);
      if ((n & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (n & 0x3F);
    }
    static constexpr std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

std::string Printable(std::string_view text, std::size_t limit) {
  std::string out;
  std::size_t characters = 0, i = 0;
  for (; i < text.size() && characters < limit; ++characters) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    // The length of a well-formed UTF-8 sequence starting here; 0 if none.
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n > 1) {
      if (i + n > text.size()) n = 0;
      for (std::size_t k = 1; n && k < n; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) n = 0;
      if (n && !FromUtf8(std::string(text.substr(i, n)))) n = 0;
    }
    if (n == 1 && c >= 0x20 && c != 0x7F) {
      out += text[i];
    } else if (n > 1) {
      out.append(text.data() + i, n);
    } else {
      n = 1;
      switch (c) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          out += hex;
        }
      }
    }
    i += n;
  }
  if (i < text.size())
    out += "... (" + std::to_string(text.size()) + " bytes in all)";
  return out;
}

