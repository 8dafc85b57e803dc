#include "sites/Registry.h"

#include <sodium.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <tuple>
#include <unordered_map>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "config/ImageMap.h"
#include "config/Utf8.h"
#include "sites/Base64.h"
#include "sites/Schema.h"
#include "sites/SqliteDatabase.h"

namespace {

using Json = nlohmann::ordered_json;

[[noreturn]] void Invalid(const std::string& message) {
  throw RegistryError(RegistryFault::Invalid, message);
}

// `text` as a message shows it: in quotes, control characters escaped, cut
// after 40 characters.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  std::size_t shown = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (shown == 40) {
      out += "...\" (" + std::to_string(text.size()) + " bytes)";
      return out;
    }
    if ((c & 0xC0) != 0x80) ++shown;
    if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// Texts users give: UTF-8 of at most `limit` characters, with no control
// characters but, where `lines`, line breaks and tabs.
void CheckText(const std::string& what, const std::string& text, std::size_t limit, bool lines) {
  const std::optional<std::u16string> wide = FromUtf8(text);
  if (!wide) Invalid(what + " " + Quoted(text) + " is not UTF-8 text");
  if (wide->size() > limit)
    Invalid(what + " " + Quoted(text) + " is too long: at most " + std::to_string(limit) +
            " characters");
  for (char16_t c : *wide)
    if ((c < 0x20 && !(lines && (c == '\n' || c == '\t'))) || c == 0x7F)
      Invalid(what + " " + Quoted(text) + " holds a control character");
}

void CheckPhoneText(const std::string& what, const std::string& text) {
  if (text.size() > 32)
    Invalid(what + " " + Quoted(text) + " is too long: at most 32 characters");
  for (char c : text)
    if (!((c >= '0' && c <= '9') || c == '+' || c == ' ' || c == '-' || c == '(' || c == ')'))
      Invalid(what + " " + Quoted(text) +
              " is not a phone number: digits, with + ( ) - and spaces between them");
}

std::string Hex(const unsigned char* data, std::size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string out(size * 2, '0');
  for (std::size_t i = 0; i < size; ++i) {
    out[2 * i] = digits[data[i] >> 4];
    out[2 * i + 1] = digits[data[i] & 15];
  }
  return out;
}

std::string Sha256(const void* data, std::size_t size) {
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, static_cast<const unsigned char*>(data), size);
  return Hex(digest, sizeof digest);
}

std::string ImageHash(const Image& image) { return Sha256(image.data(), image.size()); }

bool IsHex(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

Blob Deflate(const Image& image) {
  uLongf size = compressBound(static_cast<uLong>(image.size()));
  Blob out(size);
  if (compress2(out.data(), &size, image.data(), static_cast<uLong>(image.size()),
                Z_BEST_COMPRESSION) != Z_OK)
    throw RegistryError(RegistryFault::Storage, "an image could not be compressed");
  out.resize(size);
  return out;
}

Image Inflate(const Blob& bytes, const std::string& hash) {
  Image image(kImageSize);
  uLongf size = static_cast<uLongf>(image.size());
  if (uncompress(image.data(), &size, bytes.data(), static_cast<uLong>(bytes.size())) != Z_OK ||
      size != kImageSize)
    throw RegistryError(RegistryFault::Damaged,
                        "the registry is damaged: the image " + hash.substr(0, 12) +
                            " cannot be read");
  return image;
}

// The first `size` bytes of a stored image, inflated no further than they
// go: a search that needs only some fields decodes only the bytes up to
// them. (The stored form is a zlib stream: a 2-byte header, the deflated
// bytes, a checksum that only a whole image's read checks.) False when the
// bytes cannot be inflated.
bool InflatePrefix(const Blob& bytes, std::size_t size, Image& image) {
  image.assign(kImageSize, 0);
  if (bytes.size() < 2) return false;
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(bytes.data() + 2);
  z.avail_in = static_cast<uInt>(bytes.size() - 2);
  z.next_out = image.data();
  z.avail_out = static_cast<uInt>(std::min(size, image.size()));
  const int rc = inflate(&z, Z_SYNC_FLUSH);
  const bool ok = (rc == Z_OK || rc == Z_STREAM_END || rc == Z_BUF_ERROR) && z.avail_out == 0;
  inflateEnd(&z);
  return ok;
}

}  // namespace

