#include "server/Office.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "server/Crypto.h"

namespace office {

namespace {

constexpr std::int64_t kOfficeSchema = 1;
// A session's use is written down at most this often: a busy client costs
// one write a minute, not one per request.
constexpr std::int64_t kTouchEveryMs = 60 * 1000;
// The key of the transactions of logins and logouts.
constexpr std::string_view kLoginKey = "login";

struct Migration {
  const char* common;    // the same on both backends
  const char* sqlite;    // or one statement per backend
  const char* postgresql;
};

// Version 1: the office's tables. The audit log refuses updates and
// deletes in the database itself, as the revisions do.
const Migration kVersion1[] = {
    {"CREATE TABLE operators (name TEXT PRIMARY KEY, role INTEGER NOT NULL CHECK (role BETWEEN 1 AND 3),"
     " password_hash TEXT NOT NULL, disabled INTEGER NOT NULL DEFAULT 0, created BIGINT NOT NULL)",
     nullptr, nullptr},
    {"CREATE TABLE sessions (token_hash TEXT PRIMARY KEY,"
     " operator TEXT NOT NULL REFERENCES operators(name), created BIGINT NOT NULL,"
     " last_seen BIGINT NOT NULL, address TEXT NOT NULL)",
     nullptr, nullptr},
    {"CREATE INDEX sessions_operator ON sessions(operator)", nullptr, nullptr},
    {"CREATE TABLE login_failures (kind TEXT NOT NULL, subject TEXT NOT NULL, at BIGINT NOT NULL)",
     nullptr, nullptr},
    {"CREATE INDEX login_failures_subject ON login_failures(kind, subject, at)", nullptr, nullptr},
    {nullptr,
     "CREATE TABLE audit (id INTEGER PRIMARY KEY, at BIGINT NOT NULL, who TEXT NOT NULL,"
     " address TEXT NOT NULL, action TEXT NOT NULL, subject TEXT NOT NULL, detail TEXT NOT NULL)",
     "CREATE TABLE audit (id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, at BIGINT NOT NULL,"
     " who TEXT NOT NULL, address TEXT NOT NULL, action TEXT NOT NULL, subject TEXT NOT NULL,"
     " detail TEXT NOT NULL)"},
    {"CREATE INDEX audit_at ON audit(at)", nullptr, nullptr},
    {nullptr,
     "CREATE TRIGGER audit_no_update BEFORE UPDATE ON audit"
     " BEGIN SELECT RAISE(ABORT, 'the audit log is append-only'); END",
     "CREATE FUNCTION office_append_only() RETURNS trigger LANGUAGE plpgsql AS"
     " $f$ BEGIN RAISE EXCEPTION 'the audit log is append-only'; END $f$"},
    {nullptr,
     "CREATE TRIGGER audit_no_delete BEFORE DELETE ON audit"
     " BEGIN SELECT RAISE(ABORT, 'the audit log is append-only'); END",
     "CREATE TRIGGER audit_append_only BEFORE UPDATE OR DELETE ON audit"
     " FOR EACH ROW EXECUTE FUNCTION office_append_only()"},
};

void Run(Database& db, const Migration& m) {
  const char* sql = m.common ? m.common : db.Backend() == "postgresql" ? m.postgresql : m.sqlite;
  db.Execute(sql);
}

std::int64_t Count(Database& db, std::string_view sql, const std::vector<DbValue>& params) {
  auto rows = db.Query(sql, params);
  return rows->Next() ? rows->Int(0) : 0;
}

// The dummy hash compared against when a name is unknown, so that an
// unknown name costs the same time as a wrong password.
const std::string& DummyHash() {
  static const std::string hash = HashPassword("no operator has this password");
  return hash;
}

}  // namespace

const char* RoleName(Role role) {
  switch (role) {
    case Role::Viewer: return "viewer";
    case Role::Installer: return "installer";
    case Role::Admin: return "admin";
    case Role::None: break;
  }
  return "none";
}

std::optional<Role> RoleFromName(std::string_view name) {
  for (Role r : {Role::Viewer, Role::Installer, Role::Admin})
    if (name == RoleName(r)) return r;
  return std::nullopt;
}

bool ValidOperatorName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum && (i == 0 || (c != '.' && c != '_' && c != '-' && c != '@'))) return false;
  }
  return true;
}

