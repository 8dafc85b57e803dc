// UTF-16 texts of the core and the platform's wide strings are the same
// code units on Windows.
#pragma once
#include <string>

inline const wchar_t* Wide(const std::u16string& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline std::u16string FromWide(const wchar_t* s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s));
}
