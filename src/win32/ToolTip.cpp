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

void ToolTip::AddRectTool(HWND control, int stringId) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, owner_, reinterpret_cast<POINT*>(&rect), 2);
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
