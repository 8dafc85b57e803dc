// What the browser's page is made of, as the engine knows it: every text by
// its name (the program's string tables, the prompt's texts and the
// browser's own table), the 23 pages with their fields, the device's ids
// and the codes of its link, and the progress scales. The page asks once
// at its start; nothing here is written again in the script.
#include <emscripten.h>

#include <cstdint>
#include <span>
#include <string>

#include "Json.h"
#include "config/Configuration.h"
#include "config/ImageMap.h"
#include "config/Notifications.h"
#include "config/PageLayout.h"
#include "config/StringTable.h"
#include "device/HidIo.h"
#include "device/Protocol.h"
#include "device/Transfers.h"
#include "device/hid/webhid/WebHid.h"
#include "res/discard_texts.h"
#include "res/resource.h"

namespace {

// A text by its name: of the string tables (by id) or written here.
struct NamedText {
  const char* name;
  int id;
  const char16_t* text;
};
const NamedText kTexts[] = {
#define OSTREL_STRING(id, text) {#id, id, nullptr},
#include "res/strings_shell.inc"
#undef OSTREL_STRING
    // The point between the units and the tenths edit of an x.y value.
    {"IDS_DECIMAL_POINT", IDS_DECIMAL_POINT, nullptr},
#define OSTREL_STRING(id, text) {#id, 0, u"" text},
#include "res/strings_web.inc"
#undef OSTREL_STRING
#define DISCARD_TEXT(id) {#id, 0, u"" id##_TEXT},
    DISCARD_TEXT(IDS_DISCARD_CAPTION)
#undef DISCARD_TEXT
};
// The pages' texts, which the page takes from the pages' description; by
// name only for whoever asks for every text (the tests).
const NamedText kPageTexts[] = {
#define OSTREL_STRING(id, text) {#id, id, nullptr},
#include "res/strings_pages.inc"
#undef OSTREL_STRING
};

// The prompt's choices: the value the page's button returns, its text and
// the note beside it, in the dialog's order.
struct DiscardChoice {
  const char* choice;
  const char16_t* label;
  const char16_t* note;
};
const DiscardChoice kDiscardChoices[] = {
    {"save", u"" IDS_DISCARD_SAVE_TEXT, u"" IDS_DISCARD_SAVE_NOTE_TEXT},
    {"saveas", u"" IDS_DISCARD_SAVEAS_TEXT, u"" IDS_DISCARD_SAVEAS_NOTE_TEXT},
    {"dontsave", u"" IDS_DISCARD_DONTSAVE_TEXT, u"" IDS_DISCARD_DONTSAVE_NOTE_TEXT},
    {"cancel", u"" IDS_DISCARD_CANCEL_TEXT, u"" IDS_DISCARD_CANCEL_NOTE_TEXT},
};

std::u16string Text(int id) {
  const char16_t* text = id ? FindString(id) : nullptr;
  return text ? text : u"";
}

// The kind of control the page makes for a row.
const char* KindName(const FieldRow& row) {
  switch (KindOf(row).Control()) {
    case ControlType::CheckBox: return "box";
    case ControlType::List: return "list";
    case ControlType::UnitsAndTenths: return "tenths";
    case ControlType::Edit: break;
  }
  switch (row.kind) {
    case FieldKind::TwoDigits: return "twodigits";
    case FieldKind::Bcd: return "bcd";
    case FieldKind::OneDigit: return "onedigit";
    case FieldKind::Phone: return "phone";
    default: return "text";
  }
}

void AppendNumber(std::string& out, const char* name, long value) {
  out += '"';
  out += name;
  out += "\":" + std::to_string(value);
}

void AppendTexts(std::string& out, bool everyText) {
  out += '{';
  bool first = true;
  auto add = [&](const NamedText& t) {
    if (!first) out += ',';
    first = false;
    AppendQuoted(out, std::string(t.name));
    out += ':';
    AppendQuoted(out, std::u16string(t.text ? t.text : Text(t.id)));
  };
  for (const NamedText& t : kTexts) add(t);
  if (everyText)
    for (const NamedText& t : kPageTexts) add(t);
  out += '}';
}

// A field of page `entry`, row `row` of its table.
void AppendField(std::string& out, const FieldRef& field) {
  const FieldRow& r = field.Row();
  out += "{\"row\":" + std::to_string(field.row) + ",\"key\":";
  AppendQuoted(out, field.Key());
  out += ",\"kind\":\"" + std::string(KindName(r)) + "\",\"label\":";
  AppendQuoted(out, Text(r.label));
  out += ",\"group\":";
  AppendQuoted(out, Text(r.group));
  out += ",\"unit\":";
  AppendQuoted(out, UnitText(r));
  out += ',';
  AppendNumber(out, "min", r.kind == FieldKind::TwoDigits ? r.min : 0);
  out += ',';
  AppendNumber(out, "max", r.max);
  out += ",\"secret\":" + std::string(IsSecret(field) ? "true" : "false");
  if (KindOf(r).Control() == ControlType::List) {
    out += ",\"list\":[";
    for (std::size_t k = 0; k < r.list->strings.size(); ++k) {
      if (k) out += ',';
      AppendQuoted(out, Text(r.list->strings[k]));
    }
    out += ']';
  }
  out += '}';
}

// The fields of page `p` in table order.
void AppendFields(std::string& out, int p) {
  const PageEntry& entry = kPages[p];
  out += '[';
  bool first = true;
  for (std::size_t i = 0; i < entry.fields->rows.size(); ++i) {
    if (!entry.fields->rows[i].ExistsFor(entry.member)) continue;
    if (!first) out += ',';
    first = false;
    AppendField(out, FieldRef{p, static_cast<int>(i)});
  }
  out += ']';
}

// The page tree: each page's key, tree label and title.
void AppendPages(std::string& out) {
  out += '[';
  for (int p = 0; p < kPageCount; ++p) {
    const PageEntry& entry = kPages[p];
    if (p) out += ',';
    out += "{\"key\":";
    AppendQuoted(out, PageKey(entry));
    out += ",\"label\":";
    AppendQuoted(out, Text(entry.labelId));
    out += ",\"title\":";
    AppendQuoted(out, Text(entry.titleId));
    out += '}';
  }
  out += ']';
}

void AppendDiscard(std::string& out) {
  out += '[';
  for (const DiscardChoice& c : kDiscardChoices) {
    if (c.choice != kDiscardChoices[0].choice) out += ',';
    out += "{\"choice\":\"" + std::string(c.choice) + "\",\"label\":";
    AppendQuoted(out, std::u16string(c.label));
    out += ",\"note\":";
    AppendQuoted(out, std::u16string(c.note));
    out += '}';
  }
  out += ']';
}

// The device and its link, as the script's HID link and progress bar use
// them: named numbers, some in groups of their own.
struct Fact {
  const char* name;
  long value;
};
const Fact kDevice[] = {
    {"vendorId", kDeviceVendorId},
    {"productId", kDeviceProductId},
    {"reportSize", static_cast<long>(kReportSize)},
    {"imageSize", static_cast<long>(kImageSize)},
    {"paramSize", static_cast<long>(kParamMemorySize)},
    {"readScale", kReadRecordEnd},
    {"writeScale", kWriteRecordEnd},
    {"progress", Notify::Progress},
};
const Fact kWaitResults[] = {
    {"Aborted", WaitAborted}, {"Failed", WaitFailed}, {"Done", WaitDone}, {"TimedOut", WaitTimedOut}};
const Fact kLinkStarts[] = {{"Completed", LinkCompleted}, {"Pending", LinkPending}, {"Failed", LinkFailed}};
const Fact kLinkOps[] = {{"Write", LinkWrite}, {"Read", LinkRead}};

// The facts as the members of an object, without its braces.
void AppendFacts(std::string& out, std::span<const Fact> facts) {
  for (const Fact& f : facts) {
    if (&f != facts.data()) out += ',';
    AppendNumber(out, f.name, f.value);
  }
}

void AppendDevice(std::string& out) {
  out += '{';
  AppendFacts(out, kDevice);
  out += ",\"wait\":{";
  AppendFacts(out, kWaitResults);
  out += "},\"start\":{";
  AppendFacts(out, kLinkStarts);
  out += "},\"op\":{";
  AppendFacts(out, kLinkOps);
  out += "}}";
}

std::string handed;

}  // namespace

extern "C" {

// Everything the page is made of, as JSON: {"texts":{name: text},
// "pages":[{"key","label","title"}], "discard":[...], "device":{...}}; each
// page's fields come from ost_fields. The texts are those the
// page names (the shell's, the prompt's, the browser's own), and with
// `everyText` the pages' as well.
EMSCRIPTEN_KEEPALIVE const char* ost_site(int everyText) {
  std::string out = "{\"texts\":";
  AppendTexts(out, everyText != 0);
  out += ",\"pages\":";
  AppendPages(out);
  out += ",\"discard\":";
  AppendDiscard(out);
  out += ",\"device\":";
  AppendDevice(out);
  out += '}';
  handed = std::move(out);
  return handed.c_str();
}

// The fields of page `page` in table order, as JSON: [{"row","key","kind",
// "label","group","unit","min","max","secret","list"}]; asked when the page
// is first needed.
EMSCRIPTEN_KEEPALIVE const char* ost_fields(int page) {
  if (page < 0 || page >= kPageCount) return "[]";
  std::string out;
  AppendFields(out, page);
  handed = std::move(out);
  return handed.c_str();
}

}  // extern "C"
