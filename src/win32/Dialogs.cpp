#include "win32/Dialogs.h"

#include <shellapi.h>

#include "res/resource.h"

const wchar_t kWebSiteAddress[] = L"https://www.example.org/";

namespace {
constexpr DWORD kHoverTimeMs = 10;
}

INT_PTR CALLBACK DiscardPromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_COMMAND) return FALSE;
  // Only the four buttons end the prompt: Esc (2) does nothing, Enter
  // presses the default button "Сохранить".
  switch (LOWORD(wParam)) {
    case IDC_DISCARD_SAVE:
    case IDC_DISCARD_SAVEAS:
    case IDC_DISCARD_CANCEL:
    case IDC_DISCARD_DONTSAVE:
      EndDialog(dialog, LOWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      HyperlinkLabel::Attach(dialog, IDC_ABOUT_LINK);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      if (LOWORD(wParam) == IDC_ABOUT_LINK && HIWORD(wParam) == STN_CLICKED) {
        ShellExecuteW(dialog, L"open", kWebSiteAddress, nullptr, nullptr, SW_SHOWNORMAL);
        return TRUE;
      }
      return FALSE;
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_ABOUT_LINK) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 0, 255));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      return FALSE;
    case WM_DESTROY:
      HyperlinkLabel::Detach(dialog, IDC_ABOUT_LINK);
      return FALSE;
    default:
      return FALSE;
  }
}

HyperlinkLabel::HyperlinkLabel(HWND control) : control_(control) {
  TakeFont(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  cursor_ = LoadCursorW(nullptr, IDC_HAND);
}

void HyperlinkLabel::TakeFont(HFONT font) {
  // The underlined font is the dialog's font with an underline, so it has
  // the size the dialog's font has at the screen's DPI.
  if (underlinedFont_) DeleteObject(underlinedFont_);
  underlinedFont_ = nullptr;
  normalFont_ = font;
  if (normalFont_) {
    LOGFONTW description;
    if (GetObjectW(normalFont_, sizeof description, &description)) {
      description.lfUnderline = TRUE;
      underlinedFont_ = CreateFontIndirectW(&description);
    }
  }
}

void HyperlinkLabel::Attach(HWND dialog, int control) {
  HWND window = GetDlgItem(dialog, control);
  if (!window) return;
  auto* record = new HyperlinkLabel(window);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
  record->previousProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HyperlinkLabel::HyperlinkProc)));
}

void HyperlinkLabel::Detach(HWND dialog, int control) {
  HWND window = GetDlgItem(dialog, control);
  if (!window) return;
  auto* record = Of(window);
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (!record) return;
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(record->previousProc_));
  if (record->normalFont_) SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(record->normalFont_), FALSE);
  if (record->underlinedFont_) DeleteObject(record->underlinedFont_);
  delete record;
}

HyperlinkLabel* HyperlinkLabel::Of(HWND control) {
  return reinterpret_cast<HyperlinkLabel*>(GetWindowLongPtrW(control, GWLP_USERDATA));
}

void HyperlinkLabel::SwitchFont(HFONT font) {
  if (!font) return;
  switching_ = true;
  SendMessageW(control_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  switching_ = false;
  InvalidateRect(control_, nullptr, TRUE);
  UpdateWindow(control_);
}

LRESULT CALLBACK HyperlinkLabel::HyperlinkProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  HyperlinkLabel* self = Of(window);
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_SETCURSOR:
      if (self->cursor_) SetCursor(self->cursor_);
      return TRUE;
    case WM_MOUSEMOVE: {
      TRACKMOUSEEVENT track = {sizeof track, TME_HOVER | TME_LEAVE, window, kHoverTimeMs};
      TrackMouseEvent(&track);
      return 0;
    }
    case WM_MOUSEHOVER:
      if (!self->hovering_) {
        self->hovering_ = 1;
        self->SwitchFont(self->underlinedFont_);
      }
      return 0;
    case WM_MOUSELEAVE:
      if (self->hovering_) {
        self->hovering_ = 0;
        self->SwitchFont(self->normalFont_);
      }
      return 0;
    case WM_SETFONT:
      // A font from outside (the dialog manager's, scaled for a new DPI)
      // replaces both fonts; the label keeps showing the one that fits
      // whether the mouse rests on it.
      if (!self->switching_) {
        self->TakeFont(reinterpret_cast<HFONT>(wParam));
        HFONT shown = self->hovering_ && self->underlinedFont_ ? self->underlinedFont_
                                                               : self->normalFont_;
        return CallWindowProcW(self->previousProc_, window, message,
                               reinterpret_cast<WPARAM>(shown), lParam);
      }
      return CallWindowProcW(self->previousProc_, window, message, wParam, lParam);
    default:
      return CallWindowProcW(self->previousProc_, window, message, wParam, lParam);
  }
}
