#include "cli/SiteCommands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "app/ConfigFile.h"
#include "app/Record.h"
#include "cli/Operations.h"
#include "cli/OfficeClient.h"
#include "cli/SiteStore.h"
#include "config/ImageMap.h"
#include "config/Utf8.h"
#include "sites/Base64.h"
#include "sites/Registry.h"


namespace {

namespace fs = std::filesystem;

// File names are bytes, taken as UTF-8 (the site commands are built for
// Linux alone).
fs::path FsPath(const std::string& path) { return fs::path(path); }
std::string Utf8Path(const fs::path& path) { return path.string(); }

// The registry's faults as the program's exit statuses: what the user gave
// (2), or the registry's storage (3).
CliFailure Failed(const RegistryError& e, const std::string& registry) {
  switch (e.fault()) {
    case RegistryFault::Invalid:
    case RegistryFault::NotFound:
    case RegistryFault::Exists:
      return {ExitInvalid, e.what()};
    case RegistryFault::NotARegistry:
    case RegistryFault::Newer:
      return {ExitInvalid, Printable(registry, std::string::npos) + ": " + e.what()};
    case RegistryFault::Damaged:
    case RegistryFault::Storage:
      break;
  }
  return {ExitDevice, Printable(registry, std::string::npos) + ": " + e.what()};
}

// A file's time of last change, UTC, as the registry writes times.
std::string FileTimeUtc(const fs::path& path) {
  std::error_code error;
  const auto time = fs::last_write_time(path, error);
  if (error) return UtcNow();
  return UtcTime(std::chrono::time_point_cast<std::chrono::system_clock::duration>(
      std::chrono::file_clock::to_sys(time)));
}

std::string Short(const std::string& id) { return id.substr(0, 12); }

// A revision as the log lists it.
Json LogEntryJson(const Revision& r, bool head) {
  Json j = RevisionAsJson(r);
  j["changed"] = r.changed < 0 ? Json() : Json(r.changedKeys);
  j["head"] = head;
  return j;
}

// One CSV line of a mapping file: fields split at commas, a field in
// double quotes may hold commas and "" for a quote.
std::vector<std::string> CsvFields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c != '\r') {
      fields.back() += c;
    }
  }
  for (std::string& f : fields) {
    const std::size_t begin = f.find_first_not_of(' ');
    const std::size_t end = f.find_last_not_of(' ');
    f = begin == std::string::npos ? "" : f.substr(begin, end - begin + 1);
  }
  return fields;
}

}  // namespace

struct SiteCommands::State {
  explicit State(CliEnvironment& e) : env(e) {}
  CliEnvironment& env;

  // The program's options.
  std::string registry, server;
  // Of the command that runs.
  bool json = false;
  std::string number, text, rev1, rev2, file, output, map, page;
  std::vector<std::string> conditions;
  std::string customer, address, sim, phone, notes;
  CLI::Option *customerOption = nullptr, *addressOption = nullptr, *simOption = nullptr,
              *phoneOption = nullptr, *notesOption = nullptr;
  bool archived = false, undo = false, numbersOnly = false, showPassword = false;
  std::size_t limit = 0;
  std::string installer;
  // Of a command that records revisions.
  std::string site, author, comment;
  // Of login.
  std::string name, passwordFile, trust;

  CLI::App *add = nullptr, *edit = nullptr, *archive = nullptr, *list = nullptr, *show = nullptr,
           *log = nullptr, *diff = nullptr, *get = nullptr, *put = nullptr, *report = nullptr,
           *exportHistory = nullptr, *import = nullptr, *backup = nullptr, *check = nullptr,
           *find = nullptr, *sync = nullptr, *login = nullptr, *logout = nullptr;
  std::unique_ptr<Registry> open;
  std::unique_ptr<SiteStore> store;
  std::unique_ptr<OfficeClient> office;

  // The registry's file: --registry, OSTREL_REGISTRY, or the user's data
  // folder.
  std::string Path() const {
    if (!registry.empty()) return registry;
    if (auto v = env.variable("OSTREL_REGISTRY"); v && !v->empty()) return *v;
    if (auto v = env.variable("XDG_DATA_HOME"); v && !v->empty() && (*v)[0] == '/')
      return *v + "/ostrel/sites.db";
    const std::string home = env.variable("HOME").value_or("");
    return (home.empty() ? std::string(".") : home) + "/.local/share/ostrel/sites.db";
  }

  // The registry, opened once. `create`: made where there is none (with
  // its folder); otherwise a missing registry is an error that says how
  // to make one.
  Registry& Open(bool create) {
    if (open) return *open;
    const std::string path = Path();
    const fs::path file = FsPath(path);
    std::error_code error;
    const bool exists = fs::exists(file, error);
    if (!exists && !create)
      throw CliFailure{ExitInvalid, "there is no sites registry at " + Printable(path, std::string::npos) +
                                        " yet: \"ostrel-cli site add\" or \"ostrel-cli site import\" "
                                        "makes it (--registry FILE or OSTREL_REGISTRY name another)"};
    if (!exists && file.has_parent_path() && !fs::exists(file.parent_path(), error)) {
      // A folder of its own that others cannot look into, as the file.
      fs::create_directories(file.parent_path(), error);
      fs::permissions(file.parent_path(), fs::perms::owner_all, error);
    }
    try {
      open = Registry::OpenSqlite(path, create);
    } catch (const RegistryError& e) {
      throw Failed(e, path);
    }
    return *open;
  }

