#include "config/FieldKinds.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "config/Codecs.h"
#include "config/ImageMap.h"
#include "config/StringTable.h"
#include "config/Utf8.h"

const char16_t kBoxOn[] = u"да";
const char16_t kBoxOff[] = u"нет";

namespace {

bool AllDigits(std::u16string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsDigitChar);
}

std::u16string DigitText(int value, int width) {
  std::u16string text(static_cast<std::size_t>(width), u'0');
  for (int i = width - 1; i >= 0; --i, value /= 10)
    text[i] = static_cast<char16_t>(u'0' + value % 10);
  return text;
}

std::u16string Entry(const FieldRow& row, int index) {
  if (index < 0 || index >= row.ListCount()) return u"";
  const char16_t* text = FindString(row.list->strings[index]);
  return text ? text : u"";
}

// ---- Numbers in one edit ----

class NumberKind : public FieldKindOps {
 public:
  ControlType Control() const override { return ControlType::Edit; }
  ValueType Type() const override { return ValueType::Number; }
  bool Parse(const FieldRow& row, std::u16string_view text, FieldValue& value,
             std::string& error) const override {
    if (!AllDigits(text)) {
      error = Allowed(row) + " (digits only)";
      return false;
    }
    const std::u16string_view significant = text.substr(
        std::min(text.find_first_not_of(u'0'), text.size() - 1));
    int n = -1;
    if (significant.size() <= 2) {
      n = 0;
      for (char16_t c : significant) n = n * 10 + (c - u'0');
    }
    if (n < Min(row) || n > row.max) {
      error = Allowed(row);
      return false;
    }
    value.text = DigitText(n, Width());
    return true;
  }
  EditOutcome Filter(const FieldRow& row, int, const std::u16string& held,
                     const std::u16string& typed, int caret) const override {
    return FilterNumber(held, typed, caret, Min(row), row.max, Width());
  }
  std::string Allowed(const FieldRow& row) const override {
    return "a whole number from " + std::to_string(Min(row)) + " to " + std::to_string(row.max);
  }

 protected:
  virtual int Min(const FieldRow&) const { return 0; }
  virtual int Width() const { return 2; }
};

class TwoDigitsKind : public NumberKind {
 public:
  void Load(const FieldRow& r, int k, const std::uint8_t* image, FieldValue& v) const override {
    LoadByteAsTwoDigits(r.Offset(k), image, v.text, r.min, r.max, r.fallback);
  }
  void Store(const FieldRow& r, int k, const FieldValue& v, std::uint8_t* image) const override {
    StoreTwoDigitsAsByte(image, r.Offset(k), v.text);
  }

 protected:
  int Min(const FieldRow& r) const override { return r.min; }
};

class BcdKind : public NumberKind {
 public:
  void Load(const FieldRow& r, int k, const std::uint8_t* image, FieldValue& v) const override {
    LoadBcdAsTwoDigits(r.Offset(k), image, v.text, r.max, r.fallback);
  }
  void Store(const FieldRow& r, int k, const FieldValue& v, std::uint8_t* image) const override {
    StoreTwoDigitsAsBcd(v.text, image, r.Offset(k));
  }
};

class OneDigitKind : public NumberKind {
 public:
  void Load(const FieldRow& r, int k, const std::uint8_t* image, FieldValue& v) const override {
    LoadOneDigit(r.Offset(k), image, v.text, static_cast<char16_t>(u'0' + r.fallback));
  }
  void Store(const FieldRow& r, int k, const FieldValue& v, std::uint8_t* image) const override {
    StoreOneDigit(v.text, image, r.Offset(k));
  }

 protected:
  int Width() const override { return 1; }
};

// ---- x.y in two one-digit edits ----

