#include "pages/FieldPage.h"

#include <algorithm>
#include <cstring>

#include "pages/Codecs.h"
#include "pages/ImageMap.h"
#include "pages/PageFramework.h"

std::string FieldKey(const FieldRow& row, int member) {
  std::string key = row.key;
  const std::size_t hash = key.find('#');
  if (hash != std::string::npos) key.replace(hash, 1, std::to_string(member));
  return key;
}

namespace {

bool IsEdit(FieldKind kind) {
  return kind != FieldKind::List && kind != FieldKind::OneHot && kind != FieldKind::Flag &&
         kind != FieldKind::Marker;
}
bool IsList(FieldKind kind) { return kind == FieldKind::List || kind == FieldKind::OneHot; }

int ListCount(const FieldRow& r) { return static_cast<int>(r.list->strings.size()); }

// The bits of a one-hot list: `count` bits from firstBit.
std::uint8_t OneHotBits(const FieldRow& r) {
  return static_cast<std::uint8_t>(((1u << ListCount(r)) - 1) << r.list->firstBit);
}

}  // namespace

FieldPage::FieldPage(IPageDialog& dialog, const PageFields& fields, int member)
    : DlgCtrlr(dialog), fields_(fields), member_(member), holders_(fields.rows.size()) {
  for (std::size_t i = 0; i < fields_.rows.size(); ++i) {
    const FieldRow& r = fields_.rows[i];
    if (!r.ExistsFor(member_)) continue;
    Holder& h = holders_[i];
    if (r.kind == FieldKind::Tenths) {
      h.text = std::u16string(1, r.initial[0]);
      h.text2 = std::u16string(1, r.initial[1]);
    } else if (IsEdit(r.kind)) {
      h.text = r.initial;
    } else {
      h.value = r.initialValue;
    }
    if (IsList(r.kind))
      FillComboFromStrings(r.list->strings.data(), r.control, ListCount(r), dialog_);
  }
  UpdateControls();
}

void FieldPage::UpdateControls() {
  for (std::size_t i = 0; i < fields_.rows.size(); ++i)
    if (fields_.rows[i].ExistsFor(member_)) ShowRow(fields_.rows[i], holders_[i]);
}

void FieldPage::ShowRow(const FieldRow& r, const Holder& h) {
  switch (r.kind) {
    case FieldKind::List:
    case FieldKind::OneHot:
      SetComboSelection(r.control, h.value, dialog_);
      break;
    case FieldKind::Flag:
    case FieldKind::Marker:
      SetCheckBox(r.control, h.value, dialog_);
      break;
    case FieldKind::Tenths:
      dialog_.SetText(r.control, h.text);
      dialog_.SetText(r.control2, h.text2);
      break;
    default:
      dialog_.SetText(r.control, h.text);
      break;
  }
}

void FieldPage::StoreToImage(std::uint8_t* image) {
  for (std::size_t i = 0; i < fields_.rows.size(); ++i)
    if (fields_.rows[i].ExistsFor(member_)) StoreRow(fields_.rows[i], holders_[i], image);
}

void FieldPage::StoreRow(const FieldRow& r, Holder& h, std::uint8_t* image) const {
  const int off = r.Offset(member_);
  switch (r.kind) {
    case FieldKind::TwoDigits:
      StoreTwoDigitsAsByte(image, off, h.text);
      break;
    case FieldKind::Bcd:
      StoreTwoDigitsAsBcd(h.text, image, off);
      break;
    case FieldKind::OneDigit:
      StoreOneDigit(h.text, image, off);
      break;
    case FieldKind::Tenths:
      StoreTenthsBcd(h.text, h.text2, image, off);
      break;
    case FieldKind::List: {
      // An index outside the list stores the entry an unknown code loads as.
      const int index = (h.value >= 0 && h.value < ListCount(r)) ? h.value : r.fallback;
      image[off] = r.list->codes[index];
      break;
    }
    case FieldKind::OneHot: {
      // Exactly one bit of the list's bits; an index outside the list stores
      // the first entry, so no other bit of the byte is ever reached.
      const int index = (h.value >= 0 && h.value < ListCount(r)) ? h.value : 0;
      image[off] = static_cast<std::uint8_t>((image[off] & ~OneHotBits(r)) |
                                             (1u << (r.list->firstBit + index)));
      break;
    }
    case FieldKind::Flag:
      StoreFlagBit(image, off, r.Mask(member_), h.value == 1);
      break;
    case FieldKind::Marker:
      image[off] = h.value == 1 ? kMarkerPresent : kMarkerAbsent;
      break;
    case FieldKind::Text:
    case FieldKind::ShortText: {
      const int flagOff = r.FlagOffset(member_);
      if (h.keepLoaded) {
        std::memcpy(image + off, h.loadedBytes.data(), static_cast<std::size_t>(r.max));
        if (r.kind == FieldKind::Text)
          StoreFlagBit(image, flagOff, r.Mask(member_), h.loadedFlag != 0);
        else
          image[flagOff] = h.loadedFlag;
      } else if (r.kind == FieldKind::Text) {
        StoreDeviceText(r.Mask(member_), image, off, flagOff, h.text, r.max);
      } else {
        StoreShortText(image, off, flagOff, h.text);
      }
      break;
    }
    case FieldKind::Phone:
      StorePhoneNumber(r.FlagOffset(member_), image, off, h.text);
      break;
    case FieldKind::PageText:
      break;  // the page stores it
  }
}