  // The office: --server, else OSTREL_SERVER; empty: the local registry.
  std::string ServerUrl() const {
    if (!server.empty()) return server;
    return env.variable("OSTREL_SERVER").value_or("");
  }

  OfficeClient& Office() {
    const std::string url = ServerUrl();
    if (url.empty())
      throw CliFailure{ExitInvalid, "which office? --server https://HOST:PORT or OSTREL_SERVER names it"};
    if (!office) office = std::make_unique<OfficeClient>(url, env);
    return *office;
  }

  // Where the sites are: the office when one is named, else the local
  // registry (made where there is none when `create`).
  SiteStore& Store(bool create) {
    if (store) return *store;
    if (!ServerUrl().empty()) {
      store = MakeOfficeSites(Office());
    } else {
      store = std::make_unique<LocalSites>(Open(create));
    }
    return *store;
  }

  // A command that works on this machine's registry file alone.
  void LocalOnly(const char* command, const char* instead) const {
    if (!ServerUrl().empty())
      throw CliFailure{ExitInvalid, std::string("site ") + command +
                                        " works on this machine's registry, not at the office (--server "
                                        "or OSTREL_SERVER): " + instead};
  }

  // The office records the operator logged in as a revision's author: an
  // operator does not record under another name (the audit log and the
  // history would disagree), and the author is not put in the comment
  // either, which would say the same without being checked.
  void NoAuthorAtOffice() const {
    if (!ServerUrl().empty() && !author.empty())
      throw CliFailure{ExitInvalid, "--author: the office records the operator logged in as the revision's "
                                    "author; --author names the author in this machine's registry alone "
                                    "(leave it out, or log in as that operator)"};
  }

  std::string Author() const {
    if (!author.empty()) return author;
    for (const char* name : {"USER", "LOGNAME"})
      if (auto v = env.variable(name); v && !v->empty()) return *v;
    return "unknown";
  }

  Site SiteOrFail(SiteStore& r, const std::string& n) {
    CheckSiteNumber(n);
    std::optional<Site> s = r.FindSite(n);
    if (!s) throw CliFailure{ExitInvalid, "there is no site " + n + " (ostrel-cli site list lists them)"};
    return *s;
  }

  Revision HeadOrFail(SiteStore& r, const std::string& n) {
    SiteOrFail(r, n);
    const std::vector<Revision> heads = r.Heads(n);
    const std::optional<Revision> head =
        heads.empty() ? std::nullopt : std::optional<Revision>(heads.front());
    if (!head)
      throw CliFailure{ExitInvalid, "the site " + n + " has no revision yet (site put, read --site "
                                                      "or site import records one)"};
    return *head;
  }

  // REV of a command, or the head.
  Revision RevisionOrHead(SiteStore& r, const std::string& n, const std::string& rev) {
    if (rev.empty()) return HeadOrFail(r, n);
    SiteOrFail(r, n);
    return r.ResolveRevision(n, rev);
  }

  void Print(const Json& j) { env.out << j.dump(2) << '\n'; }

  // The end of a command that changed the site: the site as it is now in
  // JSON, else what was done ("added the site 0417").
  int Changed(SiteStore& r, const char* done) {
    if (json)
      Print(SiteAsJson(*r.FindSite(number)));
    else
      env.out << done << number << '\n';
    return ExitDone;
  }

  int Add();
  int Edit();
  int Archive();
  int List();
  int Show();
  int Log();
  int Diff();
  int Get();
  int Put();
  int Report();
  int Export();
  int Import();
  int Backup();
  int Check();
  int Find();
  int Sync();
  int Login();
  int Logout();
  std::string Record(NewRevision n, const char* what, bool emulated);
};

