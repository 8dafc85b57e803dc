#include "config/PageLayout.h"

#include "config/ImageMap.h"
#include "config/StringTable.h"

namespace {

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
  const PageEntry& entry = kPages[page];
  const PageFields& table = *entry.fields;
  auto add = [&](int row) {
    if (table.rows[row].ExistsFor(entry.member)) fields.push_back({page, row});
  };
  if (table.screenOrder.empty())
    for (int row = 0; row < static_cast<int>(table.rows.size()); ++row) add(row);
  else
    for (int row : table.screenOrder) add(row);
  return fields;
}

std::u16string UnitText(const FieldRow& row) {
  const char16_t* text = row.unit ? FindString(row.unit) : nullptr;
  return text ? text : u"";
}

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
  return UnitOfText(UnitText(field.Row()));
}

std::u16string ShownWithUnit(const Configuration& config, const FieldRef& field) {
  const std::u16string value = config.Get(field);
  const std::u16string unit = UnitOf(field);
  if (unit.empty() || value.empty() || unit == FieldLabel(field)) return value;
  return value + u" " + unit;
}

bool IsSecret(const FieldRef& field) { return field.Row().kind == FieldKind::Password; }

std::u16string Masked(std::u16string_view value) { return std::u16string(value.size(), u'*'); }

void SecretFreeImage(const std::uint8_t* image, std::uint8_t* out) {
  Configuration config;
  config.Load(image);
  for (const FieldRef& f : Configuration::AllFields()) {
    FieldValue& v = config.Values(f.page).Value(f.row);
    if (IsSecret(f))
      v = FieldValue{};
    else
      v.keepLoaded = false;  // a text by the rule: not the bytes it was loaded from, which show no more
  }
  InitImage(out);
  config.StoreOver(out);
}
