// One object per kind of field value (FieldKind): everything the kind
// knows, for any row of that kind. A new kind is one object here and rows
// that name it; the model, the pages, the command-line tool and the
// browser configurator reach values only through these objects.
//
// The objects are constant and stateless; any thread may use them.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/EditFilters.h"
#include "config/FieldTable.h"

// The value of one field, as its control holds it.
struct FieldValue {
  std::u16string text;   // edits; the units of Tenths
  std::u16string text2;  // the tenths of Tenths
  int value = 0;         // list index, check state
  // A device text that ended at a byte the encoder cannot reproduce is
  // written back exactly as loaded (its bytes and its presence bit or
  // marker) until it is edited.
  bool keepLoaded = false;
  std::array<std::uint8_t, 25> loadedBytes{};
  std::uint8_t loadedFlag = 0;

  // Equal as shown (the loaded bytes of an unedited text count as well).
  bool operator==(const FieldValue&) const = default;
};

// The control a field is shown in.
enum class ControlType { Edit, UnitsAndTenths, List, CheckBox };
// The natural type of a value outside the program (JSON, the browser).
enum class ValueType { Number, Decimal, Boolean, Choice, Text };

// The two text forms of a check box's state.
extern const char16_t kBoxOn[];   // "да"
extern const char16_t kBoxOff[];  // "нет"

class FieldKindOps {
 public:
  virtual ~FieldKindOps() = default;
  virtual ControlType Control() const = 0;
  virtual ValueType Type() const = 0;
  // What a fresh page shows.
  virtual void Init(const FieldRow& row, FieldValue& value) const;
  // Decodes member `member`'s bytes; any byte value is accepted (an
  // out-of-range one loads as the row's fallback).
  virtual void Load(const FieldRow& row, int member, const std::uint8_t* image,
                    FieldValue& value) const = 0;
  // Writes only the row's bytes and bits for member `member`.
  virtual void Store(const FieldRow& row, int member, const FieldValue& value,
                     std::uint8_t* image) const = 0;
  // The value as its control shows it: "05", "6.0", a list entry, "да".
  virtual std::u16string Show(const FieldRow& row, const FieldValue& value) const;
  // The value given as a person writes it ("5", "05", "4.5" or "4,5", a
  // list entry, "да"/"yes"/"true"/"1" in either case, a phone number with
  // spaces, brackets and dashes, which are taken out as the page's paste
  // takes them out); false with `error` saying what is allowed when the
  // text breaks the field's rules. Any other text the page's filter would
  // change is refused: what is set is exactly what the page would hold.
  virtual bool Parse(const FieldRow& row, std::u16string_view text, FieldValue& value,
                     std::string& error) const = 0;
  // The keystroke filter of the edit `part` (0, or 1 for the tenths edit of
  // an x.y value): the page holds `held`, the edit now shows `typed` with
  // the caret at `caret`. Only for the kinds shown in edits.
  virtual EditOutcome Filter(const FieldRow& row, int part, const std::u16string& held,
                             const std::u16string& typed, int caret) const;
  // What the field accepts, in words, for messages.
  virtual std::string Allowed(const FieldRow& row) const = 0;
};

// The object of kind `kind`.
const FieldKindOps& KindOf(FieldKind kind);
inline const FieldKindOps& KindOf(const FieldRow& row) { return KindOf(row.kind); }
