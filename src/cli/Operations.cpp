#include "cli/Operations.h"

#include <cctype>
#include <cstdio>
#include <deque>
#include <map>
#include <set>
#include <unordered_set>

#include "config/StringTable.h"
#include "config/Utf8.h"
#include "config/PageFields.h"
#include "config/PageLayout.h"
#include "res/resource.h"

namespace {

constexpr char kFormatName[] = "ostrel-configuration";
constexpr int kFormatVersion = 1;
// An export nests three levels deep (the document, "pages", a page); a
// value one level deeper still gets a message of its field.
constexpr std::size_t kMaxJsonDepth = 4;

std::string Hex(int value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*X", width, value);
  return buffer;
}

// Pages to visit: one, or all.
std::vector<int> Pages(int page) {
  if (page >= 0) return {page};
  std::vector<int> all;
  for (int p = 0; p < kPageCount; ++p) all.push_back(p);
  return all;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Builds the document of a JSON text as the parser reads it: every key put
// at the end of its object without a search (the ordered object would look
// through all keys before it), duplicates found through a set of each open
// object's keys, and no container opened deeper than kMaxJsonDepth.
class DocumentBuilder : public nlohmann::json_sax<Json> {
 public:
  DocumentBuilder(Json& root, std::string_view text) : root_(root), text_(text) {
    levels_.reserve(kMaxJsonDepth);
  }
  std::string error;

  bool null() override { return Add(Json(nullptr)) != nullptr; }
  bool boolean(bool value) override { return Add(Json(value)) != nullptr; }
  bool number_integer(number_integer_t value) override { return Add(Json(value)) != nullptr; }
  bool number_unsigned(number_unsigned_t value) override { return Add(Json(value)) != nullptr; }
  bool number_float(number_float_t value, const string_t&) override {
    return Add(Json(value)) != nullptr;
  }
  bool string(string_t& value) override { return Add(Json(std::move(value))) != nullptr; }
  bool binary(binary_t& value) override { return Add(Json::binary(std::move(value))) != nullptr; }
  bool start_object(std::size_t) override { return Open(Json::object(), true); }
  bool start_array(std::size_t) override { return Open(Json::array(), false); }
  bool end_object() override { return Close(); }
  bool end_array() override { return Close(); }
  bool key(string_t& key) override {
    // The member is made here, its value put in by the value that follows.
    Level& level = levels_.back();
    level.members.emplace_back(std::move(key), Json());
    if (!level.keys.insert(level.members.back().first).second) {
      error = "the key " + Brief(Json(level.members.back().first)) + " appears twice in " + Where();
      return false;
    }
    return true;
  }
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception&) override {
    // In the program's own words: where (line and column, in characters)
    // and what the parser found there: the word it stopped in or after
    // ("nul", "x"), or the character ("}").
    const bool ended = position > text_.size();
    std::size_t start = std::min(position > 0 ? position - 1 : 0, text_.size()), end = start;
    auto word = [&](std::size_t i) {
      const unsigned char c = static_cast<unsigned char>(text_[i]);
      return std::isalnum(c) || c == '+' || c == '-' || c == '.' || c >= 0x80;
    };
    if (!ended && start < text_.size()) {
      // A word ends where the parser looks past it: at a space or a mark.
      const bool after = std::string_view(" \t\r\n,:]}").find(text_[start]) != std::string_view::npos;
      if (after && start > 0 && word(start - 1)) --start;
      end = start + 1;
      if (word(start)) {
        while (start > 0 && word(start - 1)) --start;
        while (end < text_.size() && word(end)) ++end;
      }
    }
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < start; ++i) {
      if (text_[i] == '\n') {
        line = line + 1;
        column = 1;
      } else if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) {
        ++column;  // one per character, not per byte
      }
    }
    const std::string what = end > start ? "unexpected \"" + Printable(text_.substr(start, end - start), 40) + "\""
                                         : std::string("the text ends before the JSON is complete");
    error = "broken JSON at line " + std::to_string(line) + ", column " + std::to_string(column) +
            ": " + what;
    return false;
  }

 private:
  struct Level {
    Json* container;
    bool object;
    // An object's members until it closes (a deque: its values stay where
    // they are while members are added), and a set of their keys.
    std::deque<std::pair<std::string, Json>> members;
    std::unordered_set<std::string_view> keys;
  };

  Json* Add(Json&& value) {
    if (levels_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Level& level = levels_.back();
    if (!level.object) {
      level.container->push_back(std::move(value));
      return &level.container->back();
    }
    level.members.back().second = std::move(value);
    return &level.members.back().second;
  }
  bool Open(Json&& container, bool object) {
    if (levels_.size() >= kMaxJsonDepth) {
      error = "nested deeper than " + std::to_string(kMaxJsonDepth) + " levels in " + Where() +
              "; a configuration nests 3";
      return false;
    }
    // Its name in Where(): its key, or [] for an item of an array.
    std::string name = levels_.empty()          ? ""
                       : levels_.back().object ? Printable(levels_.back().members.back().first, 40)
                                               : "[]";
    Json* added = Add(std::move(container));
    levels_.push_back({added, object, {}, {}});
    parents_.push_back(std::move(name));
    return true;
  }
  bool Close() {
    Level& level = levels_.back();
    if (level.object) {
      // Put at the end of the object one after the other, without a search.
      auto& entries =
          static_cast<Json::object_t::Container&>(level.container->get_ref<Json::object_t&>());
      entries.reserve(level.members.size());
      level.keys.clear();
      for (auto& [key, value] : level.members) entries.emplace_back(std::move(key), std::move(value));
    }
    levels_.pop_back();
    parents_.pop_back();
    return true;
  }
  // "pages.input1_1": the place of the innermost open container.
  std::string Where() const {
    std::string where;
    for (std::size_t i = 1; i < parents_.size(); ++i)
      where += (where.empty() || parents_[i] == "[]" ? "" : ".") + parents_[i];
    return where.empty() ? "the document" : where;
  }

  Json& root_;
  std::string_view text_;  // what is parsed, for the place of an error
  std::vector<Level> levels_;
  std::vector<std::string> parents_;  // the key (or "[]") of each open container
};