std::string PasswordProblem(std::string_view password) {
  if (password.size() < 8) return "a password needs at least 8 characters";
  if (password.size() > 1024) return "a password has at most 1024 characters";
  if (password.find('\0') != std::string_view::npos) return "a password cannot hold a NUL character";
  return "";
}

void Office::Migrate(Database& db) {
  DbTransaction tx(db, true);
  db.Execute("CREATE TABLE IF NOT EXISTS office_schema (version BIGINT NOT NULL)");
  std::int64_t version = 0;
  {
    auto rows = db.Query("SELECT version FROM office_schema");
    if (rows->Next()) version = rows->Int(0);
  }
  if (version > kOfficeSchema)
    throw DbError(DbFault::Other, "the office's tables are of a newer version (" +
                                      std::to_string(version) + ") than this server knows (" +
                                      std::to_string(kOfficeSchema) + "); use a newer server");
  if (version < 1) {
    for (const Migration& m : kVersion1) Run(db, m);
  }
  if (version == 0)
    db.Execute("INSERT INTO office_schema (version) VALUES ($1)", {kOfficeSchema});
  else if (version < kOfficeSchema)
    db.Execute("UPDATE office_schema SET version = $1", {kOfficeSchema});
  tx.Commit();
}

bool Office::HasOperators() { return Count(db_, "SELECT COUNT(*) FROM operators", {}) > 0; }

std::vector<OperatorInfo> Office::Operators() {
  std::vector<OperatorInfo> list;
  auto rows = db_.Query("SELECT name, role, disabled, created FROM operators ORDER BY name");
  while (rows->Next())
    list.push_back({rows->Text(0), static_cast<Role>(rows->Int(1)), rows->Int(2) != 0, rows->Int(3)});
  return list;
}

std::optional<OperatorInfo> Office::Find(std::string_view name) {
  auto rows = db_.Query("SELECT name, role, disabled, created FROM operators WHERE name = $1",
                        {std::string(name)});
  if (!rows->Next()) return std::nullopt;
  return OperatorInfo{rows->Text(0), static_cast<Role>(rows->Int(1)), rows->Int(2) != 0, rows->Int(3)};
}

OperatorInfo Office::Existing(std::string_view name) {
  std::optional<OperatorInfo> op = Find(name);
  if (!op) throw OfficeError(OfficeError::NotFound, "no operator \"" + std::string(name) + "\"");
  return *op;
}

std::int64_t Office::AdminsBesides(std::string_view name) {
  return Count(db_, "SELECT COUNT(*) FROM operators WHERE role = $1 AND disabled = 0 AND name <> $2",
               {static_cast<std::int64_t>(Role::Admin), std::string(name)});
}

void Office::EndSessionsOf(std::string_view name) {
  db_.Execute("DELETE FROM sessions WHERE operator = $1", {std::string(name)});
}

void Office::AddOperator(std::string_view name, Role role, std::string_view password,
                         std::string_view by, std::string_view from, std::int64_t now) {
  if (!ValidOperatorName(name))
    throw OfficeError(OfficeError::Invalid,
                      "an operator's name is 1 to 64 letters, digits, '.', '_', '-' or '@', "
                      "starting with a letter or a digit");
  if (role == Role::None) throw OfficeError(OfficeError::Invalid, "the role must be viewer, installer or admin");
  if (const std::string why = PasswordProblem(password); !why.empty())
    throw OfficeError(OfficeError::Invalid, why);
  const std::string hash = HashPassword(password);
  DbTransaction tx(db_, true);
  if (Find(name))
    throw OfficeError(OfficeError::Exists, "an operator \"" + std::string(name) + "\" exists already");
  db_.Execute("INSERT INTO operators (name, role, password_hash, disabled, created) VALUES ($1, $2, $3, 0, $4)",
              {std::string(name), static_cast<std::int64_t>(role), hash, now});
  AuditIn(by, from, "operator added", name, AuditDetailKey(AuditDetailId::AddedRole, {RoleName(role)}), now);
  tx.Commit();
}

