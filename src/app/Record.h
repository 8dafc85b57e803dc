// The customer's printable record of a configuration, as one HTML document
// (no scripts) for an A4 sheet: a head with the customer, the site and the
// installer (blank to fill in by hand when not given), the file's name,
// date and CRC; then every page, compact (a group of boxes on one line, a
// time on one line), in two columns. The password shows as stars unless
// asked for. The command-line tool writes it; the browser prints it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

struct ReportInfo {
  std::string fileName;  // UTF-8
  std::string date;      // UTF-8, as it is to be printed
  std::string customer, site, installer;  // UTF-8
  bool showPassword = false;
  // A record made where the secret is not known (a viewer's, from the
  // values the office shows): the secret as it was shown there, masked.
  std::optional<std::string> secretShown;  // UTF-8
  // The CRC of the file the record is of, where the image it is made from
  // is not that file's own (a viewer's, without the password); otherwise
  // the image's.
  std::optional<std::uint32_t> fileCrc;
};

// A file's CRC as the record prints it (and the office sends it): eight
// hexadecimal digits, "0A1B2C3D".
std::string CrcText(std::uint32_t crc);

// A time as the sites registry writes it ("2026-12-09T22:50:00.000Z") as
// people read it: "2026-12-09 22:50:00".
std::string ShownUtcTime(const std::string& at);

// The head of the record of a site's revision: the file's line names the
// site and the revision (its id's first 12 characters), the date is the
// revision's, UTC; the site's line is its number and address; the
// installer is the revision's author.
struct SiteRevisionHead {
  std::string number, address, customer;  // the site's
  std::string revision, at, author;       // the revision's
};
ReportInfo SiteRevisionReport(const SiteRevisionHead& head);

// The record of the ConfigImage `image` (kImageSize bytes); the CRC in its
// head is the one the file for `image` carries.
std::string ReportHtml(const std::uint8_t* image, const ReportInfo& info);

// The record's style sheet and its body alone, for a page that shows the
// record inside itself (every rule of the style is scoped to `scope`, a
// selector of the element that holds the body).
std::string ReportStyle(const std::string& scope);
std::string ReportBody(const std::uint8_t* image, const ReportInfo& info);
