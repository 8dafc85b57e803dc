// Small helpers shared by the Windows front end.
#pragma once
#include <functional>
#include <windows.h>

#include <initializer_list>
#include <string>

// The module instance used for every resource load.
extern HINSTANCE appInstance;

// UTF-16 texts of the core and the platform's wide strings are the same
// code units on Windows.
inline const wchar_t* Wide(const std::u16string& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline std::u16string FromWide(const wchar_t* s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s));
}

// A string-table text, loaded into a 256-character buffer; throws
// WinException "Load String failed" when it cannot be loaded.
std::u16string LoadText(int id);

// The box that reports a failure: `text` titled "Exception", warning icon.
void ShowExceptionBox(HWND owner, const wchar_t* text);

// Runs `step`; a WinException it throws is shown with its message, any
// other exception as "Unknown", in the exception box owned by `owner`.
// True when the step ended normally. Window and dialog procedures run their
// work through it, so that no exception leaves them.
bool ReportFailures(HWND owner, const std::function<void()>& step);

// Creates unnamed manual-reset events, not signalled, into the given
// handles; when one cannot be created, closes those already made and throws
// WinException "CreateEvent".
void CreateManualResetEvents(std::initializer_list<HANDLE*> events);

// The text of a window or control.
std::u16string WindowText(HWND window);
