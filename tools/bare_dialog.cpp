// The bare dialog of the start-up benchmark: one modeless dialog from a
// visible, centred template, created and run the way the configurator
// creates and runs its main window, with nothing else in it. What the
// configurator takes beyond this is its own start-up work.
#include <windows.h>

namespace {
constexpr int kDialogId = 100;

INT_PTR CALLBACK BareDialogProc(HWND window, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return TRUE;
    case WM_DESTROY:
      PostQuitMessage(0);
      return TRUE;
    default:
      return FALSE;
  }
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  HWND window =
      CreateDialogParamW(instance, MAKEINTRESOURCEW(kDialogId), nullptr, BareDialogProc, 0);
  if (!window) return 1;
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return -1;
    if (IsDialogMessageW(window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
