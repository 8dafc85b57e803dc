// JSON text for the browser's script: the engine hands structured results
// over as JSON, text as UTF-8.
#pragma once
#include <cstdio>
#include <string>

#include "config/Utf8.h"

// `text` (UTF-8) as a JSON string, appended to `out`.
inline void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}
inline void AppendQuoted(std::string& out, const std::u16string& text) {
  AppendQuoted(out, ToUtf8(text));
}
