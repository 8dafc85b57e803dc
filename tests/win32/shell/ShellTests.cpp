// The real main window, built from the real resources, under Wine.
#include "win32/shell/ShellSupport.h"

#include <dbt.h>

#include <algorithm>
#include <new>
#include <vector>

#include "config/StringTable.h"
#include "pages/PageTable.h"
#include "win32/PageDialog.h"
#include "winbase/WinException.h"

namespace {

TEST(StringResources, EveryShellTextLoadsAsWritten) {
  appInstance = GetModuleHandleW(nullptr);
  const int ids[] = {IDS_TITLE, IDS_TIP_OPEN, IDS_TIP_SAVE, IDS_TIP_READ, IDS_TIP_WRITE,
                     IDS_TIP_STATUS, IDS_TIP_MODIFIED, IDS_TIP_PROGRESS, IDS_OPEN_TITLE,
                     IDS_SAVE_TITLE, IDS_NOT_CONNECTED, IDS_CONNECTED, IDS_WRITING,
                     IDS_WRITE_FAILED, IDS_WRITE_DONE, IDS_READING, IDS_READ_FAILED,
                     IDS_READ_DONE, IDS_FILE_WRITE_FAILED, IDS_FILE_WRITE_DONE, IDS_FILE_CORRUPT,
                     IDS_FILE_BAD_FORMAT, IDS_FILE_READ_FAILED, IDS_FILE_READ_DONE,
                     IDS_PREREAD_FAILED, IDS_FILE_FILTER};
  for (int id : ids) {
    ASSERT_NE(FindString(id), nullptr) << id;
    EXPECT_EQ(LoadText(id), std::u16string(FindString(id))) << id;
  }
  EXPECT_EQ(LoadText(IDS_TITLE), u"Острел Сорна-Т v.1.0.00");
  EXPECT_EQ(LoadText(IDS_NOT_CONNECTED), u" Устройство не подключено");
}

TEST(Platform, AllocationFailureBecomesWinException) {
  std::new_handler previous = std::set_new_handler(OutOfMemoryHandler);
  std::wstring message;
  try {
    volatile std::size_t huge = std::size_t(1) << 62;
    void* p = ::operator new(huge);
    ::operator delete(p);
  } catch (const WinException& e) {
    message = e.message;
  }
  std::set_new_handler(previous);
  EXPECT_EQ(message, L"Out of memory");
}

TEST(Platform, WorkingFolderIsTheCurrentDirectory) {
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_EQ(GetWorkingFolder(), U(current));
  std::u16string stored;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::u16string folder = U(temp);
  folder.pop_back();  // without the final separator
  SetWorkingFolder(folder, stored);
  EXPECT_EQ(stored, folder);
  EXPECT_EQ(GetWorkingFolder(), folder);
  std::wstring message;
  try {
    SetWorkingFolder(u"Z:\\no\\such\\folder", stored);
  } catch (const WinException& e) {
    message = e.message;
  }
  EXPECT_EQ(message, L"Internal error: Cannot set current directory.");
  EXPECT_EQ(stored, u"Z:\\no\\such\\folder");
  SetCurrentDirectoryW(current);
}

TEST_F(MainWindowTest, TooltipsCoverTheSevenTools) {
  struct Found {
    HWND owner;
    std::vector<std::u16string> texts;
  } found{main_, {}};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM p) -> BOOL {
        auto* f = reinterpret_cast<Found*>(p);
        wchar_t cls[64] = {};
        GetClassNameW(window, cls, 64);
        if (wcscmp(cls, TOOLTIPS_CLASSW) != 0 || GetWindow(window, GW_OWNER) != f->owner)
          return TRUE;
        const int count = static_cast<int>(SendMessageW(window, TTM_GETTOOLCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
          wchar_t text[256] = {};
          TTTOOLINFOW info = {};
          info.cbSize = TTTOOLINFOW_V1_SIZE;
          info.lpszText = text;
          SendMessageW(window, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&info));
          // The tools take their texts from the string table.
          if (IS_INTRESOURCE(info.lpszText) && info.hinst == appInstance)
            f->texts.push_back(LoadText(static_cast<int>(reinterpret_cast<UINT_PTR>(info.lpszText))));
          else
            f->texts.push_back(FromWide(text));
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  std::sort(found.texts.begin(), found.texts.end());
  std::vector<std::u16string> expected;
  for (int id : {IDS_TIP_OPEN, IDS_TIP_SAVE, IDS_TIP_READ, IDS_TIP_WRITE, IDS_TIP_PROGRESS,
                 IDS_TIP_STATUS, IDS_TIP_MODIFIED})
    expected.push_back(FindString(id));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found.texts, expected);
}

TEST_F(MainWindowTest, StartsWithTitleTreeAndEmptyStatus) {
  EXPECT_EQ(WindowText(main_), u"Острел Сорна-Т v.1.0.00");
  // The status line stays empty until the first presence check answers.
  EXPECT_EQ(Text(IDC_STATUS), u"");
  HWND tree = GetDlgItem(main_, IDC_TREE);
  EXPECT_TRUE(IsWindowVisible(tree));
  ASSERT_EQ(SendMessageW(tree, TVM_GETCOUNT, 0, 0), kPageCount);
  HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  for (int i = 0; i < kPageCount; ++i) {
    ASSERT_NE(item, nullptr) << i;
    wchar_t label[256] = {};
    TVITEMW tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = label;
    tv.cchTextMax = 256;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    EXPECT_EQ(U(label), std::u16string(FindString(kPages[i].labelId))) << i;
    item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                    reinterpret_cast<LPARAM>(item)));
  }
  EXPECT_EQ(item, nullptr);
  EXPECT_EQ(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0),
            reinterpret_cast<LRESULT>(self_->treeItem(0)));
  for (int i = 0; i < kPageCount; ++i) {
    ASSERT_NE(self_->pageWindow(i), nullptr) << i;
    EXPECT_EQ(IsWindowVisible(self_->pageWindow(i)) != 0, i == 0) << i;
  }
  HWND progress = GetDlgItem(main_, IDC_PROGRESS);
  EXPECT_EQ(SendMessageW(progress, PBM_GETRANGE, FALSE, 0), 2300);
  EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), 0);
}

