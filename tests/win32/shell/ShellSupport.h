// Shared by the tests of the real main window.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "win32/AccessUSB.h"
#include "device/hid/pipe/HidPipeDevice.h"
#include "config/ModifiedFlag.h"
#include "res/resource.h"
#include "win32/App.h"
#include "win32/MainWindow.h"
#include "win32/Win32Util.h"
#include <gtest/gtest.h>


inline std::u16string U(const wchar_t* s) { return FromWide(s); }

// Runs the program's own message processing until `done` holds or the time
// is up; true when `done` held.
inline bool PumpUntil(HWND main, const std::function<bool()>& done, int timeoutMs = 5000) {
  HACCEL accelerators = LoadAcceleratorsW(appInstance, MAKEINTRESOURCEW(IDM_MAIN));
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));  // keep it for the caller
        return done();
      }
      if (main && IsWindow(main)) {
        ProcessMessage(main, accelerators, msg);
      } else {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// Runs the window's messages one at a time until its hidden pages are all
// built; false when that takes more than 30 s.
inline bool BuildHiddenPages(HWND main, MainWindow* self) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (self->pagesPending()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      ProcessMessage(main, nullptr, msg);
    else
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

inline void Pump(HWND main, int ms) {
  PumpUntil(main, [] { return false; }, ms);
}

// Takes the quit message that the window's destruction posted, if any.
inline bool TakeQuit(int& code) {
  MSG msg;
  if (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    code = static_cast<int>(msg.wParam);
    return true;
  }
  return false;
}

// The real worker on a HID bus without any device: every request answers
// "device not found".
inline std::unique_ptr<IDeviceWorker> MakeWorkerWithoutDevice(INotifySink& sink) {
  return AccessUSB::Make(sink, [](HANDLE abortEvent) {
    return std::make_unique<PipeHidEnumerator>(abortEvent);
  });
}

class MainWindowTest : public ::testing::Test {
 protected:
  virtual WorkerFactory Workers() { return MakeWorkerWithoutDevice; }
  void SetUp() override {
    appInstance = GetModuleHandleW(nullptr);
    RegisterProbeMessage();
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&init);
    main_ = CreateMainWindow(Workers());
    ASSERT_NE(main_, nullptr);
    self_ = MainWindow::Of(main_);
    ASSERT_NE(self_, nullptr);
    if (WaitForPages()) {
      ASSERT_TRUE(BuildHiddenPages(main_, self_));
    }
  }
  // True: the test starts once every page exists, taking no message after
  // the one that built the last page (so the first presence check has been
  // posted but not answered).
  virtual bool WaitForPages() { return true; }
  void TearDown() override {
    if (IsWindow(main_)) DestroyWindow(main_);
    int code;
    TakeQuit(code);
  }
  std::u16string Text(int id) { return WindowText(GetDlgItem(main_, id)); }

  HWND main_ = nullptr;
  MainWindow* self_ = nullptr;
};


// Answers a modal dialog of this process from another thread: waits for a
// dialog titled `title`, then runs `action` on it (on that thread).
class DialogRobot {
 public:
  DialogRobot(std::u16string title, std::function<void(HWND)> action)
      : thread_([this, title = std::move(title), action = std::move(action)] {
          for (int waited = 0; waited < 10000 && !found_; waited += 20) {
            HWND dialog = FindWindowW(L"#32770", Wide(title));
            if (dialog && IsWindowVisible(dialog)) {
              found_ = true;
              Sleep(100);  // let it finish its initialisation
              action(dialog);
              return;
            }
            Sleep(20);
          }
        }) {}
  ~DialogRobot() { thread_.join(); }
  bool found() const { return found_; }

 private:
  volatile bool found_ = false;
  std::thread thread_;
};

// A folder of the tests' own files.
inline std::wstring TestFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"ostrel-shell-test";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

inline std::vector<std::uint8_t> ReadAll(const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(file, nullptr));
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  return bytes;
}

// Clicks a button of a dialog as the user would.
inline void ClickButton(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Types a full path into a file dialog and accepts it.
inline void ChooseFile(HWND dialog, const std::wstring& path) {
  // The file-name field of the explorer-style dialog (a combo box or an edit).
  for (int id : {0x47C /* cmb13 */, 0x480 /* edt1 */})
    if (HWND field = GetDlgItem(dialog, id)) SetWindowTextW(field, path.c_str());
  ClickButton(dialog, IDOK);
}
