#include "DialogTemplates.h"

#include <algorithm>
#include <iterator>
#include <span>

#include "config/PageFields.h"
#include "res/resource.h"
// IDS_X_TEXT, the texts' macros in the templates, as the string ids IDS_X.
#include "page_text_ids.h"
// kFamilyTitles: the PAGE_TITLE of every family page in pages.rc, in order.
#include "page_family_titles.h"

namespace {

enum class Item { Dialog, Static, Edit, List, Box, Frame };

// One statement of a dialog template. The texts are string ids.
struct TemplateItem {
  Item item;
  int text = 0;
  int id = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  long style = 0;
};

// A statement without a style leaves the last member as it is.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

// The resource statements as initializers: each statement closes the one
// before it, END closes the last.
#define PAGE_DIALOG(dialog) {Item::Dialog, 0, dialog
#define BEGIN
#define END },
#define LTEXT }, {Item::Static,
#define CTEXT }, {Item::Static,
#define EDITTEXT }, {Item::Edit, 0,
#define COMBOBOX }, {Item::List, 0,
#define AUTOCHECKBOX }, {Item::Box,
#define GROUPBOX }, {Item::Frame,
// Styles say nothing of the order or the texts.
#define NUMBER_EDIT 0
#define TEXT_EDIT 0
#define DROPDOWN 0
#define ES_CENTER 0
#define ES_AUTOHSCROLL 0
#define BS_MULTILINE 0
#define BS_TOP 0
#define SS_CENTERIMAGE 0
// The family templates are included once per different member; their
// dialog id and title do not matter here.
#define PAGE_ID 0
#define PAGE_TITLE 0

#define PAGE_MEMBER 1
const TemplateItem kInput1First[] = {
#include "res/page_input1.rci"
};
const TemplateItem kInput2First[] = {
#include "res/page_input2.rci"
};
const TemplateItem kPhone[] = {
#include "res/page_phone.rci"
};
const TemplateItem kRelay[] = {
#include "res/page_relay.rci"
};
#undef PAGE_MEMBER
#define PAGE_MEMBER 2
const TemplateItem kInput1Later[] = {
#include "res/page_input1.rci"
};
const TemplateItem kInput2Later[] = {
#include "res/page_input2.rci"
};
// Every dialog of its own, each opened by its Dialog item.
const TemplateItem kSingles[] = {
#include "res/page_single.rci"
};
#pragma GCC diagnostic pop

// The statements of page `page`'s dialog, without its Dialog item.
std::span<const TemplateItem> Template(int page) {
  const PageEntry& entry = kPages[page];
  std::span<const TemplateItem> items;
  const bool later = entry.member > 1;
  if (entry.fields == &kInputPage1Fields)
    items = later ? std::span<const TemplateItem>(kInput1Later) : kInput1First;
  else if (entry.fields == &kInputPage2Fields)
    items = later ? std::span<const TemplateItem>(kInput2Later) : kInput2First;
  else if (entry.fields == &kPhonePageFields)
    items = kPhone;
  else if (entry.fields == &kRelayPageFields)
    items = kRelay;
  else {
    const TemplateItem* begin = std::find_if(std::begin(kSingles), std::end(kSingles),
                                             [&](const TemplateItem& i) {
                                               return i.item == Item::Dialog && i.id == entry.dialogId;
                                             });
    if (begin == std::end(kSingles)) return {};
    const TemplateItem* end = std::find_if(begin + 1, std::end(kSingles), [](const TemplateItem& i) {
      return i.item == Item::Dialog;
    });
    return {begin + 1, end};
  }
  return items.subspan(1);
}

bool IsControl(const TemplateItem& i) { return i.item != Item::Static && i.item != Item::Frame; }

}  // namespace

std::vector<int> TemplateControls(int page) {
  std::vector<int> ids;
  for (const TemplateItem& i : Template(page))
    if (IsControl(i)) ids.push_back(i.id);
  return ids;
}

int TemplateTextBeside(int page, int id) {
  const std::span<const TemplateItem> items = Template(page);
  for (std::size_t k = 0; k + 1 < items.size(); ++k) {
    const TemplateItem& edit = items[k];
    if (!IsControl(edit) || edit.id != id) continue;
    const TemplateItem& next = items[k + 1];
    // A text on the edit's line, right of it.
    const bool beside = next.item == Item::Static && next.x >= edit.x + edit.cx &&
                        next.y < edit.y + edit.cy && next.y + next.cy > edit.y;
    return beside ? next.text : 0;
  }
  return 0;
}

int TemplateTitle(int page) {
  const PageEntry& entry = kPages[page];
  const bool family = entry.fields == &kInputPage1Fields || entry.fields == &kInputPage2Fields ||
                      entry.fields == &kPhonePageFields || entry.fields == &kRelayPageFields;
  if (family) {
    // pages.rc includes the families' dialogs in page order.
    int k = 0;
    for (int p = 0; p < page; ++p) {
      const PageFields* f = kPages[p].fields;
      if (f == &kInputPage1Fields || f == &kInputPage2Fields || f == &kPhonePageFields ||
          f == &kRelayPageFields)
        ++k;
    }
    return k < static_cast<int>(std::size(kFamilyTitles)) ? kFamilyTitles[k] : 0;
  }
  for (const TemplateItem& i : Template(page))
    if (i.item == Item::Frame) return i.text;
  return 0;
}
