#include "pages/FieldPage.h"

#include "config/Notifications.h"
#include "pages/PageFramework.h"

FieldPage::FieldPage(IPageDialog& dialog, PageValues& values)
    : DlgCtrlr(dialog), values_(values), config_(values.Model()) {
  for (int i = 0; i < values_.RowCount(); ++i) {
    const FieldRow& r = values_.Row(i);
    if (values_.Exists(i) && KindOf(r).Control() == ControlType::List)
      FillComboFromStrings(r.list->strings.data(), r.control, r.ListCount(), dialog_);
  }
  UpdateControls();
  values_.SetView(this);
}

FieldPage::~FieldPage() { values_.SetView(nullptr); }

void FieldPage::UpdateControls() {
  for (int i = 0; i < values_.RowCount(); ++i)
    if (values_.Exists(i)) ShowRow(values_.Row(i), values_.Value(i));
}

void FieldPage::ShowRow(const FieldRow& r, const Holder& h) {
  switch (KindOf(r).Control()) {
    case ControlType::List:
      SetComboSelection(r.control, h.value, dialog_);
      break;
    case ControlType::CheckBox:
      SetCheckBox(r.control, h.value, dialog_);
      break;
    case ControlType::UnitsAndTenths:
      dialog_.SetText(r.control, h.text);
      dialog_.SetText(r.control2, h.text2);
      break;
    case ControlType::Edit:
      dialog_.SetText(r.control, h.text);
      break;
  }
}

bool FieldPage::Dispatch(IPageDialog& dialog, int control, int code, int& row) {
  row = -1;
  for (int i = 0; i < values_.RowCount(); ++i) {
    const FieldRow& r = values_.Row(i);
    if (!values_.Exists(i) || (control != r.control && control != r.control2)) continue;
    row = i;
    // The control's new state, as the user left it, goes to the model.
    FieldEdit edit;
    std::u16string typed;
    switch (KindOf(r).Control()) {
      case ControlType::List:
        if (code != kCbnSelChange) return false;
        edit = FieldEdit::Entry(dialog.GetComboSelection(control));
        break;
      case ControlType::CheckBox:
        if (code != kBnClicked) return false;
        edit = FieldEdit::Box(dialog.GetCheck(control) == 1);
        break;
      default: {
        if (code != kEnUpdate) return false;
        typed = dialog.GetText(control);
        int start = 0, end = 0;
        GetEditSelection(control, start, end, dialog);
        edit = FieldEdit::Typed(control == r.control2 ? 1 : 0, typed, end);
      }
    }
    const EditResult result = config_.Edit({values_.Index(), i}, edit);
    // The first change tells the main window; the change-only notice goes
    // to it as well, which passes it on to the pages that follow it.
    if (result.marked) dialog.PostToParent(Notify::ModifiedNotice, 0);
    if (result.noticed) PostInputModeNotice(dialog, Member() - 1, Value(kInChangeOnly).value != 1);
    if (result.rewrite) {
      // The value changed before the write-back, so the EN_UPDATE that the
      // write-back causes finds equal texts and returns at once.
      dialog.SetText(control, result.shown);
      dialog.SetSelection(control, result.caret, result.caret);
    }
    return result.changed;
  }
  return false;
}

void FieldPage::OnCommand(IPageDialog& dialog, int control, int code) {
  int row;
  Dispatch(dialog, control, code, row);
}
