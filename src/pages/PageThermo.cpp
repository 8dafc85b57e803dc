#include "pages/PageThermo.h"

#include "pages/Codecs.h"
#include "pages/ImageMap.h"
#include "pages/PageFramework.h"
#include "res/page_ids.h"

namespace {
constexpr int kModeCount = 4;
constexpr int kModeStrings[kModeCount] = {IDS_THERMO_OFF, IDS_THERMO_RANGE, IDS_THERMO_ABOVE,
                                          IDS_THERMO_BELOW};
// The code of each list entry in the image's mode byte.
constexpr std::uint8_t kModeCodes[kModeCount] = {0, 1, 2, 3};
constexpr int kDefaultUpper = 26, kDefaultLower = 10;
}  // namespace

CtrlPageThermo::CtrlPageThermo(IPageDialog& dialog) : DlgCtrlr(dialog) {
  FillComboFromStrings(kModeStrings, IDC_THERMO_MODE, kModeCount, dialog_);
  UpdateControls();
}

void CtrlPageThermo::UpdateControls() {
  dialog_.SetText(IDC_THERMO_UPPER, upper_);
  dialog_.SetText(IDC_THERMO_LOWER, lower_);
  SetComboSelection(IDC_THERMO_MODE, mode_, dialog_);
}

void CtrlPageThermo::StoreToImage(std::uint8_t* image) {
  image[kThermoMode] = ListCode(kModeCodes, kModeCount, mode_);
  StoreTwoDigitsAsByte(image, kThermoUpper, upper_);
  StoreTwoDigitsAsByte(image, kThermoLower, lower_);
}

void CtrlPageThermo::LoadFromImage(const std::uint8_t* image) {
  mode_ = ListIndex(kModeCodes, kModeCount, image[kThermoMode], 0);
  LoadByteAsTwoDigits(kThermoUpper, image, upper_, 0, 99, kDefaultUpper);
  LoadByteAsTwoDigits(kThermoLower, image, lower_, 0, 99, kDefaultLower);
  UpdateControls();
}

void CtrlPageThermo::OnCommand(IPageDialog& dialog, int control, int code) {
  switch (control) {
    case IDC_THERMO_MODE:
      if (code == kCbnSelChange) TakeComboSelection(control, mode_, dialog);
      break;
    case IDC_THERMO_UPPER:
      if (code == kEnUpdate) NumberEditFilter(control, upper_, dialog, 0, 99, 2);
      break;
    case IDC_THERMO_LOWER:
      if (code == kEnUpdate) NumberEditFilter(control, lower_, dialog, 0, 99, 2);
      break;
    default:
      break;
  }
}
