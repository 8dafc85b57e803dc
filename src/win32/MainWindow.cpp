#include "win32/MainWindow.h"

#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
#include <iterator>

#include <initguid.h>
extern "C" {
#include <hidsdi.h>
}

#include "pages/PageTable.h"
#include "res/resource.h"
#include "win32/Dialogs.h"
#include "win32/FileNameDialog.h"
#include "win32/PageDialog.h"
#include "win32/StartupTrace.h"
#include "win32/Win32Util.h"
#include "winbase/WinException.h"

namespace {
// The worker factory for the window being created (the template is created
// with creation parameter 0).
WorkerFactory pendingWorkerFactory = nullptr;

// Posted to the window by itself once the dialog manager has laid it out
// again for a new DPI.
constexpr UINT kDpiLayoutDone = WM_APP + 1;

// The timer that builds the hidden pages once the message loop runs. Timer
// messages come after every input and paint message, so a click or a key
// waits for one slice of page building at most.
constexpr UINT_PTR kPageBuildTimer = 1;
// A slice builds pages until this many milliseconds have gone by or input
// waits.
constexpr DWORD kPageBuildSliceMs = 30;

// The toolbar bitmaps: one drawing at each size, its height in pixels
// (open and save are square, read and write twice as wide as high).
constexpr int kToolbarImageSizes[] = {16, 24, 32};
struct ToolbarImages {
  int button;
  int widthPerHeight;
  int bitmaps[std::size(kToolbarImageSizes)];
};
constexpr ToolbarImages kToolbarImages[] = {
    {IDC_OPEN, 1, {IDB_OPEN, IDB_OPEN_24, IDB_OPEN_32}},
    {IDC_SAVE, 1, {IDB_SAVE, IDB_SAVE_24, IDB_SAVE_32}},
    {IDC_READ, 2, {IDB_READ, IDB_READ_24, IDB_READ_32}},
    {IDC_WRITE, 2, {IDB_WRITE, IDB_WRITE_24, IDB_WRITE_32}},
};
// Pixels between a button's edge and its image: the 3-D border and the
// focus rectangle inside it.
constexpr int kButtonImageMargin = 3;

// The index into kToolbarImageSizes of the largest drawing that fits every
// toolbar button as the dialog manager has sized them for the screen's DPI
// (the smallest when none fits); all four buttons show the same size.
std::size_t ToolbarImageSize(HWND window) {
  std::size_t chosen = std::size(kToolbarImageSizes);
  for (const ToolbarImages& images : kToolbarImages) {
    RECT client = {};
    GetClientRect(GetDlgItem(window, images.button), &client);
    const int roomHigh = client.bottom - client.top - 2 * kButtonImageMargin;
    const int roomWide = client.right - client.left - 2 * kButtonImageMargin;
    std::size_t fits = 0;
    for (std::size_t i = 0; i < std::size(kToolbarImageSizes); ++i)
      if (kToolbarImageSizes[i] <= roomHigh &&
          kToolbarImageSizes[i] * images.widthPerHeight <= roomWide)
        fits = i;
    chosen = std::min(chosen, fits);
  }
  return chosen;
}

// The application icon at the size the system draws it for `metric`
// (SM_CXICON or SM_CXSMICON) at the screen's DPI.
HICON LoadAppIcon(int metric) {
  const int size = GetSystemMetrics(metric);
  return static_cast<HICON>(
      LoadImageW(appInstance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, size, size, 0));
}
}  // namespace

HWND CreateMainWindow(WorkerFactory makeWorker) {
  pendingWorkerFactory = makeWorker;
  HWND window =
      CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc, 0);
  startup_trace::Mark("main window shown");
  if (MainWindow* self = window ? MainWindow::Of(window) : nullptr) self->FinishStartup();
  return window;
}

MainWindow::MainWindow(HWND window, WorkerFactory makeWorker)
    : window_(window),
      openButton_(GetDlgItem(window, IDC_OPEN)),
      saveButton_(GetDlgItem(window, IDC_SAVE)),
      readButton_(GetDlgItem(window, IDC_READ)),
      writeButton_(GetDlgItem(window, IDC_WRITE)),
      progress_(GetDlgItem(window, IDC_PROGRESS)),
      status_(GetDlgItem(window, IDC_STATUS)),
      modified_(GetDlgItem(window, IDC_MODIFIED)),
      tree_(GetDlgItem(window, IDC_TREE)) {
  std::u16string folder = GetWorkingFolder();
  controller_ = std::make_unique<Controller>(*this, config_, config_.Modified(), files_,
                                             makeWorker(*this), std::move(folder));
  startup_trace::Mark("worker");

  // Each icon drawn at its own size rather than one scaled by the system.
  bigIcon_ = LoadAppIcon(SM_CXICON);
  smallIcon_ = LoadAppIcon(SM_CXSMICON);
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  controller_->ShowInitialState();
  startup_trace::Mark("icon, title, progress");

  LoadToolbarBitmaps();
  startup_trace::Mark("bitmaps");

  // The window is shown with the tree and the first page; the other pages
  // are built by FinishStartup.
  startupFailed_ = !Guarded([this] { BuildTreeAndFirstPage(); });
}