void Office::SetPassword(std::string_view name, std::string_view password, std::string_view by,
                         std::string_view from, std::int64_t now) {
  if (const std::string why = PasswordProblem(password); !why.empty())
    throw OfficeError(OfficeError::Invalid, why);
  const std::string hash = HashPassword(password);
  DbTransaction tx(db_, true);
  Existing(name);
  db_.Execute("UPDATE operators SET password_hash = $1 WHERE name = $2", {hash, std::string(name)});
  // A new password ends the sessions of the old one.
  EndSessionsOf(name);
  db_.Execute("DELETE FROM login_failures WHERE kind = 'name' AND subject = $1", {std::string(name)});
  AuditIn(by, from, "password changed", name, "", now);
  tx.Commit();
}

void Office::SetRole(std::string_view name, Role role, std::string_view by, std::string_view from,
                     std::int64_t now) {
  if (role == Role::None) throw OfficeError(OfficeError::Invalid, "the role must be viewer, installer or admin");
  DbTransaction tx(db_, true);
  const OperatorInfo op = Existing(name);
  if (op.role == Role::Admin && role != Role::Admin && !op.disabled && AdminsBesides(name) == 0)
    throw OfficeError(OfficeError::LastAdmin,
                      "\"" + op.name + "\" is the last admin; make another admin first");
  db_.Execute("UPDATE operators SET role = $1 WHERE name = $2",
              {static_cast<std::int64_t>(role), std::string(name)});
  AuditIn(by, from, "role changed", name,
          AuditDetailKey(AuditDetailId::RoleChange, {RoleName(op.role), RoleName(role)}), now);
  tx.Commit();
}

void Office::SetDisabled(std::string_view name, bool disabled, std::string_view by,
                         std::string_view from, std::int64_t now) {
  DbTransaction tx(db_, true);
  const OperatorInfo op = Existing(name);
  if (disabled && op.role == Role::Admin && !op.disabled && AdminsBesides(name) == 0)
    throw OfficeError(OfficeError::LastAdmin,
                      "\"" + op.name + "\" is the last admin; make another admin first");
  db_.Execute("UPDATE operators SET disabled = $1 WHERE name = $2",
              {static_cast<std::int64_t>(disabled ? 1 : 0), std::string(name)});
  if (disabled) EndSessionsOf(name);
  AuditIn(by, from, disabled ? "operator disabled" : "operator enabled", name, "", now);
  tx.Commit();
}

LoginResult Office::Login(std::string_view name, std::string_view password, std::string_view from,
                          std::int64_t now) {
  LoginResult result;
  const std::string who(name.substr(0, 64));
  const std::string address(from);
  // Locked: lock_after failures within lock_ms lock for lock_ms from the
  // failure that made them lock_after (attempts while locked are not
  // counted, so a lock is not drawn out by them).
  auto unlock_at = [&](const char* kind, const std::string& subject) -> std::int64_t {
    auto rows = db_.Query(
        "SELECT at FROM login_failures WHERE kind = $1 AND subject = $2 AND at > $3 ORDER BY at",
        {std::string(kind), subject, now - 2 * policy_.lock_ms});
    std::vector<std::int64_t> times;
    while (rows->Next()) times.push_back(rows->Int(0));
    std::int64_t until = 0;
    const std::size_t n = static_cast<std::size_t>(policy_.lock_after);
    for (std::size_t i = 0; i < times.size(); ++i) {
      if (times[i] < until) continue;  // recorded while locked: not counted
      if (i + 1 >= n && times[i] - times[i + 1 - n] < policy_.lock_ms) until = times[i] + policy_.lock_ms;
    }
    return until;
  };
  const std::int64_t until = std::max(unlock_at("name", who), unlock_at("address", address));
  if (until > now) {
    Audit(who, from, "login refused", who, AuditDetailKey(AuditDetailId::Locked), now);
    result.status = LoginResult::Locked;
    result.locked_ms = until - now;
    return result;
  }
  // The hash is compared outside any transaction: it takes a good part of
  // a second, and the database is not held meanwhile.
  std::string hash;
  Role role = Role::None;
  bool disabled = false;
  {
    auto rows = db_.Query("SELECT password_hash, role, disabled FROM operators WHERE name = $1", {who});
    if (rows->Next()) {
      hash = rows->Text(0);
      role = static_cast<Role>(rows->Int(1));
      disabled = rows->Int(2) != 0;
    }
  }
  const bool known = !hash.empty();
  const bool matches = VerifyPassword(known ? hash : DummyHash(), password) && known;
  // Logins take turns with each other (the failures they count) and with
  // the changes of operators, not with the writers of revisions.
  DbTransaction tx(db_, kLoginKey);
  if (!matches || disabled) {
    db_.Execute("INSERT INTO login_failures (kind, subject, at) VALUES ('name', $1, $2)", {who, now});
    db_.Execute("INSERT INTO login_failures (kind, subject, at) VALUES ('address', $1, $2)", {address, now});
    db_.Execute("DELETE FROM login_failures WHERE at < $1", {now - 2 * policy_.lock_ms});
    AuditIn(who, from, "login failed", who,
            AuditDetailKey(!known     ? AuditDetailId::NoSuchOperator
                           : disabled ? AuditDetailId::OperatorDisabled
                                      : AuditDetailId::WrongPassword),
            now);
    tx.Commit();
    result.status = LoginResult::Wrong;
    return result;
  }
  result.token = NewToken();
  db_.Execute("INSERT INTO sessions (token_hash, operator, created, last_seen, address) VALUES ($1, $2, $3, $3, $4)",
              {Sha256Hex(result.token), who, now, address});
  db_.Execute("DELETE FROM login_failures WHERE kind = 'name' AND subject = $1", {who});
  db_.Execute("DELETE FROM sessions WHERE last_seen < $1 OR created < $2",
              {now - policy_.idle_ms, now - policy_.absolute_ms});
  AuditIn(who, from, "login", who, AuditDetailKey(AuditDetailId::LoginRole, {RoleName(role)}), now);
  tx.Commit();
  result.status = LoginResult::Ok;
  result.session = {who, role, now};
  return result;
}

