#include "cli/ConfigModel.h"

#include <cmath>
#include <unordered_map>

#include "app/StringTable.h"
#include "app/Utf8.h"
#include "pages/PageFramework.h"
#include "pages/PageTable.h"

const char16_t kYes[] = u"да";
const char16_t kNo[] = u"нет";

namespace {

bool IsNumber(FieldKind k) {
  return k == FieldKind::TwoDigits || k == FieldKind::Bcd || k == FieldKind::OneDigit;
}
bool IsList(FieldKind k) { return k == FieldKind::List || k == FieldKind::OneHot; }
bool IsBox(FieldKind k) { return k == FieldKind::Flag || k == FieldKind::Marker; }

std::u16string Text(int id) {
  const char16_t* text = id ? FindString(id) : nullptr;
  return text ? text : u"";
}

std::string Quoted(const Json& value) { return value.dump(); }

// The characters a text field's filter takes, for the messages.
std::string AllowedText(const FieldRow& r) {
  const int mode = r.kind == FieldKind::Phone       ? PhoneCharsLeadingPlus
                   : r.kind == FieldKind::PageText ? r.textMode
                                                   : DeviceText;
  const std::string most = "at most " + std::to_string(r.max) + " ";
  switch (mode) {
    case PhoneChars:
      return most + "of the characters 0-9, '#' and '*'";
    case PhoneCharsLeadingPlus:
      return most + "of the characters 0-9, '#', '*', and '+' as the first one";
    case Digits:
      return most + "digits";
    default:
      return most + "characters the device can store (Latin and Cyrillic letters, digits, "
                    "punctuation)";
  }
}

}  // namespace

const FieldRow& FieldRef::Row() const { return kPageTable[page].fields->rows[row]; }

std::string FieldRef::Key() const { return FieldKey(Row(), kPageTable[page].member); }

const std::vector<FieldRef>& AllFields() {
  static const std::vector<FieldRef> fields = [] {
    std::vector<FieldRef> out;
    for (int p = 0; p < kPageCount; ++p) {
      const PageEntry& e = kPageTable[p];
      for (std::size_t r = 0; r < e.fields->rows.size(); ++r)
        if (e.fields->rows[r].ExistsFor(e.member)) out.push_back({p, static_cast<int>(r)});
    }
    return out;
  }();
  return fields;
}

std::optional<FieldRef> FindField(const std::string& key) {
  static const std::unordered_map<std::string, FieldRef> index = [] {
    std::unordered_map<std::string, FieldRef> keys;
    for (const FieldRef& f : AllFields()) keys.emplace(f.Key(), f);
    return keys;
  }();
  const auto found = index.find(key);
  if (found == index.end()) return std::nullopt;
  return found->second;
}

int FindPage(const std::string& key) {
  for (int p = 0; p < kPageCount; ++p)
    if (PageKey(kPageTable[p]) == key) return p;
  if (!key.empty() && key.size() <= 2 &&
      key.find_first_not_of("0123456789") == std::string::npos) {
    const int n = std::stoi(key);
    if (n >= 1 && n <= kPageCount) return n - 1;
  }
  return -1;
}

std::string PageKeyOf(int page) { return PageKey(kPageTable[page]); }
std::u16string PageLabel(int page) { return Text(kPageTable[page].labelId); }
std::u16string FieldLabel(const FieldRef& field) {
  // Without the colon some labels end with: the tool puts its own.
  std::u16string label = Text(field.Row().labelId);
  while (!label.empty() && (label.back() == u':' || label.back() == u' ')) label.pop_back();
  return label;
}
std::u16string GroupLabel(const FieldRef& field) { return Text(field.Row().groupId); }

Image InitialImage() {
  Image image(kImageSize);
  InitImage(image.data());
  return image;
}

std::u16string ConfigModel::Shown(const FieldRef& field) {
  const FieldRow& r = field.Row();
  const Holder& h = Value(field);
  if (r.kind == FieldKind::Tenths) return h.text + u"." + h.text2;
  if (IsBox(r.kind)) return h.value == 1 ? kYes : kNo;
  if (IsList(r.kind)) {
    const auto& strings = r.list->strings;
    return h.value >= 0 && h.value < static_cast<int>(strings.size()) ? Text(strings[h.value])
                                                                       : u"";
  }
  return h.text;
}

Json ConfigModel::Natural(const FieldRef& field) {
  const FieldRow& r = field.Row();
  const Holder& h = Value(field);
  if (IsNumber(r.kind)) {
    int n = 0;
    for (char16_t c : h.text) n = n * 10 + (c - u'0');
    return n;
  }
  if (r.kind == FieldKind::Tenths)
    return (h.text[0] - u'0') + (h.text2[0] - u'0') / 10.0;
  if (IsBox(r.kind)) return h.value == 1;
  return ToUtf8(Shown(field));
}

