#include "win32/ToolTip.h"

#include <commctrl.h>

#include "win32/Win32Util.h"

ToolTip::ToolTip(HWND owner)
    : owner_(owner),
      tip_(CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                           appInstance, nullptr)) {}

void ToolTip::AddControlTool(HWND control, int stringId) {
  TTTOOLINFOW info = {};
  info.cbSize = TTTOOLINFOW_V1_SIZE;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = owner_;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.hinst = appInstance;
  info.lpszText = MAKEINTRESOURCEW(stringId);
  SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

namespace {
// The rectangle a control covers, in its owner's client coordinates.
RECT RectIn(HWND owner, HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, owner, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}
}  // namespace

void ToolTip::UpdateRectTool(HWND control, int stringId) {
  TTTOOLINFOW info = {};
  info.cbSize = TTTOOLINFOW_V1_SIZE;
  info.hwnd = owner_;
  info.uId = static_cast<UINT_PTR>(stringId);
  info.rect = RectIn(owner_, control);
  SendMessageW(tip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
}

void ToolTip::AddRectTool(HWND control, int stringId) {
  const RECT rect = RectIn(owner_, control);
  TTTOOLINFOW info = {};
  info.cbSize = TTTOOLINFOW_V1_SIZE;
  info.uFlags = TTF_SUBCLASS;
  info.hwnd = owner_;
  info.uId = static_cast<UINT_PTR>(stringId);
  info.rect = rect;
  info.hinst = appInstance;
  info.lpszText = MAKEINTRESOURCEW(stringId);
  SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}