bool MainWindow::Guarded(const std::function<void()>& step) {
  // On a failure the window goes on with what was built; closing it still
  // ends the program.
  return ReportFailures(window_, step);
}

void MainWindow::FinishStartup() {
  if (startupFinished_) return;
  startupFinished_ = true;
  // What the window shows is complete; the message loop paints it as soon
  // as it runs, after any input that is already waiting. The tooltips,
  // which show nothing until the mouse rests on a tool, and the hidden
  // pages are built then, in slices between the user's input
  // (BuildPagesInIdleTime); a page selected before its turn is built at
  // once (OnTreeSelChanged).
  if (startupFailed_) {
    AddToolTips();
    return;
  }
  SetTimer(window_, kPageBuildTimer, 0, nullptr);
  startup_trace::Mark("tooltips and pages scheduled");
}

bool MainWindow::BuildPageNow(int index) {
  if (pageWindows_[index]) return true;
  if (pageBuildFailed_) return false;
  if (!Guarded([&] { BuildPage(index); })) {
    // The window goes on with the pages it has and starts no presence
    // check; the failure has been shown.
    pageBuildFailed_ = true;
    KillTimer(window_, kPageBuildTimer);
    return false;
  }
  return true;
}

void MainWindow::BuildPagesInIdleTime() {
  if (!controlTips_) {
    // The first slice: the loop has painted the window before it.
    startup_trace::Mark("message loop: first paint");
    AddToolTips();
  } else {
    startup_trace::Mark("waiting for input or the page timer");
  }
  const DWORD start = GetTickCount();
  // The pages in tree order, skipping those the user has had built.
  for (;;) {
    const auto next = std::find(std::begin(pageWindows_), std::end(pageWindows_), nullptr);
    if (next == std::end(pageWindows_)) break;
    if (!BuildPageNow(static_cast<int>(next - std::begin(pageWindows_)))) return;
    startup_trace::Mark("hidden page built in idle time");
    // Input, and messages that other threads and programs send and wait
    // for (a second copy's probe), go first.
    if (GetTickCount() - start >= kPageBuildSliceMs ||
        HIWORD(GetQueueStatus(QS_INPUT | QS_SENDMESSAGE)) != 0)
      return;
  }
  KillTimer(window_, kPageBuildTimer);
  StartDeviceCheckOnce();
}

bool MainWindow::pagesPending() const {
  if (startupFailed_ || pageBuildFailed_) return false;
  for (HWND page : pageWindows_)
    if (!page) return true;
  return false;
}

void MainWindow::StartDeviceCheckOnce() {
  if (deviceCheckStarted_) return;
  deviceCheckStarted_ = true;
  // Every page exists with its controller before the first presence check.
  RegisterForDeviceChanges();
  startup_trace::Mark("device notification");
  controller_->StartDeviceCheck();
  startup_trace::Mark("presence check posted");
}

