// The main window and all 23 pages as laid out at 96, 120, 144 and 192 DPI.
// The system's DPI is read once when a process starts, so each DPI is
// measured by a child: the test sets the user's LogPixels, starts this
// executable again with "--measure FILE", puts the setting back, and checks
// what the child wrote about every window it built.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "pages/PageTable.h"
#include "res/resource.h"
#include "win32/shell/ShellSupport.h"

namespace {

// ---- the measuring child ----

// The awareness the process runs with (2: per monitor), or -1 where the
// system cannot tell.
int ProcessDpiAwareness() {
  HMODULE user = GetModuleHandleW(L"user32.dll");
  using GetContext = HANDLE(WINAPI*)();
  using GetAwareness = int(WINAPI*)(HANDLE);
  auto getContext = reinterpret_cast<GetContext>(
      reinterpret_cast<void*>(GetProcAddress(user, "GetThreadDpiAwarenessContext")));
  auto getAwareness = reinterpret_cast<GetAwareness>(
      reinterpret_cast<void*>(GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext")));
  if (!getContext || !getAwareness) return -1;
  return getAwareness(getContext());
}

RECT ScreenRect(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return rect;
}

RECT ClientScreenRect(HWND window) {
  RECT rect;
  GetClientRect(window, &rect);
  MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void Print(std::FILE* out, const char* what, const RECT& r) {
  std::fprintf(out, " %s %ld %ld %ld %ld", what, r.left, r.top, r.right, r.bottom);
}

// The height the control's text takes when drawn the way the control draws
// it in `width` pixels (0 for a control without text of its own to fit).
int TextHeightNeeded(HWND control, int width) {
  const int length = GetWindowTextLengthW(control);
  if (length == 0 || width <= 0) return 0;
  std::wstring text(length + 1, L'\0');
  GetWindowTextW(control, text.data(), length + 1);
  text.resize(length);
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT rect = {0, 0, width, 0};
  DrawTextW(dc, text.c_str(), length, &rect, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  // A word longer than the width is not broken: it sticks out sideways.
  return rect.right > width ? 1 << 20 : rect.bottom - rect.top;
}

// Room for the text of a control, or 0 when its text is not checked: word-
// wrapping static texts, and check boxes right of their box.
int TextWidth(HWND control, const RECT& r) {
  wchar_t kind[32] = {};
  GetClassNameW(control, kind, 32);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  if (_wcsicmp(kind, L"Static") == 0) {
    const LONG type = style & SS_TYPEMASK;
    if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) return r.right - r.left;
    return 0;
  }
  if (_wcsicmp(kind, L"Button") == 0) {
    const LONG type = style & BS_TYPEMASK;
    if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX || type == BS_AUTORADIOBUTTON ||
        type == BS_RADIOBUTTON) {
      // The box and the gap after it: a little over the system's check mark.
      const int box = GetSystemMetrics(SM_CXMENUCHECK) + GetSystemMetrics(SM_CXEDGE) * 2;
      return r.right - r.left - box;
    }
  }
  return 0;
}

int Measure(const wchar_t* path) {
  appInstance = GetModuleHandleW(nullptr);
  RegisterProbeMessage();
  INITCOMMONCONTROLSEX init = {sizeof init, ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&init);
  HWND main = CreateMainWindow(MakeWorkerWithoutDevice);
  if (!main) return 2;
  MainWindow* self = MainWindow::Of(main);
  // Every page exists once the start-up is over.
  const bool built = PumpUntil(
      main,
      [&] {
        for (int i = 0; i < kPageCount; ++i)
          if (!self->pageWindow(i)) return false;
        return true;
      },
      60000);
  if (!built) return 3;
  std::FILE* out = _wfopen(path, L"w");
  if (!out) return 4;
  HDC screen = GetDC(nullptr);
  std::fprintf(out, "dpi %d %d\n", GetDeviceCaps(screen, LOGPIXELSY), ProcessDpiAwareness());
  ReleaseDC(nullptr, screen);
  std::fprintf(out, "window");
  Print(out, "", ScreenRect(main));
  Print(out, "", ClientScreenRect(main));
  std::fprintf(out, "\n");
  for (int id : {IDC_OPEN, IDC_SAVE, IDC_READ, IDC_WRITE, IDC_STATUS, IDC_MODIFIED, IDC_PROGRESS,
                 IDC_TREE}) {
    HWND control = GetDlgItem(main, id);
    std::fprintf(out, "main %d", id);
    Print(out, "", ScreenRect(control));
    BITMAP image = {};
    if (auto bitmap = reinterpret_cast<HBITMAP>(SendMessageW(control, BM_GETIMAGE, IMAGE_BITMAP, 0)))
      GetObjectW(bitmap, sizeof image, &image);
    std::fprintf(out, " %ld %ld\n", image.bmWidth, image.bmHeight);
  }
  for (int i = 0; i < kPageCount; ++i) {
    HWND page = self->pageWindow(i);
    std::fprintf(out, "page %d", i);
    Print(out, "", ClientScreenRect(page));
    std::fprintf(out, "\n");
    for (HWND control = GetWindow(page, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
      const RECT r = ScreenRect(control);
      const int width = TextWidth(control, r);
      std::fprintf(out, "control %d %d", i, GetDlgCtrlID(control));
      Print(out, "", r);
      std::fprintf(out, " %d\n", width > 0 ? TextHeightNeeded(control, width) : 0);
    }
  }
  std::fclose(out);
  DestroyWindow(main);
  int code;
  TakeQuit(code);
  return 0;
}

// ---- what the child measured ----

struct Box {
  long left = 0, top = 0, right = 0, bottom = 0;
  long width() const { return right - left; }
  long height() const { return bottom - top; }
  bool Inside(const Box& o) const {
    return left >= o.left && top >= o.top && right <= o.right && bottom <= o.bottom;
  }
  bool Overlaps(const Box& o) const {
    return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }
};

std::istream& operator>>(std::istream& in, Box& b) {
  return in >> b.left >> b.top >> b.right >> b.bottom;
}

std::ostream& operator<<(std::ostream& out, const Box& b) {
  return out << "(" << b.left << "," << b.top << ")-(" << b.right << "," << b.bottom << ")";
}

struct MainControl {
  Box box;
  long imageWidth = 0, imageHeight = 0;
};

struct PageControl {
  int page;
  int id;
  Box box;
  int textHeight;
};

struct Layout {
  int dpi = 0;
  int awareness = 0;
  Box window, client;
  std::map<int, MainControl> main;
  std::vector<Box> pages;
  std::vector<PageControl> controls;
};

bool Parse(const std::wstring& path, Layout& layout) {
  std::FILE* file = _wfopen(path.c_str(), L"r");
  if (!file) return false;
  std::string text;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
  std::fclose(file);
  std::istringstream in(text);
  std::string kind;
  while (in >> kind) {
    if (kind == "dpi") {
      in >> layout.dpi >> layout.awareness;
    } else if (kind == "window") {
      in >> layout.window >> layout.client;
    } else if (kind == "main") {
      int id;
      MainControl c;
      in >> id >> c.box >> c.imageWidth >> c.imageHeight;
      layout.main[id] = c;
    } else if (kind == "page") {
      int index;
      Box box;
      in >> index >> box;
      layout.pages.push_back(box);
    } else if (kind == "control") {
      PageControl c;
      in >> c.page >> c.id >> c.box >> c.textHeight;
      layout.controls.push_back(c);
    } else {
      return false;
    }
  }
  return !in.bad();
}

// ---- the parent: one DPI per case ----

const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

// Sets the user's LogPixels for as long as it lives, then puts back what was
// there (or nothing).
class LogPixelsSetting {
 public:
  explicit LogPixelsSetting(DWORD dpi) {
    RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                    &key_, nullptr);
    DWORD size = sizeof previous_;
    DWORD type = 0;
    had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, &type,
                            reinterpret_cast<BYTE*>(&previous_), &size) == ERROR_SUCCESS &&
           type == REG_DWORD;
    RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                   sizeof dpi);
  }
  ~LogPixelsSetting() {
    if (had_)
      RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous_),
                     sizeof previous_);
    else
      RegDeleteValueW(key_, L"LogPixels");
    RegCloseKey(key_);
  }

 private:
  HKEY key_ = nullptr;
  DWORD previous_ = 0;
  bool had_ = false;
};