class TenthsKind : public FieldKindOps {
 public:
  ControlType Control() const override { return ControlType::UnitsAndTenths; }
  ValueType Type() const override { return ValueType::Decimal; }
  void Init(const FieldRow& r, FieldValue& v) const override {
    v = {};
    v.text = std::u16string(1, r.initial[0]);
    v.text2 = std::u16string(1, r.initial[1]);
  }
  void Load(const FieldRow& r, int k, const std::uint8_t* image, FieldValue& v) const override {
    LoadTenthsBcd(r.Offset(k), image, v.text2, v.text, r.fallbackText);
  }
  void Store(const FieldRow& r, int k, const FieldValue& v, std::uint8_t* image) const override {
    StoreTenthsBcd(v.text, v.text2, image, r.Offset(k));
  }
  std::u16string Show(const FieldRow&, const FieldValue& v) const override {
    return v.text + u"." + v.text2;
  }
  bool Parse(const FieldRow& row, std::u16string_view text, FieldValue& value,
             std::string& error) const override {
    // The decimal point or, as many people write it, a comma.
    const bool form = (text.size() == 1 && IsDigitChar(text[0])) ||
                      (text.size() == 3 && IsDigitChar(text[0]) &&
                       (text[1] == u'.' || text[1] == u',') && IsDigitChar(text[2]));
    if (!form) {
      error = Allowed(row);
      return false;
    }
    value.text = std::u16string(1, text[0]);
    value.text2 = text.size() == 3 ? std::u16string(1, text[2]) : u"0";
    return true;
  }
  EditOutcome Filter(const FieldRow&, int, const std::u16string& held,
                     const std::u16string& typed, int caret) const override {
    return FilterNumber(held, typed, caret, 0, 9, 1);
  }
  std::string Allowed(const FieldRow&) const override {
    return "a number from 0.0 to 9.9 with at most one decimal (\"4.5\" or \"4,5\")";
  }
};

// ---- Lists ----

class ListKindBase : public FieldKindOps {
 public:
  ControlType Control() const override { return ControlType::List; }
  ValueType Type() const override { return ValueType::Choice; }
  std::u16string Show(const FieldRow& r, const FieldValue& v) const override {
    return Entry(r, v.value);
  }
  bool Parse(const FieldRow& row, std::u16string_view text, FieldValue& value,
             std::string& error) const override {
    for (int i = 0; i < row.ListCount(); ++i)
      if (Entry(row, i) == text) {
        value.value = i;
        return true;
      }
    error = Allowed(row);
    return false;
  }
  std::string Allowed(const FieldRow& row) const override;
};

class ListKind : public ListKindBase {
 public:
  void Load(const FieldRow& r, int k, const std::uint8_t* image, FieldValue& v) const override {
    const auto& codes = r.list->codes;
    v.value = r.fallback;
    for (std::size_t i = 0; i < codes.size(); ++i)
      if (codes[i] == image[r.Offset(k)]) {
        v.value = static_cast<int>(i);
        break;
      }
  }
  void Store(const FieldRow& r, int k, const FieldValue& v, std::uint8_t* image) const override {
    // An index outside the list stores the entry an unknown code loads as.
    const int index = (v.value >= 0 && v.value < r.ListCount()) ? v.value : r.fallback;
    image[r.Offset(k)] = r.list->codes[index];
  }
};

class OneHotKind : public ListKindBase {
 public:
  void Load(const FieldRow& r, int k, const std::uint8_t* image, FieldValue& v) const override {
    v.value = 0;  // no bit set: the first entry
    for (int i = 0; i < r.ListCount(); ++i)
      if (image[r.Offset(k)] & (1u << (r.list->firstBit + i))) {
        v.value = i;
        break;
      }
  }
  void Store(const FieldRow& r, int k, const FieldValue& v, std::uint8_t* image) const override {
    // Exactly one bit of the list's bits; an index outside the list stores
    // the first entry, so no other bit of the byte is ever reached.
    const int index = (v.value >= 0 && v.value < r.ListCount()) ? v.value : 0;
    const auto bits =
        static_cast<std::uint8_t>(((1u << r.ListCount()) - 1) << r.list->firstBit);
    std::uint8_t& byte = image[r.Offset(k)];
    byte = static_cast<std::uint8_t>((byte & ~bits) | (1u << (r.list->firstBit + index)));
  }
};

// ---- Check boxes ----