// The key of a message: `key` printable and cut.
std::string KeyText(const std::string& key) { return Printable(key, 40); }

// A broken value's message, cut and escaped: a checker names the whole
// value, which may be long.
std::string Shortened(const std::string& message, const std::string& key, const Json& value) {
  const std::string whole = key + ": " + value.dump(-1, ' ', false, Json::error_handler_t::replace);
  std::string out = message;
  if (out.rfind(whole, 0) == 0) out = key + ": " + Brief(value) + out.substr(whole.size());
  return Printable(out, std::string::npos);
}

// Puts the runs of an export's "bytes" object into `image`.
bool ApplyBytes(const Json& bytes, Image& image, std::vector<std::string>& errors) {
  if (!bytes.is_object()) {
    errors.push_back("bytes: an object of offsets and hex runs is expected");
    return false;
  }
  bool ok = true;
  std::map<long, std::string> keys;  // the key that named each offset first
  for (const auto& [key, run] : bytes.items()) {
    const bool number = !key.empty() && key.size() <= 4 &&
                        key.find_first_not_of("0123456789") == std::string::npos;
    const long offset = number ? std::stol(key) : -1;
    if (offset < 0 || offset >= static_cast<long>(kImageSize)) {
      errors.push_back("bytes: \"" + KeyText(key) + "\" is not an offset from 0 to " +
                       std::to_string(kImageSize - 1));
      ok = false;
      continue;
    }
    // "5" and "0005" are one offset: a key given twice, as in any object.
    if (const auto [first, added] = keys.emplace(offset, key); !added) {
      errors.push_back("bytes: the offset " + std::to_string(offset) + " appears twice (as \"" +
                       first->second + "\" and as \"" + key + "\")");
      ok = false;
      continue;
    }
    const std::string hex = run.is_string() ? run.get<std::string>() : std::string("?");
    bool valid = hex.size() % 2 == 0 && offset + hex.size() / 2 <= kImageSize;
    for (char c : hex) valid = valid && HexDigit(c) >= 0;
    if (!valid) {
      errors.push_back("bytes." + key + ": " + Brief(run) +
                       " is not allowed; pairs of hex digits that end within the image are");
      ok = false;
      continue;
    }
    for (std::size_t i = 0; i < hex.size() / 2; ++i)
      image[offset + i] = static_cast<std::uint8_t>(HexDigit(hex[2 * i]) * 16 +
                                                    HexDigit(hex[2 * i + 1]));
  }
  return ok;
}

}  // namespace

