#include "app/Record.h"

#include <cstdio>
#include <vector>

#include "app/ConfigFile.h"
#include "config/PageLayout.h"
#include "config/StringTable.h"
#include "config/Utf8.h"
#include "res/resource.h"

namespace {

// Texts of the record's head.
constexpr char kReportFile[] = "Файл";
constexpr char kReportDate[] = "Дата изменения";
constexpr char kReportCrc[] = "Контрольная сумма (CRC-32)";
constexpr char kReportCustomer[] = "Заказчик";
constexpr char kReportSite[] = "Объект";
constexpr char kReportInstaller[] = "Монтажник";

// The style: each rule's selector (relative to the record's root; empty for
// the root itself) and its declarations.
struct StyleRule {
  const char* selector;
  const char* declarations;
};
constexpr StyleRule kStyle[] = {
    {"", "font-family: sans-serif; font-size: 8.5pt; margin: 0;"},
    {"h1", "font-size: 13pt; margin: 0 0 6pt;"},
    {"table", "border-collapse: collapse; width: 100%;"},
    {"td, th", "border: 1px solid #999; padding: 1pt 3pt; text-align: left; vertical-align: top;"},
    {"table.head", "margin-bottom: 8pt;"},
    {"table.head th", "width: 28%; font-weight: normal; background: #f2f2f2;"},
    {"table.head td", "height: 13pt;"},
    {".pages", "column-count: 2; column-gap: 6mm;"},
    {"section", "break-inside: avoid; page-break-inside: avoid; margin-bottom: 5pt;"},
    {"h2",
     "font-size: 9pt; margin: 0; padding: 1pt 3pt; background: #e4e4e4; border: 1px solid #999; "
     "border-bottom: none;"},
    {"td.value", "width: 34%;"},
};

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Title() {
  const char16_t* title = FindString(IDS_TITLE);
  return ToUtf8(title ? title : u"");
}

// A value of the record: its unit, and the password masked unless asked.
std::string RecordValue(const Configuration& config, const FieldRef& f, const ReportInfo& info) {
  if (IsSecret(f) && info.secretShown) return *info.secretShown;
  if (IsSecret(f) && !info.showPassword) return ToUtf8(Masked(config.Get(f)));
  return ToUtf8(ShownWithUnit(config, f));
}

// The ticked boxes of a group on one line: "РЕЛЕ: 1, 3" where all the
// boxes' labels begin alike, otherwise their labels; "нет" when none is.
std::string TickedBoxes(const Configuration& config, const std::vector<FieldRef>& boxes) {
  std::vector<std::u16string> labels;
  for (const FieldRef& f : boxes) labels.push_back(FieldLabel(f));
  // The words every label begins with, when each label has more.
  std::u16string prefix = labels.front();
  for (const std::u16string& l : labels) {
    std::size_t n = 0;
    while (n < prefix.size() && n < l.size() && prefix[n] == l[n]) ++n;
    prefix.resize(n);
  }
  const std::size_t space = prefix.rfind(u' ');
  prefix.resize(space == std::u16string::npos ? 0 : space + 1);
  for (const std::u16string& l : labels)
    if (l.size() <= prefix.size()) prefix.clear();
  std::string ticked;
  for (std::size_t i = 0; i < boxes.size(); ++i)
    if (config.Value(boxes[i]).value == 1)
      ticked += (ticked.empty() ? "" : ", ") + ToUtf8(labels[i].substr(prefix.size()));
  if (ticked.empty()) return ToUtf8(kBoxOff);
  if (prefix.empty()) return ticked;
  return ToUtf8(prefix.substr(0, prefix.size() - 1)) + ": " + ticked;
}

// A group's caption without the colon it may end with.
std::string GroupText(const FieldRef& f) {
  std::u16string text = GroupLabel(f);
  while (!text.empty() && (text.back() == u':' || text.back() == u' ')) text.pop_back();
  return ToUtf8(text);
}

// The rows of page `p`'s table.
std::string PageRows(const Configuration& config, int p, const ReportInfo& info) {
  std::string html;
  const std::vector<FieldRef> fields = FieldsOnScreen(p);
  for (std::size_t i = 0; i < fields.size();) {
    const FieldRef& f = fields[i];
    const int g = f.Row().group;
    // The fields of a group that go on one line: its boxes in a row, or
    // its numbers labelled by their units alone (a time in minutes and
    // seconds, an hour and a minute).
    auto box = [](const FieldRef& x) { return x.Kind().Type() == ValueType::Boolean; };
    auto inUnits = [](const FieldRef& x) {
      return x.Kind().Type() == ValueType::Number && !UnitOf(x).empty() &&
             UnitOf(x) == FieldLabel(x);
    };
    std::size_t end = i + 1;
    const bool boxes = g && box(f), times = g && inUnits(f);
    if (boxes || times)
      while (end < fields.size() && fields[end].Row().group == g &&
             (boxes ? box(fields[end]) : inUnits(fields[end])))
        ++end;
    std::string label, value;
    if (end - i > 1) {
      label = GroupText(f);
      if (boxes) {
        value = TickedBoxes(config, {fields.begin() + i, fields.begin() + end});
      } else {
        for (std::size_t k = i; k < end; ++k) {
          if (k > i) value += ' ';
          value += ToUtf8(config.Get(fields[k]) + u" " + UnitOf(fields[k]));
        }
      }
    } else {
      label = ToUtf8(FieldLabel(f));
      if (g) label = GroupText(f) + ": " + label;
      value = RecordValue(config, f, info);
    }
    html += "<tr><td>" + Escape(label) + "</td><td class=\"value\">" + Escape(value) +
            "</td></tr>\n";
    i = end;
  }
  return html;
}

}  // namespace

