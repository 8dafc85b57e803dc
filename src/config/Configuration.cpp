#include "config/Configuration.h"

#include <algorithm>
#include <unordered_map>

#include "config/StringTable.h"

void OfferInputModeNotice(IPageSet& pages, std::intptr_t input, bool changeOnly) {
  const int known = (input >= 0 && input <= 2) ? static_cast<int>(input) : -1;
  for (int i = 0; i < kPageCount; ++i)
    if (auto* follower = dynamic_cast<IInputModeFollower*>(pages.Page(i)))
      follower->FollowInputMode(known, changeOnly);
}

// ---- PageValues ----

PageValues::PageValues(Configuration& model, int index, IModifiedFlag& modified)
    : model_(model), index_(index), modified_(modified), values_(Fields().rows.size()) {
  for (int r = 0; r < RowCount(); ++r)
    if (Exists(r)) KindOf(Row(r)).Init(Row(r), values_[r]);
}

void PageValues::StoreOver(std::uint8_t* image) const {
  for (int r = 0; r < RowCount(); ++r)
    if (Exists(r)) KindOf(Row(r)).Store(Row(r), Member(), values_[r], image);
}

void PageValues::LoadFromImage(const std::uint8_t* image) {
  for (int r = 0; r < RowCount(); ++r)
    if (Exists(r)) KindOf(Row(r)).Load(Row(r), Member(), image, values_[r]);
  Changed();
}

void PageValues::FollowInputMode(int input, bool changeOnly) {
  const ZoneFollowing* follows = Fields().follows;
  if (!follows) return;
  if (follows->modeRow >= 0 && values_[follows->modeRow].value != follows->modeIndex) return;
  if (input >= 0) values_[follows->zoneRow + input].value = changeOnly ? 0 : 1;
  Changed();  // redrawn whenever it follows, even for an input it cannot name
}

void PageValues::ApplyChangeOnlyMode() {
  if (!Fields().changeOnlyRule || !Exists(kInChangeOnly)) return;
  const bool changeOnly = values_[kInChangeOnly].value == 1;
  if (changeOnly) {
    values_[kInEntryDelay].text = u"00";
    values_[kInRestoreTime].text = u"0";
    values_[kInMaxAlarms].text = u"0";
    values_[kIn24Hour].value = 1;
    values_[kInTriggerMode].value = 1;
    values_[kInUpperThreshold].text = u"6";  // 6.0; the lower threshold stays
    values_[kInUpperThreshold].text2 = u"0";
  } else {
    values_[kInEntryDelay].text = u"05";
    values_[kInRestoreTime].text = u"2";
    values_[kIn24Hour].value = 0;
    values_[kInTriggerMode].value = 5;  // the alarm count and thresholds stay
  }
}

// ---- Configuration ----

Configuration::Configuration() {
  pages_.reserve(kPageCount);
  for (int i = 0; i < kPageCount; ++i)
    pages_.push_back(std::make_unique<PageValues>(*this, i, modified_));
}

void Configuration::Load(const std::uint8_t* image) {
  for (auto& page : pages_) page->LoadFromImage(image);
}

void Configuration::StoreOver(std::uint8_t* image) const {
  for (const auto& page : pages_) page->StoreOver(image);
}

const std::vector<FieldRef>& Configuration::AllFields() {
  static const std::vector<FieldRef> fields = [] {
    std::vector<FieldRef> out;
    for (int p = 0; p < kPageCount; ++p) {
      const PageEntry& e = kPages[p];
      for (std::size_t r = 0; r < e.fields->rows.size(); ++r)
        if (e.fields->rows[r].ExistsFor(e.member)) out.push_back({p, static_cast<int>(r)});
    }
    return out;
  }();
  return fields;
}

std::optional<FieldRef> Configuration::Find(std::string_view key) {
  static const std::unordered_map<std::string, FieldRef> index = [] {
    std::unordered_map<std::string, FieldRef> keys;
    for (const FieldRef& f : AllFields()) keys.emplace(f.Key(), f);
    return keys;
  }();
  const auto found = index.find(std::string(key));
  if (found == index.end()) return std::nullopt;
  return found->second;
}

int Configuration::FindPage(std::string_view key) {
  for (int p = 0; p < kPageCount; ++p)
    if (PageKey(kPages[p]) == key) return p;
  if (!key.empty() && key.size() <= 2 &&
      key.find_first_not_of("0123456789") == std::string_view::npos) {
    const int n = std::stoi(std::string(key));
    if (n >= 1 && n <= kPageCount) return n - 1;
  }
  return -1;
}