std::size_t FieldExtent(const FieldRef& f) {
  const FieldRow& row = f.Row();
  FieldValue value;
  f.Kind().Init(row, value);
  std::size_t end = 0;
  for (std::uint8_t fill : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
    Image image(kImageSize, fill);
    f.Kind().Store(row, kPages[f.page].member, value, image.data());
    for (std::size_t i = 0; i < image.size(); ++i)
      if (image[i] != fill) end = std::max(end, i + 1);
  }
  return end;
}

namespace {

// A time as the registry writes it: "2026-12-09T22:50:00.000Z".
bool IsUtcTime(const std::string& t) {
  static const char pattern[] = "dddd-dd-ddTdd:dd:dd.dddZ";
  if (t.size() != sizeof pattern - 1) return false;
  for (std::size_t i = 0; i < t.size(); ++i)
    if (pattern[i] == 'd' ? !(t[i] >= '0' && t[i] <= '9') : t[i] != pattern[i]) return false;
  const int month = std::stoi(t.substr(5, 2)), day = std::stoi(t.substr(8, 2));
  const int hour = std::stoi(t.substr(11, 2)), minute = std::stoi(t.substr(14, 2));
  const int second = std::stoi(t.substr(17, 2));
  return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour < 24 && minute < 60 &&
         second < 61;
}

std::string Join(const std::vector<std::string>& keys) {
  std::string out;
  for (const std::string& k : keys) out += (out.empty() ? "" : " ") + k;
  return out;
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

// The registry's message for a fault of the store.
RegistryError Translate(const DbError& e) {
  const std::string detail = e.what();
  switch (e.fault()) {
    case DbFault::Busy:
      return RegistryError(RegistryFault::Storage,
                           "the registry is busy: another program held it too long (" + detail +
                               "); nothing was changed, try again");
    case DbFault::ReadOnly:
      return RegistryError(RegistryFault::Storage,
                           "the registry cannot be written: its file or disk is read-only (" +
                               detail + "); nothing was changed");
    case DbFault::Full:
      return RegistryError(RegistryFault::Storage,
                           "the registry cannot be written: the disk is full (" + detail +
                               "); nothing was changed");
    case DbFault::Corrupt:
      return RegistryError(RegistryFault::Damaged,
                           "the registry is damaged (" + detail +
                               "); it was not changed; restore it from a backup");
    case DbFault::NotADatabase:
      return RegistryError(RegistryFault::NotARegistry,
                           "not a sites registry: the file is not a database (" + detail + ")");
    case DbFault::Constraint:
      return RegistryError(RegistryFault::Invalid,
                           "the registry refused the change (" + detail + "); nothing was changed");
    case DbFault::CannotOpen:
      return RegistryError(RegistryFault::Storage,
                           "the registry cannot be opened (" + detail + "); nothing was changed");
    case DbFault::Unavailable:
      return RegistryError(RegistryFault::Storage,
                           "the registry's database cannot be reached (" + detail +
                               "); nothing was changed");
    case DbFault::Other:
      break;
  }
  return RegistryError(RegistryFault::Storage,
                       "the registry failed (" + detail + "); nothing was changed");
}

// Runs `work`, the database's faults given as the registry's.
template <typename Work>
auto Guarded(Work&& work) -> decltype(work()) {
  try {
    return work();
  } catch (const DbError& e) {
    throw Translate(e);
  }
}

// The key of a site's write transactions: its record and its history are
// changed by one writer at a time, different sites' side by side.
std::string SiteKey(const std::string& number) { return "site " + number; }

constexpr char kRevisionColumns[] =
    "id, site, parent, at, author, source, comment, image, before_image, changed, changed_keys";

Revision ReadRevision(const DbRows& rows) {
  Revision r;
  r.id = rows.Text(0);
  r.site = rows.Text(1);
  r.parent = rows.IsNull(2) ? "" : rows.Text(2);
  r.at = rows.Text(3);
  r.author = rows.Text(4);
  r.source = SourceNamed(rows.Text(5)).value_or(RevisionSource::Edit);
  r.comment = rows.Text(6);
  r.image = rows.Text(7);
  r.before = rows.IsNull(8) ? "" : rows.Text(8);
  r.changed = rows.IsNull(9) ? -1 : static_cast<int>(rows.Int(9));
  r.changedKeys = Split(rows.Text(10));
  return r;
}

// The first row of a query, as `read` gives it, or nothing.
template <typename Read>
auto FirstRow(Database& db, const std::string& sql, const std::vector<DbValue>& params, Read read)
    -> std::optional<decltype(read(std::declval<const DbRows&>()))> {
  return Guarded([&]() -> std::optional<decltype(read(std::declval<const DbRows&>()))> {
    std::unique_ptr<DbRows> rows = db.Query(sql, params);
    if (!rows->Next()) return std::nullopt;
    return read(*rows);
  });
}

constexpr char kSiteColumns[] = "number, customer, address, sim, phone, notes, added, archived";

Site ReadSite(const DbRows& rows) {
  Site s;
  s.number = rows.Text(0);
  s.customer = rows.Text(1);
  s.address = rows.Text(2);
  s.sim = rows.Text(3);
  s.phone = rows.Text(4);
  s.notes = rows.Text(5);
  s.added = rows.Text(6);
  s.archived = rows.Int(7) != 0;
  return s;
}

// Lower case for the search of `site list`: Latin and Cyrillic letters.
std::u16string Folded(const std::string& text) {
  std::u16string wide = FromUtf8(text).value_or(u"");
  for (char16_t& c : wide) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    else if (c >= 0x0410 && c <= 0x042F) c = static_cast<char16_t>(c + 32);
    else if (c >= 0x0400 && c <= 0x040F) c = static_cast<char16_t>(c + 80);
  }
  return wide;
}

}  // namespace