void FieldPage::LoadFromImage(const std::uint8_t* image) {
  for (std::size_t i = 0; i < fields_.rows.size(); ++i)
    if (fields_.rows[i].ExistsFor(member_)) LoadRow(fields_.rows[i], holders_[i], image);
  UpdateControls();
}

void FieldPage::LoadRow(const FieldRow& r, Holder& h, const std::uint8_t* image) const {
  const int off = r.Offset(member_);
  switch (r.kind) {
    case FieldKind::TwoDigits:
      LoadByteAsTwoDigits(off, image, h.text, r.min, r.max, r.fallback);
      break;
    case FieldKind::Bcd:
      LoadBcdAsTwoDigits(off, image, h.text, r.max, r.fallback);
      break;
    case FieldKind::OneDigit:
      LoadOneDigit(off, image, h.text, static_cast<char16_t>(u'0' + r.fallback));
      break;
    case FieldKind::Tenths:
      LoadTenthsBcd(off, image, h.text2, h.text);
      break;
    case FieldKind::List: {
      const auto& codes = r.list->codes;
      h.value = ListIndex(codes.data(), static_cast<int>(codes.size()), image[off], r.fallback);
      break;
    }
    case FieldKind::OneHot: {
      h.value = 0;  // no bit set: the first entry
      for (int i = 0; i < ListCount(r); ++i)
        if (image[off] & (1u << (r.list->firstBit + i))) {
          h.value = i;
          break;
        }
      break;
    }
    case FieldKind::Flag:
      h.value = (image[off] & r.Mask(member_)) ? 1 : 0;
      break;
    case FieldKind::Marker:
      h.value = image[off] == kMarkerPresent ? 1 : 0;
      break;
    case FieldKind::Text:
    case FieldKind::ShortText: {
      const int flagOff = r.FlagOffset(member_);
      const bool present = r.kind == FieldKind::Text ? (image[flagOff] & r.Mask(member_)) != 0
                                                     : image[flagOff] == kMarkerPresent;
      h.text.clear();
      h.keepLoaded = present && LoadDeviceText(off, h.text, image, r.max);
      if (h.keepLoaded) {
        std::memcpy(h.loadedBytes.data(), image + off, static_cast<std::size_t>(r.max));
        h.loadedFlag = r.kind == FieldKind::Text ? 1 : image[flagOff];
      }
      break;
    }
    case FieldKind::Phone:
      h.text.clear();
      if (image[r.FlagOffset(member_)] == kMarkerPresent) LoadPhoneNumber(off, image, h.text);
      break;
    case FieldKind::PageText:
      break;  // the page loads it
  }
}

bool FieldPage::Dispatch(IPageDialog& dialog, int control, int code, int& row) {
  row = -1;
  for (std::size_t i = 0; i < fields_.rows.size(); ++i) {
    const FieldRow& r = fields_.rows[i];
    if (!r.ExistsFor(member_) || (control != r.control && control != r.control2)) continue;
    row = static_cast<int>(i);
    Holder& h = holders_[i];
    switch (r.kind) {
      case FieldKind::List:
      case FieldKind::OneHot: {
        if (code != kCbnSelChange) break;
        const int before = h.value;
        TakeComboSelection(control, h.value, dialog);
        return h.value != before;
      }
      case FieldKind::Flag:
      case FieldKind::Marker:
        return code == kBnClicked && TakeCheckBox(control, h.value, dialog) == 1;
      default: {
        if (code != kEnUpdate) break;
        std::u16string& text = control == r.control2 ? h.text2 : h.text;
        const std::u16string before = text;
        switch (r.kind) {
          case FieldKind::TwoDigits:
            NumberEditFilter(control, text, dialog, r.min, r.max, 2);
            break;
          case FieldKind::Bcd:
            NumberEditFilter(control, text, dialog, 0, r.max, 2);
            break;
          case FieldKind::OneDigit:
          case FieldKind::Tenths:
            DigitEditFilter(control, text, dialog);
            break;
          case FieldKind::Text:
          case FieldKind::ShortText:
            TextEditFilter(control, text, dialog, TextFilterMode::DeviceText, r.max);
            break;
          case FieldKind::Phone:
            TextEditFilter(control, text, dialog, PhoneCharsLeadingPlus, r.max);
            break;
          default:  // PageText
            TextEditFilter(control, text, dialog, r.textMode, r.max);
            break;
        }
        if (text == before) return false;
        h.keepLoaded = false;  // edited: stored by the rule from now on
        return true;
      }
    }
    return false;
  }
  return false;
}

void FieldPage::OnCommand(IPageDialog& dialog, int control, int code) {
  int row;
  Dispatch(dialog, control, code, row);
}