SiteCommands::SiteCommands(CLI::App& app, CliEnvironment& env)
    : s_(std::make_unique<State>(env)) {
  State& s = *s_;
  app.add_option("--registry", s.registry,
                 "the sites registry (default: $OSTREL_REGISTRY, else "
                 "$XDG_DATA_HOME/ostrel/sites.db, else ~/.local/share/ostrel/sites.db)");
  app.add_option("--server", s.server,
                 "the office (ostrel-server) that the site commands and find go to instead of the "
                 "registry: https://HOST:PORT (default: $OSTREL_SERVER)");
  auto json = [&](CLI::App* c) { c->add_flag("--json", s.json, "print JSON"); };
  auto number = [&](CLI::App* c) {
    c->add_option("NUMBER", s.number, "the site's number")->required();
  };
  auto texts = [&](CLI::App* c) {
    s.customerOption = c->add_option("--customer", s.customer, "the customer's name");
    s.addressOption = c->add_option("--address", s.address, "the site's address");
    s.simOption = c->add_option("--sim", s.sim, "the alarm's SIM number");
    s.phoneOption = c->add_option("--phone", s.phone, "the contact phone");
    s.notesOption = c->add_option("--notes", s.notes, "notes");
  };

  CLI::App* site = app.add_subcommand(
      "site", "the sites registry: every alarm looked after, with its whole history");
  site->require_subcommand(1);
  // --registry may come after the command too.
  site->fallthrough();
  site->footer(
      "A site is an alarm the company looks after, by its number (\"0417\": 1 to 16 letters, "
      "digits and dashes). Each configuration recorded for it (read from or written to the "
      "alarm, put from a file, imported) is a revision; revisions are never changed or "
      "deleted. REV is a revision id as site log shows it (at least 4 of its hex digits); "
      "without it the site's head (its newest revision). Exit status: 0 done; 1 the revisions "
      "differ (site diff); 2 bad usage, invalid input or no such site or revision; 3 the "
      "registry cannot be read or written (read-only or full disk, busy, damaged), or the "
      "office refused (an operator without the right); 4 the office cannot be reached or its "
      "certificate is not the one trusted; 5 not logged in at the office, or the session has "
      "ended.\n\n"
      "With --server URL (or OSTREL_SERVER) every site command but import, backup and check "
      "goes to the office instead of the registry, after \"ostrel-cli --server URL login "
      "NAME\", and prints the same; site sync sends a site's revisions from the registry to "
      "the office and takes those it lacks. A viewer at the office sees site show and site "
      "report with the alarm's password masked, and gets no file from site get (without the "
      "password, a file written to the alarm would delete the alarm's password).");

  s.add = site->add_subcommand("add", "add a site");
  number(s.add);
  texts(s.add);
  json(s.add);

  s.edit = site->add_subcommand("edit", "change a site's customer, address, SIM, phone or notes");
  number(s.edit);
  texts(s.edit);
  json(s.edit);

  s.archive = site->add_subcommand(
      "archive", "archive a site: it stays with its history, left out of lists and searches");
  number(s.archive);
  s.archive->add_flag("--undo", s.undo, "bring an archived site back");
  json(s.archive);

  s.list = site->add_subcommand(
      "list", "list the sites whose number, customer, address, SIM or phone holds TEXT");
  s.list->add_option("TEXT", s.text, "the text to look for (any case); every site without it");
  s.list->add_flag("--archived", s.archived, "archived sites too");
  s.list->add_flag("--numbers", s.numbersOnly, "print only the numbers, one a line");
  json(s.list);

  s.show = site->add_subcommand("show", "print a revision (the head) page by page, as show does");
  number(s.show);
  s.show->add_option("REV", s.rev1, "a revision; the head without it");
  s.show->add_option("--page", s.page, "only this page: its number (1-23) or key (phone3)");
  json(s.show);

  s.log = site->add_subcommand(
      "log", "list a site's revisions, the last first, with the fields each one changed");
  number(s.log);
  s.log->add_option("-n,--limit", s.limit, "at most this many");
  json(s.log);

  s.diff = site->add_subcommand(
      "diff", "compare two revisions field by field; exit status 1 when they differ");
  number(s.diff);
  s.diff->add_option("REV", s.rev1, "the first revision (default: the head's parent)");
  s.diff->add_option("REV2", s.rev2, "the second revision (default: the head)");
  json(s.diff);

  s.get = site->add_subcommand("get", "write a revision (the head) as a configuration file");
  number(s.get);
  s.get->add_option("REV", s.rev1, "a revision; the head without it");
  s.get->add_option("-o,--output", s.output, "the configuration file to write")->required();
  json(s.get);

  s.put = site->add_subcommand("put", "record a configuration file as the site's new revision");
  number(s.put);
  s.put->add_option("FILE", s.file, "the configuration file")->required();
  s.put->add_option("-m,--message", s.comment, "a comment");
  s.put->add_option("--author", s.author,
                    "who records it (default: the login name; at the office always the operator logged in)");
  json(s.put);

  s.report = site->add_subcommand(
      "report", "write the customer's printable record of a revision (HTML, A4)");
  number(s.report);
  s.report->add_option("REV", s.rev1, "a revision; the head without it");
  s.report->add_option("-o,--output", s.output, "the HTML file (- for standard output)")
      ->required();
  s.report->add_option("--installer", s.installer, "the installer's name (else the revision's author)");
  s.report->add_flag("--show-password", s.showPassword,
                     "print the password's digits (by default they are masked)");
  json(s.report);

  s.exportHistory = site->add_subcommand("export", "write a site's whole history as JSON");
  number(s.exportHistory);
  s.exportHistory->add_option("-o,--output", s.output, "the JSON file (default, or -: standard output)");

  s.import = site->add_subcommand(
      "import", "take a folder of .osr files into the registry, one site per file");
  s.import->add_option("FOLDER", s.file, "the folder")->required();
  s.import->add_option("--map", s.map,
                       "a CSV file of lines number,file,customer,address naming each file's site "
                       "(without it, the site number is the file's name without .osr, or the "
                       "part of it before the first space)");
  s.import->add_option("--author", s.author, "who records it (default: the login name)");
  s.import->footer(
      "Each file's revision keeps the file's date as its time. A file whose configuration "
      "the site already has from that date is left out, so the import can be run again "
      "without adding anything twice. Files that cannot be taken are listed with the reason; "
      "the exit status is then 2.");
  json(s.import);

  s.backup = site->add_subcommand(
      "backup", "copy the registry to a file while it is in use (the copy replaces FILE whole)");
  s.backup->add_option("-o,--output", s.output, "the copy")->required();
  json(s.backup);

  s.check = site->add_subcommand(
      "check", "check the registry: the database's integrity and every revision's id and image");
  json(s.check);

  s.sync = site->add_subcommand(
      "sync", "send the registry's revisions of a site that the office lacks, and take the "
              "office's revisions that the registry lacks (with --server or OSTREL_SERVER)");
  number(s.sync);
  json(s.sync);
  s.sync->footer(
      "Revisions are never changed: a revision is sent or taken whole, with its time, author "
      "and parent, and has the same id on both sides, so a sync run again adds nothing. A "
      "site changed both here and at the office since the last sync has two heads afterwards "
      "(site log shows them).");

  s.login = app.add_subcommand(
      "login", "log in at the office (--server URL or OSTREL_SERVER) for the site commands");
  s.login->add_option("NAME", s.name, "the operator's name")->required();
  s.login->add_option("--password-file", s.passwordFile,
                      "read the password from the first line of this file (else it is asked on "
                      "the terminal)");
  s.login->add_option("--trust", s.trust,
                      "trust the office's certificate if its SHA-256 fingerprint is this one (else "
                      "a certificate not seen before is shown and trusted on \"y\")");
  s.login->footer(
      "The office's certificate is trusted on the first login and checked on every connection "
      "after it: a changed certificate is refused, with both fingerprints. The certificate's "
      "fingerprint and the session are kept in $XDG_CONFIG_HOME/ostrel/offices/ (else "
      "~/.config/ostrel/offices/), the session's token readable by its owner alone.");
  s.login->fallthrough();
  s.logout = app.add_subcommand("logout", "end the session at the office, there and here");
  s.logout->fallthrough();

  s.find = app.add_subcommand(
      "find", "list the sites whose head has every field KEY of the value VALUE");
  s.find->add_option("CONDITIONS", s.conditions,
                     "KEY=VALUE, keys as keys lists them with * for any run of characters "
                     "(phone*.number=+79990001122, input2.change_only=yes)")
      ->required();
  s.find->fallthrough();
  json(s.find);
}

