// Small helpers shared by the Windows front end.
#pragma once
#include <functional>
#include <windows.h>

#include <initializer_list>
#include <string>

#include "winbase/WinEvents.h"
#include "winbase/WinText.h"

// The module instance used for every resource load.
extern HINSTANCE appInstance;

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

// The text of a window or control.
std::u16string WindowText(HWND window);