bool KeyFits(std::string_view pattern, std::string_view key) {
  // The usual linear match: on a mismatch, the last '*' takes one more
  // character.
  std::size_t p = 0, k = 0, star = std::string_view::npos, mark = 0;
  while (k < key.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = k;
    } else if (p < pattern.size() && pattern[p] == key[k]) {
      ++p;
      ++k;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      k = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

Json SiteAsJson(const Site& s) {
  return {{"number", s.number}, {"customer", s.customer}, {"address", s.address},
          {"sim", s.sim},       {"phone", s.phone},       {"notes", s.notes},
          {"added", s.added},   {"archived", s.archived}};
}

Json RevisionAsJson(const Revision& r) {
  Json j;
  j["id"] = r.id;
  j["parent"] = r.parent.empty() ? Json() : Json(r.parent);
  j["at"] = r.at;
  j["author"] = r.author;
  j["source"] = SourceName(r.source);
  j["comment"] = r.comment;
  return j;
}

const char* SourceName(RevisionSource source) {
  switch (source) {
    case RevisionSource::Read:
      return "read";
    case RevisionSource::Write:
      return "write";
    case RevisionSource::File:
      return "file";
    case RevisionSource::Edit:
      return "edit";
    case RevisionSource::Import:
      return "import";
  }
  return "edit";
}

std::optional<RevisionSource> SourceNamed(std::string_view name) {
  for (RevisionSource s : {RevisionSource::Read, RevisionSource::Write, RevisionSource::File,
                           RevisionSource::Edit, RevisionSource::Import})
    if (name == SourceName(s)) return s;
  return std::nullopt;
}

std::string UtcNow() { return UtcTime(std::chrono::system_clock::now()); }

std::string UtcTime(std::chrono::system_clock::time_point time) {
  const std::time_t t = std::chrono::system_clock::to_time_t(time);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()) % 1000;
  if (ms.count() < 0) ms += std::chrono::milliseconds(1000);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(ms.count()));
  return text;
}

void CheckSiteNumber(const std::string& number) {
  const bool ok = !number.empty() && number.size() <= 16 && number[0] != '-' &&
                  std::all_of(number.begin(), number.end(), [](char c) {
                    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z') || c == '-';
                  });
  if (!ok)
    Invalid("the site number " + Quoted(number) +
            " is not allowed: 1 to 16 letters (A-Z), digits and dashes, not starting with a dash");
}

void CheckSite(const Site& site) {
  CheckSiteNumber(site.number);
  CheckText("the customer", site.customer, 200, false);
  CheckText("the address", site.address, 300, false);
  CheckPhoneText("the SIM number", site.sim);
  CheckPhoneText("the contact phone", site.phone);
  CheckText("the notes", site.notes, 2000, true);
  if (!site.added.empty() && !IsUtcTime(site.added))
    Invalid("the time " + Quoted(site.added) + " is not a UTC time such as 2026-12-09T22:50:00.000Z");
}