SiteCommands::~SiteCommands() = default;

void SiteCommands::AddRecordingOptions(CLI::App* command) {
  command->add_option("--site", s_->site, "record it as a revision of this site in the registry");
  command->add_option("--author", s_->author,
                      "who records it (default: the login name; at the office always the operator logged in)");
  command->add_option("-m,--message", s_->comment, "a comment for the revision");
}

bool SiteCommands::Recording() const { return !s_->site.empty(); }

std::optional<int> SiteCommands::Run() {
  State& s = *s_;
  try {
    if (s.add->parsed()) return s.Add();
    if (s.edit->parsed()) return s.Edit();
    if (s.archive->parsed()) return s.Archive();
    if (s.list->parsed()) return s.List();
    if (s.show->parsed()) return s.Show();
    if (s.log->parsed()) return s.Log();
    if (s.diff->parsed()) return s.Diff();
    if (s.get->parsed()) return s.Get();
    if (s.put->parsed()) return s.Put();
    if (s.report->parsed()) return s.Report();
    if (s.exportHistory->parsed()) return s.Export();
    if (s.import->parsed()) return s.Import();
    if (s.backup->parsed()) return s.Backup();
    if (s.check->parsed()) return s.Check();
    if (s.find->parsed()) return s.Find();
    if (s.sync->parsed()) return s.Sync();
    if (s.login->parsed()) return s.Login();
    if (s.logout->parsed()) return s.Logout();
  } catch (const RegistryError& e) {
    throw Failed(e, s.Path());
  }
  return std::nullopt;
}

void SiteCommands::Prepare() {
  State& s = *s_;
  s.NoAuthorAtOffice();
  try {
    s.SiteOrFail(s.Store(false), s.site);
  } catch (const RegistryError& e) {
    throw Failed(e, s.Path());
  }
}

Image SiteCommands::HeadImage() {
  State& s = *s_;
  try {
    SiteStore& r = s.Store(false);
    return r.RevisionImage(s.HeadOrFail(r, s.site));
  } catch (const RegistryError& e) {
    throw Failed(e, s.Path());
  }
}

std::string SiteCommands::State::Record(NewRevision n, const char* what, bool emulated) {
  try {
    SiteStore& r = Store(false);
    SiteOrFail(r, n.site);
    n.author = Author();
    n.comment = comment;
    const Added added = r.AddRevision(n);
    return std::string("site ") + n.site + ": " + (added.added ? "recorded " : "had already ") +
           what + (emulated ? " (emulated)" : "") + " as revision " + Short(added.id);
  } catch (const RegistryError& e) {
    throw Failed(e, Path());
  }
}

std::string SiteCommands::RecordRead(const Image& image, bool emulated) {
  return s_->Record({.site = s_->site, .image = image, .source = RevisionSource::Read},
                    "what was read", emulated);
}

std::string SiteCommands::RecordWrite(const Image& before, const Image& written, bool emulated) {
  State& s = *s_;
  std::string lines;
  try {
    SiteStore& r = s.Store(false);
    // An alarm that held something else than the head was changed outside
    // the registry: what it held is recorded first, so that the log shows
    // it and what the write changed.
    const std::vector<Revision> heads = r.Heads(s.site);
    if (heads.empty() || r.RevisionImage(heads.front()) != before) {
      const std::string saved = s.comment;
      s.comment = "read before a write";
      lines = s.Record({.site = s.site, .image = before, .source = RevisionSource::Read},
                       "what the alarm held before", emulated) +
              "\n";
      s.comment = saved;
    }
  } catch (const RegistryError& e) {
    throw Failed(e, s.Path());
  }
  return lines + s.Record({.site = s.site, .image = written, .source = RevisionSource::Write,
                           .before = before},
                          "what was written", emulated);
}

