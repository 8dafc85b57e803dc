#include "cli/PageLayout.h"

#include <algorithm>
#include <span>

#include "config/PageFields.h"
#include "config/StringTable.h"
#include "res/resource.h"
// IDS_X_TEXT, the texts' macros in the templates, as the string ids IDS_X.
#include "page_text_ids.h"

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
// Styles say nothing of the order or the units.
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

// The position of control `id` in the page's template; -1 when it is not in it.
int Position(int page, int id) {
  const std::span<const TemplateItem> items = Template(page);
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i].item != Item::Static && items[i].item != Item::Frame && items[i].id == id)
      return static_cast<int>(i);
  return -1;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\u00A0'; }

std::u16string Trimmed(std::u16string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return std::u16string(text.substr(begin, end - begin));
}

}  // namespace

std::vector<FieldRef> FieldsOnScreen(int page) {
  std::vector<FieldRef> fields;
  for (const FieldRef& f : Configuration::AllFields())
    if (f.page == page) fields.push_back(f);
  // A control the template does not hold (there is none) would come last.
  auto position = [page](const FieldRef& f) {
    const int at = Position(page, f.Row().control);
    return at < 0 ? 1 << 20 : at;
  };
  std::stable_sort(fields.begin(), fields.end(),
                   [&](const FieldRef& a, const FieldRef& b) { return position(a) < position(b); });
  return fields;
}

bool InTemplate(int page, int id) { return Position(page, id) >= 0; }

std::u16string UnitOfText(std::u16string_view text) {
  // A range is a word ending in a colon and what follows it.
  const std::size_t colon = text.find(u':');
  if (colon == std::u16string_view::npos) return Trimmed(text);
  std::size_t word = colon;
  while (word > 0 && !IsSpace(text[word - 1])) --word;
  return Trimmed(text.substr(0, word));
}

std::u16string UnitOf(const FieldRef& field) {
  const ValueType type = field.Kind().Type();
  if (type != ValueType::Number && type != ValueType::Decimal) return u"";
  const FieldRow& row = field.Row();
  const int last = Position(field.page, row.control2 ? row.control2 : row.control);
  if (last < 0) return u"";
  const std::span<const TemplateItem> items = Template(field.page);
  const TemplateItem& edit = items[last];
  if (static_cast<std::size_t>(last) + 1 >= items.size()) return u"";
  const TemplateItem& next = items[last + 1];
  // A text on the edit's line, right of it.
  const bool beside = next.item == Item::Static && next.x >= edit.x + edit.cx &&
                      next.y < edit.y + edit.cy && next.y + next.cy > edit.y;
  if (!beside) return u"";
  const char16_t* text = FindString(next.text);
  return text ? UnitOfText(text) : u"";
}
