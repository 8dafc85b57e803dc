// The sites registry: every alarm the company looks after (a site), and the
// whole history of its configuration (revisions), in one database.
//
// The history is append-only: a revision is never changed or deleted, and
// the database itself refuses to. A revision's id is the hash of its
// content and its parent, so adding the same revision twice adds nothing:
// a retry, or a second import of the same folder, is safe. Images are kept
// once however many revisions hold them.
//
// A site's heads are its revisions that no revision names as parent; one
// head is the usual case, two mean the history has diverged (the same
// revision changed on two machines). The head is the newest of them.
//
// Every method throws RegistryError; a method that fails changes nothing.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "app/Compare.h"
#include "sites/Database.h"

enum class RegistryFault {
  Invalid,       // a value given is not allowed (the message says what is)
  NotFound,      // no such site or revision
  Exists,        // a site of that number is there already
  NotARegistry,  // the store holds something else
  Newer,         // the registry is of a newer schema than this program's
  Damaged,       // the store is damaged
  Storage,       // the store cannot be read or written (read-only, full, busy)
};

class RegistryError : public FaultError<RegistryFault> {
 public:
  using FaultError::FaultError;
};

// The version of the schema this program makes and reads; older registries
// are migrated forward when opened, newer ones are refused.
int RegistrySchemaVersion();

struct Site {
  std::string number{};  // the company's own, unique ("0417")
  std::string customer{};
  std::string address{};
  std::string sim{};    // the alarm's SIM number
  std::string phone{};  // the contact phone
  std::string notes{};
  std::string added{};  // UTC, "2026-12-09T22:50:00.000Z"
  bool archived = false;
};

// What `EditSite` changes: the fields that are set.
struct SiteChanges {
  std::optional<std::string> customer{};
  std::optional<std::string> address{};
  std::optional<std::string> sim{};
  std::optional<std::string> phone{};
  std::optional<std::string> notes{};
};

// Where a revision came from.
enum class RevisionSource { Read, Write, File, Edit, Import };
// "read", "write", "file", "edit", "import".
const char* SourceName(RevisionSource source);
std::optional<RevisionSource> SourceNamed(std::string_view name);

struct Revision {
  std::string id;      // 64 hex digits
  std::string site;
  std::string parent;  // empty for a site's first revision
  std::string at;      // UTC, "2026-12-09T22:50:00.000Z"
  std::string author;
  RevisionSource source = RevisionSource::Edit;
  std::string comment;
  std::string image;   // the hash of the image (64 hex digits)
  std::string before;  // a write's: the hash of the image read just before it; else empty
  // The fields that differ from the parent's image, by key; `changed` is
  // their number, -1 for a first revision.
  int changed = -1;
  std::vector<std::string> changedKeys;
};

struct NewRevision {
  std::string site{};
  Image image{};
  RevisionSource source = RevisionSource::Edit;
  std::string author{};
  std::string comment{};
  // UTC as in Revision::at; empty: now.
  std::string at{};
  // The parent's id; unset: the site's head at the time it is added (none
  // for a site without revisions); "" for a first revision.
  std::optional<std::string> parent{};
  // A write's: the image the alarm held just before it; else empty.
  Image before{};
};

// A revision made ready to be added: checked, its images hashed and
// compressed, and compared with the parent it is expected to have. None of
// it needs a transaction; done first, it keeps a writer's turn (or a batch
// of writes) for the writes alone.
struct PreparedRevision {
  Revision revision{};  // without its id and parent
  Image image{};
  Blob stored{}, storedBefore{};  // the images as the registry keeps them
  std::optional<std::string> parent{};  // as NewRevision::parent
  std::string comparedWith{};            // the parent compared with ("" none)
  std::vector<std::string> changedKeys{};
};

struct Added {
  std::string id;
  bool added = false;  // false: that revision was there already
};

// One condition of a search: a field key as the command-line tool names it
// ("phone3.number", "*" standing for any run of characters, as in
// "phone*.number") and a value as a person writes it ("yes", "+7999...").
struct FieldQuery {
  std::string key;
  std::string value;
};
// Whether `key` fits `pattern`, in which '*' stands for any run of
// characters.
bool KeyFits(std::string_view pattern, std::string_view key);