MainWindow::~MainWindow() {
  // The pages go first: their controllers work on the configuration, which
  // goes with this object. The system would destroy them only after the
  // main window's own WM_DESTROY, when the configuration is gone.
  for (HWND& page : pageWindows_) {
    if (page && IsWindow(page)) DestroyWindow(page);
    page = nullptr;
  }
  for (HBITMAP bitmap : toolbarBitmaps_)
    if (bitmap) DeleteObject(bitmap);
  if (bigIcon_) DestroyIcon(bigIcon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
}

void MainWindow::LoadToolbarBitmaps() {
  const std::size_t size = ToolbarImageSize(window_);
  for (std::size_t i = 0; i < std::size(kToolbarImages); ++i) {
    // Grey tones become the system's 3-D colours, the top-left pixel's
    // colour the button's face.
    auto bitmap = static_cast<HBITMAP>(
        LoadImageW(appInstance, MAKEINTRESOURCEW(kToolbarImages[i].bitmaps[size]), IMAGE_BITMAP,
                   0, 0, LR_LOADMAP3DCOLORS | LR_LOADTRANSPARENT));
    SendMessageW(GetDlgItem(window_, kToolbarImages[i].button), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(bitmap));
    // The button does not own its image: the one it showed goes now.
    if (toolbarBitmaps_[i]) DeleteObject(toolbarBitmaps_[i]);
    toolbarBitmaps_[i] = bitmap;
  }
}

void MainWindow::OnDpiLayoutDone() {
  // The dialog manager has scaled the dialogs, their controls and their
  // fonts; what it does not know about follows: the toolbar images, the
  // icons and the rectangles of the tooltips' tools.
  LoadToolbarBitmaps();
  HICON big = LoadAppIcon(SM_CXICON);
  HICON small = LoadAppIcon(SM_CXSMICON);
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  if (bigIcon_) DestroyIcon(bigIcon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
  bigIcon_ = big;
  smallIcon_ = small;
  if (rectTips_) {
    rectTips_->UpdateRectTool(status_, IDS_TIP_STATUS);
    rectTips_->UpdateRectTool(modified_, IDS_TIP_MODIFIED);
  }
}

void MainWindow::AddToolTips() {
  ToolTip& controlTips = controlTips_.emplace(window_);
  ToolTip& rectTips = rectTips_.emplace(window_);
  startup_trace::Mark("tooltip windows");
  controlTips.AddControlTool(openButton_, IDS_TIP_OPEN);
  controlTips.AddControlTool(saveButton_, IDS_TIP_SAVE);
  controlTips.AddControlTool(readButton_, IDS_TIP_READ);
  controlTips.AddControlTool(writeButton_, IDS_TIP_WRITE);
  controlTips.AddControlTool(progress_, IDS_TIP_PROGRESS);
  rectTips.AddRectTool(status_, IDS_TIP_STATUS);
  rectTips.AddRectTool(modified_, IDS_TIP_MODIFIED);
  startup_trace::Mark("tooltip tools");
}

MainWindow* MainWindow::Of(HWND window) {
  return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void MainWindow::BuildTreeAndFirstPage() {
  // The tree is hidden until it holds every item; it draws nothing and
  // keeps no scroll bars up to date while they are added.
  SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
  for (int i = 0; i < kPageCount; ++i) {
    std::u16string label = LoadText(kPages[i].labelId);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(Wide(label));
    treeItems_[i] = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!treeItems_[i]) ThrowLastError(L"AddItem to TreeView");
  }
  SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);
  startup_trace::Mark("tree items");
  // The window does not hold its controller yet, so the selection
  // notification this causes is ignored.
  SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(treeItems_[0]));
  ShowWindow(tree_, SW_SHOW);
  startup_trace::Mark("tree selection, shown");
  BuildPage(0);
  ShowWindow(pageWindows_[0], SW_SHOW);
  SetFocus(tree_);
  startup_trace::Mark("page 0 shown, focus");
}

void MainWindow::BuildPage(int i) {
  // The factory only has to live until the creation returns.
  std::unique_ptr<CtrlFactory> factory = MakePageFactory(i);
  PageCreation creation{factory.get(), &config_.Values(i)};
  startup_trace::Mark("page factories");
  pageWindows_[i] = CreateDialogParamW(appInstance, MAKEINTRESOURCEW(kPages[i].dialogId),
                                       window_, PageDialogProc,
                                       reinterpret_cast<LPARAM>(&creation));
  startup_trace::Mark("page dialog after its init");
  if (!pageWindows_[i]) ThrowLastError(L"CreateDialog_Page");
}

