#include "server/SitesApi.h"

#include "app/Compare.h"
#include "app/ConfigFile.h"
#include "app/Record.h"
#include "config/Configuration.h"
#include "config/ImageMap.h"
#include "config/PageLayout.h"
#include "config/Utf8.h"
#include "sites/Registry.h"

namespace office {

namespace {

[[noreturn]] void Refuse(const RegistryError& e) {
  switch (e.fault()) {
    case RegistryFault::Invalid: throw ApiError(400, e.what());
    case RegistryFault::NotFound: throw ApiError(404, e.what());
    case RegistryFault::Exists: throw ApiError(409, e.what());
    case RegistryFault::Storage: throw e;  // the database is away or full: the dispatcher answers
    default: break;
  }
  throw ApiError(500, e.what());
}

// Runs `body` with the registry's refusals as the API's.
template <typename F>
auto Registered(F&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const RegistryError& e) {
    Refuse(e);
  }
}

Json SiteJson(const Site& s) {
  return {{"number", s.number}, {"customer", s.customer}, {"address", s.address}, {"sim", s.sim},
          {"phone", s.phone},   {"notes", s.notes},       {"added", s.added},     {"archived", s.archived}};
}

Json RevisionJson(const Revision& r) {
  return {{"id", r.id},
          {"site", r.site},
          {"parent", r.parent},
          {"at", r.at},
          {"author", r.author},
          {"source", SourceName(r.source)},
          {"comment", r.comment},
          {"image", r.image},
          {"before", r.before},
          {"changed", r.changed},
          {"changed_keys", r.changedKeys}};
}

// A value as every view shows it: the alarm's password masked as the
// pages and the printed record mask it.
std::string Shown(const FieldRef& f, const std::u16string& value) {
  return ToUtf8(IsSecret(f) ? Masked(value) : value);
}

std::string Text(const Json& body, const char* key) {
  const auto it = body.find(key);
  if (it == body.end() || it->is_null()) return "";
  if (!it->is_string()) throw ApiError(400, std::string("\"") + key + "\" must be a text");
  return it->get<std::string>();
}

void OnlyKeys(const Json& body, std::initializer_list<const char*> keys) {
  for (const auto& [key, value] : body.items()) {
    bool known = false;
    for (const char* k : keys) known = known || key == k;
    if (!known) throw ApiError(400, "unknown key \"" + key.substr(0, 40) + "\" in the body");
  }
}

Site SiteOf(ApiCall& call, const std::string& number) {
  std::optional<Site> site = Registered([&] { return call.registry.FindSite(number); });
  if (!site) throw ApiError(404, "no site \"" + number.substr(0, 100) + "\"");
  return *site;
}

Site SiteOf(ApiCall& call) { return SiteOf(call, call.Param("number")); }

Revision RevisionOf(ApiCall& call, const std::string& prefix) {
  SiteOf(call);
  return Registered([&] { return call.registry.ResolveRevision(call.Param("number"), prefix); });
}

Revision HeadOf(ApiCall& call) {
  SiteOf(call);
  std::optional<Revision> head = Registered([&] { return call.registry.Head(call.Param("number")); });
  if (!head) throw ApiError(404, "the site \"" + call.Param("number").substr(0, 100) + "\" has no revision yet");
  return *head;
}

// The revision named by ?revision= (or the path's {revision}), else the head.
Revision Chosen(ApiCall& call, const std::optional<std::string>& id) {
  return id && !id->empty() ? RevisionOf(call, *id) : HeadOf(call);
}

Image ImageFromBody(const Json& body, const char* osr_key, const char* image_key) {
  std::vector<std::uint8_t> bytes;
  const std::string osr = Text(body, osr_key), raw = Text(body, image_key);
  if (!osr.empty() && !raw.empty())
    throw ApiError(400, std::string("give \"") + osr_key + "\" or \"" + image_key + "\", not both");
  if (osr.empty() && raw.empty()) return {};
  if (!DecodeBase64(osr.empty() ? raw : osr, bytes))
    throw ApiError(400, std::string("\"") + (osr.empty() ? image_key : osr_key) + "\" is not base64");
  Image image(kImageSize);
  if (!osr.empty()) {
    LoadDetail detail;
    switch (ParseConfigFile(bytes.data(), bytes.size(), image.data(), &detail)) {
      case Loaded: break;
      case Corrupt: throw ApiError(400, "the .osr file is damaged (its CRC does not match its contents)");
      default:
        if (bytes.size() != kConfigFileSize)
          throw ApiError(400, "not an .osr file: it has " + std::to_string(bytes.size()) + " bytes, an .osr file " +
                                  std::to_string(kConfigFileSize));
        if (detail.version)
          throw ApiError(400, "an .osr file of format version " + std::to_string(detail.version) +
                                  ", which this office does not read");
        throw ApiError(400, "not an .osr file");
    }
    return image;
  }
  if (bytes.size() != kImageSize)
    throw ApiError(400, "an image has " + std::to_string(kImageSize) + " bytes, not " + std::to_string(bytes.size()));
  return Image(bytes.begin(), bytes.end());
}

void ListSites(ApiCall& call) {
  const std::string text = call.request.Query("q").value_or("");
  const std::string archived = call.request.Query("archived").value_or("");
  if (!archived.empty() && archived != "0" && archived != "1")
    throw ApiError(400, "\"archived\" is 0 or 1");
  Json list = Json::array();
  for (const Site& s : Registered([&] { return call.registry.ListSites(text, archived == "1"); }))
    list.push_back(SiteJson(s));
  call.Reply({{"sites", list}});
}

SiteChanges ChangesOf(const Json& body) {
  SiteChanges c;
  auto take = [&](const char* key, std::optional<std::string>& into) {
    if (body.contains(key)) into = Text(body, key);
  };
  take("customer", c.customer);
  take("address", c.address);
  take("sim", c.sim);
  take("phone", c.phone);
  take("notes", c.notes);
  return c;
}

void AddSite(ApiCall& call) {
  const Json body = call.Body();
  OnlyKeys(body, {"number", "customer", "address", "sim", "phone", "notes"});
  Site site;
  site.number = Text(body, "number");
  site.customer = Text(body, "customer");
  site.address = Text(body, "address");
  site.sim = Text(body, "sim");
  site.phone = Text(body, "phone");
  site.notes = Text(body, "notes");
  Registered([&] { call.registry.AddSite(site); });
  Office(call.db, call.api.Policy())
      .Audit(call.session.name, call.request.remote, "site added", site.number, "", call.now);
  call.Reply(SiteJson(SiteOf(call, site.number)), 201);
}

void ShowSite(ApiCall& call) {
  const Site site = SiteOf(call);
  Json heads = Json::array();
  for (const Revision& r : Registered([&] { return call.registry.Heads(site.number); }))
    heads.push_back(RevisionJson(r));
  Json reply = SiteJson(site);
  reply["heads"] = heads;
  reply["diverged"] = heads.size() > 1;
  call.Reply(reply);
}

void EditSite(ApiCall& call) {
  const Json body = call.Body();
  OnlyKeys(body, {"customer", "address", "sim", "phone", "notes"});
  SiteOf(call);
  Registered([&] { call.registry.EditSite(call.Param("number"), ChangesOf(body)); });
  Office(call.db, call.api.Policy())
      .Audit(call.session.name, call.request.remote, "site edited", call.Param("number"), "", call.now);
  call.Reply(SiteJson(SiteOf(call)));
}

void ArchiveSite(ApiCall& call) {
  bool archived = true;
  if (!call.request.body.empty()) {
    const Json body = call.Body();
    OnlyKeys(body, {"archived"});
    if (body.contains("archived")) {
      if (!body["archived"].is_boolean()) throw ApiError(400, "\"archived\" must be true or false");
      archived = body["archived"].get<bool>();
    }
  }
  SiteOf(call);
  Registered([&] { call.registry.ArchiveSite(call.Param("number"), archived); });
  Office(call.db, call.api.Policy())
      .Audit(call.session.name, call.request.remote, archived ? "site archived" : "site restored",
             call.Param("number"), "", call.now);
  call.Reply(SiteJson(SiteOf(call)));
}

void SiteLog(ApiCall& call) {
  std::size_t limit = 0;
  if (const auto text = call.request.Query("limit")) {
    char* end = nullptr;
    const long long n = std::strtoll(text->c_str(), &end, 10);
    if (text->empty() || *end || n < 1 || n > 100000) throw ApiError(400, "\"limit\" must be a number from 1 to 100000");
    limit = static_cast<std::size_t>(n);
  }
  SiteOf(call);
  Json list = Json::array();
  for (const Revision& r : Registered([&] { return call.registry.Log(call.Param("number"), limit); }))
    list.push_back(RevisionJson(r));
  call.Reply({{"revisions", list}});
}

void ShowRevision(ApiCall& call) {
  const Revision r = RevisionOf(call, call.Param("revision"));
  const Image image = Registered([&] { return call.registry.RevisionImage(r); });
  Configuration model;
  model.Load(image.data());
  Json fields = Json::array();
  for (const FieldRef& f : Configuration::AllFields())
    fields.push_back({{"key", f.Key()}, {"value", Shown(f, model.Get(f))}});
  Json reply = RevisionJson(r);
  reply["fields"] = fields;
  call.Reply(reply);
}

std::string PasswordIn(const Image& image) {
  Configuration model;
  model.Load(image.data());
  for (const FieldRef& f : Configuration::AllFields())
    if (IsSecret(f)) return ToUtf8(model.Get(f));
  return "";
}

// Notes in the audit log that the alarm's password of `site` was shown in
// this session, the first time it is (what comes after tells nothing new).
void NoteShownInSession(ApiCall& call, const std::string& site, const std::string& detail) {
  Office office(call.db, call.api.Policy());
  // An operator's other session, begun earlier on another machine, has
  // its own first time: its entry says from where.
  if (!office.AuditedSince(call.session.name, call.request.remote, "password shown", site, call.session.created))
    office.Audit(call.session.name, call.request.remote, "password shown", site, detail, call.now);
}

void RevisionFile(ApiCall& call) {
  const Revision r = RevisionOf(call, call.Param("revision"));
  const Image image = Registered([&] { return call.registry.RevisionImage(r); });
  const auto bytes = ConfigFileBytes(image.data());
  const std::vector<std::uint8_t> file(bytes.begin(), bytes.end());
  // The file holds the password: an installer's page takes it whenever it
  // opens the site's head or one of its revisions. The log notes the first
  // time in a session for each site; the openings after it tell nothing
  // new (the password's own endpoint and the export are noted each time).
  if (!PasswordIn(image).empty())
    NoteShownInSession(call, r.site, AuditDetailKey(AuditDetailId::InFile, {r.id.substr(0, 12)}));
  call.response.status = 200;
  call.response.content_type = "application/octet-stream";
  call.response.body.assign(file.begin(), file.end());
  call.response.headers.emplace_back("Content-Disposition", "attachment; filename=\"site.osr\"");
}

// A revision as a viewer may have it, who never receives the alarm's
// password: the pages' values as an .osr file without the password (and
// without the bytes no page shows), the password as every view masks it,
// and the CRC of the revision's own file, which its printed record shows.
void MaskedRevision(ApiCall& call) {
  const Revision r = RevisionOf(call, call.Param("revision"));
  const Image image = Registered([&] { return call.registry.RevisionImage(r); });
  Image shown(kImageSize);
  SecretFreeImage(image.data(), shown.data());
  const auto bytes = ConfigFileBytes(shown.data());
  Configuration model;
  model.Load(image.data());
  Json masked = Json::array();
  for (const FieldRef& f : Configuration::AllFields())
    if (IsSecret(f)) masked.push_back({{"key", f.Key()}, {"value", Shown(f, model.Get(f))}});
  call.Reply({{"site", r.site},
              {"revision", r.id},
              {"osr", EncodeBase64(std::vector<std::uint8_t>(bytes.begin(), bytes.end()))},
              {"crc", CrcText(ConfigFileCrc(image.data()))},
              {"masked", masked}});
}

void ShowPassword(ApiCall& call) {
  const Revision r = Chosen(call, call.request.Query("revision"));
  const Image image = Registered([&] { return call.registry.RevisionImage(r); });
  const std::string password = PasswordIn(image);
  Office(call.db, call.api.Policy())
      .Audit(call.session.name, call.request.remote, "password shown", r.site,
             AuditDetailKey(AuditDetailId::AskedFor, {r.id.substr(0, 12)}), call.now);
  call.Reply({{"site", r.site}, {"revision", r.id}, {"password", password}, {"set", !password.empty()}});
}

void SiteDiff(ApiCall& call) {
  const auto from = call.request.Query("from"), to = call.request.Query("to");
  Revision b = to && !to->empty() ? RevisionOf(call, *to) : HeadOf(call);
  Revision a;
  if (from && !from->empty()) {
    a = RevisionOf(call, *from);
  } else if (!b.parent.empty()) {
    a = Registered([&] { return *call.registry.FindRevision(b.parent); });
  } else {
    a = b;
  }
  const Difference d = Registered([&] { return call.registry.Diff(a, b); });
  // An installer sees the password here as in the registry's own diff; a
  // viewer sees it masked, and a changed password still as a change.
  const bool masking = call.session.role < Role::Installer;
  bool secretShown = false;
  Json fields = Json::array();
  for (const FieldDifference& f : d.fields) {
    secretShown = secretShown || (!masking && IsSecret(f.field));
    fields.push_back({{"key", f.field.Key()},
                      {"from", masking ? Shown(f.field, f.a) : ToUtf8(f.a)},
                      {"to", masking ? Shown(f.field, f.b) : ToUtf8(f.b)}});
  }
  if (secretShown)
    NoteShownInSession(call, b.site,
                       AuditDetailKey(AuditDetailId::InDiff, {a.id.substr(0, 12), b.id.substr(0, 12)}));
  call.Reply({{"from", a.id}, {"to", b.id}, {"fields", fields}, {"other_bytes", d.otherBytes}});
}

void RecordRevision(ApiCall& call) {
  const Json body = call.Body();
  OnlyKeys(body, {"osr", "image", "source", "comment", "parent", "at", "author", "before_osr", "before_image"});
  NewRevision n;
  n.site = call.Param("number");
  n.image = ImageFromBody(body, "osr", "image");
  if (n.image.empty()) throw ApiError(400, "the body lacks the image: give \"osr\" (an .osr file, base64)");
  n.before = ImageFromBody(body, "before_osr", "before_image");
  const std::string source = Text(body, "source");
  const auto s = SourceNamed(source.empty() ? "file" : source);
  if (!s) throw ApiError(400, "\"source\" is one of read, write, file, edit, import");
  n.source = *s;
  n.comment = Text(body, "comment");
  n.at = Text(body, "at");
  // A revision taken from another registry (a laptop's, by a sync) keeps
  // its author and time, or it would be another revision; otherwise the
  // author is the operator logged in.
  const std::string author = Text(body, "author");
  if (!author.empty() && n.at.empty())
    throw ApiError(400, "\"author\" is given only with \"at\" (a revision taken from another registry)");
  n.author = author.empty() ? call.session.name : author;
  if (body.contains("parent")) n.parent = Text(body, "parent");
  SiteOf(call);
  // Its checks, hashes, compression and comparison with its parent before
  // it waits for its turn to write: the writes alone are made in turn.
  const PreparedRevision prepared = Registered([&] { return call.registry.PrepareRevision(n); });
  // The audit entry is written in the revision's own transaction: both are
  // kept, or neither.
  Added added;
  call.api.Write(call.registry, [&](Registry& registry) {
    added = Registered([&] {
      return registry.AddPrepared(prepared, [&](const Added& a) {
        Office(registry.database(), call.api.Policy())
            .Audit(call.session.name, call.request.remote, "revision recorded", n.site,
                   author.empty() ? AuditDetailKey(AuditDetailId::Recorded, {a.id.substr(0, 12)})
                                  : AuditDetailKey(AuditDetailId::RecordedBy, {a.id.substr(0, 12), author}),
                   call.now);
      });
    });
  });
  call.Reply({{"id", added.id}, {"added", added.added}}, added.added ? 201 : 200);
}

void FindSites(ApiCall& call) {
  std::vector<FieldQuery> conditions;
  for (const auto& [key, value] : call.request.query) conditions.push_back({key, value});
  if (conditions.empty()) throw ApiError(400, "give one condition or more: ?KEY=VALUE");
  // A search by the password would tell a viewer the password.
  if (call.session.role < Role::Installer)
    for (const FieldQuery& q : conditions)
      for (const FieldRef& f : Configuration::AllFields())
        if (IsSecret(f) && q.key.size() <= 200 && KeyFits(q.key, f.Key()))
          throw ApiError(403, "refused: searching by the alarm's password needs the role installer");
  Json list = Json::array();
  for (const FoundSite& found : Registered([&] { return call.registry.Find(conditions); }))
    list.push_back({{"site", SiteJson(found.site)}, {"revision", found.revision}, {"fields", found.fields}});
  call.Reply({{"sites", list}});
}

void ExportSite(ApiCall& call) {
  SiteOf(call);
  const std::string history = Registered([&] { return call.registry.ExportHistory(call.Param("number")); });
  Office(call.db, call.api.Policy())
      .Audit(call.session.name, call.request.remote, "password shown", call.Param("number"),
             AuditDetailKey(AuditDetailId::InExport), call.now);
  call.response.status = 200;
  call.response.body = history;
}

}  // namespace

