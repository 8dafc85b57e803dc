// The customer's printable record of a configuration, as one HTML document
// (no scripts) for an A4 sheet: a head with the customer, the site and the
// installer (blank to fill in by hand when not given), the file's name,
// date and CRC; then every page, compact (a group of boxes on one line, a
// time on one line), in two columns. The password shows as stars unless
// asked for. The command-line tool writes it; the browser prints it.
#pragma once
#include <cstdint>
#include <string>

struct ReportInfo {
  std::string fileName;  // UTF-8
  std::string date;      // UTF-8, as it is to be printed
  std::string customer, site, installer;  // UTF-8
  bool showPassword = false;
};

// The record of the ConfigImage `image` (kImageSize bytes); the CRC in its
// head is the one the file for `image` carries.
std::string ReportHtml(const std::uint8_t* image, const ReportInfo& info);

// The record's style sheet and its body alone, for a page that shows the
// record inside itself (every rule of the style is scoped to `scope`, a
// selector of the element that holds the body).
std::string ReportStyle(const std::string& scope);
std::string ReportBody(const std::uint8_t* image, const ReportInfo& info);
