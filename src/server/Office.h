// The office's own records beside the sites registry, in the same
// database: its operators and their roles, their sessions, the failed
// logins that lock an account or an address, and the append-only audit
// log. Every method runs its statements on the Database it is given and
// commits before it returns.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sites/Database.h"

namespace office {

// Ordered: each role has every right of the roles before it.
enum class Role { None = 0, Viewer = 1, Installer = 2, Admin = 3 };
const char* RoleName(Role role);
std::optional<Role> RoleFromName(std::string_view name);

struct OperatorInfo {
  std::string name;
  Role role = Role::None;
  bool disabled = false;
  std::int64_t created = 0;  // ms since the epoch, UTC
};

struct SessionInfo {
  std::string name;
  Role role = Role::None;
  std::int64_t created = 0;
};

struct AuditEntry {
  std::int64_t id = 0;
  std::int64_t at = 0;  // ms since the epoch, UTC
  std::string who, from, action, subject, detail;
};

// The audit log's actions: the key each entry stores (stored logs hold
// these words, and scripts filter by them) and the text an operator reads,
// from the office's table of texts.
struct AuditAction {
  const char* key;   // "revision recorded"
  const char* text;  // UTF-8
};
const std::vector<AuditAction>& AuditActions();
// The text of an action; an action this program does not know (written
// by a newer one) is shown as it is stored.
std::string AuditActionText(std::string_view key);

// The details of the audit log's entries: the form each entry stores (a
// fixed English form: stored logs hold these, and scripts read them) and
// the text an operator reads, from the office's table of texts. In both,
// "{}" stands for a part taken over as it is (a revision's id, a name)
// and "{role}" for a role, shown in the office's words.
enum class AuditDetailId {
  NoSuchOperator,    // login failed
  OperatorDisabled,  // login failed
  WrongPassword,     // login failed
  Locked,            // login refused
  LoginRole,         // login: the operator's role
  AddedRole,         // operator added: its role
  RoleChange,        // role changed: the old role, the new one
  Recorded,          // revision recorded: its id
  RecordedBy,        // revision recorded from another registry: its id, its author
  AskedFor,          // password shown by its own endpoint: the revision's id
  InFile,            // password shown in the .osr file: the revision's id
  InExport,          // password shown in the exported history
  InDiff,            // password shown in a diff: both revisions' ids
};
struct AuditDetail {
  AuditDetailId id;
  const char* action;  // the action's key
  const char* key;     // "in the .osr file of {}"
  const char* text;    // UTF-8
};
const std::vector<AuditDetail>& AuditDetails();
// The detail to store: the form of `id` with `parts` in its places.
std::string AuditDetailKey(AuditDetailId id, const std::vector<std::string>& parts = {});
// The text of an entry's detail; a detail this program does not know (of
// an older or newer one) is shown as it is stored.
std::string AuditDetailText(std::string_view action, std::string_view detail);

// The limits of sessions and logins.
struct OfficePolicy {
  std::int64_t idle_ms = 30LL * 60 * 1000;         // a session unused this long ends
  std::int64_t absolute_ms = 12LL * 3600 * 1000;  // and every session ends this long after its login
  int lock_after = 5;                              // failed logins within lock_ms ...
  std::int64_t lock_ms = 15LL * 60 * 1000;        // ... lock the account and the address this long
};

// A refusal with the text the caller shows (never a password or a token).
class OfficeError : public std::runtime_error {
 public:
  enum Kind { Invalid, NotFound, Exists, LastAdmin };
  OfficeError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

struct LoginResult {
  enum Status { Ok, Wrong, Locked } status = Wrong;
  std::string token;            // Ok: the session's token, shown to the client alone
  SessionInfo session;          // Ok
  std::int64_t locked_ms = 0;   // Locked: how long until the next try
};

// The operator names the office takes: 1 to 64 characters of letters,
// digits, '.', '_', '-' and '@', starting with a letter or a digit.
bool ValidOperatorName(std::string_view name);
// Passwords of 8 to 1024 bytes.
std::string PasswordProblem(std::string_view password);

class Office {
 public:
  Office(Database& db, const OfficePolicy& policy) : db_(db), policy_(policy) {}

  // Makes or brings up to date the office's tables (forward only).
  static void Migrate(Database& db);

  bool HasOperators();
  std::vector<OperatorInfo> Operators();
  std::optional<OperatorInfo> Find(std::string_view name);
  // `by`/`from`: who does it and from where, for the audit log.
  void AddOperator(std::string_view name, Role role, std::string_view password,
                   std::string_view by, std::string_view from, std::int64_t now);
  void SetPassword(std::string_view name, std::string_view password, std::string_view by,
                   std::string_view from, std::int64_t now);
  void SetRole(std::string_view name, Role role, std::string_view by, std::string_view from,
               std::int64_t now);
  void SetDisabled(std::string_view name, bool disabled, std::string_view by,
                   std::string_view from, std::int64_t now);

  LoginResult Login(std::string_view name, std::string_view password, std::string_view from,
                    std::int64_t now);
  // The session of `token`, when it is one and has not expired; its use is
  // noted (which keeps it from its idle expiry).
  std::optional<SessionInfo> Authenticate(std::string_view token, std::int64_t now);
  void Logout(std::string_view token, std::string_view from, std::int64_t now);

  // Begun inside another transaction, the entry is part of that one.
  void Audit(std::string_view who, std::string_view from, std::string_view action,
             std::string_view subject, std::string_view detail, std::int64_t now);
  std::vector<AuditEntry> AuditSince(std::int64_t since, std::int64_t limit = -1);
  // Whether `who` has an entry of `action` on `subject` from `from` at
  // `since` or later.
  bool AuditedSince(std::string_view who, std::string_view from, std::string_view action, std::string_view subject,
                    std::int64_t since);

 private:
  void AuditIn(std::string_view who, std::string_view from, std::string_view action,
               std::string_view subject, std::string_view detail, std::int64_t now);
  OperatorInfo Existing(std::string_view name);
  void EndSessionsOf(std::string_view name);
  std::int64_t AdminsBesides(std::string_view name);

  Database& db_;
  OfficePolicy policy_;
};

// ISO 8601 UTC with milliseconds: "2026-12-09T22:51:03.120Z".
std::string IsoTime(std::int64_t ms);
// The same (or a date "2026-12-09", or with seconds alone) back; nothing
// when `text` is none of them.
std::optional<std::int64_t> ParseIsoTime(std::string_view text);
std::int64_t NowMs();

}  // namespace office
