// The temperature control page: an upper and a lower bound in degrees
// Celsius and the mode that says which crossing of the bounds is watched.
// The page does not require the lower bound to lie below the upper one.
#pragma once
#include "pages/FieldPage.h"

extern const PageFields kThermoPageFields;

class CtrlPageThermo : public FieldPage {
 public:
  explicit CtrlPageThermo(IPageDialog& dialog) : FieldPage(dialog, kThermoPageFields, 1) {}
};
