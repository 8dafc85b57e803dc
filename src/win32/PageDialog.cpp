#include "win32/PageDialog.h"

#include <memory>

#include "pages/Ctrlr.h"
#include "win32/StartupTrace.h"
#include "win32/Win32Util.h"
#include "winbase/WinException.h"
#include "win32/Win32PageDialog.h"

namespace {

// What a page dialog keeps in its user data: the controller and the view of
// the dialog it works through. The controller goes first when the page is
// destroyed.
struct PageHost {
  explicit PageHost(HWND dialog) : view(dialog) {}
  Win32PageDialog view;
  std::unique_ptr<DlgCtrlr> controller;
};

PageHost* HostOf(HWND dialog) {
  return reinterpret_cast<PageHost*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

// Builds the page's controller; false (after the "Exception" box) when its
// construction failed, and the page then has none.
bool CreateController(HWND dialog, const PageCreation* creation) {
  if (!creation || !creation->factory) return true;
  return ReportFailures(dialog, [&] {
    auto host = std::make_unique<PageHost>(dialog);
    // The controller writes its controls while it is built; their
    // notifications find no controller in the user data yet and are ignored.
    host->controller.reset(creation->factory->create(host->view, *creation->values));
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host.release()));
  });
}

}  // namespace

INT_PTR CALLBACK PageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  PageHost* host = HostOf(dialog);
  switch (message) {
    case WM_INITDIALOG: {
      startup_trace::Mark("page dialogs and their controls");
      const bool built = CreateController(dialog, reinterpret_cast<const PageCreation*>(lParam));
      startup_trace::Mark("page controllers (own work)");
      // FALSE when built: a page never takes the keyboard focus while it is
      // created (the main window gives it to the tree), so building the
      // hidden pages moves no focus.
      return built ? FALSE : -1;
    }
    case WM_COMMAND:
      if (!host || !host->controller) return FALSE;
      ReportFailures(dialog, [&] {
        host->controller->OnCommand(host->view, LOWORD(wParam), HIWORD(wParam));
      });
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(dialog);
      return TRUE;
    case WM_DESTROY:
      SetWindowLongPtrW(dialog, GWLP_USERDATA, 0);
      delete host;
      return TRUE;
    default:
      return FALSE;
  }
}

DlgCtrlr* PageController(HWND page) {
  PageHost* host = HostOf(page);
  return host ? host->controller.get() : nullptr;
}
