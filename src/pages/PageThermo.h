// The temperature control page: an upper and a lower bound in degrees
// Celsius and the mode that says which crossing of the bounds is watched.
// The page does not require the lower bound to lie below the upper one.
#pragma once
#include <string>

#include "pages/Ctrlr.h"

class CtrlPageThermo : public DlgCtrlr {
 public:
  explicit CtrlPageThermo(IPageDialog& dialog);
  void StoreToImage(std::uint8_t* image) override;
  void LoadFromImage(const std::uint8_t* image) override;
  void OnCommand(IPageDialog& dialog, int control, int code) override;

 private:
  void UpdateControls();

  std::u16string upper_ = u"26";  // °C, two digits, 0-99
  std::u16string lower_ = u"10";
  int mode_ = 0;  // index in the mode list, 0 = off
};
