// The main window: the view over the real controls of template 191, the
// page set over the 23 page dialogs, and the device worker's notification
// target. It owns the portable Controller that makes the decisions.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <optional>

#include "app/Controller.h"
#include "config/Configuration.h"
#include "win32/App.h"
#include "win32/ToolTip.h"
#include "app/fs/OsFileSystem.h"

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the main window from template 191; the worker comes from
// `makeWorker`. Returns null when the window cannot be created. When it
// returns, the window is on the screen with the tree and the first page;
// the message loop paints it, then adds the tooltips and builds the other
// pages between the user's input, and posts the first presence check when
// the last of them exists.
HWND CreateMainWindow(WorkerFactory makeWorker);

class MainWindow : public IMainView, public INotifySink {
 public:
  MainWindow(HWND window, WorkerFactory makeWorker);
  ~MainWindow() override;

  static MainWindow* Of(HWND window);
  Controller& controller() { return *controller_; }
  // The values of all 23 pages, whether or not a page's dialog exists.
  Configuration& configuration() { return config_; }
  HWND pageWindow(int index) const { return pageWindows_[index]; }
  HTREEITEM treeItem(int index) const { return treeItems_[index]; }
  HWND tree() const { return tree_; }
  void OnTreeSelChanged(const NMHDR* notification);
  // The second half of the start-up, run once the window is on the screen
  // with the tree and the first page: schedules the tooltips and the
  // building of the other pages for the message loop (after a failed first
  // half adds only the tooltips, at once). Runs once; later calls do
  // nothing.
  void FinishStartup();
  // One slice of the start-up's idle-time work, between input: the
  // tooltips first, then pages in tree order until input waits or the
  // slice is used up; after the last page registers for device changes and
  // posts the first presence check.
  void BuildPagesInIdleTime();
  // True while hidden pages wait to be built (not after a failure).
  bool pagesPending() const;
  // The window has been laid out again for a new DPI: reloads what the
  // dialog manager does not scale.
  void OnDpiLayoutDone();

  // IMainView
  void ShowStatus(int stringId) override;
  void ShowFileStatus(int stringId, const std::u16string& name) override;
  void ShowModifiedMark(bool on) override;
  void UpdateTitle(const std::u16string& name) override;
  void SetProgressRange(int maximum) override;
  void SetProgressPos(int position) override;
  int AskDiscard() override;
  bool AskOpenPath(std::u16string& path, std::size_t& nameOffset) override;
  bool AskSavePath(std::u16string& path, std::size_t& nameOffset) override;
  void SetCurrentFolder(const std::u16string& folder) override;
  void ShowAbout() override;
  void RequestClose() override;
  void UnregisterDeviceNotification() override;
  void PostQuit(int exitCode) override;
  // INotifySink
  void Post(unsigned code, std::intptr_t value) override;

 private:
  void AddToolTips();
  // Gives the toolbar buttons the largest drawing that fits them.
  void LoadToolbarBitmaps();
  void BuildTreeAndFirstPage();
  void BuildPage(int index);
  // Builds page `index` unless it exists; false when it could not be built
  // (the failure has been shown; no page is built after it).
  bool BuildPageNow(int index);
  void StartDeviceCheckOnce();
  // Runs one step of the start-up; false (after the "Exception" box) when
  // it threw.
  bool Guarded(const std::function<void()>& step);
  void RegisterForDeviceChanges();
  int PageOfItem(HTREEITEM item) const;

  HWND window_;
  HWND openButton_, saveButton_, readButton_, writeButton_, progress_;
  HWND status_, modified_;
  // Open, save, read, write; deleted with the window.
  HBITMAP toolbarBitmaps_[4] = {};
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  // Made in the first slice of idle time, once the window is on the screen.
  std::optional<ToolTip> controlTips_;
  std::optional<ToolTip> rectTips_;
  HWND tree_;
  HTREEITEM treeItems_[kPageCount] = {};
  HWND pageWindows_[kPageCount] = {};
  Win32FileSystem files_;
  // Before the Controller and the pages, which work on it.
  Configuration config_;
  HDEVNOTIFY deviceNotification_ = nullptr;
  std::unique_ptr<Controller> controller_;
  bool startupFailed_ = false;
  bool startupFinished_ = false;
  bool pageBuildFailed_ = false;
  bool deviceCheckStarted_ = false;
};
