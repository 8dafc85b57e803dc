#include "pages/FieldPage.h"

#include "pages/PageFramework.h"

FieldPage::FieldPage(IPageDialog& dialog, PageValues& values)
    : DlgCtrlr(dialog), values_(values) {
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
  IModifiedFlag& modified = values_.Modified();
  for (int i = 0; i < values_.RowCount(); ++i) {
    const FieldRow& r = values_.Row(i);
    if (!values_.Exists(i) || (control != r.control && control != r.control2)) continue;
    row = i;
    Holder& h = values_.Value(i);
    switch (KindOf(r).Control()) {
      case ControlType::List: {
        if (code != kCbnSelChange) return false;
        const int before = h.value;
        TakeComboSelection(control, h.value, dialog, modified);
        return h.value != before;
      }
      case ControlType::CheckBox:
        return code == kBnClicked && TakeCheckBox(control, h.value, dialog, modified) == 1;
      default: {
        if (code != kEnUpdate) return false;
        const int part = control == r.control2 ? 1 : 0;
        std::u16string& text = part ? h.text2 : h.text;
        const FieldKindOps& kind = KindOf(r);
        if (!FilterEdit(control, text, dialog, modified,
                        [&](const std::u16string& typed, int caret) {
                          return kind.Filter(r, part, text, typed, caret);
                        }))
          return false;
        h.keepLoaded = false;  // edited: stored by the rule from now on
        return true;
      }
    }
  }
  return false;
}

void FieldPage::OnCommand(IPageDialog& dialog, int control, int code) {
  int row;
  Dispatch(dialog, control, code, row);
}