Registry::Registry(std::unique_ptr<Database> db) : db_(std::move(db)) {
  if (sodium_init() < 0)
    throw RegistryError(RegistryFault::Storage, "the hash library could not start");
  Guarded([&] { Open(); });
}

Registry::~Registry() = default;

std::unique_ptr<Registry> Registry::OpenSqlite(const std::string& path, bool create) {
  std::unique_ptr<Database> db =
      Guarded([&] { return std::make_unique<SqliteDatabase>(path, create); });
  return std::make_unique<Registry>(std::move(db));
}

void Registry::Open() {
  const int current = CurrentSchemaVersion();
  const auto newer = [&](int version) {
    return RegistryError(RegistryFault::Newer,
                         "the registry has the schema version " + std::to_string(version) +
                             ", made by a newer program; this one reads versions up to " +
                             std::to_string(current) + "; it was not changed");
  };
  int version = StoreSchemaVersion(*db_);
  if (version > current) throw newer(version);
  db_->PrepareForSharing();
  if (version == current) return;
  DbTransaction t(*db_, true);
  // Another process may have made or migrated it meanwhile.
  version = StoreSchemaVersion(*db_);
  if (version > current) throw newer(version);
  if (version < current) MigrateTo(*db_, current);
  t.Commit();
}

void Registry::AddSite(const Site& site) {
  CheckSite(site);
  Guarded([&] {
    DbTransaction t(*db_, SiteKey(site.number));
    std::unique_ptr<DbRows> rows = db_->Query("SELECT 1 FROM sites WHERE number = $1", {site.number});
    if (rows->Next())
      throw RegistryError(RegistryFault::Exists, "the site " + site.number + " is there already");
    rows.reset();
    db_->Execute(
        "INSERT INTO sites (number, customer, address, sim, phone, notes, added, archived)"
        " VALUES ($1, $2, $3, $4, $5, $6, $7, $8)",
        {site.number, site.customer, site.address, site.sim, site.phone, site.notes,
         site.added.empty() ? UtcNow() : site.added, std::int64_t{site.archived ? 1 : 0}});
    t.Commit();
  });
}

void Registry::EditSite(const std::string& number, const SiteChanges& changes) {
  CheckSiteNumber(number);
  Guarded([&] {
    DbTransaction t(*db_, SiteKey(number));
    std::optional<Site> site = FindSite(number);
    if (!site) throw RegistryError(RegistryFault::NotFound, "there is no site " + number);
    if (changes.customer) site->customer = *changes.customer;
    if (changes.address) site->address = *changes.address;
    if (changes.sim) site->sim = *changes.sim;
    if (changes.phone) site->phone = *changes.phone;
    if (changes.notes) site->notes = *changes.notes;
    CheckSite(*site);
    db_->Execute(
        "UPDATE sites SET customer = $2, address = $3, sim = $4, phone = $5, notes = $6"
        " WHERE number = $1",
        {number, site->customer, site->address, site->sim, site->phone, site->notes});
    t.Commit();
  });
}

void Registry::ArchiveSite(const std::string& number, bool archived) {
  CheckSiteNumber(number);
  Guarded([&] {
    if (db_->Execute("UPDATE sites SET archived = $2 WHERE number = $1",
                     {number, std::int64_t{archived ? 1 : 0}}) == 0)
      throw RegistryError(RegistryFault::NotFound, "there is no site " + number);
  });
}

std::optional<Site> Registry::FindSite(const std::string& number) {
  return FirstRow(*db_, std::string("SELECT ") + kSiteColumns + " FROM sites WHERE number = $1", {number},
                  ReadSite);
}

std::vector<Site> Registry::ListSites(const std::string& text, bool archived) {
  const std::u16string wanted = Folded(text);
  return Guarded([&] {
    std::vector<Site> sites;
    std::unique_ptr<DbRows> rows = db_->Query(
        std::string("SELECT ") + kSiteColumns + " FROM sites ORDER BY number");
    while (rows->Next()) {
      Site s = ReadSite(*rows);
      if (s.archived && !archived) continue;
      if (!wanted.empty()) {
        bool fits = false;
        for (const std::string* field : {&s.number, &s.customer, &s.address, &s.sim, &s.phone})
          fits = fits || Folded(*field).find(wanted) != std::u16string::npos;
        if (!fits) continue;
      }
      sites.push_back(std::move(s));
    }
    return sites;
  });
}

