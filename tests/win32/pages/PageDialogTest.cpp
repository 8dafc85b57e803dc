#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/StringTable.h"
#include "pages/Ctrlr.h"
#include "config/ImageMap.h"
#include "config/ModifiedFlag.h"
#include "pages/PageTable.h"
#include "res/resource.h"
#include "win32/PageDialog.h"
#include "win32/Win32Util.h"

namespace {

constexpr int kConnectPage = 19, kNotSmsPage = 21, kThermoPage = 22;

// What the pages posted to their parent.
std::vector<std::pair<WPARAM, LPARAM>> posted;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    posted.emplace_back(wParam, lParam);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class PageDialogs : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    appInstance = GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSW parentClass = {};
    parentClass.lpfnWndProc = ParentProc;
    parentClass.hInstance = appInstance;
    parentClass.lpszClassName = L"OstrelPagesTestParent";
    parentClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    RegisterClassW(&parentClass);
  }

  void SetUp() override {
    posted.clear();
    parent_ = CreateWindowExW(0, L"OstrelPagesTestParent", L"pages", WS_OVERLAPPEDWINDOW, 0, 0,
                              900, 480, nullptr, nullptr, appInstance, nullptr);
    ASSERT_NE(parent_, nullptr);
    for (int i = 0; i < 23; ++i) {
      std::unique_ptr<CtrlFactory> factory = MakePageFactory(i);
      PageCreation creation{factory.get(), &config_.Values(i)};
      pages_[i] = CreateDialogParamW(appInstance, MAKEINTRESOURCEW(kPages[i].dialogId),
                                     parent_, PageDialogProc,
                                     reinterpret_cast<LPARAM>(&creation));
      ASSERT_NE(pages_[i], nullptr) << "page " << i;
    }
    Pump();
  }

  void TearDown() override {
    if (parent_) DestroyWindow(parent_);
  }

  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

  HWND Control(int page, int id) { return GetDlgItem(pages_[page], id); }

  // One keystroke into an edit at its current selection.
  static void Key(HWND edit, wchar_t c) {
    SendMessageW(edit, WM_CHAR, c, 1);
    Pump();
  }
  static void Select(HWND edit, int start, int end) { SendMessageW(edit, EM_SETSEL, start, end); }
  static std::pair<int, int> Selection(HWND edit) {
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    return {static_cast<int>(start), static_cast<int>(end)};
  }

  // The page's own values, as it stores them.
  std::vector<std::uint8_t> Stored(int page) {
    std::vector<std::uint8_t> image(kImageSize);
    InitImage(image.data());
    DlgCtrlr* controller = PageController(pages_[page]);
    EXPECT_NE(controller, nullptr);
    if (controller) controller->StoreToImage(image.data());
    return image;
  }
  static std::u16string TwoDigits(int value) {
    return {static_cast<char16_t>(u'0' + value / 10), static_cast<char16_t>(u'0' + value % 10)};
  }

  int Flag() const { return config_.Modified().IsSet() ? 1 : 0; }

  Configuration config_;
  HWND parent_ = nullptr;
  HWND pages_[23] = {};
};

