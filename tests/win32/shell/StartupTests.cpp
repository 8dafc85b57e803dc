// The order of the main window's start-up that the rest of the program
// relies on, seen from the device worker: when the first presence check is
// asked for, every page dialog exists with its controller and only the
// first one is shown.
#include "win32/shell/ShellSupport.h"

#include <vector>

#include "pages/PageTable.h"
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
};

}  // namespace

TEST_F(StartupTest, FirstPresenceCheckFindsEveryPageBuiltAndOnlyTheFirstShown) {
  // The check is posted before the window is handed back, on the screen.
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
}

TEST_F(StartupTest, BuildingTheHiddenPagesLeavesTheFocusInTheTree) {
  EXPECT_EQ(GetFocus(), self_->tree());
  // The pages are children of the window, placed right of the tree, and
  // none of them but the first is drawn.
  for (int i = 0; i < kPageCount; ++i) {
    EXPECT_EQ(GetParent(self_->pageWindow(i)), main_) << i;
    EXPECT_FALSE(IsChild(self_->pageWindow(i), GetFocus())) << i;
  }
  // Once the loop runs, the check answers as usual.
  ASSERT_TRUE(PumpUntil(main_, [&] { return !Text(IDC_STATUS).empty(); }));
  EXPECT_EQ(requests, 1);
}
