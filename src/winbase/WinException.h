// The exception thrown for every failed platform step and for allocation
// failure: the platform's last error at the throw and the failed step.
#pragma once
#include <windows.h>

#include <string>

struct WinException {
  DWORD errorCode;
  std::wstring message;
};

// Throws WinException with the current last error and `message`.
[[noreturn]] inline void ThrowLastError(const wchar_t* message) {
  throw WinException{GetLastError(), message};
}