TEST_F(PageDialogs, AllTemplatesExistWithTheirFrames) {
  for (int i = 0; i < 23; ++i) {
    EXPECT_FALSE(IsWindowVisible(pages_[i])) << "page " << i;
    EXPECT_TRUE(GetWindowLongW(pages_[i], GWL_STYLE) & WS_CHILD) << "page " << i;
    EXPECT_EQ(GetAncestor(pages_[i], GA_PARENT), parent_);
    // The frame: a group box with the page's title.
    bool framed = false;
    for (HWND child = GetWindow(pages_[i], GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      if ((GetWindowLongW(child, GWL_STYLE) & 0x0F) == BS_GROUPBOX && !WindowText(child).empty())
        framed = true;
    EXPECT_TRUE(framed) << "page " << i;
    EXPECT_NE(PageController(pages_[i]), nullptr) << "page " << i;
  }
  EXPECT_EQ(PageController(parent_), nullptr);
  // The controllers filled their controls from the string table.
  EXPECT_EQ(SendMessageW(Control(kThermoPage, IDC_THERMO_MODE), CB_GETCOUNT, 0, 0), 4);
  EXPECT_EQ(SendMessageW(Control(kThermoPage, IDC_THERMO_MODE), CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(WindowText(Control(kNotSmsPage, IDC_NOTSMS_LIFETIME)), u"9");
  // Writing its own controls did not mark anything.
  EXPECT_EQ(Flag(), 0);
  EXPECT_TRUE(posted.empty());
}

TEST_F(PageDialogs, TwoDigitFieldFollowsTheKeys) {
  HWND upper = Control(kThermoPage, IDC_THERMO_UPPER);
  ASSERT_NE(upper, nullptr);
  ASSERT_EQ(WindowText(upper), u"26");
  EXPECT_EQ(TwoDigits(Stored(kThermoPage)[kThermoUpper]), u"26");

  Select(upper, 0, 0);
  Key(upper, L'7');
  EXPECT_EQ(WindowText(upper), u"72");
  EXPECT_EQ(TwoDigits(Stored(kThermoPage)[kThermoUpper]), WindowText(upper));
  EXPECT_EQ(Selection(upper), std::make_pair(1, 1));
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0], std::make_pair(WPARAM{0}, LPARAM{0}));

  Select(upper, 2, 2);
  Key(upper, L'5');
  EXPECT_EQ(WindowText(upper), u"25");
  EXPECT_EQ(TwoDigits(Stored(kThermoPage)[kThermoUpper]), WindowText(upper));
  EXPECT_EQ(Selection(upper), std::make_pair(2, 2));

  // Deleting a digit brings it back.
  Key(upper, VK_BACK);
  EXPECT_EQ(WindowText(upper), u"25");
  EXPECT_EQ(TwoDigits(Stored(kThermoPage)[kThermoUpper]), WindowText(upper));
  EXPECT_EQ(Flag(), 1);
  EXPECT_EQ(posted.size(), 1u);  // only the first change is announced
}

TEST_F(PageDialogs, OneDigitFieldKeepsOneDigit) {
  for (int id : {IDC_NOTSMS_LIFETIME, IDC_NOTSMS_ATTEMPTS}) {
    HWND edit = Control(kNotSmsPage, id);
    ASSERT_NE(edit, nullptr);
    const int offset = id == IDC_NOTSMS_LIFETIME ? kCallLifetime : kSmsAttempts;

    Select(edit, 1, 1);
    Key(edit, L'3');  // a second digit replaces the first
    EXPECT_EQ(WindowText(edit), u"3");
    EXPECT_EQ(Stored(kNotSmsPage)[offset], 3);

    Key(edit, VK_BACK);  // deleting the digit brings it back
    EXPECT_EQ(WindowText(edit), u"3");
    EXPECT_EQ(Stored(kNotSmsPage)[offset], 3);
    EXPECT_EQ(Selection(edit), std::make_pair(0, 0));

    Select(edit, 0, 0);
    Key(edit, L'6');  // typed before it: replaces it too
    EXPECT_EQ(WindowText(edit), u"6");
    EXPECT_EQ(Stored(kNotSmsPage)[offset], 6);
  }
  EXPECT_EQ(posted.size(), 1u);
}

TEST_F(PageDialogs, CheckBoxesAndListReachThePage) {
  HWND listen = Control(kConnectPage, IDC_CONNECT_LISTEN);
  ASSERT_NE(listen, nullptr);
  SendMessageW(listen, BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(Stored(kConnectPage)[kConnectFlags], 0xF9);

  HWND mode = Control(kThermoPage, IDC_THERMO_MODE);
  SendMessageW(mode, CB_SETCURSEL, 2, 0);  // no notification of its own
  EXPECT_EQ(Stored(kThermoPage)[kThermoMode], 0);
  SendMessageW(pages_[kThermoPage], WM_COMMAND, MAKEWPARAM(IDC_THERMO_MODE, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(mode));
  EXPECT_EQ(Stored(kThermoPage)[kThermoMode], 2);
  Pump();
  EXPECT_EQ(posted.size(), 1u);
}

TEST_F(PageDialogs, LoadShowsTheImageWithoutMarking) {
  std::vector<std::uint8_t> image(kImageSize);
  InitImage(image.data());
  image[kThermoUpper] = 40;
  image[kThermoLower] = 30;
  image[kThermoMode] = 3;
  image[kConnectFlags] = 0x0D;
  for (HWND page : pages_)
    if (DlgCtrlr* controller = PageController(page)) controller->LoadFromImage(image.data());
  Pump();
  EXPECT_EQ(WindowText(Control(kThermoPage, IDC_THERMO_UPPER)), u"40");
  EXPECT_EQ(WindowText(Control(kThermoPage, IDC_THERMO_LOWER)), u"30");
  EXPECT_EQ(SendMessageW(Control(kThermoPage, IDC_THERMO_MODE), CB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(SendMessageW(Control(kConnectPage, IDC_CONNECT_LISTEN), BM_GETCHECK, 0, 0), 1);
  EXPECT_EQ(SendMessageW(Control(kConnectPage, IDC_CONNECT_REJECTED), BM_GETCHECK, 0, 0), 0);
  EXPECT_EQ(SendMessageW(Control(kConnectPage, IDC_CONNECT_CANCEL), BM_GETCHECK, 0, 0), 1);
  EXPECT_EQ(WindowText(Control(kNotSmsPage, IDC_NOTSMS_LIFETIME)), u"9");
  EXPECT_EQ(Flag(), 0);
  EXPECT_TRUE(posted.empty());
}

// A page that counts its controllers' lives and the commands it receives.
struct CountingPage : DlgCtrlr {
  static inline int alive = 0, commands = 0;
  CountingPage(IPageDialog& dialog, PageValues&) : DlgCtrlr(dialog) { ++alive; }
  ~CountingPage() override { --alive; }
  void StoreToImage(std::uint8_t*) override {}
  void LoadFromImage(const std::uint8_t*) override {}
  // Counts the one command the test sends; the template's own controls may
  // notify too (focus, for one), depending on the window that is active.
  void OnCommand(IPageDialog&, int control, int code) override {
    if (control == 1015 && code == EN_UPDATE) ++commands;
  }
};

TEST_F(PageDialogs, ThePageOwnsItsControllerUntilDestroyed) {
  ControllerFactory<CountingPage> factory;
  PageCreation creation{&factory, &config_.Values(20)};
  HWND page = CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_PAGE_SECUR), parent_,
                                 PageDialogProc, reinterpret_cast<LPARAM>(&creation));
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(CountingPage::alive, 1);
  ASSERT_NE(dynamic_cast<CountingPage*>(PageController(page)), nullptr);
  SendMessageW(page, WM_COMMAND, MAKEWPARAM(1015, EN_UPDATE), 0);
  EXPECT_EQ(CountingPage::commands, 1);
  SendMessageW(page, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(page));
  EXPECT_EQ(CountingPage::alive, 0);

  // The pages created with the main window go with it.
  DestroyWindow(parent_);
  parent_ = nullptr;
  for (HWND p : pages_) EXPECT_FALSE(IsWindow(p));
}

// Every text of the pages' string table is the same in the resources as in
// the core's copy (quotes included).
TEST_F(PageDialogs, TheResourceStringTableHoldsTheCoresTexts) {
#define OSTREL_STRING(id, text) id,
  const int ids[] = {
#include "res/strings_pages.inc"
  };
#undef OSTREL_STRING
  for (int id : ids) {
    wchar_t buffer[256] = {};
    ASSERT_GT(LoadStringW(appInstance, id, buffer, 256), 0) << id;
    EXPECT_EQ(FromWide(buffer), FindString(id)) << id;
  }
  // A text with quotes inside, as the arming page shows it.
  EXPECT_NE(std::u16string(FindString(IDS_SETRES_BUTTON)).find(u"\"Взвод\""),
            std::u16string::npos);
}

}  // namespace
