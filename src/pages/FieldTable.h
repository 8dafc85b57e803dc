// A page described as data: one row per control (or pair of controls), run
// by FieldPage. A row says what kind of value the control holds, where it
// lives in the ConfigImage for member k of its family (base + step * (k-1),
// a bit that moves one place per member), its range, the value a fresh page
// shows and the value an out-of-range byte loads as, and the stable key and
// the label that name it outside the page (tools show, compare and export a
// configuration through these tables).
//
// The tables are constant data; nothing here runs on any thread of its own.
#pragma once
#include <cstdint>
#include <span>
#include <string>

enum class FieldKind : std::uint8_t {
  TwoDigits,  // plain number byte min-max, two-digit edit
  Bcd,        // packed BCD byte 00-max, two-digit edit
  OneDigit,   // byte 0-9, one-digit edit
  Tenths,     // x.y as BCD (units in bits 4-7), two one-digit edits
  List,       // list code byte, drop-down list
  OneHot,     // one set bit among `count` bits from `firstBit`, drop-down list
  Flag,       // one bit of a shared byte, check box
  Marker,     // 0x1B on, 0xFF off, check box
  Text,       // device text of at most maxChars characters, presence bit
  ShortText,  // 8-character device text, marker byte
  Phone,      // phone number of at most 12 characters in a 13-byte field, marker byte
  PageText,   // a filtered text whose bytes the page itself stores and loads
};

// A drop-down list: the string ids of its entries in list order and the
// code each entry stores (List), or the bit each entry sets (OneHot: bit
// firstBit + index).
struct ListDef {
  std::span<const int> strings;
  std::span<const std::uint8_t> codes;  // empty for OneHot
  int firstBit = 0;                     // OneHot only
};

// Where a value lives for member k (1-based): byte base + step * (k-1); for a
// bit, mask shifted left by k-1 when perMember is set.
struct Place {
  int base = 0;
  int step = 0;
  constexpr int At(int k) const { return base + step * (k - 1); }
};

struct FieldRow {
  FieldKind kind;
  const char* key;     // "input#.entry_delay": '#' stands for the member number
  int labelId;         // string id of the text shown beside the control
  int groupId;         // string id of the caption above the control's group, or 0
  int control;         // the edit, list or check box; the units edit of Tenths
  int control2;        // the tenths edit of Tenths, else 0
  Place place;         // the value's byte (the first byte of a text)
  Place flag;          // Text: presence byte; ShortText, Phone: marker byte
  std::uint8_t mask;   // Flag, Text: the bit of member 1
  bool bitPerMember;   // the bit moves one place left per member
  int min, max;        // TwoDigits: range; Bcd: max; texts: maximum length
  const char16_t* initial;  // what a fresh page shows (Tenths: units, tenths)
  int initialValue;    // List, OneHot: index; Flag, Marker: state
  int fallback;        // the value an out-of-range byte loads as
  const ListDef* list;
  int textMode;        // PageText: the TextEditFilter mode
  int firstMember;     // the row exists from this member on (1: always)

  // The byte and bit of member k.
  constexpr int Offset(int k) const { return place.At(k); }
  constexpr int FlagOffset(int k) const { return flag.At(k); }
  constexpr std::uint8_t Mask(int k) const {
    return bitPerMember ? static_cast<std::uint8_t>(mask << (k - 1)) : mask;
  }
  constexpr bool ExistsFor(int k) const { return k >= firstMember; }
};

// The row's key for member k: '#' replaced by the member number.
std::string FieldKey(const FieldRow& row, int member);

// ---- Row builders: one per kind, so the tables read as lists of fields ----

struct RowName {
  const char* key;
  int labelId;
  int groupId = 0;
};

