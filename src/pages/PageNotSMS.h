// The undelivered messages page: how long the device keeps trying to deliver
// an alarm call and how many failed attempts to send an SMS it makes.
#pragma once
#include <string>

#include "pages/Ctrlr.h"

class CtrlPageNotSMS : public DlgCtrlr {
 public:
  explicit CtrlPageNotSMS(IPageDialog& dialog);
  void StoreToImage(std::uint8_t* image) override;
  void LoadFromImage(const std::uint8_t* image) override;
  void OnCommand(IPageDialog& dialog, int control, int code) override;

 private:
  void UpdateControls();

  std::u16string callLifetime_ = u"9";  // minutes, one digit
  std::u16string smsAttempts_ = u"9";   // one digit
};