std::string ReportStyle(const std::string& scope) {
  std::string css = "@page { size: A4; margin: 12mm; }\n";
  for (const StyleRule& rule : kStyle) {
    std::string selector;
    if (!*rule.selector) {
      selector = scope;
    } else {
      // Each selector of a list, within the scope.
      std::string list = rule.selector;
      for (std::size_t start = 0; start <= list.size();) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        std::string one = list.substr(start, comma - start);
        while (!one.empty() && one.front() == ' ') one.erase(0, 1);
        selector += (selector.empty() ? "" : ", ") + scope + " " + one;
        start = comma + 1;
      }
    }
    css += selector + " { " + rule.declarations + " }\n";
  }
  return css;
}

std::string ReportBody(const std::uint8_t* image, const ReportInfo& info) {
  Configuration config;
  config.Load(image);
  std::string html = "<h1>" + Escape(Title()) + "</h1>\n<table class=\"head\">\n";
  auto headRow = [&](const char* label, const std::string& value) {
    // What the user or the file's name gave: control characters and bytes
    // that are not UTF-8 escaped, as in the messages.
    html += "<tr><th>" + std::string(label) + "</th><td>" +
            Escape(Printable(value, std::string::npos)) + "</td></tr>\n";
  };
  headRow(kReportCustomer, info.customer);
  headRow(kReportSite, info.site);
  headRow(kReportInstaller, info.installer);
  headRow(kReportFile, info.fileName);
  headRow(kReportDate, info.date);
  headRow(kReportCrc, CrcText(info.fileCrc.value_or(ConfigFileCrc(image))));
  html += "</table>\n<div class=\"pages\">\n";
  for (int p = 0; p < kPageCount; ++p)
    html += "<section>\n<h2>" + Escape(ToUtf8(PageLabel(p))) + "</h2>\n<table>\n" +
            PageRows(config, p, info) + "</table>\n</section>\n";
  html += "</div>\n";
  return html;
}

std::string ShownUtcTime(const std::string& at) {
  if (at.size() < 19) return at;
  std::string shown = at.substr(0, 19);
  shown[10] = ' ';
  return shown;
}

ReportInfo SiteRevisionReport(const SiteRevisionHead& head) {
  ReportInfo info;
  info.fileName = "site " + head.number + ", revision " + head.revision.substr(0, 12);
  info.date = ShownUtcTime(head.at) + " UTC";
  info.customer = head.customer;
  info.site = head.address.empty() ? head.number : head.number + ", " + head.address;
  info.installer = head.author;
  return info;
}

std::string ReportHtml(const std::uint8_t* image, const ReportInfo& info) {
  const std::string title = Title();
  return "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\" />\n<title>" +
         Escape(title) + " - " + Escape(Printable(info.fileName, std::string::npos)) +
         "</title>\n<style>\n" +
         ReportStyle("body") + "</style>\n</head>\n<body>\n" + ReportBody(image, info) +
         "</body>\n</html>\n";
}

std::string CrcText(std::uint32_t crc) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(crc));
  return buffer;
}