std::optional<SessionInfo> Office::Authenticate(std::string_view token, std::int64_t now) {
  if (token.size() != 64) return std::nullopt;
  const std::string hash = Sha256Hex(token);
  std::int64_t created = 0, last_seen = 0;
  SessionInfo info;
  {
    auto rows = db_.Query(
        "SELECT s.operator, o.role, o.disabled, s.created, s.last_seen FROM sessions s"
        " JOIN operators o ON o.name = s.operator WHERE s.token_hash = $1",
        {hash});
    if (!rows->Next()) return std::nullopt;
    if (rows->Int(2) != 0) return std::nullopt;
    info = {rows->Text(0), static_cast<Role>(rows->Int(1)), rows->Int(3)};
    created = rows->Int(3);
    last_seen = rows->Int(4);
  }
  if (now - last_seen >= policy_.idle_ms || now - created >= policy_.absolute_ms) {
    db_.Execute("DELETE FROM sessions WHERE token_hash = $1", {hash});
    return std::nullopt;
  }
  if (now - last_seen > kTouchEveryMs)
    db_.Execute("UPDATE sessions SET last_seen = $1 WHERE token_hash = $2", {now, hash});
  return info;
}

void Office::Logout(std::string_view token, std::string_view from, std::int64_t now) {
  const std::string hash = Sha256Hex(token);
  DbTransaction tx(db_, kLoginKey);
  std::string who;
  {
    auto rows = db_.Query("SELECT operator FROM sessions WHERE token_hash = $1", {hash});
    if (rows->Next()) who = rows->Text(0);
  }
  if (!who.empty()) {
    db_.Execute("DELETE FROM sessions WHERE token_hash = $1", {hash});
    AuditIn(who, from, "logout", who, "", now);
  }
  tx.Commit();
}

void Office::AuditIn(std::string_view who, std::string_view from, std::string_view action,
                     std::string_view subject, std::string_view detail, std::int64_t now) {
  db_.Execute(
      "INSERT INTO audit (at, who, address, action, subject, detail) VALUES ($1, $2, $3, $4, $5, $6)",
      {now, std::string(who), std::string(from), std::string(action), std::string(subject),
       std::string(detail)});
}

void Office::Audit(std::string_view who, std::string_view from, std::string_view action,
                   std::string_view subject, std::string_view detail, std::int64_t now) {
  // An entry is only ever added: it waits for no writer but one of the
  // whole store.
  DbTransaction tx(db_, std::string_view("audit"));
  AuditIn(who, from, action, subject, detail, now);
  tx.Commit();
}

