// Base classes of the window controllers and the page factories.
#pragma once
#include <cstdint>

#include "pages/PageDialog.h"

// Base of every window controller: the main window's Controller and the pages.
class SimpleCtrlr {
 public:
  virtual ~SimpleCtrlr() = default;
  // Writes the controller's values into a writable ConfigImage.
  virtual void StoreToImage(std::uint8_t* image) = 0;
  // Takes the controller's values from a ConfigImage and shows them.
  virtual void LoadFromImage(const std::uint8_t* image) = 0;
};

// Base of the 23 page controllers.
class DlgCtrlr : public SimpleCtrlr {
 public:
  explicit DlgCtrlr(IPageDialog& dialog) : dialog_(dialog) {}
  // One WM_COMMAND from a control of the page.
  virtual void OnCommand(IPageDialog& dialog, int control, int code) = 0;

 protected:
  IPageDialog& dialog_;
};

// What the main window needs of a phone-number page when an input is
// switched to or from monitoring only on change.
class IPhonePageLink {
 public:
  virtual ~IPhonePageLink() = default;
  // Voice-call check state for event 1-3 (alarm on zone 1-3).
  virtual void SetVoiceCallOnZone(int zone, int state) = 0;
  virtual void UpdateControls() = 0;
};

// The same for a relay page.
class IRelayPageLink {
 public:
  virtual ~IRelayPageLink() = default;
  virtual int RelayModeIndex() const = 0;  // 2 is the siren mode
  virtual void SetSirenOnZone(int zone, int state) = 0;  // zone 1-3
  virtual void UpdateControls() = 0;
};

class CtrlFactory {
 public:
  virtual ~CtrlFactory() = default;
  // A new page controller bound to the given page dialog.
  virtual DlgCtrlr* create(IPageDialog& dialog) = 0;
};

template <class T>
class ControllerFactory : public CtrlFactory {
 public:
  // If T's constructor throws, new releases the memory and the exception
  // passes on.
  DlgCtrlr* create(IPageDialog& dialog) override { return new T(dialog); }
};
