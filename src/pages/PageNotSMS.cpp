#include "pages/PageNotSMS.h"

#include "pages/Codecs.h"
#include "pages/ImageMap.h"
#include "pages/PageFramework.h"
#include "res/page_ids.h"

CtrlPageNotSMS::CtrlPageNotSMS(IPageDialog& dialog) : DlgCtrlr(dialog) { UpdateControls(); }

void CtrlPageNotSMS::UpdateControls() {
  dialog_.SetText(IDC_NOTSMS_LIFETIME, callLifetime_);
  dialog_.SetText(IDC_NOTSMS_ATTEMPTS, smsAttempts_);
}

void CtrlPageNotSMS::StoreToImage(std::uint8_t* image) {
  StoreOneDigit(callLifetime_, image, kCallLifetime);
  StoreOneDigit(smsAttempts_, image, kSmsAttempts);
}

void CtrlPageNotSMS::LoadFromImage(const std::uint8_t* image) {
  // A value above the range shows as the maximum.
  LoadOneDigit(kCallLifetime, image, callLifetime_, u'9');
  LoadOneDigit(kSmsAttempts, image, smsAttempts_, u'9');
  UpdateControls();
}

void CtrlPageNotSMS::OnCommand(IPageDialog& dialog, int control, int code) {
  if (code != kEnUpdate) return;
  if (control == IDC_NOTSMS_LIFETIME)
    DigitEditFilter(control, callLifetime_, dialog);
  else if (control == IDC_NOTSMS_ATTEMPTS)
    DigitEditFilter(control, smsAttempts_, dialog);
}
