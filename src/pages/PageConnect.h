// The connection indications page: three options of byte 190 that govern how
// the device treats its alarm calls.
#pragma once
#include "pages/Ctrlr.h"

class CtrlPageConnect : public DlgCtrlr {
 public:
  explicit CtrlPageConnect(IPageDialog& dialog);
  void StoreToImage(std::uint8_t* image) override;
  void LoadFromImage(const std::uint8_t* image) override;
  void OnCommand(IPageDialog& dialog, int control, int code) override;

 private:
  void UpdateControls();

  // Check states (0 or 1): listen after the alarm message, a rejected call
  // counts as successful, cancel the remaining alarm calls.
  int states_[3] = {0, 0, 0};
};