int SiteCommands::State::Add() {
  Site site{.number = number, .customer = customer, .address = address, .sim = sim, .phone = phone,
            .notes = notes};
  CheckSite(site);  // before the registry is made
  SiteStore& r = Store(true);
  r.AddSite(site);
  return Changed(r, "added the site ");
}

int SiteCommands::State::Edit() {
  SiteStore& r = Store(false);
  SiteChanges changes;
  if (customerOption->count()) changes.customer = customer;
  if (addressOption->count()) changes.address = address;
  if (simOption->count()) changes.sim = sim;
  if (phoneOption->count()) changes.phone = phone;
  if (notesOption->count()) changes.notes = notes;
  r.EditSite(number, changes);
  return Changed(r, "changed the site ");
}

int SiteCommands::State::Archive() {
  SiteStore& r = Store(false);
  r.ArchiveSite(number, !undo);
  return Changed(r, undo ? "brought back the site " : "archived the site ");
}

int SiteCommands::State::List() {
  SiteStore& r = Store(false);
  const std::vector<Site> sites = r.ListSites(text, archived);
  if (json) {
    Json out = Json::array();
    for (const Site& site : sites) out.push_back(SiteAsJson(site));
    Print(out);
    return ExitDone;
  }
  for (const Site& site : sites) {
    if (numbersOnly) {
      env.out << site.number << '\n';
      continue;
    }
    env.out << site.number << " | " << site.customer << " | " << site.address << " | "
            << site.sim << " | " << site.phone << (site.archived ? " | archived" : "") << '\n';
  }
  return ExitDone;
}

int SiteCommands::State::Show() {
  SiteStore& r = Store(false);
  const Revision rev = RevisionOrHead(r, number, rev1);
  int p = -1;
  if (!page.empty()) {
    p = FindPage(page);
    if (p < 0)
      throw CliFailure{ExitInvalid, "--page " + page + ": no such page (1-23 or a page key; "
                                                       "ostrel-cli keys lists them)"};
  }
  const RevisionView view = r.ViewRevision(rev);
  if (json) {
    Print(ShowJson(view.image, p, view.secretShown));
  } else {
    env.out << "site " << number << ", revision " << Short(rev.id) << " of " << ShownUtcTime(rev.at)
            << " UTC\n";
    if (const std::size_t heads = r.Heads(number).size(); heads > 1 && rev1.empty())
      env.out << "the site has diverged: " << heads << " heads (site log lists them); this is "
                 "the newest\n";
    RenderShow(view.image, p, env.out, view.secretShown);
  }
  return ExitDone;
}

int SiteCommands::State::Log() {
  SiteStore& r = Store(false);
  SiteOrFail(r, number);
  const std::vector<Revision> heads = r.Heads(number);
  const std::vector<Revision> log = r.Log(number, limit);
  auto isHead = [&](const Revision& rev) {
    return std::any_of(heads.begin(), heads.end(), [&](const Revision& h) { return h.id == rev.id; });
  };
  if (json) {
    Json out = Json::array();
    for (const Revision& rev : log) out.push_back(LogEntryJson(rev, isHead(rev)));
    Print(out);
    return ExitDone;
  }
  if (heads.size() > 1) {
    env.out << "the site " << number << " has diverged: " << heads.size() << " heads,";
    for (const Revision& h : heads) env.out << ' ' << Short(h.id);
    env.out << '\n';
  }
  for (const Revision& rev : log) {
    env.out << Short(rev.id) << "  " << ShownUtcTime(rev.at) << "  " << rev.author << "  "
            << SourceName(rev.source);
    if (rev.changed < 0) {
      env.out << "  first";
    } else {
      env.out << "  " << rev.changed << (rev.changed == 1 ? " field" : " fields");
      constexpr std::size_t kShown = 6;
      for (std::size_t i = 0; i < rev.changedKeys.size() && i < kShown; ++i)
        env.out << (i ? ", " : ": ") << rev.changedKeys[i];
      if (rev.changedKeys.size() > kShown) env.out << ", ...";
    }
    if (isHead(rev)) env.out << "  (head)";
    if (!rev.comment.empty()) env.out << "  \"" << Printable(rev.comment) << '"';
    env.out << '\n';
  }
  return ExitDone;
}

int SiteCommands::State::Diff() {
  SiteStore& r = Store(false);
  Revision a, b;
  if (rev1.empty()) {
    b = HeadOrFail(r, number);
    if (b.parent.empty())
      throw CliFailure{ExitInvalid, "the site " + number +
                                        " has one revision only: nothing to compare it with"};
    a = r.ResolveRevision(number, b.parent);
  } else {
    a = RevisionOrHead(r, number, rev1);
    b = RevisionOrHead(r, number, rev2);
  }
  const Difference d = r.Diff(a, b);
  if (json) {
    Json fields = Json::array();
    for (const FieldDifference& f : d.fields)
      fields.push_back({{"page", ToUtf8(PageLabel(f.field.page))},
                        {"label", ToUtf8(FieldLabel(f.field))},
                        {"key", f.field.Key()},
                        {"a", ToUtf8(f.a)},
                        {"b", ToUtf8(f.b)}});
    Print({{"a", a.id}, {"b", b.id}, {"fields", fields}, {"other_bytes", d.otherBytes}});
  } else {
    env.out << Short(a.id) << " .. " << Short(b.id) << '\n';
    RenderDifference(d, env.out);
  }
  return d.Equal() ? ExitDone : ExitDifferent;
}