// A site as JSON, every text of it; and a revision's heading: id, parent
// (null for a first revision), time, author, source and comment. The
// registry's export and the command-line tool's listings write them so.
nlohmann::ordered_json SiteAsJson(const Site& site);
nlohmann::ordered_json RevisionAsJson(const Revision& revision);
struct FoundSite {
  Site site;
  std::string revision;            // the head that matched
  std::vector<std::string> fields;  // the keys whose value matched
};

class Registry {
 public:
  // Takes the store, recognises it (refusing one of a newer schema and one
  // that is no registry, before anything is written) and makes or
  // migrates its schema.
  explicit Registry(std::unique_ptr<Database> db);
  ~Registry();

  // The registry in the SQLite file `path` (UTF-8); made when `create` and
  // it does not exist.
  static std::unique_ptr<Registry> OpenSqlite(const std::string& path, bool create);

  Database& database() { return *db_; }

  // Sites.
  void AddSite(const Site& site);  // `added` empty: now
  void EditSite(const std::string& number, const SiteChanges& changes);
  void ArchiveSite(const std::string& number, bool archived = true);
  std::optional<Site> FindSite(const std::string& number);
  // Sites in the order of their numbers whose number, customer, address,
  // SIM or phone holds `text` (any case; every site when empty); archived
  // ones only when `archived`.
  std::vector<Site> ListSites(const std::string& text = "", bool archived = false);

  // Revisions. `alongside` runs in the revision's own transaction when it
  // is added (not when it was there already), so that what it writes (an
  // audit entry) is committed with the revision or not at all; a throw
  // from it adds nothing.
  Added AddRevision(const NewRevision& revision,
                    const std::function<void(const Added&)>& alongside = {});
  // The same in two steps: the checks, hashes, compression and comparison
  // first (reads, no transaction), then the writes. A failing step
  // changes nothing.
  PreparedRevision PrepareRevision(const NewRevision& revision);
  Added AddPrepared(const PreparedRevision& revision,
                    const std::function<void(const Added&)>& alongside = {});
  std::optional<Revision> FindRevision(const std::string& id);
  // The revision of site `number` whose id starts with `prefix` (at least
  // 4 hex digits); NotFound, or Invalid when several start so.
  Revision ResolveRevision(const std::string& number, const std::string& prefix);
  // Whether the site has a revision of `image` at the time `at`.
  bool HasRevisionOf(const std::string& number, const Image& image, const std::string& at);
  // The newest first; ties by the order they were added.
  std::vector<Revision> Heads(const std::string& number);
  std::optional<Revision> Head(const std::string& number);
  // Every revision of the site, the last added first; at most `limit`
  // (0: all).
  std::vector<Revision> Log(const std::string& number, std::size_t limit = 0);
  // The image of a revision, or by its hash.
  Image RevisionImage(const Revision& revision);
  Image ImageByHash(const std::string& hash);
  // The fields that differ between two revisions, through the
  // configuration model.
  Difference Diff(const Revision& a, const Revision& b);

  // The sites (archived ones left out) with a head that meets every
  // condition; Invalid for a key no field has or a value no such field
  // takes.
  std::vector<FoundSite> Find(const std::vector<FieldQuery>& conditions);

  // The site's whole history as JSON: the site, every revision in the
  // order added with its image (base64, each image once).
  std::string ExportHistory(const std::string& number);

  // The backend's integrity check and a check of the registry's own rules
  // (every revision's id matches its content, every image its hash); one
  // line per problem, empty when sound.
  std::vector<std::string> Check();
  // A consistent copy of the registry, made while it is in use, to the
  // file `path` (which is then replaced as a whole).
  void Backup(const std::string& path);

  // The id a revision has: the hash of its content and parent.
  static std::string RevisionId(const Revision& revision);

 private:
  void Open();
  // The keys of the fields in which `image` differs from the parent's.
  std::vector<std::string> ChangedKeys(const Revision& parent, const Image& image);
  std::unique_ptr<Database> db_;
};

// How far into the image a field's bytes reach (the end of the last byte
// it owns), found by storing it into an image of all 0x00 and one of all
// 0xFF (a bit set shows in the first, a bit cleared in the second). A
// search decodes each image no further than its fields reach.
std::size_t FieldExtent(const FieldRef& field);

// Checks of what users give; each throws RegistryError(Invalid) with a
// message naming the value and what is allowed.
void CheckSiteNumber(const std::string& number);
void CheckSite(const Site& site);
// A time, UTC, as the registry writes it: "2026-12-09T22:50:00.000Z".
std::string UtcTime(std::chrono::system_clock::time_point time);
std::string UtcNow();