namespace {
#define OSTREL_STRING(id, text) constexpr char id[] = text;
#include "res/strings_office.inc"
#include "res/strings_web.inc"
#undef OSTREL_STRING

// A role in the office's words.
const char* RoleText(std::string_view key) {
  if (key == RoleName(Role::Viewer)) return IDS_WEB_ROLE_VIEWER;
  if (key == RoleName(Role::Installer)) return IDS_WEB_ROLE_INSTALLER;
  if (key == RoleName(Role::Admin)) return IDS_WEB_ROLE_ADMIN;
  return nullptr;
}

// The parts of a detail's form: its words, and its places ("{}" or
// "{role}") in between.
struct FormPart {
  std::string_view words;  // or the place
  bool place = false;
  bool role = false;
};
std::vector<FormPart> PartsOf(std::string_view form) {
  std::vector<FormPart> parts;
  while (!form.empty()) {
    const std::size_t open = form.find('{');
    if (open == std::string_view::npos) {
      parts.push_back({form});
      break;
    }
    if (open) parts.push_back({form.substr(0, open)});
    const std::size_t close = form.find('}', open);
    const std::string_view place = form.substr(open, close - open + 1);
    parts.push_back({place, true, place == "{role}"});
    form.remove_prefix(close + 1);
  }
  return parts;
}

// Whether `detail` has the form `parts` (from part `i` on); its places'
// contents into `found`. A place takes the shortest run that lets the rest
// match (an id before " by " ends at the first " by "), and one at least.
bool Matches(const std::vector<FormPart>& parts, std::size_t i, std::string_view detail,
             std::vector<std::string>& found) {
  if (i == parts.size()) return detail.empty();
  const FormPart& p = parts[i];
  if (!p.place)
    return detail.substr(0, p.words.size()) == p.words && Matches(parts, i + 1, detail.substr(p.words.size()), found);
  for (std::size_t n = 1; n <= detail.size(); ++n) {
    const std::string_view taken = detail.substr(0, n);
    if (p.role && !RoleText(taken)) continue;
    found.emplace_back(taken);
    if (Matches(parts, i + 1, detail.substr(n), found)) return true;
    found.pop_back();
  }
  return false;
}

// `form` with `found` in its places, in order; a role in the office's
// words when `roles`.
std::string Filled(std::string_view form, const std::vector<std::string>& found, bool roles) {
  std::string out;
  std::size_t next = 0;
  for (const FormPart& p : PartsOf(form)) {
    if (!p.place) {
      out += p.words;
      continue;
    }
    const std::string part = next < found.size() ? found[next] : "";
    ++next;
    const char* role = roles && p.role ? RoleText(part) : nullptr;
    out += role ? std::string(role) : part;
  }
  return out;
}

}  // namespace

const std::vector<AuditDetail>& AuditDetails() {
  using enum AuditDetailId;
  static const std::vector<AuditDetail> details = {
      {NoSuchOperator, "login failed", "no such operator", IDS_AUDIT_DETAIL_NO_SUCH_OPERATOR},
      {OperatorDisabled, "login failed", "operator disabled", IDS_AUDIT_DETAIL_OPERATOR_DISABLED},
      {WrongPassword, "login failed", "wrong password", IDS_AUDIT_DETAIL_WRONG_PASSWORD},
      {Locked, "login refused", "locked after failed logins", IDS_AUDIT_DETAIL_LOCKED},
      {LoginRole, "login", "{role}", IDS_AUDIT_DETAIL_ROLE},
      {AddedRole, "operator added", "{role}", IDS_AUDIT_DETAIL_ROLE},
      {RoleChange, "role changed", "{role} -> {role}", IDS_AUDIT_DETAIL_ROLE_CHANGE},
      // The longer form first: a bare id would take " by ..." as its own.
      {RecordedBy, "revision recorded", "{} by {}", IDS_AUDIT_DETAIL_RECORDED_BY},
      {Recorded, "revision recorded", "{}", IDS_AUDIT_DETAIL_RECORDED},
      {InFile, "password shown", "in the .osr file of {}", IDS_AUDIT_DETAIL_IN_FILE},
      {InExport, "password shown", "in its exported history", IDS_AUDIT_DETAIL_IN_EXPORT},
      {InDiff, "password shown", "in the diff of {} and {}", IDS_AUDIT_DETAIL_IN_DIFF},
      {AskedFor, "password shown", "{}", IDS_AUDIT_DETAIL_ASKED_FOR},
  };
  return details;
}

