// What the browser's sites need of the engine besides the pages: two
// revisions compared field by field through the configuration model (as
// the registry and the command-line tool's diff compare them), a viewer's
// pages made from the values the office shows it, and the customer's record
// of any revision. None of them touches the pages' own values.
#include <emscripten.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "Json.h"
#include "app/Compare.h"
#include "app/ConfigFile.h"
#include "app/Record.h"
#include "config/Configuration.h"
#include "config/ImageMap.h"
#include "config/PageLayout.h"
#include "config/Utf8.h"

namespace {

std::string handed;
std::vector<std::uint8_t> handedBytes;

const char* Hand(std::string text) {
  handed = std::move(text);
  return handed.c_str();
}

// The image of an .osr file given as bytes, when it passes every check.
std::optional<Image> ImageOf(const std::uint8_t* data, int size) {
  if (!data || size <= 0) return std::nullopt;
  Image image(kImageSize);
  if (ParseConfigFile(data, static_cast<std::size_t>(size), image.data()) != Loaded) return std::nullopt;
  return image;
}

// A value as a difference shows it: a secret one masked.
std::u16string Shown(const FieldRef& field, const std::u16string& value) {
  return IsSecret(field) ? Masked(value) : value;
}

// The model a viewer's values are set into, over the blank image.
Configuration& Scratch() {
  static Configuration* config = [] {
    auto* c = new Configuration;
    std::uint8_t blank[kImageSize];
    InitImage(blank);
    c->Load(blank);
    return c;
  }();
  return *config;
}

}  // namespace

extern "C" {

// The fields in which the .osr files `a` and `b` differ, in page order:
// {"ok":true,"fields":[{"page","key","from","to"}],"other_bytes":N}, a
// secret value masked; {"ok":false} when either is not a sound file.
EMSCRIPTEN_KEEPALIVE const char* ost_compare(const std::uint8_t* a, int aSize, const std::uint8_t* b,
                                             int bSize) {
  const std::optional<Image> from = ImageOf(a, aSize), to = ImageOf(b, bSize);
  if (!from || !to) return Hand("{\"ok\":false}");
  const Difference d = Compare(*from, *to);
  std::string out = "{\"ok\":true,\"fields\":[";
  for (std::size_t i = 0; i < d.fields.size(); ++i) {
    const FieldDifference& f = d.fields[i];
    if (i) out += ',';
    out += "{\"page\":" + std::to_string(f.field.page) + ",\"key\":";
    AppendQuoted(out, f.field.Key());
    out += ",\"from\":";
    AppendQuoted(out, Shown(f.field, f.a));
    out += ",\"to\":";
    AppendQuoted(out, Shown(f.field, f.b));
    out += '}';
  }
  out += "],\"other_bytes\":" + std::to_string(d.otherBytes.size()) + "}";
  return Hand(std::move(out));
}

// The page of the field `key` (as the office and the command-line tool
// name it), or -1.
EMSCRIPTEN_KEEPALIVE int ost_key_page(const char* key) {
  const std::optional<FieldRef> field = Configuration::Find(key);
  return field ? field->page : -1;
}

// A viewer's configuration: starts over from the blank image.
EMSCRIPTEN_KEEPALIVE void ost_values_begin() {
  std::uint8_t blank[kImageSize];
  InitImage(blank);
  Scratch().Load(blank);
}

// Sets the field `key` to `value` (UTF-8, as the office shows it) as a tool
// sets it: 1 set, 0 refused (a masked password, which stays unset).
EMSCRIPTEN_KEEPALIVE int ost_values_set(const char* key, const char* value) {
  const std::optional<std::u16string> text = FromUtf8(value);
  if (!text) return 0;
  return Scratch().Set(std::string_view(key), *text).ok ? 1 : 0;
}

// The .osr file of the values set since ost_values_begin; its size to
// `size`.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* ost_values_file(int* size) {
  std::uint8_t image[kImageSize];
  InitImage(image);
  Scratch().StoreOver(image);
  const auto bytes = ConfigFileBytes(image);
  handedBytes.assign(bytes.begin(), bytes.end());
  *size = static_cast<int>(handedBytes.size());
  return handedBytes.data();
}

// The customer's record of a site's revision given as its .osr bytes, with
// the head the command-line tool's site report gives it (the site's number,
// address and customer; the revision's id, time and author), for the
// page's print area `scope`: its style, then its body, the password masked
// (`secret`, when not null: as the office showed it to a viewer, whose file
// does not hold it); "" when the file is not sound.
EMSCRIPTEN_KEEPALIVE const char* ost_revision_record(const std::uint8_t* data, int size, const char* number,
                                                     const char* address, const char* customer,
                                                     const char* revision, const char* at, const char* author,
                                                     const char* scope, const char* secret) {
  const std::optional<Image> image = ImageOf(data, size);
  if (!image) return Hand("");
  ReportInfo info = SiteRevisionReport({.number = number, .address = address, .customer = customer,
                                        .revision = revision, .at = at, .author = author});
  if (secret) info.secretShown = secret;
  return Hand("<style>\n" + ReportStyle(scope) + "</style>\n" + ReportBody(image->data(), info));
}

}  // extern "C"