std::string Registry::RevisionId(const Revision& r) {
  // Every part on a line of its own, texts with their length first, so that
  // no two different revisions give the same text.
  const auto sized = [](const std::string& text) {
    return std::to_string(text.size()) + ":" + text + "\n";
  };
  const std::string content = "ostrel revision 1\n" + sized(r.site) + sized(r.parent) +
                              sized(r.image) + sized(r.before) + sized(r.at) + sized(r.author) +
                              sized(SourceName(r.source)) + sized(r.comment);
  return Sha256(content.data(), content.size());
}

PreparedRevision Registry::PrepareRevision(const NewRevision& n) {
  CheckSiteNumber(n.site);
  if (n.image.size() != kImageSize)
    Invalid("an image has " + std::to_string(kImageSize) + " bytes, not " +
            std::to_string(n.image.size()));
  if (!n.before.empty() && n.before.size() != kImageSize)
    Invalid("the image before a write has " + std::to_string(kImageSize) + " bytes, not " +
            std::to_string(n.before.size()));
  CheckText("the author", n.author, 100, false);
  CheckText("the comment", n.comment, 2000, true);
  if (!n.at.empty() && !IsUtcTime(n.at))
    Invalid("the time " + Quoted(n.at) + " is not a UTC time such as 2026-12-09T22:50:00.000Z");
  if (n.parent && !n.parent->empty() && (n.parent->size() != 64 || !IsHex(*n.parent)))
    Invalid("the parent " + Quoted(*n.parent) + " is not a revision id (64 hex digits)");

  PreparedRevision p;
  Revision& r = p.revision;
  r.site = n.site;
  r.at = n.at.empty() ? UtcNow() : n.at;
  r.author = n.author;
  r.source = n.source;
  r.comment = n.comment;
  r.image = ImageHash(n.image);
  r.before = n.before.empty() ? "" : ImageHash(n.before);
  p.image = n.image;
  p.stored = Deflate(n.image);
  if (!n.before.empty()) p.storedBefore = Deflate(n.before);
  p.parent = n.parent;

  // The parent it will have, as far as can be told now: a given one is
  // there for good once it is (revisions are never deleted), the head may
  // still move before the transaction.
  const std::optional<Site> site = FindSite(n.site);
  if (!site) throw RegistryError(RegistryFault::NotFound, "there is no site " + n.site);
  std::optional<Revision> parent;
  if (!n.parent) {
    parent = Head(n.site);
  } else if (!n.parent->empty()) {
    parent = FindRevision(*n.parent);
    if (!parent || parent->site != n.site)
      throw RegistryError(RegistryFault::NotFound, "the site " + n.site + " has no revision " +
                                                       n.parent->substr(0, 12));
  }
  p.comparedWith = parent ? parent->id : "";
  if (parent) p.changedKeys = ChangedKeys(*parent, p.image);
  return p;
}

std::vector<std::string> Registry::ChangedKeys(const Revision& parent, const Image& image) {
  std::vector<std::string> keys;
  for (const FieldDifference& f : Compare(ImageByHash(parent.image), image).fields)
    keys.push_back(f.field.Key());
  return keys;
}

Added Registry::AddRevision(const NewRevision& n, const std::function<void(const Added&)>& alongside) {
  return AddPrepared(PrepareRevision(n), alongside);
}