TEST_F(MainWindowTest, FirstCheckShowsDeviceNotConnected) {
  // The first presence check runs on the worker; a loaded machine may take a while.
  ASSERT_TRUE(PumpUntil(main_, [&] { return !Text(IDC_STATUS).empty(); }, 20000));
  EXPECT_EQ(Text(IDC_STATUS), u" Устройство не подключено");
  EXPECT_EQ(self_->controller().exchangeState(), Controller::Idle);
  EXPECT_EQ(self_->controller().deviceState(), 0);
}

TEST_F(MainWindowTest, MenuHasItsTextsAndIds) {
  HMENU menu = GetMenu(main_);
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 3);
  struct Item {
    HMENU menu;
    int position;
    const char16_t* text;
    UINT id;
  };
  HMENU file = GetSubMenu(menu, 0), device = GetSubMenu(menu, 1);
  const Item items[] = {
      {menu, 0, u"&Файл", UINT(-1)},
      {menu, 1, u"&Устройство", UINT(-1)},
      {menu, 2, u"&О программе", IDM_ABOUT},
      {file, 0, u"&Открыть\tCtrl+O", ID_FILE_OPEN},
      {file, 1, u"&Сохранить\tCtrl+S", ID_FILE_SAVE},
      {file, 2, u"Сохранить &как...\tF11", ID_FILE_SAVEAS},
      {file, 4, u"В&ыход\tCtrl+Q", ID_FILE_EXIT},
      {device, 0, u"&Прочитать\tCtrl+R", ID_DEVICE_READ},
      {device, 1, u"&Записать\tCtrl+W", ID_DEVICE_WRITE},
  };
  for (const Item& item : items) {
    wchar_t text[128] = {};
    GetMenuStringW(item.menu, item.position, text, 128, MF_BYPOSITION);
    EXPECT_EQ(U(text), item.text);
    if (item.id != UINT(-1)) {
      EXPECT_EQ(GetMenuItemID(item.menu, item.position), item.id);
    }
  }
  EXPECT_EQ(GetMenuItemCount(file), 5);
  EXPECT_EQ(GetMenuItemID(file, 3), 0u);  // the separator
}