class BoxKind : public FieldKindOps {
 public:
  ControlType Control() const override { return ControlType::CheckBox; }
  ValueType Type() const override { return ValueType::Boolean; }
  std::u16string Show(const FieldRow&, const FieldValue& v) const override {
    return v.value == 1 ? kBoxOn : kBoxOff;
  }
  bool Parse(const FieldRow& row, std::u16string_view text, FieldValue& value,
             std::string& error) const override {
    // In either case, as a person may type it.
    std::u16string lower(text);
    for (char16_t& c : lower) {
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
      if (c >= u'\u0410' && c <= u'\u042F') c = static_cast<char16_t>(c + 0x20);  // А-Я
    }
    for (const char16_t* on : {u"true", u"yes", u"1", kBoxOn})
      if (lower == on) {
        value.value = 1;
        return true;
      }
    for (const char16_t* off : {u"false", u"no", u"0", kBoxOff})
      if (lower == off) {
        value.value = 0;
        return true;
      }
    error = Allowed(row);
    return false;
  }
  std::string Allowed(const FieldRow&) const override {
    return "yes or no (also true or false, да or нет, 1 or 0)";
  }
};

class FlagKind : public BoxKind {
 public:
  void Load(const FieldRow& r, int k, const std::uint8_t* image, FieldValue& v) const override {
    v.value = (image[r.Offset(k)] & r.Mask(k)) ? 1 : 0;
  }
  void Store(const FieldRow& r, int k, const FieldValue& v, std::uint8_t* image) const override {
    StoreFlagBit(image, r.Offset(k), r.Mask(k), v.value == 1);
  }
};

class MarkerKind : public BoxKind {
 public:
  void Load(const FieldRow& r, int k, const std::uint8_t* image, FieldValue& v) const override {
    v.value = image[r.Offset(k)] == kMarkerPresent ? 1 : 0;
  }
  void Store(const FieldRow& r, int k, const FieldValue& v, std::uint8_t* image) const override {
    image[r.Offset(k)] = v.value == 1 ? kMarkerPresent : kMarkerAbsent;
  }
};

// ---- Texts ----

