// The dialog procedure of every page dialog. Create a page with
//   PageCreation creation{factory, &values};
//   CreateDialogParamW(appInstance, MAKEINTRESOURCEW(entry.dialogId), parent,
//                      PageDialogProc, reinterpret_cast<LPARAM>(&creation));
// where factory is the page's CtrlFactory and values its part of the
// configuration model (the creation only has to live until the call
// returns; a null factory makes a page without a controller). The dialog
// owns its controller until it is destroyed; the values outlive it.
// User-interface thread only.
#pragma once
#include <windows.h>

class CtrlFactory;
class DlgCtrlr;
class PageValues;

struct PageCreation {
  CtrlFactory* factory;
  PageValues* values;
};

INT_PTR CALLBACK PageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The controller of a page dialog, or nullptr when it has none.
DlgCtrlr* PageController(HWND page);