TEST_F(MainWindowTest, AcceleratorTableHasTheEightKeys) {
  HACCEL table = LoadAcceleratorsW(appInstance, MAKEINTRESOURCEW(IDM_MAIN));
  ACCEL keys[16];
  ASSERT_EQ(CopyAcceleratorTableW(table, keys, 16), 8);
  struct Key {
    WORD key;
    BYTE modifiers;
    WORD command;
  };
  const Key expected[] = {{'H', FCONTROL, IDM_ABOUT},        {0xBF, FCONTROL, IDM_ABOUT},
                          {'R', FCONTROL, ID_DEVICE_READ},   {'W', FCONTROL, ID_DEVICE_WRITE},
                          {'O', FCONTROL, ID_FILE_OPEN},     {'S', FCONTROL, ID_FILE_SAVE},
                          {VK_F11, 0, ID_FILE_SAVEAS},       {'Q', FCONTROL, ID_FILE_EXIT}};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(keys[i].key, expected[i].key) << i;
    EXPECT_EQ(keys[i].fVirt & ~FNOINVERT, FVIRTKEY | expected[i].modifiers) << i;
    EXPECT_EQ(keys[i].cmd, expected[i].command) << i;
  }
}

TEST_F(MainWindowTest, EscapeAndEnterDoNotCloseTheWindow) {
  PumpUntil(main_, [&] { return !Text(IDC_STATUS).empty(); });
  HWND tree = GetDlgItem(main_, IDC_TREE);
  SetFocus(tree);
  for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
    PostMessageW(tree, WM_KEYDOWN, key, 0);
    PostMessageW(tree, WM_KEYUP, key, 0xC0000000);
  }
  SendMessageW(main_, WM_COMMAND, IDOK, 0);
  SendMessageW(main_, WM_COMMAND, IDCANCEL, 0);
  Pump(main_, 200);
  EXPECT_TRUE(IsWindow(main_));
  EXPECT_TRUE(IsWindowVisible(main_));
}

TEST_F(MainWindowTest, TreeSelectionShowsOnePageAtATime) {
  HWND tree = GetDlgItem(main_, IDC_TREE);
  for (int target : {22, 5, 0, 17}) {
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(self_->treeItem(target)));
    for (int i = 0; i < kPageCount; ++i)
      EXPECT_EQ(IsWindowVisible(self_->pageWindow(i)) != 0, i == target) << target << " " << i;
  }
}

TEST_F(MainWindowTest, DeviceArrivalStartsAPresenceCheck) {
  // The first presence check runs on the worker; a loaded machine may take a while.
  ASSERT_TRUE(PumpUntil(main_, [&] { return !Text(IDC_STATUS).empty(); }, 20000));
  SetWindowTextW(GetDlgItem(main_, IDC_STATUS), L"");
  // A hand-built broadcast, as the platform sends it for any HID interface.
  struct {
    DEV_BROADCAST_DEVICEINTERFACE_W header;
    wchar_t name[64];
  } broadcast = {};
  broadcast.header.dbcc_size = sizeof broadcast;
  broadcast.header.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  SendMessageW(main_, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&broadcast));
  EXPECT_EQ(self_->controller().exchangeState(), Controller::Checking);
  Pump(main_, 100);
  EXPECT_EQ(self_->controller().exchangeState(), Controller::Idle);
  // The answer did not change, so the status line is left alone.
  EXPECT_EQ(Text(IDC_STATUS), u"");
  // Other device types and events are ignored.
  broadcast.header.dbcc_devicetype = DBT_DEVTYP_VOLUME;
  SendMessageW(main_, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&broadcast));
  EXPECT_EQ(self_->controller().exchangeState(), Controller::Idle);
}

TEST_F(MainWindowTest, ExitCommandClosesAndPostsQuitZero) {
  PumpUntil(main_, [&] { return !Text(IDC_STATUS).empty(); });
  SendMessageW(main_, WM_COMMAND, ID_FILE_EXIT, 0);
  EXPECT_FALSE(IsWindow(main_));
  int code = -5;
  ASSERT_TRUE(TakeQuit(code));
  EXPECT_EQ(code, 0);
}

