// Base classes of the window controllers and the page factories.
//
// Everything here runs on the user-interface thread, inside the main
// window's message loop; the device worker never touches a page.
#pragma once
#include <cstdint>

#include "pages/PageDialog.h"

// Base of every window controller: the main window's Controller and the pages.
class SimpleCtrlr {
 public:
  virtual ~SimpleCtrlr() = default;
  // Writes the controller's values into a writable ConfigImage (2300 bytes).
  // The main window calls it on all pages in page order before a file save,
  // before a device write (over the device's freshly read parameter memory)
  // and, after a device read, to compare what the pages show with what the
  // device holds. A page writes only the bytes and bits it owns; a bit of a
  // byte shared with other pages is set or cleared in place, so storing the
  // pages in any order gives the same image. Storing never marks the
  // configuration modified and never changes what the page shows.
  virtual void StoreToImage(std::uint8_t* image) = 0;
  // Takes the controller's values from a ConfigImage and shows them. Called
  // on all pages in page order after a file was opened and after a device
  // read. Any byte value is accepted: a value out of range loads as the
  // page's default, silently. A load never marks the configuration modified
  // and never runs a page's follow-up rules or posts a notice.
  virtual void LoadFromImage(const std::uint8_t* image) = 0;
};

// Base of the 23 page controllers. A page lives from its dialog's
// WM_INITDIALOG to its WM_DESTROY; between loads its value holders are the
// only copy of what the user edits.
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

 protected:
  IPageDialog& dialog_;
};

// A page that follows an input's change-only monitoring. When the first page
// of input 2 or 3 switches its input to monitoring only on change (or back),
// it posts a notice to the main window, and the main window's Controller
// offers it, in page order, to every page that implements this interface.
// The page may change its own value holders and redraw its controls, but
// must touch neither the image nor the modified flag: the click that caused
// the notice has already marked the configuration modified, and the new
// values reach the image with the next store.
class IInputModeFollower {
 public:
  virtual ~IInputModeFollower() = default;
  // `input` is the input's index (0-2 for inputs 1-3; the input pages send
  // 1 and 2), or -1 for an index the notice cannot name, on which the page
  // changes nothing but redraws as it would otherwise. `changeOnly` is true
  // when change-only monitoring was switched on (voice calls and sirens for
  // that zone go off), false when it was switched off (they come back).
  virtual void FollowInputMode(int input, bool changeOnly) = 0;
};

class CtrlFactory {
 public:
  virtual ~CtrlFactory() = default;
  // A new page controller bound to the given page dialog. Called once per
  // page while the main window builds its page dialogs (from the dialog's
  // WM_INITDIALOG); may throw (a string that cannot be loaded), and the page
  // then stays without a controller.
  virtual DlgCtrlr* create(IPageDialog& dialog) = 0;
};

template <class T>
class ControllerFactory : public CtrlFactory {
 public:
  // If T's constructor throws, new releases the memory and the exception
  // passes on.
  DlgCtrlr* create(IPageDialog& dialog) override { return new T(dialog); }
};