std::string Brief(const Json& value) {
  const std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
  return Printable(text);
}

bool ParseImportJson(std::string_view text, Json& document, std::string& error) {
  if (text.size() > kMaxJsonBytes) {
    error = "too large for a configuration: " + std::to_string(text.size()) +
            " bytes, of which at most " + std::to_string(kMaxJsonBytes) + " are read";
    return false;
  }
  Json parsed;
  DocumentBuilder builder(parsed, text);
  if (!Json::sax_parse(text.begin(), text.end(), &builder)) {
    error = builder.error.empty() ? "broken JSON" : builder.error;
    // Whatever was built is taken apart here, without recursing deeper
    // than the builder allowed.
    return false;
  }
  document = std::move(parsed);
  return true;
}

void RenderShow(const Image& image, int page, std::ostream& out, const std::optional<std::string>& secretShown) {
  ConfigModel model;
  model.Load(image);
  // The whole text first, then one write: inserting piece by piece into the
  // stream was a good part of the command's time.
  std::string text;
  text.reserve(16384);
  bool first = true;
  for (int p : Pages(page)) {
    if (!first) text += '\n';
    first = false;
    text += ToUtf8(PageLabel(p)) + "  [" + PageKeyOf(p) + "]\n";
    int group = 0;
    for (const FieldRef& f : FieldsOnScreen(p)) {
      const int g = f.Row().group;
      if (g != group && g != 0) text += "  " + ToUtf8(GroupLabel(f)) + '\n';
      group = g;
      const std::string value =
          secretShown && IsSecret(f) ? *secretShown : ToUtf8(ShownWithUnit(model.Config(), f));
      text += g ? "    " : "  ";
      text += ToUtf8(FieldLabel(f));
      text += ':';
      if (!value.empty()) text += ' ' + value;
      text += '\n';
    }
  }
  out << text;
}

Json ShowJson(const Image& image, int page, const std::optional<std::string>& secretShown) {
  ConfigModel model;
  model.Load(image);
  Json pages = Json::array();
  for (int p : Pages(page)) {
    Json fields = Json::array();
    for (const FieldRef& f : FieldsOnScreen(p)) {
      Json field = {{"key", f.Key()}, {"label", ToUtf8(FieldLabel(f))}};
      if (f.Row().group) field["group"] = ToUtf8(GroupLabel(f));
      field["value"] = secretShown && IsSecret(f) ? *secretShown : ToUtf8(model.Shown(f));
      const std::u16string unit = UnitOf(f);
      if (!unit.empty()) field["unit"] = ToUtf8(unit);
      fields.push_back(std::move(field));
    }
    pages.push_back({{"number", p + 1},
                     {"key", PageKeyOf(p)},
                     {"label", ToUtf8(PageLabel(p))},
                     {"fields", std::move(fields)}});
  }
  return pages;
}

const char* KindName(ValueType type) {
  switch (type) {
    case ValueType::Number: return "number";
    case ValueType::Decimal: return "decimal";
    case ValueType::Boolean: return "yes/no";
    case ValueType::Choice: return "list";
    case ValueType::Text: return "text";
  }
  return "";
}

void RenderKeys(int page, std::ostream& out) {
  bool first = true;
  for (int p : Pages(page)) {
    if (!first) out << '\n';
    first = false;
    out << PageKeyOf(p) << "  " << ToUtf8(PageLabel(p)) << '\n';
    const std::vector<FieldRef> fields = FieldsOnScreen(p);
    std::size_t width = 0;
    for (const FieldRef& f : fields) width = std::max(width, f.Key().size());
    for (const FieldRef& f : fields) {
      const std::string key = f.Key();
      const std::string kind = KindName(f.Kind().Type());
      const std::u16string unit = UnitOf(f);
      std::string label = ToUtf8(FieldLabel(f));
      if (f.Row().group) label = ToUtf8(GroupLabel(f)) + " / " + label;
      out << "  " << key << std::string(width - key.size() + 2, ' ') << kind
          << std::string(9 - kind.size(), ' ') << label << ": " << f.Kind().Allowed(f.Row())
          << (unit.empty() ? "" : ", in " + ToUtf8(unit)) << '\n';
    }
  }
}