class TextKindBase : public FieldKindOps {
 public:
  ControlType Control() const override { return ControlType::Edit; }
  ValueType Type() const override { return ValueType::Text; }
  bool Parse(const FieldRow& row, std::u16string_view text, FieldValue& value,
             std::string& error) const override {
    // The separators a person writes in such a value ("8 (916) 123-45-67")
    // are taken out, as the page's paste takes out every character it
    // refuses; any other refused character is named where it was given.
    std::u16string whole;
    std::vector<std::size_t> at;  // where each character of `whole` was given
    for (std::size_t i = 0; i < text.size(); ++i)
      if (Separators().find(text[i]) == std::u16string_view::npos) {
        whole.push_back(text[i]);
        at.push_back(i);
      }
    if (static_cast<int>(whole.size()) > row.max) {
      error = Allowed(row) + "; this one has " + std::to_string(whole.size());
      return false;
    }
    if (Filter(row, 0, {}, whole, static_cast<int>(whole.size())).text != whole) {
      // Name the first character the filter refuses where it is.
      for (std::size_t i = 0; i < whole.size(); ++i) {
        const std::u16string part = whole.substr(0, i + 1);
        if (Filter(row, 0, {}, part, static_cast<int>(part.size())).text != part) {
          // Counted and shown as characters: a character beyond the
          // 16-bit range is two units here.
          auto low = [](char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
          std::size_t number = 1;
          for (std::size_t k = 0; k < at[i]; ++k)
            if (!low(text[k]) || k == 0 || text[k - 1] < 0xD800 || text[k - 1] > 0xDBFF) ++number;
          const std::size_t units =
              i + 1 < whole.size() && whole[i] >= 0xD800 && whole[i] <= 0xDBFF && low(whole[i + 1])
                  ? 2
                  : 1;
          error = Allowed(row) + "; character " + std::to_string(number) + " \"" +
                  ToUtf8(whole.substr(i, units)) + "\" is refused";
          return false;
        }
      }
      error = Allowed(row);
      return false;
    }
    if (!Complete(whole)) {
      error = Allowed(row);
      return false;
    }
    value.text = whole;
    return true;
  }
  EditOutcome Filter(const FieldRow& row, int, const std::u16string&,
                     const std::u16string& typed, int caret) const override {
    return FilterText(typed, caret, Mode(), row.max);
  }
  std::string Allowed(const FieldRow& row) const override {
    const std::string most = "at most " + std::to_string(row.max) + " ";
    switch (Mode()) {
      case PhoneChars:
        return most + "of the characters 0-9, '#' and '*'";
      case PhoneCharsLeadingPlus:
        return most + "of the characters 0-9, '#', '*', and '+' as the first one (spaces, "
                      "brackets and dashes are taken out)";
      case Digits:
        return most + "digits";
      default:
        return most + "characters the device can store (Latin and Cyrillic letters, digits, "
                      "punctuation)";
    }
  }

 protected:
  virtual int Mode() const = 0;
  // Characters that are taken out of a value given as text, as the page's
  // paste takes them out; none by default.
  virtual std::u16string_view Separators() const { return {}; }
  // Whether a text the filter keeps is also one the field stores as given.
  virtual bool Complete(const std::u16string&) const { return true; }
};

// A device text with a presence bit (Text) or a marker byte (ShortText).
class DeviceTextKind : public TextKindBase {
 public:
  explicit DeviceTextKind(bool marker) : marker_(marker) {}
  void Load(const FieldRow& r, int k, const std::uint8_t* image, FieldValue& v) const override {
    const int off = r.Offset(k), flagOff = r.FlagOffset(k);
    const bool present = marker_ ? image[flagOff] == kMarkerPresent
                                 : (image[flagOff] & r.Mask(k)) != 0;
    v.text.clear();
    v.keepLoaded = present && LoadDeviceText(off, v.text, image, r.max);
    if (v.keepLoaded) {
      std::memcpy(v.loadedBytes.data(), image + off, static_cast<std::size_t>(r.max));
      v.loadedFlag = marker_ ? image[flagOff] : 1;
    }
  }
  void Store(const FieldRow& r, int k, const FieldValue& v, std::uint8_t* image) const override {
    const int off = r.Offset(k), flagOff = r.FlagOffset(k);
    if (v.keepLoaded) {
      std::memcpy(image + off, v.loadedBytes.data(), static_cast<std::size_t>(r.max));
      if (marker_)
        image[flagOff] = v.loadedFlag;
      else
        StoreFlagBit(image, flagOff, r.Mask(k), v.loadedFlag != 0);
    } else if (marker_) {
      StoreShortText(image, off, flagOff, v.text);
    } else {
      StoreDeviceText(r.Mask(k), image, off, flagOff, v.text, r.max);
    }
  }

 protected:
  int Mode() const override { return DeviceText; }

 private:
  bool marker_;
};

class PhoneKind : public TextKindBase {
 public:
  void Load(const FieldRow& r, int k, const std::uint8_t* image, FieldValue& v) const override {
    v.text.clear();
    if (image[r.FlagOffset(k)] == kMarkerPresent) LoadPhoneNumber(r.Offset(k), image, v.text);
  }
  void Store(const FieldRow& r, int k, const FieldValue& v, std::uint8_t* image) const override {
    StorePhoneNumber(r.FlagOffset(k), image, r.Offset(k), v.text);
  }

 protected:
  int Mode() const override { return PhoneCharsLeadingPlus; }
  // "8 (916) 123-45-67": spaces, brackets and dashes.
  std::u16string_view Separators() const override { return u" ()-"; }
};

// Four ASCII digits and a marker byte. Fewer than four digits delete the
// password on the device; the old digits stay where they are.
class PasswordKind : public TextKindBase {
 public:
  void Load(const FieldRow& r, int k, const std::uint8_t* image, FieldValue& v) const override {
    const int off = r.Offset(k);
    v.text.clear();
    if (image[r.FlagOffset(k)] != kMarkerPresent) return;
    for (int i = 0; i < r.max && IsDigitChar(image[off + i]); ++i)
      v.text.push_back(image[off + i]);
    if (static_cast<int>(v.text.size()) < r.max) v.text.clear();
  }
  void Store(const FieldRow& r, int k, const FieldValue& v, std::uint8_t* image) const override {
    const int off = r.Offset(k);
    image[r.FlagOffset(k)] = kMarkerAbsent;
    if (static_cast<int>(v.text.size()) < r.max) return;
    for (int i = 0; i < r.max; ++i) {
      if (!IsDigitChar(v.text[i])) return;
      image[off + i] = static_cast<std::uint8_t>(v.text[i]);
    }
    image[r.FlagOffset(k)] = kMarkerPresent;
  }
  std::string Allowed(const FieldRow&) const override {
    return "exactly 4 digits, or empty for none";
  }

