// The order of the main window's start-up that the rest of the program
// relies on, seen from the device worker: when the first presence check is
// asked for, every page dialog exists with its controller and only the
// first one is shown.
#include "win32/shell/ShellSupport.h"

#include <thread>
#include <vector>

#include "pages/PageTable.h"
#include "res/page_ids.h"
#include "win32/PageDialog.h"

namespace {

// What the window looked like when the worker got its first request.
struct FirstRequest {
  int code = 0;
  bool windowVisible = false;
  std::vector<HWND> pages;
  std::vector<bool> controllers;
  std::vector<bool> visible;
};
FirstRequest first;
int requests = 0;

// The real worker without a device, which notes the window's state at the
// first request it is given.
class WatchingWorker : public IDeviceWorker {
 public:
  WatchingWorker(INotifySink& sink, std::unique_ptr<IDeviceWorker> real)
      : window_(static_cast<MainWindow&>(sink)), real_(std::move(real)) {}
  bool PostRequest(int code) override {
    if (requests++ == 0) {
      first.code = code;
      HWND main = window_.tree() ? GetParent(window_.tree()) : nullptr;
      first.windowVisible = main && IsWindowVisible(main);
      for (int i = 0; i < kPageCount; ++i) {
        HWND page = window_.pageWindow(i);
        first.pages.push_back(page);
        first.controllers.push_back(page && PageController(page) != nullptr);
        first.visible.push_back(page && IsWindowVisible(page));
      }
    }
    return real_->PostRequest(code);
  }
  void CopyImage(std::uint8_t* buffer, std::size_t count) override {
    real_->CopyImage(buffer, count);
  }
  bool ImageEquals(const std::uint8_t* image) override { return real_->ImageEquals(image); }
  void SetImage(const std::uint8_t* image) override { real_->SetImage(image); }
  void Stop(unsigned waitMs) override { real_->Stop(waitMs); }

