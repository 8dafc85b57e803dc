#include "pages/Pages.h"

#include "pages/PageFramework.h"

void InputPage1::OnCommand(IPageDialog& dialog, int control, int code) {
  int row;
  const bool changed = Dispatch(dialog, control, code, row);
  if (row != kInChangeOnly || code != kBnClicked) return;
  if (changed) {
    Values().ApplyChangeOnlyMode();
    // Enable means change-only monitoring was switched off again.
    PostInputModeNotice(dialog, Member() - 1, Value(kInChangeOnly).value != 1);
  }
  UpdateControls();  // after every click on the box
}