// Each page's controller works on the configuration the main window owns:
// every page is destroyed while the main window's object still exists.
HWND destroyedParent = nullptr;
int pagesDestroyed = 0, pagesDestroyedAfterTheModel = 0;
LRESULT CALLBACK WatchDestroy(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == WM_DESTROY && GetParent(call->hwnd) == destroyedParent &&
      PageController(call->hwnd)) {
    ++pagesDestroyed;
    if (!MainWindow::Of(destroyedParent)) ++pagesDestroyedAfterTheModel;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainWindowTest, PagesAreDestroyedBeforeTheConfigurationTheyWorkOn) {
  destroyedParent = main_;
  pagesDestroyed = pagesDestroyedAfterTheModel = 0;
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchDestroy, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  DestroyWindow(main_);
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(pagesDestroyed, kPageCount);
  EXPECT_EQ(pagesDestroyedAfterTheModel, 0);
}

TEST_F(MainWindowTest, ProbeMessageIsAnsweredWithItsOwnNumber) {
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(main_, probeMessage, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 200,
                                  &answer));
  EXPECT_EQ(answer, probeMessage);
  EXPECT_EQ(FindRunningInstance(), main_);
  // Without a registered probe message no window counts as a running copy.
  const UINT number = probeMessage;
  probeMessage = 0;
  EXPECT_EQ(FindRunningInstance(), nullptr);
  probeMessage = number;
}

// ---- the program as a process ----

std::wstring ProgramPath() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  // tests/win32/shell/win_shell_tests.exe -> src/win32/ostrel.exe
  for (int i = 0; i < 4; ++i) path = path.substr(0, path.find_last_of(L"\\/"));
  return path + L"\\src\\win32\\ostrel.exe";
}

HANDLE Start(const std::wstring& program) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring command = L"\"" + program + L"\"";
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process))
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

std::vector<HWND> WindowsTitled(const wchar_t* title) {
  struct Search {
    const wchar_t* title;
    std::vector<HWND> found;
  } search{title, {}};
  EnumWindows(
      [](HWND window, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        wchar_t text[256] = {};
        GetWindowTextW(window, text, 256);
        if (wcscmp(text, s->title) == 0) s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindow(const wchar_t* title, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 50) {
    auto found = WindowsTitled(title);
    if (!found.empty()) return found[0];
    Sleep(50);
  }
  return nullptr;
}

TEST(SingleInstance, SecondStartActivatesTheFirstAndEndsWithZero) {
  const std::wstring program = ProgramPath();
  ASSERT_NE(GetFileAttributesW(program.c_str()), INVALID_FILE_ATTRIBUTES) << "no ostrel.exe";
  const wchar_t* title = L"Острел Сорна-Т v.1.0.00";
  HANDLE first = Start(program);
  ASSERT_NE(first, nullptr);
  HWND firstWindow = WaitForWindow(title, 15000);
  ASSERT_NE(firstWindow, nullptr);
  // The first builds its hidden pages while it answers messages; the
  // second starts once they are all there (the count of the first's
  // windows has stood still for half a second).
  int windows = -1;
  for (int still = 0, waited = 0; still < 500 && waited < 30000; waited += 50) {
    int counted = 0;
    EnumChildWindows(
        firstWindow, [](HWND, LPARAM n) { return ++*reinterpret_cast<int*>(n), TRUE; },
        reinterpret_cast<LPARAM>(&counted));
    still = counted == windows ? still + 50 : 0;
    windows = counted;
    Sleep(50);
  }

  // Minimise the first and give the foreground to a window of our own.
  ShowWindow(firstWindow, SW_MINIMIZE);
  HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                               200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetForegroundWindow(other);

  HANDLE second = Start(program);
  ASSERT_NE(second, nullptr);
  ASSERT_EQ(WaitForSingleObject(second, 15000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(second, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(second);

  EXPECT_EQ(WindowsTitled(title).size(), 1u);
  EXPECT_FALSE(IsIconic(firstWindow));
  EXPECT_EQ(GetForegroundWindow(), firstWindow);
  DestroyWindow(other);

  // The first closes through its close box and ends with 0.
  PostMessageW(firstWindow, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(first, 15000), WAIT_OBJECT_0);
  GetExitCodeProcess(first, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(first);
}

}  // namespace
