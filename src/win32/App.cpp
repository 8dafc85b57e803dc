#include "win32/App.h"

#include <commctrl.h>

#include <new>
#include <vector>

#include "res/resource.h"
#include "win32/MainWindow.h"
#include "win32/StartupTrace.h"
#include "win32/Win32Util.h"
#include "winbase/WinException.h"

UINT probeMessage = 0;
const wchar_t kProbeMessageName[] = L"OSTREL-B62ACEDA-78BA-40f0-B031-69E5B9DE7D60";
const wchar_t kInstanceMutexName[] = L"OSTREL-5BAE094F-18BB-4EDC-97A4-C6F00286F16C";

namespace {
constexpr UINT kProbeTimeoutMs = 200;

BOOL CALLBACK ProbeWindow(HWND window, LPARAM found) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(window, probeMessage, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                           kProbeTimeoutMs, &answer))
    return TRUE;
  if (answer != probeMessage) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

void InitCommonControlClasses() {
  INITCOMMONCONTROLSEX trees = {sizeof trees, ICC_TREEVIEW_CLASSES};
  if (!InitCommonControlsEx(&trees)) ThrowLastError(L"InitCommonControlsEx failed");
  INITCOMMONCONTROLSEX progress = {sizeof progress, ICC_PROGRESS_CLASS};
  if (!InitCommonControlsEx(&progress)) ThrowLastError(L"InitCommonControlsEx failed");
}

int MessageLoop(HWND mainWindow, HACCEL accelerators) {
  MSG msg;
  for (;;) {
#ifdef OSTREL_STARTUP_TRACE
    // The trace is written the first time nothing is waiting once the
    // hidden pages are built.
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      const MainWindow* window = MainWindow::Of(mainWindow);
      if (!window || !window->pagesPending()) {
        startup_trace::Mark("nothing left to do");
        startup_trace::Report();
      }
    }
#endif
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return -1;
    ProcessMessage(mainWindow, accelerators, msg);
  }
}
}  // namespace

void ProcessMessage(HWND mainWindow, HACCEL accelerators, MSG& msg) {
  // Accelerators first, translated for the main window, so they work
  // whichever control of the window or of a page has the focus.
  if (accelerators && TranslateAcceleratorW(mainWindow, accelerators, &msg)) return;
  if (IsDialogMessageW(mainWindow, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void OutOfMemoryHandler() { throw WinException{GetLastError(), L"Out of memory"}; }

std::u16string GetWorkingFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD answer = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (answer > buffer.size()) {
    // The buffer was too small; the answer is the length needed.
    buffer.resize(answer);
    answer = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  }
  if (answer == 0 || answer >= buffer.size())
    ThrowLastError(L"Internal error: Cannot get current directory.");
  return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), answer);
}

void SetWorkingFolder(const std::u16string& folder, std::u16string& stored) {
  stored = folder;
  if (!SetCurrentDirectoryW(Wide(stored)))
    ThrowLastError(L"Internal error: Cannot set current directory.");
}

void RegisterProbeMessage() { probeMessage = RegisterWindowMessageW(kProbeMessageName); }

HWND FindRunningInstance() {
  HWND found = nullptr;
  // Without its registered number the probe would be WM_NULL, which every
  // window answers with 0: no window can be told to be ours.
  if (probeMessage == 0) return nullptr;
  EnumWindows(ProbeWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

void ActivateRunningInstance(HWND mainWindow) {
  HWND target = mainWindow;
  // An open modal dialog of the running instance comes first.
  HWND popup = GetLastActivePopup(mainWindow);
  if (popup && IsWindow(popup)) target = popup;
  SetForegroundWindow(target);
  if (IsIconic(target)) ShowWindow(target, SW_RESTORE);
}

int RunConfigurator(HINSTANCE instance, WorkerFactory makeWorker) {
  std::set_new_handler(OutOfMemoryHandler);
  try {
    startup_trace::Mark("process start to entry");
    appInstance = instance;
    RegisterProbeMessage();
    // The handle stays open for the life of the process; the platform
    // releases the mutex when the process ends.
    CreateMutexW(nullptr, FALSE, kInstanceMutexName);
    const DWORD created = GetLastError();
    if (created == ERROR_ALREADY_EXISTS || created == ERROR_ACCESS_DENIED) {
      if (HWND running = FindRunningInstance()) ActivateRunningInstance(running);
      return 0;
    }
    startup_trace::Mark("probe, mutex");
    InitCommonControlClasses();
    startup_trace::Mark("common controls");
    HWND mainWindow = CreateMainWindow(makeWorker);
    if (!mainWindow) ThrowLastError(L"CreateDialog");
    HACCEL accelerators = LoadAcceleratorsW(appInstance, MAKEINTRESOURCEW(IDM_MAIN));
    startup_trace::Mark("accelerators");
    return MessageLoop(mainWindow, accelerators);
  } catch (const WinException& e) {
    std::vector<wchar_t> text(e.message.size() + 32);
    wsprintfW(text.data(), L"%s, Error %d", e.message.c_str(), static_cast<int>(e.errorCode));
    ShowExceptionBox(nullptr, text.data());
  } catch (...) {
    ShowExceptionBox(nullptr, L"Unknown");
  }
  return 0;
}