// Starts this executable as the measuring child at `dpi`; its exit code,
// or -1 when it could not be started or did not end in time.
int RunChild(DWORD dpi, const std::wstring& out) {
  LogPixelsSetting setting(dpi);
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --measure \"" + out + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return -1;
  CloseHandle(process.hThread);
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &code);
  else
    TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

struct DpiCase {
  int dpi;
  // The screen the window must fit: the smallest one usual at this scale.
  int screenWidth, screenHeight;
  // The height of the toolbar drawings the window must take.
  int imageSize;
};

void PrintTo(const DpiCase& c, std::ostream* out) { *out << c.dpi << " DPI"; }

const DpiCase kDpiCases[] = {
    {96, 1024, 768, 16},
    {120, 1280, 1024, 16},
    {144, 1920, 1080, 24},
    {192, 2560, 1440, 32},
};

class LayoutAtDpi : public ::testing::TestWithParam<DpiCase> {
 protected:
  void SetUp() override {
    // Each DPI is measured once, for all the checks.
    static std::map<int, Layout> measured;
    if (auto found = measured.find(GetParam().dpi); found != measured.end()) {
      layout_ = found->second;
      return;
    }
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring out =
        std::wstring(temp) + L"ostrel-layout-" + std::to_wstring(GetParam().dpi) + L".txt";
    DeleteFileW(out.c_str());
    ASSERT_EQ(RunChild(GetParam().dpi, out), 0);
    ASSERT_TRUE(Parse(out, layout_));
    DeleteFileW(out.c_str());
    // The setting took: the child ran at this DPI, aware of it, so that
    // nothing the system would stretch is taken for the window's own.
    ASSERT_EQ(layout_.dpi, GetParam().dpi);
    ASSERT_EQ(layout_.awareness, 2 /* per monitor */);
    ASSERT_EQ(layout_.main.size(), 8u);
    ASSERT_EQ(layout_.pages.size(), static_cast<std::size_t>(kPageCount));
    measured[GetParam().dpi] = layout_;
  }
  Layout layout_;
};