std::u16string Configuration::Get(const FieldRef& field) const {
  return field.Kind().Show(field.Row(), Value(field));
}

std::optional<std::u16string> Configuration::Get(std::string_view key) const {
  const std::optional<FieldRef> field = Find(key);
  if (!field) return std::nullopt;
  return Get(*field);
}

EditResult Configuration::Edit(const FieldRef& field, const FieldEdit& edit, EditBy by) {
  EditResult result;
  const FieldRow& row = field.Row();
  const FieldKindOps& kind = field.Kind();
  const ControlType control = kind.Control();
  FieldValue value = Value(field);
  switch (edit.action) {
    case FieldEdit::Action::Typed: {
      const bool tenths = control == ControlType::UnitsAndTenths;
      if (!(control == ControlType::Edit || tenths) || edit.part < 0 || edit.part > (tenths ? 1 : 0)) {
        result.error = "the field has no such edit";
        return result;
      }
      // An edit holds at most 63 characters.
      std::u16string typed(edit.text.substr(0, kEditBufferChars));
      std::u16string& held = edit.part ? value.text2 : value.text;
      int caret = std::clamp(edit.caret, 0, static_cast<int>(typed.size()));
      if (typed != held) {  // equal: the page wrote the control itself
        const EditOutcome outcome = kind.Filter(row, edit.part, held, typed, caret);
        result.rewrite = outcome.text != edit.text;
        held = outcome.text;
        caret = outcome.caret;
      }
      result.shown = held;
      result.caret = caret;
      break;
    }
    case FieldEdit::Action::Given:
      if (!kind.Parse(row, edit.text, value, result.error)) return result;
      break;
    case FieldEdit::Action::Box:
      if (control != ControlType::CheckBox || (edit.index != 0 && edit.index != 1)) {
        result.error = "the field is no check box";
        return result;
      }
      value.value = edit.index;
      break;
    case FieldEdit::Action::Entry:
      // -1: the list lost its selection (stored as the entry an unknown
      // code loads as).
      if (control != ControlType::List || edit.index < -1 || edit.index >= row.ListCount()) {
        result.error = control == ControlType::List ? kind.Allowed(row) : "the field is no list";
        return result;
      }
      value.value = edit.index;
      break;
    case FieldEdit::Action::Value:
      value = *edit.value;
      break;
  }
  result.ok = true;
  // A value equal to the one shown is no edit: a text that cannot be
  // stored again keeps its loaded bytes, as on its page.
  if (!(value == Value(field))) {
    value.keepLoaded = false;
    PageValues& page = *pages_[field.page];
    page.Value(field.row) = value;
    result.changed = true;
    if (by == EditBy::User) {
      result.marked = modified_.Mark();
      if (page.Fields().changeOnlyRule && field.row == kInChangeOnly) {
        page.ApplyChangeOnlyMode();
        RelayInputModeNotice(page.Member() - 1, value.value == 1);
        result.noticed = true;
      }
    }
  }
  if (edit.action != FieldEdit::Action::Typed) result.shown = Get(field);
  return result;
}

namespace {
SetOutcome AsSetOutcome(EditResult&& result) {
  return {result.ok, result.ok ? std::move(result.shown) : std::u16string(), std::move(result.error)};
}
}  // namespace

SetOutcome Configuration::Set(const FieldRef& field, std::u16string_view text) {
  return AsSetOutcome(Edit(field, FieldEdit::Given(text), EditBy::Tool));
}

SetOutcome Configuration::Set(std::string_view key, std::u16string_view text) {
  const std::optional<FieldRef> field = Find(key);
  if (!field) return {false, {}, "no field is called \"" + std::string(key) + "\""};
  return Set(*field, text);
}

SetOutcome Configuration::Enter(const FieldRef& field, std::u16string_view text) {
  return AsSetOutcome(Edit(field, FieldEdit::Given(text), EditBy::User));
}

void Configuration::RelayInputModeNotice(int input, bool changeOnly) {
  OfferInputModeNotice(*this, input, changeOnly);
}

// ---- Texts ----

namespace {
std::u16string Text(int id) {
  const char16_t* text = id ? FindString(id) : nullptr;
  return text ? text : u"";
}
}  // namespace

std::u16string PageLabel(int page) { return Text(kPages[page].labelId); }

std::u16string FieldLabel(const FieldRef& field) {
  std::u16string label = Text(field.Row().label);
  while (!label.empty() && (label.back() == u':' || label.back() == u' ')) label.pop_back();
  return label;
}

std::u16string GroupLabel(const FieldRef& field) { return Text(field.Row().group); }
