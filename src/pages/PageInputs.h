// The input zone pages: two pages for each of inputs 1-3. Page 1 holds the
// timing, the alarm count, the trigger mode, the averaging and the two
// trigger thresholds, and for inputs 2 and 3 the 24-hour mode and the option
// to monitor the input only on change; page 2 holds the zone type, the alarm
// text, the relays the alarm switches and for inputs 2 and 3 three aliases.
#pragma once
#include "pages/FieldPage.h"

extern const PageFields kInputPage1Fields;
extern const PageFields kInputPage2Fields;

// The rows of kInputPage1Fields, in table order.
enum InputPage1Row : int {
  kInEntryDelay, kInRestoreTime, kInMaxAlarms, kInAveraging, kInUpperThreshold,
  kInLowerThreshold, kInTriggerMode, kIn24Hour, kInChangeOnly,
};

// The first page of input k. Ticking or clearing the change-only box of
// inputs 2 and 3 rewrites some of the page's values (ApplyChangeOnlyMode) and
// tells the main window, which passes it on to the phone and relay pages.
class InputPage1 : public FieldPage {
 public:
  InputPage1(IPageDialog& dialog, int input) : FieldPage(dialog, kInputPage1Fields, input) {}
  void OnCommand(IPageDialog& dialog, int control, int code) override;

 private:
  // Runs after a click on the change-only box really changed its state:
  // places the values that suit the new mode in the holders (the caller
  // shows them) and posts the input-mode notice.
  void ApplyChangeOnlyMode(IPageDialog& dialog);
};

// The second page of input k; it has no rules beyond its table.
class InputPage2 : public FieldPage {
 public:
  InputPage2(IPageDialog& dialog, int input) : FieldPage(dialog, kInputPage2Fields, input) {}
};

// The six input pages: members 1-3 of each family.
template <int K>
using InputPage1Of = Member<InputPage1, K>;
template <int K>
using InputPage2Of = Member<InputPage2, K>;
using CtrlPageIn1_1 = InputPage1Of<1>;
using CtrlPageIn2_1 = InputPage1Of<2>;
using CtrlPageIn3_1 = InputPage1Of<3>;
using CtrlPageIn1_2 = InputPage2Of<1>;
using CtrlPageIn2_2 = InputPage2Of<2>;
using CtrlPageIn3_2 = InputPage2Of<3>;