std::string AuditDetailKey(AuditDetailId id, const std::vector<std::string>& parts) {
  for (const AuditDetail& d : AuditDetails())
    if (d.id == id) return Filled(d.key, parts, false);
  return "";
}

std::string AuditDetailText(std::string_view action, std::string_view detail) {
  for (const AuditDetail& d : AuditDetails()) {
    if (action != d.action) continue;
    std::vector<std::string> found;
    if (Matches(PartsOf(d.key), 0, detail, found)) return Filled(d.text, found, true);
  }
  return std::string(detail);
}

const std::vector<AuditAction>& AuditActions() {
  static const std::vector<AuditAction> actions = {
      {"login", IDS_AUDIT_LOGIN},
      {"login failed", IDS_AUDIT_LOGIN_FAILED},
      {"login refused", IDS_AUDIT_LOGIN_REFUSED},
      {"logout", IDS_AUDIT_LOGOUT},
      {"operator added", IDS_AUDIT_OPERATOR_ADDED},
      {"password changed", IDS_AUDIT_PASSWORD_CHANGED},
      {"role changed", IDS_AUDIT_ROLE_CHANGED},
      {"operator disabled", IDS_AUDIT_OPERATOR_DISABLED},
      {"operator enabled", IDS_AUDIT_OPERATOR_ENABLED},
      {"site added", IDS_AUDIT_SITE_ADDED},
      {"site edited", IDS_AUDIT_SITE_EDITED},
      {"site archived", IDS_AUDIT_SITE_ARCHIVED},
      {"site restored", IDS_AUDIT_SITE_RESTORED},
      {"revision recorded", IDS_AUDIT_REVISION_RECORDED},
      {"password shown", IDS_AUDIT_PASSWORD_SHOWN},
  };
  return actions;
}

std::string AuditActionText(std::string_view key) {
  for (const AuditAction& a : AuditActions())
    if (key == a.key) return a.text;
  return std::string(key);
}

std::vector<AuditEntry> Office::AuditSince(std::int64_t since, std::int64_t limit) {
  std::vector<AuditEntry> list;
  auto rows = db_.Query(
      "SELECT id, at, who, address, action, subject, detail FROM audit WHERE at >= $1 ORDER BY id"
      " LIMIT $2",
      {since, limit < 0 ? std::int64_t{1} << 62 : limit});
  while (rows->Next())
    list.push_back({rows->Int(0), rows->Int(1), rows->Text(2), rows->Text(3), rows->Text(4),
                    rows->Text(5), rows->Text(6)});
  return list;
}

bool Office::AuditedSince(std::string_view who, std::string_view from, std::string_view action,
                          std::string_view subject, std::int64_t since) {
  auto rows = db_.Query(
      "SELECT 1 FROM audit WHERE at >= $1 AND who = $2 AND address = $3 AND action = $4 AND subject = $5 LIMIT 1",
      {since, std::string(who), std::string(from), std::string(action), std::string(subject)});
  return rows->Next();
}

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string IsoTime(std::int64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(ms % 1000));
  return text;
}

std::optional<std::int64_t> ParseIsoTime(std::string_view text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
  const std::string t(text);
  int used = 0;
  bool ok = false;
  if (t.size() == 10)
    ok = std::sscanf(t.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used) == 3 && used == 10;
  else if (t.size() == 20)
    ok = std::sscanf(t.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ%n", &y, &mo, &d, &h, &mi, &s, &used) == 6 &&
         used == 20;
  else if (t.size() == 24)
    ok = std::sscanf(t.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3dZ%n", &y, &mo, &d, &h, &mi, &s, &ms,
                     &used) == 7 &&
         used == 24;
  if (!ok || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || y < 1970)
    return std::nullopt;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  const std::time_t seconds = timegm(&tm);
  return static_cast<std::int64_t>(seconds) * 1000 + ms;
}

}  // namespace office
