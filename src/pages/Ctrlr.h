// Base classes of the page controllers and the page factories.
//
// Everything here runs on the user-interface thread, inside the main
// window's message loop; the device worker never touches a page.
#pragma once
#include <cstdint>

#include "config/Configuration.h"
#include "config/PageSet.h"
#include "pages/PageDialog.h"

// Base of the 23 page controllers. A page controller lives from its
// dialog's WM_INITDIALOG to its WM_DESTROY. Its values are its page's part
// of the configuration model (PageValues), which exists before the dialog
// and after it: the controller moves values between the model and the
// controls and nothing more.
class DlgCtrlr : public SimpleCtrlr {
 public:
  explicit DlgCtrlr(IPageDialog& dialog) : dialog_(dialog) {}
  // One WM_COMMAND from a control of the page: the page dialog, the control
  // id and the notification code. Called by the page dialog procedure. An
  // edit reacts only to EN_UPDATE, a list only to CBN_SELCHANGE, a check box
  // only to BN_CLICKED; anything else is ignored. A change the user made
  // marks the configuration modified (MarkModified); writing the page's own
  // controls back never does.
  virtual void OnCommand(IPageDialog& dialog, int control, int code) = 0;
  // Shows the page's values in its controls. Called by the controller
  // itself and whenever the model's values changed under it (a load, an
  // input-mode notice).
  virtual void UpdateControls() {}

 protected:
  IPageDialog& dialog_;
};

class CtrlFactory {
 public:
  virtual ~CtrlFactory() = default;
  // A new page controller bound to the given page dialog and showing the
  // given page's values. Called once per page when the window builds that
  // page's dialog (from the dialog's WM_INITDIALOG); may throw (a string
  // that cannot be loaded), and the page then stays without a controller
  // while its values stay in the model.
  virtual DlgCtrlr* create(IPageDialog& dialog, PageValues& values) = 0;
};

template <class T>
class ControllerFactory : public CtrlFactory {
 public:
  // If T's constructor throws, new releases the memory and the exception
  // passes on.
  DlgCtrlr* create(IPageDialog& dialog, PageValues& values) override {
    return new T(dialog, values);
  }
};