Added Registry::AddPrepared(const PreparedRevision& p, const std::function<void(const Added&)>& alongside) {
  Revision r = p.revision;
  return Guarded([&] {
    DbTransaction t(*db_, SiteKey(r.site));
    // The site and a given parent were there when it was prepared, and
    // neither is ever deleted; the head is read again, in the transaction.
    std::optional<Revision> parent;
    if (!p.parent) parent = Head(r.site);
    r.parent = p.parent ? *p.parent : parent ? parent->id : "";
    r.id = RevisionId(r);
    // Compared with another parent than expected (the head moved meanwhile):
    // compared again.
    const std::vector<std::string> keys =
        r.parent == p.comparedWith ? p.changedKeys
        : r.parent.empty()         ? std::vector<std::string>()
                                   : ChangedKeys(*parent, p.image);

    // In the order of their hashes: two writers that store the same two
    // images (beside each other on a database that lets them) wait for
    // each other in one order, never in a circle.
    const std::string storeImage =
        "INSERT INTO images (hash, bytes) VALUES ($1, $2) ON CONFLICT (hash) DO NOTHING";
    std::vector<std::pair<const std::string*, const Blob*>> images{{&r.image, &p.stored}};
    if (!r.before.empty() && r.before != r.image) images.push_back({&r.before, &p.storedBefore});
    std::sort(images.begin(), images.end(),
              [](const auto& a, const auto& b) { return *a.first < *b.first; });
    for (const auto& [hash, bytes] : images) db_->Execute(storeImage, {*hash, *bytes});
    // A revision's id is its content and parent: one there already is this
    // very revision (a retry), and nothing is added.
    const std::int64_t inserted = db_->Execute(
        "INSERT INTO revisions (id, site, parent, image, before_image, at, author, source,"
        " comment, changed, changed_keys) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11)"
        " ON CONFLICT (id) DO NOTHING",
        {r.id, r.site, r.parent.empty() ? DbValue() : DbValue(r.parent), r.image,
         r.before.empty() ? DbValue() : DbValue(r.before), r.at, r.author,
         std::string(SourceName(r.source)), r.comment,
         r.parent.empty() ? DbValue() : DbValue(static_cast<std::int64_t>(keys.size())), Join(keys)});
    const Added added{r.id, inserted > 0};
    if (added.added && alongside) alongside(added);
    t.Commit();
    return added;
  });
}

std::optional<Revision> Registry::FindRevision(const std::string& id) {
  return FirstRow(*db_, std::string("SELECT ") + kRevisionColumns + " FROM revisions WHERE id = $1", {id},
                  ReadRevision);
}

Revision Registry::ResolveRevision(const std::string& number, const std::string& prefix) {
  std::string lower = prefix;
  for (char& c : lower)
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c + 32);
  if (lower.size() < 4 || lower.size() > 64 || !IsHex(lower))
    Invalid("the revision " + Quoted(prefix) +
            " is not a revision id: 4 to 64 hex digits, as site log shows them");
  return Guarded([&] {
    std::unique_ptr<DbRows> rows =
        db_->Query(std::string("SELECT ") + kRevisionColumns +
                       " FROM revisions WHERE site = $1 AND id LIKE $2 ORDER BY seq LIMIT 2",
                   {number, lower + "%"});
    if (!rows->Next())
      throw RegistryError(RegistryFault::NotFound,
                          "the site " + number + " has no revision " + lower);
    Revision r = ReadRevision(*rows);
    if (rows->Next())
      Invalid("several revisions of the site " + number + " start with " + lower +
              "; give more of the id");
    return r;
  });
}

bool Registry::HasRevisionOf(const std::string& number, const Image& image, const std::string& at) {
  const std::string hash = ImageHash(image);
  return Guarded([&] {
    std::unique_ptr<DbRows> rows = db_->Query(
        "SELECT 1 FROM revisions WHERE site = $1 AND image = $2 AND at = $3", {number, hash, at});
    return rows->Next();
  });
}

std::vector<Revision> Registry::Heads(const std::string& number) {
  return Guarded([&] {
    std::vector<Revision> heads;
    std::unique_ptr<DbRows> rows = db_->Query(
        std::string("SELECT ") + kRevisionColumns +
            " FROM revisions r WHERE site = $1 AND NOT EXISTS"
            " (SELECT 1 FROM revisions c WHERE c.parent = r.id) ORDER BY at DESC, seq DESC",
        {number});
    while (rows->Next()) heads.push_back(ReadRevision(*rows));
    return heads;
  });
}

std::optional<Revision> Registry::Head(const std::string& number) {
  std::vector<Revision> heads = Heads(number);
  if (heads.empty()) return std::nullopt;
  return std::move(heads.front());
}

