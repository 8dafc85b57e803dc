// The undelivered messages page: how long the device keeps trying to deliver
// an alarm call and how many failed attempts to send an SMS it makes.
#pragma once
#include "pages/FieldPage.h"

extern const PageFields kNotSmsPageFields;

class CtrlPageNotSMS : public FieldPage {
 public:
  explicit CtrlPageNotSMS(IPageDialog& dialog) : FieldPage(dialog, kNotSmsPageFields, 1) {}
};