bool ConfigModel::FilterKeeps(const FieldRef& field, const std::u16string& text) {
  if (!scratch_) scratch_.emplace();
  scratch_->Dialog(field.page).Enter(field.Row().control, text);
  return scratch_->Fields(field.page).Value(field.row).text == text;
}

std::optional<ConfigModel::Holder> ConfigModel::Parse(const FieldRef& field, const Json& value,
                                                      std::string& error) {
  const FieldRow& r = field.Row();
  const std::string key = field.Key();
  Holder h;
  auto fail = [&](const std::string& allowed) -> std::optional<Holder> {
    error = key + ": " + Quoted(value) + " is not allowed; " + allowed;
    return std::nullopt;
  };

  if (IsNumber(r.kind)) {
    const int min = r.kind == FieldKind::TwoDigits ? r.min : 0;
    const int width = r.kind == FieldKind::OneDigit ? 1 : 2;
    const std::string allowed = "a whole number from " + std::to_string(min) + " to " +
                                std::to_string(r.max);
    long long n;
    if (value.is_number_integer()) {
      n = value.get<long long>();
    } else if (value.is_string()) {
      const std::string s = value.get<std::string>();
      if (s.empty() || s.size() > 2 || s.find_first_not_of("0123456789") != std::string::npos)
        return fail(allowed + " (digits only)");
      n = std::stoll(s);
    } else {
      return fail(allowed);
    }
    if (n < min || n > r.max) return fail(allowed);
    std::u16string text = std::u16string(width, u'0');
    for (int i = width - 1, v = static_cast<int>(n); i >= 0; --i, v /= 10)
      text[i] = static_cast<char16_t>(u'0' + v % 10);
    h.text = text;
    return h;
  }

  if (r.kind == FieldKind::Tenths) {
    const std::string allowed = "a number from 0.0 to 9.9 with at most one decimal";
    double x;
    if (value.is_number()) {
      x = value.get<double>();
    } else if (value.is_string()) {
      const std::string s = value.get<std::string>();
      const bool form = (s.size() == 1 && std::isdigit(static_cast<unsigned char>(s[0]))) ||
                        (s.size() == 3 && std::isdigit(static_cast<unsigned char>(s[0])) &&
                         s[1] == '.' && std::isdigit(static_cast<unsigned char>(s[2])));
      if (!form) return fail(allowed);
      x = (s[0] - '0') + (s.size() == 3 ? (s[2] - '0') / 10.0 : 0.0);
    } else {
      return fail(allowed);
    }
    const double tenths = std::round(x * 10);
    if (!(x >= 0) || tenths > 99 || std::fabs(x * 10 - tenths) > 1e-6) return fail(allowed);
    const int t = static_cast<int>(tenths);
    h.text = std::u16string(1, static_cast<char16_t>(u'0' + t / 10));
    h.text2 = std::u16string(1, static_cast<char16_t>(u'0' + t % 10));
    return h;
  }

  if (IsBox(r.kind)) {
    const std::string allowed = "true or false";
    if (value.is_boolean()) {
      h.value = value.get<bool>() ? 1 : 0;
      return h;
    }
    if (value.is_string()) {
      const std::string s = value.get<std::string>();
      if (s == "true" || s == "1" || s == ToUtf8(kYes)) {
        h.value = 1;
        return h;
      }
      if (s == "false" || s == "0" || s == ToUtf8(kNo)) {
        h.value = 0;
        return h;
      }
    }
    return fail(allowed);
  }

  if (IsList(r.kind)) {
    std::string allowed = "one of";
    const auto& strings = r.list->strings;
    for (std::size_t i = 0; i < strings.size(); ++i)
      allowed += (i ? ", \"" : " \"") + ToUtf8(Text(strings[i])) + "\"";
    if (!value.is_string()) return fail(allowed);
    const std::string s = value.get<std::string>();
    for (std::size_t i = 0; i < strings.size(); ++i)
      if (ToUtf8(Text(strings[i])) == s) {
        h.value = static_cast<int>(i);
        return h;
      }
    return fail(allowed);
  }

  // Texts and phone numbers.
  const std::string allowed = AllowedText(r);
  if (!value.is_string()) return fail("a text of " + allowed);
  const std::optional<std::u16string> text = FromUtf8(value.get<std::string>());
  if (!text) return fail("a text of " + allowed + " (this one is not UTF-8)");
  if (static_cast<int>(text->size()) > r.max)
    return fail(allowed + "; this one has " + std::to_string(text->size()));
  if (!FilterKeeps(field, *text)) {
    // Name the first character the filter refuses where it is.
    for (std::size_t i = 0; i < text->size(); ++i)
      if (!FilterKeeps(field, text->substr(0, i + 1)))
        return fail(allowed + "; character " + std::to_string(i + 1) + " \"" +
                    ToUtf8(text->substr(i, 1)) + "\" is refused");
    return fail(allowed);
  }
  h.text = *text;
  return h;
}