std::string CleaningNote(const std::string& key, const std::string& given) {
  const std::optional<FieldRef> field = FindField(key);
  if (!field || field->Kind().Type() != ValueType::Text) return "";
  const std::optional<std::u16string> text = FromUtf8(given);
  if (!text) return "";
  Configuration config;
  const SetOutcome outcome = config.Set(*field, *text);
  if (!outcome.ok || outcome.value == *text) return "";
  // The characters taken out, each named once, in the order given.
  std::u16string removed;
  for (std::size_t i = 0, j = 0; i < text->size(); ++i) {
    if (j < outcome.value.size() && outcome.value[j] == (*text)[i])
      ++j;
    else if (removed.find((*text)[i]) == std::u16string::npos)
      removed.push_back((*text)[i]);
  }
  std::string names;
  for (char16_t c : removed)
    names += (names.empty() ? "" : " ") + std::string("\"") + ToUtf8(std::u16string(1, c)) + "\"";
  return key + ": \"" + Printable(given) + "\" is stored as \"" + ToUtf8(outcome.value) +
         "\" (taken out: " + names + ")";
}

bool ApplyValues(const Image& base, const FieldValues& values, const Json* bytes, Image& out,
                 std::vector<std::string>& errors) {
  ConfigModel model;
  model.Load(base);
  std::vector<std::pair<FieldRef, ConfigModel::Holder>> parsed;
  std::set<std::pair<int, int>> given;  // each field once: no value silently wins
  for (const auto& [key, value] : values) {
    const std::optional<FieldRef> field = FindField(key);
    if (!field) {
      errors.push_back(KeyText(key) + ": unknown key");
      continue;
    }
    if (!given.emplace(field->page, field->row).second) {
      errors.push_back(key + ": given twice; give each key once");
      continue;
    }
    if (value.is_string() && !FromUtf8(value.get<std::string>())) {
      errors.push_back(key + ": " + Printable(value.get<std::string>()) +
                       " is not allowed; it is not UTF-8 text");
      continue;
    }
    std::string error;
    if (std::optional<ConfigModel::Holder> h = model.Parse(*field, value, error))
      parsed.emplace_back(*field, *h);
    else
      errors.push_back(Shortened(error, key, value));
  }
  if (!errors.empty()) return false;
  for (const auto& [field, holder] : parsed) model.Assign(field, holder);
  Image image = base;
  model.StoreOver(image);
  if (bytes && !ApplyBytes(*bytes, image, errors)) return false;

  // Every value must read back as it was set. Raw bytes over a field the
  // values change give way to the value: its page is stored again.
  auto mismatches = [&](const Image& result) {
    ConfigModel check;
    check.Load(result);
    std::vector<std::pair<FieldRef, std::u16string>> bad;
    for (const auto& [field, holder] : parsed)
      if (check.Shown(field) != model.Shown(field)) bad.emplace_back(field, check.Shown(field));
    return bad;
  };
  auto bad = mismatches(image);
  if (!bad.empty() && bytes) {
    std::set<int> pages;
    for (const auto& [field, shown] : bad) pages.insert(field.page);
    for (int p : pages) model.StorePageOver(p, image);
    bad = mismatches(image);
  }
  for (const auto& [field, shown] : bad)
    errors.push_back(field.Key() + ": \"" + Printable(ToUtf8(model.Shown(field))) +
                     "\" cannot be stored as given; the device would read it as \"" +
                     Printable(ToUtf8(shown)) + "\"");
  if (!errors.empty()) return false;
  out = image;
  return true;
}

Json ExportJson(const Image& image) {
  ConfigModel model;
  model.Load(image);
  Json pages = Json::object();
  FieldValues values;
  for (const FieldRef& f : AllFields()) {
    Json value = model.Natural(f);
    pages[PageKeyOf(f.page)][f.Key()] = value;
    values.emplace_back(f.Key(), std::move(value));
  }
  // The bytes that an import of the fields alone over the initial image
  // would not give back.
  Image rebuilt;
  std::vector<std::string> errors;
  if (!ApplyValues(InitialImage(), values, nullptr, rebuilt, errors)) rebuilt = InitialImage();
  // Runs of differing bytes; a run goes on over fewer than four equal ones.
  std::vector<std::pair<std::size_t, std::size_t>> runs;  // [start, end)
  for (std::size_t i = 0; i < kImageSize; ++i) {
    if (image[i] == rebuilt[i]) continue;
    if (!runs.empty() && i - runs.back().second < 4)
      runs.back().second = i + 1;
    else
      runs.emplace_back(i, i + 1);
  }
  Json bytes = Json::object();
  for (const auto& [start, end] : runs) {
    std::string run;
    for (std::size_t i = start; i < end; ++i) run += Hex(image[i], 2);
    char key[8];
    std::snprintf(key, sizeof key, "%04zu", start);
    bytes[key] = run;
  }
  return {{"format", kFormatName},
          {"version", kFormatVersion},
          {"pages", std::move(pages)},
          {"bytes", std::move(bytes)}};
}