std::vector<Endpoint> SitesEndpoints() {
  return {
      {"GET", "/api/sites", Role::Viewer, "the sites: ?q=TEXT&archived=1", ListSites},
      {"POST", "/api/sites", Role::Installer, "add a site: {number, customer?, address?, sim?, phone?, notes?}", AddSite},
      {"GET", "/api/sites/{number}", Role::Viewer, "a site and its heads", ShowSite},
      {"PATCH", "/api/sites/{number}", Role::Installer, "edit a site: {customer?, address?, sim?, phone?, notes?}", EditSite},
      {"POST", "/api/sites/{number}/archive", Role::Admin, "archive a site (or {archived: false} restores it)", ArchiveSite},
      {"GET", "/api/sites/{number}/log", Role::Viewer, "the site's revisions, the last added first: ?limit=N", SiteLog},
      {"POST", "/api/sites/{number}/revisions", Role::Installer,
       "record a revision: {osr (base64), source?, comment?, parent?, at?, author?, before_osr?}", RecordRevision,
       true},
      {"GET", "/api/sites/{number}/revisions/{revision}", Role::Viewer,
       "a revision with its fields (the password masked)", ShowRevision},
      {"GET", "/api/sites/{number}/revisions/{revision}/osr", Role::Installer, "a revision as an .osr file", RevisionFile},
      {"GET", "/api/sites/{number}/revisions/{revision}/masked", Role::Viewer,
       "a revision's values as an .osr file without the alarm's password, the password masked", MaskedRevision},
      {"GET", "/api/sites/{number}/diff", Role::Viewer, "the fields that differ: ?from=REV&to=REV", SiteDiff},
      {"GET", "/api/sites/{number}/password", Role::Installer, "the alarm's password: ?revision=REV", ShowPassword},
      {"GET", "/api/sites/{number}/export", Role::Installer, "the site's whole history as JSON", ExportSite},
      {"GET", "/api/find", Role::Viewer, "the sites whose head has these values: ?KEY=VALUE&...", FindSites},
  };
}

}  // namespace office
