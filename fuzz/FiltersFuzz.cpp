// Edit sessions on the fields of one page: keystrokes, pastes, caret moves
// and selections on its edits, clicks on its check boxes and picks in its
// lists. After every action each field's control shows exactly what the
// page holds and will store (a fresh page loaded from what it stores shows
// the same), and a number field holds exactly its digits within its range.
//
// Input: byte 0 picks the page; then actions, each an operation byte, a
// field byte and its arguments (see FilterSession.h).
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "FilterSession.h"
#include "FuzzSupport.h"
#include "pages/FieldPage.h"
#include "config/ImageMap.h"
#include "config/ModifiedFlag.h"
#include "pages/PageTable.h"

namespace {

bool IsNumber(FieldKind kind) {
  return kind == FieldKind::TwoDigits || kind == FieldKind::Bcd || kind == FieldKind::OneDigit ||
         kind == FieldKind::Tenths;
}

// A number edit's text: exactly `digits` digits, its value within range.
void CheckNumber(const std::u16string& text, std::size_t digits, int min, int max) {
  FUZZ_CHECK(text.size() == digits);
  int value = 0;
  for (char16_t c : text) {
    FUZZ_CHECK(c >= u'0' && c <= u'9');
    value = value * 10 + (c - u'0');
  }
  FUZZ_CHECK(value >= min && value <= max);
}

void CheckPage(TypingDialog& dialog, FieldPage& page, int index) {
  // What the page stores, loaded into a fresh page: the same values.
  std::vector<std::uint8_t> image(kImageSize, 0xFF);
  page.StoreToImage(image.data());
  TypingDialog freshDialog;
  Configuration freshConfig;
  std::unique_ptr<DlgCtrlr> fresh(
      MakePageFactory(index)->create(freshDialog, freshConfig.Values(index)));
  freshDialog.Attach(fresh.get());
  fresh->LoadFromImage(image.data());
  FUZZ_CHECK(!freshConfig.Modified().IsSet());
  auto& loaded = dynamic_cast<FieldPage&>(*fresh);

  const auto& rows = page.Fields().rows;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const FieldRow& row = rows[r];
    if (!row.ExistsFor(page.Member())) continue;
    const FieldPage::Holder& held = page.Value(static_cast<int>(r));
    const FieldPage::Holder& again = loaded.Value(static_cast<int>(r));
    switch (row.kind) {
      case FieldKind::List:
      case FieldKind::OneHot:
        FUZZ_CHECK(dialog.GetComboSelection(row.control) == held.value);
        FUZZ_CHECK(again.value == held.value);
        break;
      case FieldKind::Flag:
      case FieldKind::Marker:
        FUZZ_CHECK(dialog.GetCheck(row.control) == held.value);
        FUZZ_CHECK(again.value == held.value);
        break;
      default:
        FUZZ_CHECK(dialog.GetText(row.control) == held.text);
        if (row.control2) FUZZ_CHECK(dialog.GetText(row.control2) == held.text2);
        if (row.kind == FieldKind::Password || row.kind == FieldKind::RequestNumber) {
          // A password of fewer than four digits, a request number that is
          // not "*", digits, "#": the page's note says they are not stored,
          // and what follows a request number's "#" is not part of it.
          FUZZ_CHECK(held.text.compare(0, again.text.size(), again.text) == 0);
        } else {
          FUZZ_CHECK(again.text == held.text);
        }
        if (row.control2) FUZZ_CHECK(again.text2 == held.text2);
        break;
    }
    if (!IsNumber(row.kind)) {
      if (row.kind == FieldKind::Text || row.kind == FieldKind::ShortText ||
          row.kind == FieldKind::Phone)
        FUZZ_CHECK(held.text.size() <= static_cast<std::size_t>(row.max));
      continue;
    }
    switch (row.kind) {
      case FieldKind::TwoDigits: CheckNumber(held.text, 2, row.min, row.max); break;
      case FieldKind::Bcd: CheckNumber(held.text, 2, 0, row.max); break;
      case FieldKind::OneDigit: CheckNumber(held.text, 1, 0, 9); break;
      default:
        CheckNumber(held.text, 1, 0, 9);
        CheckNumber(held.text2, 1, 0, 9);
        break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int index = data[0] % kPageCount;
  Configuration config;
  TypingDialog dialog;
  std::unique_ptr<DlgCtrlr> controller(MakePageFactory(index)->create(dialog, config.Values(index)));
  dialog.Attach(controller.get());
  auto& page = dynamic_cast<FieldPage&>(*controller);
  CheckPage(dialog, page, index);
  FilterSession session(page, dialog, data + 1, size - 1);
  while (session.Next()) CheckPage(dialog, page, index);
  return 0;
}
