#include "cli/ConfigModel.h"

#include <cmath>

#include "config/Utf8.h"

Image InitialImage() {
  Image image(kImageSize);
  InitImage(image.data());
  return image;
}

Json ConfigModel::Natural(const FieldRef& field) const {
  const Holder& h = Value(field);
  switch (field.Kind().Type()) {
    case ValueType::Number: {
      int n = 0;
      for (char16_t c : h.text) n = n * 10 + (c - u'0');
      return n;
    }
    case ValueType::Decimal:
      return (h.text[0] - u'0') + (h.text2[0] - u'0') / 10.0;
    case ValueType::Boolean:
      return h.value == 1;
    default:
      return ToUtf8(Shown(field));
  }
}

std::optional<ConfigModel::Holder> ConfigModel::Parse(const FieldRef& field, const Json& value,
                                                      std::string& error) const {
  const FieldRow& row = field.Row();
  const FieldKindOps& kind = field.Kind();
  auto fail = [&](const std::string& allowed) -> std::optional<Holder> {
    error = field.Key() + ": " + value.dump() + " is not allowed; " + allowed;
    return std::nullopt;
  };

  // The value as a person would write it.
  std::u16string text;
  switch (kind.Type()) {
    case ValueType::Number:
      if (value.is_number_integer()) {
        const long long n = value.get<long long>();
        if (n < 0 || n > 99) return fail(kind.Allowed(row));
        const std::string digits = std::to_string(n);
        text.assign(digits.begin(), digits.end());
      } else if (!value.is_string()) {
        return fail(kind.Allowed(row));
      }
      break;
    case ValueType::Decimal:
      if (value.is_number()) {
        const double x = value.get<double>();
        const double tenths = std::round(x * 10);
        if (!(x >= 0) || tenths > 99 || std::fabs(x * 10 - tenths) > 1e-6)
          return fail(kind.Allowed(row));
        const int t = static_cast<int>(tenths);
        text = {static_cast<char16_t>(u'0' + t / 10), u'.', static_cast<char16_t>(u'0' + t % 10)};
      } else if (!value.is_string()) {
        return fail(kind.Allowed(row));
      }
      break;
    case ValueType::Boolean:
      if (value.is_boolean()) {
        text = value.get<bool>() ? u"true" : u"false";
      } else if (!value.is_string()) {
        return fail(kind.Allowed(row));
      }
      break;
    case ValueType::Choice:
      if (!value.is_string()) return fail(kind.Allowed(row));
      break;
    case ValueType::Text:
      if (!value.is_string()) return fail("a text of " + kind.Allowed(row));
      break;
  }
  if (value.is_string()) {
    const std::optional<std::u16string> decoded = FromUtf8(value.get<std::string>());
    if (!decoded) return fail("a text of " + kind.Allowed(row) + " (this one is not UTF-8)");
    text = *decoded;
  }
  Holder h = Value(field);
  std::string why;
  if (!kind.Parse(row, text, h, why)) return fail(why);
  // A new value replaces a text kept as loaded, as typing it on the page
  // does; the value it shows already keeps the loaded bytes.
  if (!(h == Value(field))) h.keepLoaded = false;
  return h;
}
