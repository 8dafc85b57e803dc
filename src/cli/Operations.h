// What the command-line program does with configurations, apart from
// arguments, files and the device: render them, export and import them as
// JSON, set single fields and compare two of them.
#pragma once
#include <cstdint>
#include <ostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/Compare.h"
#include "cli/ConfigModel.h"
#include "config/Utf8.h"  // Printable

// The configuration as the window shows it, page by page in tree order
// (`page` -1), or one page; each page's fields in their order on screen,
// each value with the unit the page writes beside it. `secretShown`: the
// password as the office masked it for a viewer, whose image lacks it.
void RenderShow(const Image& image, int page, std::ostream& out,
                const std::optional<std::string>& secretShown = std::nullopt);
// The same as JSON: an array of pages, each with its fields' labels, shown
// values and units.
Json ShowJson(const Image& image, int page, const std::optional<std::string>& secretShown = std::nullopt);
// Every field key of every page (`page` -1) or of one page, with its
// label, its kind and what it accepts.
void RenderKeys(int page, std::ostream& out);
// What a value given as text for field `key` loses when it is stored
// ("8 (916) 123-45-67" stored as "89161234567"), as a line to show; empty
// when it is stored as given (or not at all).
std::string CleaningNote(const std::string& key, const std::string& given);

// The configuration as JSON: one object per page keyed by the page and
// field keys, values in natural types, and under "bytes" every byte that
// the fields do not give back (runs of hex, keyed by their offset), so that
// an import of the export gives back the image byte for byte.
Json ExportJson(const Image& image);

// Field values to set: a key and a JSON value (natural type or text).
using FieldValues = std::vector<std::pair<std::string, Json>>;
// Sets `values` over `base` as a tool does: each value checked first, set
// without the pages' follow-up rules; fields left out keep the base's
// value. Raw `bytes` (an export's "bytes" object) go over the result.
// False and one message per broken value (naming the key, the value and
// what is allowed) when anything is wrong; `out` is then untouched.
bool ApplyValues(const Image& base, const FieldValues& values, const Json* bytes, Image& out,
                 std::vector<std::string>& errors);
// The largest JSON input an import reads: far more than any export.
constexpr std::size_t kMaxJsonBytes = 10 * 1024 * 1024;
// Parses the text of a JSON file to import, in time linear in its length:
// refuses, with `error` saying why, text longer than kMaxJsonBytes, broken
// JSON, nesting deeper than an export's (before anything else recurses
// over it), and an object that has a key twice (naming the key).
bool ParseImportJson(std::string_view text, Json& document, std::string& error);

// A JSON value as a message shows it: its JSON text, cut like Printable's.
std::string Brief(const Json& value);

// An export (or any JSON of its form, with its "format" and "version")
// built into an image over `base`.
bool ImportJson(const Json& document, const Image& base, Image& out,
                std::vector<std::string>& errors);

// One line per differing field (page, label and key, value in A, value in
// B), then how many bytes that no field shows differ, and where.
void RenderDifference(const Difference& d, std::ostream& out);
// "0x0800-0x0803, 0x0900", at most `limit` runs and then "...".
std::string DescribeOffsets(const std::vector<int>& offsets, std::size_t limit = 16);