int SiteCommands::State::Get() {
  SiteStore& r = Store(false);
  const Revision rev = RevisionOrHead(r, number, rev1);
  // A file without the alarm's password would, written to the alarm,
  // delete its password (fewer than four digits delete it), and a file
  // has no room to say what it lacks: a viewer gets none.
  if (!r.SecretsGiven())
    throw CliFailure{ExitDevice, "refused: a viewer does not receive the alarm's password, and a configuration "
                                 "file without it would delete the alarm's password if written to the alarm; "
                                 "site show and site report show the revision with the password masked, and "
                                 "an installer can get the file"};
  SaveConfiguration(env, output, r.RevisionImage(rev));
  if (json)
    Print({{"site", number}, {"revision", rev.id}, {"file", output}});
  else
    env.out << "wrote the revision " << Short(rev.id) << " of the site " << number << " to "
            << Printable(output, std::string::npos) << '\n';
  return ExitDone;
}

int SiteCommands::State::Put() {
  CheckSiteNumber(number);
  NoAuthorAtOffice();
  const Image image = LoadConfiguration(env, file);
  SiteStore& r = Store(false);
  SiteOrFail(r, number);
  const Added added = r.AddRevision({.site = number, .image = image, .source = RevisionSource::File,
                                     .author = Author(), .comment = comment});
  if (json)
    Print({{"site", number}, {"revision", added.id}, {"added", added.added}});
  else
    env.out << "site " << number << ": " << (added.added ? "recorded " : "had already ")
            << Printable(file, std::string::npos) << " as revision " << Short(added.id) << '\n';
  return ExitDone;
}

int SiteCommands::State::Report() {
  SiteStore& r = Store(false);
  const Site site = SiteOrFail(r, number);
  const Revision rev = RevisionOrHead(r, number, rev1);
  if (showPassword && !r.SecretsGiven())
    throw CliFailure{ExitDevice, "refused: --show-password: a viewer does not see the alarm's password (it needs "
                                 "the role installer); without it the record shows the password masked"};
  const RevisionView view = r.ViewRevision(rev);
  ReportInfo info = SiteRevisionReport({.number = number,
                                        .address = site.address,
                                        .customer = site.customer,
                                        .revision = rev.id,
                                        .at = rev.at,
                                        .author = rev.author});
  if (!installer.empty()) info.installer = installer;
  info.showPassword = showPassword;
  info.secretShown = view.secretShown;
  info.fileCrc = view.fileCrc;
  SaveTextOutput(env, output, ReportHtml(view.image.data(), info));
  if (json && output != "-") Print({{"site", number}, {"revision", rev.id}, {"file", output}});
  return ExitDone;
}

int SiteCommands::State::Export() {
  SiteStore& r = Store(false);
  SiteOrFail(r, number);
  SaveTextOutput(env, output.empty() ? "-" : output, r.ExportHistory(number));
  return ExitDone;
}

