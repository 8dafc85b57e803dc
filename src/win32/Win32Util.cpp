#include "win32/Win32Util.h"

#include <vector>

#include "winbase/WinException.h"

HINSTANCE appInstance = nullptr;

std::u16string LoadText(int id) {
  wchar_t buffer[256];
  if (LoadStringW(appInstance, id, buffer, 256) == 0) ThrowLastError(L"Load String failed");
  return FromWide(buffer);
}

void ShowExceptionBox(HWND owner, const wchar_t* text) {
  MessageBoxW(owner, text, L"Exception", MB_ICONWARNING | MB_OK);
}

bool ReportFailures(HWND owner, const std::function<void()>& step) {
  try {
    step();
    return true;
  } catch (const WinException& e) {
    ShowExceptionBox(owner, e.message.c_str());
  } catch (...) {
    ShowExceptionBox(owner, L"Unknown");
  }
  return false;
}

std::u16string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::vector<wchar_t> buffer(length + 1);
  GetWindowTextW(window, buffer.data(), length + 1);
  return FromWide(buffer.data());
}
