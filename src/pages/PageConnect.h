// The connection indications page: three options of byte 190 that govern how
// the device treats its alarm calls (bit 3 belongs to the arming page).
#pragma once
#include "pages/FieldPage.h"

extern const PageFields kConnectPageFields;

class CtrlPageConnect : public FieldPage {
 public:
  explicit CtrlPageConnect(IPageDialog& dialog) : FieldPage(dialog, kConnectPageFields, 1) {}
};