int SiteCommands::State::Import() {
  LocalOnly("import", "import into it, then send each site to the office with site sync NUMBER");
  const fs::path folder = FsPath(file);
  std::error_code error;
  if (!fs::is_directory(folder, error))
    throw CliFailure{ExitInvalid, Printable(file, std::string::npos) + ": not a folder"};

  struct Entry {
    fs::path path;
    std::string number, customer, address;
  };
  std::vector<Entry> entries;
  std::vector<std::pair<std::string, std::string>> refused;  // the file, why
  const auto name = [](const fs::path& p) { return Utf8Path(p.filename()); };
  if (!map.empty()) {
    std::vector<std::uint8_t> bytes;
    if (env.files.ReadUpTo(FromUtf8(map).value_or(u""), 10 * 1024 * 1024, bytes) !=
        IFileSystem::ReadOutcome::Done)
      throw CliFailure{ExitInvalid, Printable(map, std::string::npos) + ": cannot be read"};
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    int n = 0;
    for (std::string line; std::getline(lines, line);) {
      ++n;
      const std::vector<std::string> f = CsvFields(line);
      if (f.size() == 1 && f[0].empty()) continue;
      if (n == 1 && f[0] == "number") continue;  // a heading
      if (f.size() < 2 || f[1].empty()) {
        refused.push_back({Printable(map, std::string::npos) + ", line " + std::to_string(n),
                           "number,file,customer,address expected"});
        continue;
      }
      const fs::path path = FsPath(f[1]).is_absolute() ? FsPath(f[1]) : folder / FsPath(f[1]);
      entries.push_back({path, f[0], f.size() > 2 ? f[2] : "", f.size() > 3 ? f[3] : ""});
    }
  } else {
    for (const fs::directory_entry& e : fs::directory_iterator(folder, error)) {
      std::string ext = Utf8Path(e.path().extension());
      std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) { return char(std::tolower(c)); });
      if (ext != ".osr" || !e.is_regular_file(error)) continue;
      std::string stem = Utf8Path(e.path().stem());
      try {
        CheckSiteNumber(stem);
      } catch (const RegistryError&) {
        const std::size_t space = stem.find(' ');
        if (space != std::string::npos) stem = stem.substr(0, space);
      }
      entries.push_back({e.path(), stem, "", ""});
    }
    if (error)
      throw CliFailure{ExitInvalid, Printable(file, std::string::npos) + ": cannot be read: " +
                                        error.message()};
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.path < b.path; });

  // Every file checked before the registry is touched.
  struct Taken {
    Entry entry;
    Image image;
    std::string at;
  };
  std::vector<Taken> taken;
  for (Entry& e : entries) {
    try {
      CheckSiteNumber(e.number);
      CheckSite({.number = e.number, .customer = e.customer, .address = e.address});
      Image image = LoadConfiguration(env, Utf8Path(e.path));
      taken.push_back({e, std::move(image), FileTimeUtc(e.path)});
    } catch (const CliFailure& f) {
      refused.push_back({name(e.path), f.message});
    } catch (const RegistryError& r) {
      refused.push_back({name(e.path), r.what()});
    }
  }

  Registry& r = Open(true);
  const std::string author = Author();
  Json added = Json::array(), unchanged = Json::array();
  std::size_t sitesAdded = 0;
  // In batches, each one transaction: a commit (and its sync to the disk)
  // per file would cost more than the rest of the import. A batch ends
  // after 200 files or a quarter of a second, and its lines are printed
  // once it is committed, so that what is said is there.
  constexpr std::size_t kBatch = 200;
  constexpr auto kBatchTime = std::chrono::milliseconds(250);
  for (std::size_t i = 0; i < taken.size();) {
    std::ostringstream lines;
    Json batchAdded = Json::array(), batchUnchanged = Json::array();
    std::size_t batchSites = 0;
    std::vector<std::pair<std::string, std::string>> batchRefused;
    {
      DbTransaction t(r.database(), true);
      const auto start = std::chrono::steady_clock::now();
      for (const std::size_t first = i;
           i < taken.size() && i < first + kBatch &&
           std::chrono::steady_clock::now() - start < kBatchTime;
           ++i) {
        const Taken& f = taken[i];
        const std::string fileName = name(f.entry.path);
        try {
          if (!r.FindSite(f.entry.number)) {
            r.AddSite({.number = f.entry.number, .customer = f.entry.customer,
                       .address = f.entry.address});
            ++batchSites;
          }
          // The same configuration from the same date: imported before.
          if (r.HasRevisionOf(f.entry.number, f.image, f.at)) {
            batchUnchanged.push_back({{"file", fileName}, {"site", f.entry.number}});
            lines << "unchanged " << fileName << " (site " << f.entry.number << ")\n";
            continue;
          }
          const Added a = r.AddRevision({.site = f.entry.number, .image = f.image,
                                         .source = RevisionSource::Import, .author = author,
                                         .comment = "imported from " + fileName, .at = f.at});
          batchAdded.push_back({{"file", fileName}, {"site", f.entry.number}, {"revision", a.id}});
          lines << "took " << fileName << " as site " << f.entry.number << ", revision "
                << Short(a.id) << '\n';
        } catch (const RegistryError& e) {
          if (e.fault() == RegistryFault::Storage || e.fault() == RegistryFault::Damaged) throw;
          batchRefused.push_back({fileName, e.what()});
        }
      }
      t.Commit();
    }
    sitesAdded += batchSites;
    for (auto& a : batchAdded) added.push_back(std::move(a));
    for (auto& u : batchUnchanged) unchanged.push_back(std::move(u));
    refused.insert(refused.end(), batchRefused.begin(), batchRefused.end());
    if (!json) env.out << lines.str() << std::flush;
  }

  if (json) {
    Json out;
    out["added"] = added;
    out["unchanged"] = unchanged;
    Json bad = Json::array();
    for (const auto& [f, why] : refused) bad.push_back({{"file", f}, {"reason", why}});
    out["refused"] = bad;
    out["sites_added"] = sitesAdded;
    Print(out);
  } else {
    for (const auto& [f, why] : refused) env.out << "refused " << f << ": " << why << '\n';
    env.out << "imported " << added.size() << (added.size() == 1 ? " file" : " files") << " ("
            << sitesAdded << " new " << (sitesAdded == 1 ? "site" : "sites") << "), "
            << unchanged.size() << " unchanged, " << refused.size() << " refused\n";
  }
  return refused.empty() ? ExitDone : ExitInvalid;
}

int SiteCommands::State::Backup() {
  LocalOnly("backup", "the office's database is backed up by its administrator");
  Registry& r = Open(false);
  r.Backup(output);
  if (json)
    Print({{"backup", output}});
  else
    env.out << "copied the registry to " << Printable(output, std::string::npos) << '\n';
  return ExitDone;
}

int SiteCommands::State::Check() {
  LocalOnly("check", "the office checks its own database");
  Registry& r = Open(false);
  const std::vector<std::string> problems = r.Check();
  if (json) {
    Print({{"sound", problems.empty()}, {"problems", problems}});
  } else if (problems.empty()) {
    env.out << "the registry is sound\n";
  } else {
    for (const std::string& p : problems) env.out << p << '\n';
  }
  if (!problems.empty())
    throw CliFailure{ExitDevice, Printable(Path(), std::string::npos) + ": " +
                                     std::to_string(problems.size()) +
                                     " problems found; restore the registry from a backup"};
  return ExitDone;
}