std::vector<Revision> Registry::Log(const std::string& number, std::size_t limit) {
  return Guarded([&] {
    std::vector<Revision> log;
    // A backend that fetches every row of a statement at once fetches no
    // more than are shown.
    std::unique_ptr<DbRows> rows =
        limit == 0 ? db_->Query(std::string("SELECT ") + kRevisionColumns +
                                    " FROM revisions WHERE site = $1 ORDER BY seq DESC",
                                {number})
                   : db_->Query(std::string("SELECT ") + kRevisionColumns +
                                    " FROM revisions WHERE site = $1 ORDER BY seq DESC LIMIT $2",
                                {number, static_cast<std::int64_t>(limit)});
    while (rows->Next()) log.push_back(ReadRevision(*rows));
    return log;
  });
}

Image Registry::ImageByHash(const std::string& hash) {
  return Guarded([&] {
    std::unique_ptr<DbRows> rows = db_->Query("SELECT bytes FROM images WHERE hash = $1", {hash});
    if (!rows->Next())
      throw RegistryError(RegistryFault::NotFound, "the registry holds no image " + hash.substr(0, 12));
    return Inflate(rows->Bytes(0), hash);
  });
}

Image Registry::RevisionImage(const Revision& revision) { return ImageByHash(revision.image); }

Difference Registry::Diff(const Revision& a, const Revision& b) {
  return Compare(RevisionImage(a), RevisionImage(b));
}

std::vector<FoundSite> Registry::Find(const std::vector<FieldQuery>& conditions) {
  // Each condition as the fields it names and the value each of them
  // shows for the value given.
  struct Wanted {
    FieldRef field;
    std::u16string shown;
  };
  // The image's bytes up to the last one a wanted field reaches, and some
  // beyond it for what a field's load reads around its own bytes.
  std::size_t extent = 0;
  std::vector<std::vector<Wanted>> wanted;
  for (const FieldQuery& q : conditions) {
    if (q.key.empty()) Invalid("a search needs KEY=VALUE, and the key is empty");
    const std::optional<std::u16string> text = FromUtf8(q.value);
    if (!text) Invalid("the value " + Quoted(q.value) + " is not UTF-8 text");
    std::vector<Wanted> fields;
    std::string why;
    bool named = false;
    for (const FieldRef& f : Configuration::AllFields()) {
      const std::string key = f.Key();
      if (!KeyFits(q.key, key)) continue;
      named = true;
      const FieldRow& row = f.Row();
      FieldValue value;
      f.Kind().Init(row, value);
      std::string error;
      if (f.Kind().Parse(row, *text, value, error)) {
        fields.push_back({f, f.Kind().Show(row, value)});
        extent = std::max(extent, FieldExtent(f) + 64);
      }
      else if (why.empty())
        why = key + ": " + error;
    }
    if (!named)
      Invalid("no field has the key " + Quoted(q.key) + " (ostrel-cli keys lists them)");
    if (fields.empty()) Invalid(Quoted(q.value) + " is not allowed for " + why);
    wanted.push_back(std::move(fields));
  }

  return Guarded([&] {
    std::vector<FoundSite> found;
    // Sites whose images are alike are decided once per image.
    std::unordered_map<std::string, std::vector<std::string>> decided;
    const auto decide = [&](const std::string& hash, const Blob& bytes) {
      auto it = decided.find(hash);
      if (it != decided.end()) return it;
      Image image;
      if (!InflatePrefix(bytes, extent, image)) image = Inflate(bytes, hash);
      std::vector<std::string> matched;
      bool all = true;
      for (const std::vector<Wanted>& fields : wanted) {
        bool any = false;
        for (const Wanted& w : fields) {
          const FieldRow& row = w.field.Row();
          FieldValue value;
          w.field.Kind().Init(row, value);
          w.field.Kind().Load(row, kPages[w.field.page].member, image.data(), value);
          if (w.field.Kind().Show(row, value) == w.shown) {
            any = true;
            matched.push_back(w.field.Key());
          }
        }
        all = all && any;
      }
      if (!all) matched.clear();
      return decided.emplace(hash, std::move(matched)).first;
    };
    // Every head of every site in one pass, in no order (an order would
    // sort the images too); a diverged site's newest head is the one that
    // counts.
    struct Best {
      std::string at;
      std::int64_t seq = 0;
      std::size_t index = 0;  // into `found`
      bool matched = false;
    };
    std::map<std::string, Best> best;
    std::vector<FoundSite> candidates;
    std::unique_ptr<DbRows> rows = db_->Query(
        std::string("SELECT s.number, s.customer, s.address, s.sim, s.phone, s.notes, s.added,"
                    " s.archived, r.id, r.image, i.bytes, r.at, r.seq FROM sites s"
                    " JOIN revisions r ON r.site = s.number JOIN images i ON i.hash = r.image"
                    " WHERE s.archived = 0 AND NOT EXISTS"
                    " (SELECT 1 FROM revisions c WHERE c.parent = r.id)"));
    while (rows->Next()) {
      std::string number = rows->Text(0);
      const std::string at = rows->Text(11);
      const std::int64_t seq = rows->Int(12);
      auto [place, first] = best.try_emplace(number);
      if (!first && std::tie(at, seq) < std::tie(place->second.at, place->second.seq)) continue;
      place->second.at = at;
      place->second.seq = seq;
      const auto it = decide(rows->Text(9), rows->Bytes(10));
      place->second.matched = !it->second.empty();
      if (!place->second.matched) continue;
      place->second.index = candidates.size();
      candidates.push_back({ReadSite(*rows), rows->Text(8), it->second});
    }
    rows.reset();
    for (const auto& [number, b] : best)
      if (b.matched) found.push_back(std::move(candidates[b.index]));
    return found;
  });
}