void MainWindow::RegisterForDeviceChanges() {
  DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
  filter.dbcc_size = 32;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  HidD_GetHidGuid(&filter.dbcc_classguid);
  // A failed registration is not reported; only the returned handle counts
  // (the last error may be stale).
  deviceNotification_ =
      RegisterDeviceNotificationW(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

int MainWindow::PageOfItem(HTREEITEM item) const {
  for (int i = 0; i < kPageCount; ++i)
    if (item && treeItems_[i] == item) return i;
  return -1;
}

void MainWindow::OnTreeSelChanged(const NMHDR* notification) {
  if (notification->idFrom != IDC_TREE || notification->code != TVN_SELCHANGEDW) return;
  const auto* change = reinterpret_cast<const NMTREEVIEWW*>(notification);
  const int oldPage = PageOfItem(change->itemOld.hItem);
  const int newPage = PageOfItem(change->itemNew.hItem);
  if (oldPage >= 0 && pageWindows_[oldPage]) ShowWindow(pageWindows_[oldPage], SW_HIDE);
  // A page selected before its turn is built now.
  if (newPage >= 0 && !pageWindows_[newPage] && startupFinished_ && !startupFailed_)
    BuildPageNow(newPage);
  if (newPage >= 0 && pageWindows_[newPage]) ShowWindow(pageWindows_[newPage], SW_SHOW);
}

void MainWindow::ShowStatus(int stringId) { ShowFileStatus(stringId, {}); }

void MainWindow::ShowFileStatus(int stringId, const std::u16string& name) {
  SetWindowTextW(status_, Wide(LoadText(stringId) + name));
}

void MainWindow::ShowModifiedMark(bool on) { SetWindowTextW(modified_, on ? L" *" : L""); }

void MainWindow::UpdateTitle(const std::u16string& name) {
  std::u16string title = LoadText(IDS_TITLE);
  if (!name.empty()) title += u" - " + name;
  SetWindowTextW(window_, Wide(title));
}

void MainWindow::SetProgressRange(int maximum) {
  SendMessageW(progress_, PBM_SETRANGE, 0, MAKELPARAM(0, maximum));
}

void MainWindow::SetProgressPos(int position) {
  SendMessageW(progress_, PBM_SETPOS, position, 0);
}

int MainWindow::AskDiscard() {
  return static_cast<int>(DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_DISCARD), window_,
                                          DiscardPromptProc, 0));
}

bool MainWindow::AskOpenPath(std::u16string& path, std::size_t& nameOffset) {
  FileNameDialog dialog;
  return dialog.Show(window_, false, path, nameOffset);
}

bool MainWindow::AskSavePath(std::u16string& path, std::size_t& nameOffset) {
  FileNameDialog dialog;
  return dialog.Show(window_, true, path, nameOffset);
}

void MainWindow::SetCurrentFolder(const std::u16string& folder) {
  std::u16string stored;
  SetWorkingFolder(folder, stored);
}

void MainWindow::ShowAbout() {
  DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_ABOUT), window_, AboutDialogProc, 0);
}

void MainWindow::RequestClose() { SendMessageW(window_, WM_CLOSE, 0, 0); }

void MainWindow::UnregisterDeviceNotification() {
  if (deviceNotification_) ::UnregisterDeviceNotification(deviceNotification_);
  deviceNotification_ = nullptr;
}

void MainWindow::PostQuit(int exitCode) { PostQuitMessage(exitCode); }

void MainWindow::Post(unsigned code, std::intptr_t value) {
  PostMessageW(window_, WM_APP, code, value);
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The instance probe is answered before anything else, with or without a
  // controller.
  if (probeMessage != 0 && message == probeMessage) {
    SetWindowLongPtrW(window, DWLP_MSGRESULT, probeMessage);
    return TRUE;
  }
  MainWindow* self = MainWindow::Of(window);
  switch (message) {
    case WM_INITDIALOG:
      startup_trace::Mark("main window and its controls");
      if (ReportFailures(window, [&] {
            self = new MainWindow(window, pendingWorkerFactory);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
          }))
        return FALSE;  // the controller has set the focus itself
      return -1;
    case WM_COMMAND:
      if (self) self->controller().HandleCommand(LOWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      if (self) self->OnTreeSelChanged(reinterpret_cast<const NMHDR*>(lParam));
      return TRUE;
    case WM_DEVICECHANGE:
      if (self && lParam)
        self->controller().OnDeviceChange(
            wParam, reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam)->dbch_devicetype);
      return TRUE;
    case WM_APP:
      if (self) self->controller().OnWorkerMessage(static_cast<unsigned>(wParam), lParam);
      return TRUE;
    case WM_DPICHANGED:
      // The window has moved to a monitor of another DPI. Not handled here:
      // the dialog manager then places the window in the rectangle the
      // system suggests and scales the dialogs, their controls and fonts;
      // the rest follows once it has.
      if (self) PostMessageW(window, kDpiLayoutDone, 0, 0);
      return FALSE;
    case kDpiLayoutDone:
      if (self) self->OnDpiLayoutDone();
      return TRUE;
    case WM_TIMER:
      if (self && wParam == kPageBuildTimer) self->BuildPagesInIdleTime();
      return TRUE;
    case WM_CLOSE:
      if (!self || self->controller().ConfirmDiscard()) DestroyWindow(window);
      return TRUE;
    case WM_DESTROY:
      if (self) {
        self->controller().Shutdown();
        delete self;
      } else {
        // Without a controller nobody else ends the message loop.
        PostQuitMessage(0);
      }
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      return TRUE;
    default:
      return FALSE;
  }
}
