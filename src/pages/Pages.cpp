#include "pages/Pages.h"

#include "pages/PageFramework.h"

void InputPage1::OnCommand(IPageDialog& dialog, int control, int code) {
  int row;
  Dispatch(dialog, control, code, row);
  // After every click on the change-only box the page shows all its values
  // again: the model's change-only rule may have rewritten several.
  if (row == kInChangeOnly && code == kBnClicked) UpdateControls();
}