std::string Registry::ExportHistory(const std::string& number) {
  CheckSiteNumber(number);
  return Guarded([&] {
    DbTransaction t(*db_, false);
    const std::optional<Site> site = FindSite(number);
    if (!site) throw RegistryError(RegistryFault::NotFound, "there is no site " + number);
    Json out;
    out["format"] = "ostrel-site-history";
    out["version"] = 1;
    out["site"] = SiteAsJson(*site);
    Json revisions = Json::array();
    Json images = Json::object();
    std::vector<Revision> log = Log(number);
    std::reverse(log.begin(), log.end());
    const auto addImage = [&](const std::string& hash) {
      if (hash.empty() || images.contains(hash)) return;
      images[hash] = EncodeBase64(ImageByHash(hash));
    };
    for (const Revision& r : log) {
      Json j = RevisionAsJson(r);
      j["image"] = r.image;
      j["before"] = r.before.empty() ? Json() : Json(r.before);
      j["changed"] = r.changed < 0 ? Json() : Json(r.changedKeys);
      revisions.push_back(std::move(j));
      addImage(r.image);
      addImage(r.before);
    }
    out["revisions"] = std::move(revisions);
    out["images"] = std::move(images);
    t.Commit();
    return out.dump(2) + "\n";
  });
}

std::vector<std::string> Registry::Check() {
  return Guarded([&] {
    std::vector<std::string> problems = db_->IntegrityCheck();
    if (!problems.empty()) return problems;
    DbTransaction t(*db_, false);
    {
      std::unique_ptr<DbRows> rows = db_->Query("SELECT hash, bytes FROM images");
      while (rows->Next()) {
        const std::string hash = rows->Text(0);
        try {
          if (ImageHash(Inflate(rows->Bytes(1), hash)) != hash)
            problems.push_back("the image " + hash.substr(0, 12) + " does not match its hash");
        } catch (const RegistryError& e) {
          problems.push_back(e.what());
        }
      }
    }
    std::unique_ptr<DbRows> rows = db_->Query(std::string("SELECT ") + kRevisionColumns +
                                              " FROM revisions ORDER BY seq");
    while (rows->Next()) {
      const Revision r = ReadRevision(*rows);
      if (RevisionId(r) != r.id)
        problems.push_back("the revision " + r.id.substr(0, 12) + " of the site " + r.site +
                           " does not match its id");
    }
    rows.reset();
    t.Commit();
    return problems;
  });
}

void Registry::Backup(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  // Made beside the target and then put in its place: an existing backup
  // stays whole until the new one is complete.
  fs::path partial = target;
  partial += ".partial-" + std::to_string(::getpid());
  std::error_code ignored;
  fs::remove(partial, ignored);
  try {
    Guarded([&] {
      db_->BackupTo(partial.string());
    });
    std::error_code error;
    fs::rename(partial, target, error);
    if (error)
      throw RegistryError(RegistryFault::Storage, "the backup cannot be put in place: " + error.message());
  } catch (...) {
    fs::remove(partial, ignored);
    throw;
  }
}