 private:
  MainWindow& window_;
  std::unique_ptr<IDeviceWorker> real_;
};

std::unique_ptr<IDeviceWorker> MakeWatchingWorker(INotifySink& sink) {
  return std::make_unique<WatchingWorker>(sink, MakeWorkerWithoutDevice(sink));
}

class StartupTest : public MainWindowTest {
 protected:
  WorkerFactory Workers() override {
    first = FirstRequest{};
    requests = 0;
    return MakeWatchingWorker;
  }
  // Each test looks at the window as CreateMainWindow hands it back.
  bool WaitForPages() override { return false; }
  int PagesBuilt() {
    int built = 0;
    for (int i = 0; i < kPageCount; ++i) built += self_->pageWindow(i) != nullptr;
    return built;
  }
  // What a save would write now.
  std::vector<std::uint8_t> Stored(MainWindow& window) {
    std::vector<std::uint8_t> image(window.controller().image(),
                                    window.controller().image() + kImageSize);
    window.controller().StoreToImage(image.data());
    return image;
  }
  void SelectPage(int index) {
    SendMessageW(self_->tree(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(self_->treeItem(index)));
  }
};

// A registered message no window knows, and whether the hidden pages were
// still being built when the window got it.
UINT unknownMessage = 0;
int pendingWhenAnswered = -1;
LRESULT CALLBACK WatchSentMessages(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == unknownMessage && pendingWhenAnswered < 0)
    if (MainWindow* window = MainWindow::Of(sent->hwnd))
      pendingWhenAnswered = window->pagesPending();
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TEST_F(StartupTest, WindowComesBackOnTheScreenBeforeTheHiddenPagesAreBuilt) {
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_TRUE(IsWindowVisible(self_->tree()));
  ASSERT_NE(self_->pageWindow(0), nullptr);
  EXPECT_TRUE(IsWindowVisible(self_->pageWindow(0)));
  EXPECT_EQ(GetFocus(), self_->tree());
  EXPECT_TRUE(self_->pagesPending());
  EXPECT_EQ(PagesBuilt(), 1);
  // No presence check before the last page exists.
  EXPECT_EQ(requests, 0);
}

TEST_F(StartupTest, FirstPresenceCheckFindsEveryPageBuiltAndOnlyTheFirstShown) {
  ASSERT_TRUE(PumpUntil(main_, [] { return requests > 0; }, 30000));
  ASSERT_EQ(requests, 1);
  EXPECT_EQ(first.code, CheckDevice);
  EXPECT_TRUE(first.windowVisible);
  ASSERT_EQ(first.pages.size(), static_cast<std::size_t>(kPageCount));
  for (int i = 0; i < kPageCount; ++i) {
    EXPECT_NE(first.pages[i], nullptr) << i;
    EXPECT_EQ(first.pages[i], self_->pageWindow(i)) << i;
    EXPECT_TRUE(first.controllers[i]) << i;
    EXPECT_EQ(first.visible[i], i == 0) << i;
  }
  EXPECT_FALSE(self_->pagesPending());
}

TEST_F(StartupTest, BuildingTheHiddenPagesLeavesTheFocusInTheTree) {
  ASSERT_TRUE(BuildHiddenPages(main_, self_));
  EXPECT_EQ(GetFocus(), self_->tree());
  // The pages are children of the window, placed right of the tree, and
  // none of them but the first is drawn.
  for (int i = 0; i < kPageCount; ++i) {
    EXPECT_EQ(GetParent(self_->pageWindow(i)), main_) << i;
    EXPECT_FALSE(IsChild(self_->pageWindow(i), GetFocus())) << i;
    EXPECT_EQ(IsWindowVisible(self_->pageWindow(i)) != 0, i == 0) << i;
  }
  // Once the loop runs, the check answers as usual.
  // The first presence check runs on the worker; a loaded machine may take a while.
  ASSERT_TRUE(PumpUntil(main_, [&] { return !Text(IDC_STATUS).empty(); }, 20000));
  EXPECT_EQ(requests, 1);
}

TEST_F(StartupTest, AMessageSentWhileThePagesWaitIsAnsweredBeforeThem) {
  // Another thread sends the window a message the moment it is handed
  // back, as a user's first click would come; the window answers it
  // between the pages, not after the last.
  unknownMessage = RegisterWindowMessageW(L"ostrel-startup-test-probe");
  pendingWhenAnswered = -1;
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchSentMessages, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  HWND window = main_;
  std::thread sender([window] {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, unknownMessage, 0, 0, SMTO_NORMAL, 30000, &answer);
  });
  const bool answered = PumpUntil(main_, [] { return pendingWhenAnswered >= 0; }, 30000);
  sender.join();
  UnhookWindowsHookEx(hook);
  ASSERT_TRUE(answered);
  EXPECT_EQ(pendingWhenAnswered, 1);
  ASSERT_TRUE(BuildHiddenPages(main_, self_));
}

TEST_F(StartupTest, APageSelectedBeforeItsTurnIsBuiltAtOnce) {
  // Last page first, so that every one is selected before its turn.
  for (int i = kPageCount - 1; i > 0; --i) {
    ASSERT_EQ(self_->pageWindow(i), nullptr) << i;
    SelectPage(i);
    ASSERT_NE(self_->pageWindow(i), nullptr) << i;
    EXPECT_NE(PageController(self_->pageWindow(i)), nullptr) << i;
    for (int j = 0; j < kPageCount; ++j) {
      if (self_->pageWindow(j)) {
        EXPECT_EQ(IsWindowVisible(self_->pageWindow(j)) != 0, j == i) << i << " " << j;
      }
    }
  }
  // Nothing is left for the idle time but the presence check.
  EXPECT_FALSE(self_->pagesPending());
  ASSERT_TRUE(PumpUntil(main_, [] { return requests > 0; }, 30000));
  EXPECT_EQ(GetFocus(), self_->tree());
}

// Saves and the change-only notice of an input to the phone and relay pages
// work on the configuration model, whether or not a page's dialog exists
// yet; a page built afterwards shows what a page built before shows.
TEST_F(StartupTest, PagesBuiltAfterASaveOrANoticeShowWhatEarlierPagesShow) {
  constexpr int kInput3Page1 = 4;
  // Every phone calls on the alarm of zone 3, then input 3 goes to
  // change-only monitoring: the notice takes those calls back.
  auto callThenSwitchInput3 = [](HWND main, MainWindow& window) {
    for (int phone = 1; phone <= 5; ++phone)
      EXPECT_TRUE(window.configuration()
                      .Set("phone" + std::to_string(phone) + ".voice_zone3", u"да")
                      .ok);
    SendMessageW(window.tree(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(window.treeItem(kInput3Page1)));
    SendMessageW(GetDlgItem(window.pageWindow(kInput3Page1), IDC_IN1_CHANGE_ONLY), BM_CLICK, 0,
                 0);
    // The notice travels as a posted message, ahead of the pages' timer.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE))
      ProcessMessage(main, nullptr, msg);
  };
  // What the controls of every page show: texts, boxes, list choices.
  auto shown = [](MainWindow& window) {
    std::vector<std::u16string> controls;
    for (int i = 0; i < kPageCount; ++i)
      for (HWND c = GetWindow(window.pageWindow(i), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        controls.push_back(WindowText(c) + u"|" +
                           std::u16string(1, char16_t(u'0' + SendMessageW(c, BM_GETCHECK, 0, 0))) +
                           u"|" + std::u16string(1, char16_t(u'0' + SendMessageW(c, CB_GETCURSEL, 0, 0))));
    return controls;
  };

  const std::vector<std::uint8_t> fresh = Stored(*self_);
  // A save needs no page's dialog.
  EXPECT_EQ(PagesBuilt(), 1);

  // This window gets the notice while its phone and relay pages do not
  // exist yet.
  for (int i : {6, 10, 12, 17}) ASSERT_EQ(self_->pageWindow(i), nullptr) << i;
  callThenSwitchInput3(main_, *self_);
  const std::vector<std::uint8_t> noticedEarly = Stored(*self_);
  EXPECT_NE(noticedEarly, fresh);
  EXPECT_EQ(noticedEarly[243] & 0x1F, 0);  // no phone calls on zone 3's alarm
  ASSERT_TRUE(BuildHiddenPages(main_, self_));

  // A window whose pages all exist first stores and shows the same.
  HWND other = CreateMainWindow(MakeWorkerWithoutDevice);
  ASSERT_NE(other, nullptr);
  MainWindow& built = *MainWindow::Of(other);
  ASSERT_TRUE(BuildHiddenPages(other, &built));
  EXPECT_EQ(Stored(built), fresh);
  callThenSwitchInput3(other, built);
  EXPECT_EQ(Stored(built), noticedEarly);
  EXPECT_EQ(shown(built), shown(*self_));
  DestroyWindow(other);
  int code;
  TakeQuit(code);
}
