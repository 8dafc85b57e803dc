// How the main window's Controller reaches the 23 pages' values: storing
// and loading the ConfigImage page by page, and the input-mode notice.
//
// Everything here runs on the user-interface thread, inside the main
// window's message loop; the device worker never touches a page.
#pragma once
#include <cstdint>

// Base of every window controller: the main window's Controller, the page
// controllers, and each page's part of the configuration model.
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

// A page that follows an input's change-only monitoring. When the first page
// of input 2 or 3 switches its input to monitoring only on change (or back),
// it posts a notice to the main window, and the main window's Controller
// offers it, in page order, to every page that implements this interface.
// The page may change its own values and redraw its controls, but must
// touch neither the image nor the modified flag: the click that caused the
// notice has already marked the configuration modified, and the new values
// reach the image with the next store.
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

// The 23 pages as the Controller stores, loads and notifies them. The
// program passes its configuration model; the Controller's tests pass
// stand-ins that own a byte each.
class IPageSet {
 public:
  virtual ~IPageSet() = default;
  // Page `index` (0-22), or nullptr when it has none.
  virtual SimpleCtrlr* Page(int index) = 0;
};

// Offers an input-mode notice (input index, change-only switched on or off)
// to every page of `pages` that follows it, in page order; an index outside
// 0-2 reaches them as -1. The main window's part of the notice.
void OfferInputModeNotice(IPageSet& pages, std::intptr_t input, bool changeOnly);