TEST_P(LayoutAtDpi, WindowFitsTheScreenOfItsScale) {
  EXPECT_LE(layout_.window.width(), GetParam().screenWidth) << layout_.window;
  EXPECT_LE(layout_.window.height(), GetParam().screenHeight) << layout_.window;
}

TEST_P(LayoutAtDpi, MainControlsLieInsideTheWindowApartFromEachOther) {
  std::vector<std::pair<int, Box>> boxes;
  for (const auto& [id, control] : layout_.main) {
    EXPECT_TRUE(control.box.Inside(layout_.client)) << id << " " << control.box;
    boxes.emplace_back(id, control.box);
  }
  for (int i = 0; i < kPageCount; ++i) {
    EXPECT_TRUE(layout_.pages[i].Inside(layout_.client)) << i << " " << layout_.pages[i];
    boxes.emplace_back(-1 - i, layout_.pages[i]);
  }
  // Pages lie on one another (one is shown at a time), nothing else does.
  for (std::size_t a = 0; a < boxes.size(); ++a)
    for (std::size_t b = a + 1; b < boxes.size(); ++b) {
      if (boxes[a].first < 0 && boxes[b].first < 0) continue;
      EXPECT_FALSE(boxes[a].second.Overlaps(boxes[b].second))
          << boxes[a].first << " " << boxes[a].second << " and " << boxes[b].first << " "
          << boxes[b].second;
    }
}

TEST_P(LayoutAtDpi, ToolbarImagesHaveTheSizeOfTheScaleAndFitTheirButtons) {
  for (int id : {IDC_OPEN, IDC_SAVE, IDC_READ, IDC_WRITE}) {
    const MainControl& button = layout_.main.at(id);
    const long perHeight = id == IDC_READ || id == IDC_WRITE ? 2 : 1;
    EXPECT_EQ(button.imageHeight, GetParam().imageSize) << id;
    EXPECT_EQ(button.imageWidth, GetParam().imageSize * perHeight) << id;
    // Inside the button's 3-D edge.
    EXPECT_LE(button.imageHeight + 4, button.box.height()) << id << " " << button.box;
    EXPECT_LE(button.imageWidth + 4, button.box.width()) << id << " " << button.box;
  }
}

TEST_P(LayoutAtDpi, EveryControlOfEveryPageLiesInsideItsPageWithRoomForItsText) {
  std::vector<int> controlsPerPage(kPageCount);
  for (const PageControl& c : layout_.controls) {
    ASSERT_GE(c.page, 0);
    ASSERT_LT(c.page, kPageCount);
    ++controlsPerPage[c.page];
    const Box& page = layout_.pages[c.page];
    EXPECT_TRUE(c.box.Inside(page)) << "page " << c.page + 1 << " control " << c.id << " "
                                    << c.box << " page " << page;
    EXPECT_LE(c.textHeight, c.box.height())
        << "page " << c.page + 1 << " control " << c.id << " " << c.box << ": its text is cut off";
  }
  for (int i = 0; i < kPageCount; ++i) EXPECT_GT(controlsPerPage[i], 0) << i;
}

INSTANTIATE_TEST_SUITE_P(Dpi, LayoutAtDpi, ::testing::ValuesIn(kDpiCases),
                         [](const ::testing::TestParamInfo<DpiCase>& info) {
                           return std::to_string(info.param.dpi);
                         });

INT_PTR CALLBACK IgnoringDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST(MainTemplate, PageTreeIsHiddenUntilTheWindowHasFilledIt) {
  // A start that fails halfway must not leave a half-filled tree on the
  // screen: the template has it hidden, and only the window shows it.
  appInstance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX init = {sizeof init, ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&init);
  HWND bare = CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                 IgnoringDialogProc, 0);
  ASSERT_NE(bare, nullptr);
  HWND tree = GetDlgItem(bare, IDC_TREE);
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(GetWindowLongW(tree, GWL_STYLE) & WS_VISIBLE, 0);
  // The rest of the top row is there from the start.
  for (int id : {IDC_OPEN, IDC_SAVE, IDC_READ, IDC_WRITE, IDC_STATUS, IDC_MODIFIED, IDC_PROGRESS})
    EXPECT_NE(GetWindowLongW(GetDlgItem(bare, id), GWL_STYLE) & WS_VISIBLE, 0) << id;
  DestroyWindow(bare);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--measure") == 0) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    return wide && count == 3 ? Measure(wide[2]) : 5;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