constexpr FieldRow TwoDigitsRow(RowName n, int edit, Place at, int min, int max,
                                const char16_t* initial, int fallback, int firstMember = 1) {
  return {FieldKind::TwoDigits, n.key, n.labelId, n.groupId, edit, 0, at, {}, 0, false,
          min, max, initial, 0, fallback, nullptr, 0, firstMember};
}
constexpr FieldRow BcdRow(RowName n, int edit, Place at, int max, const char16_t* initial,
                          int fallback) {
  return {FieldKind::Bcd, n.key, n.labelId, n.groupId, edit, 0, at, {}, 0, false,
          0, max, initial, 0, fallback, nullptr, 0, 1};
}
constexpr FieldRow OneDigitRow(RowName n, int edit, Place at, const char16_t* initial,
                               int fallback) {
  return {FieldKind::OneDigit, n.key, n.labelId, n.groupId, edit, 0, at, {}, 0, false,
          0, 9, initial, 0, fallback, nullptr, 0, 1};
}
// Loads as 6.0 when a nibble is above 9.
constexpr FieldRow TenthsRow(RowName n, int unitsEdit, int tenthsEdit, Place at,
                             const char16_t* initial) {
  return {FieldKind::Tenths, n.key, n.labelId, n.groupId, unitsEdit, tenthsEdit, at, {}, 0,
          false, 0, 99, initial, 0, 0, nullptr, 0, 1};
}
// An index outside the list stores the code of the fallback entry.
constexpr FieldRow ListRow(RowName n, int combo, Place at, const ListDef& list, int initial,
                           int fallback) {
  return {FieldKind::List, n.key, n.labelId, n.groupId, combo, 0, at, {}, 0, false,
          0, 0, nullptr, initial, fallback, &list, 0, 1};
}
constexpr FieldRow OneHotRow(RowName n, int combo, Place at, const ListDef& list, int initial) {
  return {FieldKind::OneHot, n.key, n.labelId, n.groupId, combo, 0, at, {}, 0, false,
          0, 0, nullptr, initial, 0, &list, 0, 1};
}
constexpr FieldRow FlagRow(RowName n, int box, Place at, std::uint8_t mask, bool bitPerMember,
                           int initial, int firstMember = 1) {
  return {FieldKind::Flag, n.key, n.labelId, n.groupId, box, 0, at, {}, mask, bitPerMember,
          0, 1, nullptr, initial, 0, nullptr, 0, firstMember};
}
constexpr FieldRow MarkerRow(RowName n, int box, Place at) {
  return {FieldKind::Marker, n.key, n.labelId, n.groupId, box, 0, at, {}, 0, false,
          0, 1, nullptr, 0, 0, nullptr, 0, 1};
}
constexpr FieldRow TextRow(RowName n, int edit, Place at, int maxChars, Place presence,
                           std::uint8_t mask, int firstMember = 1) {
  return {FieldKind::Text, n.key, n.labelId, n.groupId, edit, 0, at, presence, mask, true,
          0, maxChars, u"", 0, 0, nullptr, 0, firstMember};
}
constexpr FieldRow ShortTextRow(RowName n, int edit, Place at, Place marker) {
  return {FieldKind::ShortText, n.key, n.labelId, n.groupId, edit, 0, at, marker, 0, false,
          0, 8, u"", 0, 0, nullptr, 0, 1};
}
constexpr FieldRow PhoneRow(RowName n, int edit, Place at, Place marker) {
  return {FieldKind::Phone, n.key, n.labelId, n.groupId, edit, 0, at, marker, 0, false,
          0, 12, u"", 0, 0, nullptr, 0, 1};
}
constexpr FieldRow PageTextRow(RowName n, int edit, int mode, int maxLen) {
  return {FieldKind::PageText, n.key, n.labelId, n.groupId, edit, 0, {}, {}, 0, false,
          0, maxLen, u"", 0, 0, nullptr, mode, 1};
}

// A page family's table: its rows and the key of each member's page.
struct PageFields {
  const char* key;  // "input#_1": '#' stands for the member number
  std::span<const FieldRow> rows;
};
