// The dialog procedure of every page dialog. Create a page with
//   CreateDialogParamW(appInstance, MAKEINTRESOURCEW(entry.dialogId), parent,
//                      PageDialogProc, reinterpret_cast<LPARAM>(factory));
// where factory is the page's CtrlFactory (it only has to live until the
// call returns) or null for a page without a controller. The dialog owns
// its controller until it is destroyed.
#pragma once
#include <windows.h>

class DlgCtrlr;

INT_PTR CALLBACK PageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The controller of a page dialog, or nullptr when it has none.
DlgCtrlr* PageController(HWND page);
