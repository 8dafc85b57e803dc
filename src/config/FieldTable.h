// A page described as data: one row per value (one control, or the pair of
// edits of an x.y value). A row says what kind of value it is, where it
// lives in the ConfigImage for member k of its family (base + step * (k-1),
// a bit that moves one place per member), its range, the value a fresh page
// shows and the value an out-of-range byte loads as, and the stable key and
// the label that name it outside the page.
//
// Rows are written with designated initializers, so a row says what it sets
// and every member it does not name keeps the default below:
//   {.kind = FieldKind::Tenths, .key = "input#.upper_threshold", ...}
//
// The tables are constant data; nothing here runs on any thread of its own.
#pragma once
#include <cstdint>
#include <span>
#include <string>

// The kinds of value a field holds. Each kind is one object (FieldKinds.h)
// that knows how to load, store, show, parse and filter its values.
enum class FieldKind : std::uint8_t {
  TwoDigits,      // plain number byte min-max, two-digit edit
  Bcd,            // packed BCD byte 00-max, two-digit edit
  OneDigit,       // byte 0-9, one-digit edit
  Tenths,         // x.y as BCD (units in bits 4-7), two one-digit edits
  List,           // list code byte, drop-down list
  OneHot,         // one set bit among the list's bits from firstBit, drop-down list
  Flag,           // one bit of a shared byte, check box
  Marker,         // 0x1B on, 0xFF off, check box
  Text,           // device text of at most max characters, presence bit
  ShortText,      // 8-character device text, marker byte
  Phone,          // phone number of at most 12 characters in a 13-byte field, marker byte
  Password,       // four ASCII digits and a marker byte; fewer digits store "none"
  RequestNumber,  // "*", digits, "#" in a 9-byte field; anything else stores the end mark
};
constexpr int kFieldKindCount = 13;

// A drop-down list: the string ids of its entries in list order and the
// code each entry stores (List), or the bit each entry sets (OneHot: bit
// firstBit + index).
struct ListDef {
  std::span<const int> strings;
  std::span<const std::uint8_t> codes = {};  // empty for OneHot
  int firstBit = 0;                          // OneHot only
};

// Where a value lives for member k (1-based): byte base + step * (k-1).
struct Place {
  int base = 0;
  int step = 0;
  constexpr int At(int k) const { return base + step * (k - 1); }
};

struct FieldRow {
  FieldKind kind;
  const char* key;         // "input#.entry_delay": '#' stands for the member number
  int label = 0;           // string id of the text shown beside the control
  int group = 0;           // string id of the caption above the control's group, or 0
  int unit = 0;            // string id of the text right of the control: a number's unit
                           // (with its range where the page gives one) or a note, or 0
  int control = 0;         // the edit, list or check box; the units edit of Tenths
  int control2 = 0;        // the tenths edit of Tenths
  Place at = {};           // the value's byte (the first byte of a text)
  Place flagAt = {};       // Text: presence byte; ShortText, Phone, Password: marker byte
  std::uint8_t mask = 0;   // Flag, Text: the bit of member 1
  bool bitPerMember = false;  // the bit moves one place left per member
  int min = 0;             // TwoDigits: the smallest value
  int max = 0;             // numbers: the largest value; texts: the maximum length
  const char16_t* initial = u"";  // what a fresh edit shows (Tenths: units, tenths)
  int initialValue = 0;    // List, OneHot: index; Flag, Marker: state
  int fallback = 0;        // numbers, lists: what an out-of-range byte loads as
  const char16_t* fallbackText = u"";  // Tenths: what an invalid byte loads as
  const ListDef* list = nullptr;
  int firstMember = 1;     // the row exists from this member on

  // The byte and bit of member k.
  constexpr int Offset(int k) const { return at.At(k); }
  constexpr int FlagOffset(int k) const { return flagAt.At(k); }
  constexpr std::uint8_t Mask(int k) const {
    return bitPerMember ? static_cast<std::uint8_t>(mask << (k - 1)) : mask;
  }
  constexpr bool ExistsFor(int k) const { return k >= firstMember; }
  int ListCount() const { return list ? static_cast<int>(list->strings.size()) : 0; }
};

// The row's key for member k: '#' replaced by the member number.
std::string FieldKey(const FieldRow& row, int member);

// Pages whose boxes for zones 1-3 follow the inputs' change-only mode:
// switched on for input k, the box of zone k goes off; switched off, it
// comes back. A page with a mode row follows only while that row holds
// `modeIndex`.
struct ZoneFollowing {
  int zoneRow;        // rows zoneRow .. zoneRow + 2: zones 1-3
  int modeRow = -1;   // -1: the page always follows
  int modeIndex = 0;
};

// A page family's table: its rows and the key of each member's page.
struct PageFields {
  const char* key;  // "input#_1": '#' stands for the member number
  std::span<const FieldRow> rows;
  const ZoneFollowing* follows = nullptr;
  bool changeOnlyRule = false;  // the first input pages: see Configuration
  // The rows in their order on the page (down the left column, then the
  // right one), where it differs from the table's; rows a member lacks are
  // passed over.
  std::span<const int> screenOrder = {};
};