bool ImportJson(const Json& document, const Image& base, Image& out,
                std::vector<std::string>& errors) {
  if (!document.is_object()) {
    errors.push_back("the JSON document is not an object");
    return false;
  }
  FieldValues values;
  const Json* bytes = nullptr;
  bool format = false, version = false;
  for (const auto& [key, value] : document.items()) {
    if (key == "format") {
      format = true;
      if (value != kFormatName)
        errors.push_back("format: " + Brief(value) + " is not allowed; \"" + kFormatName +
                         "\" is");
    } else if (key == "version") {
      version = true;
      if (value.is_number_integer() && value.get<long long>() > kFormatVersion)
        errors.push_back("version: " + Brief(value) + " is a newer format than this program reads (" +
                         std::to_string(kFormatVersion) + ")");
      else if (value != kFormatVersion)
        errors.push_back("version: " + Brief(value) + " is not allowed; " +
                         std::to_string(kFormatVersion) + " is");
    } else if (key == "bytes") {
      bytes = &value;
    } else if (key == "pages") {
      if (!value.is_object()) {
        errors.push_back("pages: an object of pages is expected");
        continue;
      }
      for (const auto& [pageKey, fields] : value.items()) {
        const int page = FindPage(pageKey);
        if (page < 0 || PageKeyOf(page) != pageKey) {
          errors.push_back("pages." + KeyText(pageKey) + ": unknown page" +
                           (page >= 0 ? " (pages are named by key here, this one \"" +
                                            PageKeyOf(page) + "\")"
                                      : ""));
          continue;
        }
        if (!fields.is_object()) {
          errors.push_back("pages." + pageKey + ": an object of fields is expected");
          continue;
        }
        for (const auto& [fieldKey, fieldValue] : fields.items()) {
          const std::optional<FieldRef> field = FindField(fieldKey);
          if (!field || field->page != page)
            errors.push_back(KeyText(fieldKey) + ": unknown key on page " + pageKey);
          else
            values.emplace_back(fieldKey, fieldValue);
        }
      }
    } else {
      errors.push_back(KeyText(key) + ": unknown key");
    }
  }
  // A file without them is no export, whatever else it holds.
  if (!format)
    errors.insert(errors.begin(), std::string("format: missing; \"") + kFormatName + "\" is expected");
  if (!version)
    errors.insert(errors.begin() + (format ? 0 : 1),
                  "version: missing; " + std::to_string(kFormatVersion) + " is expected");
  if (!errors.empty()) return false;
  return ApplyValues(base, values, bytes, out, errors);
}

void RenderDifference(const Difference& d, std::ostream& out) {
  for (const FieldDifference& f : d.fields)
    out << ToUtf8(PageLabel(f.field.page)) << " | " << ToUtf8(FieldLabel(f.field)) << " ("
        << f.field.Key() << ") | " << ToUtf8(f.a) << " | " << ToUtf8(f.b) << '\n';
  if (!d.otherBytes.empty())
    out << d.otherBytes.size() << (d.otherBytes.size() == 1 ? " byte" : " bytes")
        << " that no field shows differ: " << DescribeOffsets(d.otherBytes) << '\n';
}

std::string DescribeOffsets(const std::vector<int>& offsets, std::size_t limit) {
  std::string out;
  std::size_t runs = 0;
  for (std::size_t i = 0; i < offsets.size();) {
    std::size_t j = i;
    while (j + 1 < offsets.size() && offsets[j + 1] == offsets[j] + 1) ++j;
    if (runs == limit) {
      out += ", ...";
      break;
    }
    if (runs) out += ", ";
    out += "0x" + Hex(offsets[i], 4);
    if (j > i) out += "-0x" + Hex(offsets[j], 4);
    ++runs;
    i = j + 1;
  }
  return out;
}
