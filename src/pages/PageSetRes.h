// The arming and disarming page: arming by a call without connection, the
// rings let pass, the arming button's mode, the automatic arming and
// disarming times, the exit delay and the names of six keys.
#pragma once
#include "pages/FieldPage.h"

extern const PageFields kSetResPageFields;

class CtrlPageSetRes : public FieldPage {
 public:
  explicit CtrlPageSetRes(IPageDialog& dialog) : FieldPage(dialog, kSetResPageFields, 1) {}
};