int SiteCommands::State::Find() {
  std::vector<FieldQuery> queries;
  for (const std::string& c : conditions) {
    const std::size_t eq = c.find('=');
    if (eq == std::string::npos || eq == 0)
      throw CliFailure{ExitInvalid, "\"" + Printable(c) + "\": KEY=VALUE expected"};
    queries.push_back({c.substr(0, eq), c.substr(eq + 1)});
  }
  SiteStore& r = Store(false);
  const std::vector<FoundSite> found = r.Find(queries);
  if (json) {
    Json out = Json::array();
    for (const FoundSite& f : found) {
      Json j = SiteAsJson(f.site);
      j["revision"] = f.revision;
      j["fields"] = f.fields;
      out.push_back(std::move(j));
    }
    Print(out);
    return ExitDone;
  }
  for (const FoundSite& f : found) {
    env.out << f.site.number << " | " << f.site.customer << " | " << f.site.address << " |";
    for (std::size_t i = 0; i < f.fields.size(); ++i) env.out << (i ? ", " : " ") << f.fields[i];
    env.out << '\n';
  }
  return ExitDone;
}

int SiteCommands::State::Login() {
  env.out << Office().Login(name, passwordFile, trust) << '\n';
  return ExitDone;
}

int SiteCommands::State::Logout() {
  env.out << Office().Logout() << '\n';
  return ExitDone;
}

int SiteCommands::State::Sync() {
  CheckSiteNumber(number);
  OfficeClient& client = Office();
  std::unique_ptr<SiteStore> there = MakeOfficeSites(client);
  const std::optional<Site> officeSite = there->FindSite(number);
  Registry& here = Open(officeSite.has_value());
  const std::optional<Site> localSite = here.FindSite(number);
  if (!localSite && !officeSite)
    throw CliFailure{ExitInvalid, "there is no site " + number + " here nor at " + client.Url()};
  if (!officeSite) there->AddSite(*localSite);
  if (!localSite) here.AddSite(*officeSite);

  // Sent in the order they were added here, so that a parent is at the
  // office before its revisions.
  std::set<std::string> atOffice;
  for (const Revision& r : there->Log(number, 0)) atOffice.insert(r.id);
  std::vector<Revision> local = here.Log(number);
  std::reverse(local.begin(), local.end());
  std::size_t sent = 0, taken = 0;
  for (const Revision& r : local) {
    if (atOffice.count(r.id)) continue;
    const Added a = there->AddRevision({.site = number,
                                        .image = here.RevisionImage(r),
                                        .source = r.source,
                                        .author = r.author,
                                        .comment = r.comment,
                                        .at = r.at,
                                        .parent = r.parent,
                                        .before = r.before.empty() ? Image() : here.ImageByHash(r.before)});
    if (a.id != r.id)
      throw CliFailure{ExitOffice, "the office recorded the revision " + Short(r.id) + " as " + Short(a.id) +
                                       ": it keeps revisions otherwise than this program"};
    sent += a.added ? 1 : 0;
    atOffice.insert(r.id);
  }

  // The office's revisions that are not here, from its export of the
  // site's history (each image once, in the order they were added there).
  std::set<std::string> hereIds;
  for (const Revision& r : here.Log(number)) hereIds.insert(r.id);
  if (atOffice.size() > hereIds.size() ||
      std::any_of(atOffice.begin(), atOffice.end(), [&](const std::string& id) { return !hereIds.count(id); })) {
    const Json history = Json::parse(there->ExportHistory(number));
    const auto image = [&](const Json& hash) {
      if (!hash.is_string()) return Image();
      Image bytes;
      if (!DecodeBase64(history["images"].value(hash.get<std::string>(), ""), bytes))
        throw CliFailure{ExitOffice, "the office sent an image that is not base64"};
      return bytes;
    };
    DbTransaction t(here.database(), true);
    for (const Json& r : history["revisions"]) {
      const std::string id = r.value("id", "");
      if (hereIds.count(id)) continue;
      const Added a = here.AddRevision({.site = number,
                                        .image = image(r["image"]),
                                        .source = SourceNamed(r.value("source", "")).value_or(RevisionSource::File),
                                        .author = r.value("author", ""),
                                        .comment = r.value("comment", ""),
                                        .at = r.value("at", ""),
                                        .parent = r["parent"].is_string() ? r["parent"].get<std::string>() : "",
                                        .before = image(r["before"])});
      if (a.id != id)
        throw CliFailure{ExitOffice, "the revision " + Short(id) + " of the office was recorded here as " +
                                         Short(a.id) + ": the office keeps revisions otherwise than this program"};
      taken += a.added ? 1 : 0;
      hereIds.insert(id);
    }
    t.Commit();
  }

  const std::size_t heads = here.Heads(number).size();
  if (json) {
    Print({{"site", number}, {"sent", sent}, {"taken", taken}, {"heads", heads}});
  } else {
    env.out << "site " << number << ": sent " << sent << (sent == 1 ? " revision" : " revisions") << " to "
            << client.Url() << ", took " << taken << " from it";
    if (heads > 1) env.out << "; the site has diverged: " << heads << " heads (site log lists them)";
    env.out << '\n';
  }
  return ExitDone;
}