 protected:
  int Mode() const override { return Digits; }
  bool Complete(const std::u16string& text) const override {
    return text.empty() || text.size() == static_cast<std::size_t>(kPasswordSize);
  }
};

// The length of "*", digits, "#" at the start of `chars` (at most `size`
// of them), or 0 when they do not have that form.
template <class Char>
int RequestLength(const Char* chars, int size) {
  if (size < 1 || chars[0] != '*') return 0;
  for (int i = 1; i < size; ++i) {
    if (chars[i] == '#') return i + 1;
    if (chars[i] < '0' || chars[i] > '9') return 0;
  }
  return 0;
}

// "*", digits, "#" stored up to its "#" (the bytes after it stay); anything
// else stores only the end mark in the first byte. It shows only when its
// bytes have that form within the field.
class RequestNumberKind : public TextKindBase {
 public:
  void Load(const FieldRow& r, int k, const std::uint8_t* image, FieldValue& v) const override {
    const int off = r.Offset(k);
    const int length = RequestLength(image + off, r.max);
    v.text.assign(image + off, image + off + length);
  }
  void Store(const FieldRow& r, int k, const FieldValue& v, std::uint8_t* image) const override {
    const int off = r.Offset(k);
    // Never more than the field's bytes, whatever the value holds.
    const int size = std::min(static_cast<int>(v.text.size()), r.max);
    const int length = RequestLength(v.text.data(), size);
    if (length == 0) {
      image[off] = kTextEnd;
      return;
    }
    for (int i = 0; i < length; ++i) image[off + i] = static_cast<std::uint8_t>(v.text[i]);
  }
  std::string Allowed(const FieldRow& r) const override {
    return "\"*\", digits, \"#\" (as \"*100#\"), at most " + std::to_string(r.max) +
           " characters, or empty for none";
  }

 protected:
  int Mode() const override { return PhoneChars; }
  bool Complete(const std::u16string& text) const override {
    return text.empty() ||
           RequestLength(text.data(), static_cast<int>(text.size())) ==
               static_cast<int>(text.size());
  }
};

const TwoDigitsKind kTwoDigits;
const BcdKind kBcd;
const OneDigitKind kOneDigit;
const TenthsKind kTenths;
const ListKind kList;
const OneHotKind kOneHot;
const FlagKind kFlag;
const MarkerKind kMarker;
const DeviceTextKind kText{false};
const DeviceTextKind kShortText{true};
const PhoneKind kPhone;
const PasswordKind kPassword;
const RequestNumberKind kRequestNumber;

// In the order of FieldKind.
const FieldKindOps* const kKinds[kFieldKindCount] = {
    &kTwoDigits, &kBcd,  &kOneDigit,  &kTenths,    &kList,     &kOneHot,        &kFlag,
    &kMarker,    &kText, &kShortText, &kPhone,     &kPassword, &kRequestNumber,
};

}  // namespace

std::string ListKindBase::Allowed(const FieldRow& row) const {
  std::string allowed = "one of";
  for (int i = 0; i < row.ListCount(); ++i) {
    const std::string entry = ToUtf8(Entry(row, i));
    allowed += (i ? ", \"" : " \"") + entry + "\"";
  }
  return allowed;
}

void FieldKindOps::Init(const FieldRow& row, FieldValue& value) const {
  value = {};
  if (Control() == ControlType::Edit)
    value.text = row.initial;
  else
    value.value = row.initialValue;
}

std::u16string FieldKindOps::Show(const FieldRow&, const FieldValue& value) const {
  return value.text;
}

EditOutcome FieldKindOps::Filter(const FieldRow&, int, const std::u16string& held,
                                 const std::u16string&, int caret) const {
  return {held, caret};
}

const FieldKindOps& KindOf(FieldKind kind) { return *kKinds[static_cast<int>(kind)]; }
