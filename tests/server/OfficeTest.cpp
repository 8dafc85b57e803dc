// The office's operators, sessions, locks and audit log, on every backend.
#include <gtest/gtest.h>

#include <cstring>

#include <set>
#include <sstream>

#include "OfficeTestSupport.h"
#include "server/ServerCommand.h"

namespace office {
namespace {

class OfficeOn : public ::testing::TestWithParam<std::string> {};

constexpr std::int64_t kMinute = 60 * 1000;

// Five failed logins lock the account and the address for 15 minutes:
// a table of attempts, each with its time, name, address and password,
// and the status it gets.
TEST_P(OfficeOn, FailedLoginsLockTheAccountAndTheAddress) {
  TestOffice office(GetParam());
  OFFICE_SKIP_IF_ABSENT(office);
  std::int64_t now = 1'800'000'000'000;
  office.ApiOf().clock = [&] { return now; };
  const std::string right = TestPassword(Role::Installer);
  struct Attempt {
    std::int64_t at_minute;
    const char* name;
    const char* from;
    bool right_password;
    int status;
  };
  const Attempt attempts[] = {
      {0, "installer", "10.0.0.1", false, 401},
      {0, "installer", "10.0.0.1", false, 401},
      {1, "installer", "10.0.0.2", false, 401},
      {1, "installer", "10.0.0.2", false, 401},
      {2, "installer", "10.0.0.3", false, 401},  // the fifth: the account is locked
      {2, "installer", "10.0.0.9", true, 429},   // even with the right password, from anywhere
      {3, "viewer", "10.0.0.9", true, 200},      // another account is not
      {16, "installer", "10.0.0.9", true, 429},  // nor a minute before the end
      {17, "installer", "10.0.0.9", true, 200},  // 15 minutes after the fifth
      // One address trying names: locked after five, for every name.
      {20, "a1", "10.0.0.7", false, 401},
      {20, "a2", "10.0.0.7", false, 401},
      {20, "a3", "10.0.0.7", false, 401},
      {20, "a4", "10.0.0.7", false, 401},
      {20, "a5", "10.0.0.7", false, 401},
      {21, "viewer", "10.0.0.7", true, 429},
      {21, "viewer", "10.0.0.8", true, 200},
      {34, "viewer", "10.0.0.7", true, 429},
      {35, "viewer", "10.0.0.7", true, 200},
      // Failures spread wider than 15 minutes lock nothing.
      {40, "installer", "10.0.1.1", false, 401},
      {44, "installer", "10.0.1.2", false, 401},
      {48, "installer", "10.0.1.3", false, 401},
      {52, "installer", "10.0.1.4", false, 401},
      {56, "installer", "10.0.1.5", false, 401},
      {57, "installer", "10.0.1.6", true, 200},
  };
  for (const Attempt& a : attempts) {
    now = 1'800'000'000'000 + a.at_minute * kMinute;
    const std::string password = a.right_password ? (std::string(a.name) + "-password") : "wrong password";
    const ApiResponse r = office.Call("POST", "/api/login", Json{{"name", a.name}, {"password", password}}.dump(),
                                      "", "https://office.test:8443", a.from);
    EXPECT_EQ(r.status, a.status) << a.name << " from " << a.from << " at minute " << a.at_minute << ": " << r.body;
    if (a.status == 429) {
      EXPECT_NE(r.body.find("locked"), std::string::npos) << r.body;
    }
    if (a.status == 401) { EXPECT_NE(r.body.find("wrong name or password"), std::string::npos) << r.body; }
  }
}

// A session ends when unused for the idle time, and in any case at the
// absolute limit; logout ends it; so do a new password and disabling.
TEST_P(OfficeOn, SessionsExpireAndEnd) {
  TestOffice office(GetParam());
  OFFICE_SKIP_IF_ABSENT(office);
  const OfficePolicy policy;
  std::int64_t now = 1'800'000'000'000;
  office.ApiOf().clock = [&] { return now; };
  struct Step {
    std::int64_t advance_ms;
    int status;
  };
  // Used every 20 minutes: alive until the absolute limit.
  std::string token = office.Login(Role::Viewer);
  for (std::int64_t t = 0; t + 20 * kMinute < policy.absolute_ms; t += 20 * kMinute) {
    now += 20 * kMinute;
    ASSERT_EQ(office.Call("GET", "/api/session", "", token).status, 200) << t;
  }
  now += 20 * kMinute;
  EXPECT_EQ(office.Call("GET", "/api/session", "", token).status, 401) << "past the absolute limit";

  token = office.Login(Role::Viewer);
  now += policy.idle_ms - 1000;
  EXPECT_EQ(office.Call("GET", "/api/session", "", token).status, 200);
  now += policy.idle_ms + 1000;
  EXPECT_EQ(office.Call("GET", "/api/session", "", token).status, 401) << "past the idle limit";

  token = office.Login(Role::Viewer);
  EXPECT_EQ(office.Call("POST", "/api/logout", "", token).status, 200);
  EXPECT_EQ(office.Call("GET", "/api/session", "", token).status, 401) << "after logout";

  const std::string admin = office.Login(Role::Admin);
  token = office.Login(Role::Viewer);
  EXPECT_EQ(office.Call("PATCH", "/api/operators/viewer", R"({"password":"another password"})", admin).status, 200);
  EXPECT_EQ(office.Call("GET", "/api/session", "", token).status, 401) << "after a new password";
  token = office.Login("viewer", "another password");
  EXPECT_EQ(office.Call("PATCH", "/api/operators/viewer", R"({"disabled":true})", admin).status, 200);
  EXPECT_EQ(office.Call("GET", "/api/session", "", token).status, 401) << "after disabling";
  EXPECT_EQ(office.Login("viewer", "another password"), "") << "a disabled operator logs in";

  // Forged tokens: none of them is a session.
  for (const std::string& forged : {std::string(64, '0'), token.substr(0, 63) + "x", token + "0", std::string("")})
    EXPECT_EQ(office.Call("GET", "/api/session", "", forged).status, 401) << forged;
}

// Operators managed through the API: the last admin stays; a role
// downgraded takes effect on the next request.
TEST_P(OfficeOn, OperatorsChangeWithoutLosingTheLastAdmin) {
  TestOffice office(GetParam());
  OFFICE_SKIP_IF_ABSENT(office);
  const std::string admin = office.Login(Role::Admin);
  struct Row {
    const char* method;
    const char* target;
    const char* body;
    int status;
  };
  const Row rows[] = {
      {"PATCH", "/api/operators/admin", R"({"role":"viewer"})", 409},
      {"PATCH", "/api/operators/admin", R"({"disabled":true})", 409},
      {"POST", "/api/operators", R"({"name":"boss","role":"admin","password":"boss password"})", 201},
      {"POST", "/api/operators", R"({"name":"boss","role":"admin","password":"boss password"})", 409},
      {"POST", "/api/operators", R"({"name":"x y","role":"admin","password":"boss password"})", 400},
      {"POST", "/api/operators", R"({"name":"short","role":"admin","password":"123"})", 400},
      {"POST", "/api/operators", R"({"name":"r","role":"root","password":"long enough"})", 400},
      {"POST", "/api/operators", R"({"name":"r","role":"viewer"})", 400},
      {"PATCH", "/api/operators/nobody", R"({"role":"viewer"})", 404},
      {"PATCH", "/api/operators/installer", R"({"shell":"/bin/sh"})", 400},
      {"PATCH", "/api/operators/installer", R"({})", 400},
      {"PATCH", "/api/operators/installer", R"({"disabled":"yes"})", 400},
      {"PATCH", "/api/operators/installer", R"({"role":"viewer"})", 200},
      {"PATCH", "/api/operators/boss", R"({"role":"viewer"})", 200},  // admin is an admin still
  };
  const std::string installer = office.Login(Role::Installer);
  for (const Row& row : rows) {
    const ApiResponse r = office.Call(row.method, row.target, row.body, admin);
    EXPECT_EQ(r.status, row.status) << row.target << " " << row.body << ": " << r.body;
  }
  EXPECT_EQ(office.Call("POST", "/api/sites", R"({"number":"1"})", installer).status, 403)
      << "the installer made a viewer keeps the installer's rights";
}

// The audit log: who did what from where, in order, append-only in the
// database itself, and free of passwords and tokens.
TEST_P(OfficeOn, TheAuditLogNotesEveryActionAndIsAppendOnly) {
  TestOffice office(GetParam());
  OFFICE_SKIP_IF_ABSENT(office);
  AddDemoSite(office, "0417");
  const std::string admin = office.Login(Role::Admin);
  const std::string installer = office.Login(Role::Installer);
  office.Login("viewer", "not the password", "198.51.100.7");
  office.Call("POST", "/api/operators", R"({"name":"newcomer","role":"viewer","password":"secret-pw-1"})", admin);
  office.Call("POST", "/api/sites/0417/revisions", Json{{"osr", DemoOsrBase64()}, {"source", "edit"}}.dump(), installer);
  office.Call("GET", "/api/sites/0417/password", "", installer);
  office.Call("POST", "/api/sites/0417/archive", "", admin);
  office.Call("PATCH", "/api/operators/newcomer", R"({"role":"installer"})", admin);
  office.Login("nobody", "not the password");
  office.Call("POST", "/api/logout", "", installer);
  const ApiResponse r = office.Call("GET", "/api/audit", "", admin);
  ASSERT_EQ(r.status, 200);
  std::vector<std::string> seen;
  const Json log = Json::parse(r.body);
  for (const Json& e : log["entries"]) {
    seen.push_back(e["action"].get<std::string>() + " by " + e["who"].get<std::string>() + " from " +
                   e["from"].get<std::string>());
    // Every action the office writes has its text in the table of texts.
    EXPECT_NE(e["action_text"], e["action"]) << "no text for the action " << e["action"];
    EXPECT_EQ(e["action_text"], AuditActionText(e["action"].get<std::string>()));
    // And every detail it writes, in the office's words.
    EXPECT_EQ(e["detail_text"], AuditDetailText(e["action"].get<std::string>(), e["detail"].get<std::string>()));
    if (e["detail"] != "") { EXPECT_NE(e["detail_text"], e["detail"]) << "no text for the detail " << e["detail"]; }
  }
  const std::vector<std::string> expected = {
      "operator added by test from local",       "operator added by test from local",
      "operator added by test from local",       "login by admin from 192.0.2.1",
      "login by installer from 192.0.2.1",       "login failed by viewer from 198.51.100.7",
      "operator added by admin from 192.0.2.1",  "revision recorded by installer from 192.0.2.1",
      "password shown by installer from 192.0.2.1", "site archived by admin from 192.0.2.1",
      "role changed by admin from 192.0.2.1",    "login failed by nobody from 192.0.2.1",
      "logout by installer from 192.0.2.1"};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(r.body.find("secret-pw-1"), std::string::npos);
  EXPECT_EQ(r.body.find("not the password"), std::string::npos);
  EXPECT_EQ(r.body.find(admin), std::string::npos);

  auto db = office.Store().Pool().Get();
  for (const char* change : {"UPDATE audit SET who = 'someone else'", "DELETE FROM audit"}) {
    EXPECT_THROW(db->Execute(change), DbError) << change;
    if (db->InTransaction()) db->Rollback();
  }
}

// The actions' texts: one for every key, none shown for two actions, and a
// key this program does not know (a newer one's) shown as it is stored.
TEST(AuditActions, EachKeyHasItsOwnText) {
  std::set<std::string> keys, texts;
  for (const AuditAction& a : AuditActions()) {
    EXPECT_TRUE(keys.insert(a.key).second) << a.key;
    EXPECT_TRUE(texts.insert(a.text).second) << a.text;
    EXPECT_EQ(AuditActionText(a.key), a.text);
    EXPECT_NE(std::string(a.text), a.key);
  }
  EXPECT_EQ(AuditActionText("site merged"), "site merged");
  EXPECT_EQ(AuditActionText(""), "");
}

// The entries' details: the stored form (which stays, for stored logs and
// scripts) shown in the office's words, its parts taken over; a role in
// the office's words; a detail this program does not know shown as it is.
TEST(AuditDetails, EachStoredFormIsShownInTheOfficesWords) {
  const struct {
    const char* action;
    std::string detail, text;
  } rows[] = {
      {"login failed", "wrong password", "неверный пароль"},
      {"login failed", "no such operator", "нет такого оператора"},
      {"login failed", "operator disabled", "оператор отключён"},
      {"login refused", "locked after failed logins", "заблокировано после неудачных входов"},
      {"login", "installer", "роль: монтажник"},
      {"operator added", "viewer", "роль: просмотр"},
      {"role changed", "viewer -> admin", "просмотр → администратор"},
      {"revision recorded", "3f0c9a1b2d4e", "редакция 3f0c9a1b2d4e"},
      {"revision recorded", "3f0c9a1b2d4e by петров by night", "редакция 3f0c9a1b2d4e, автор петров by night"},
      {"password shown", "3f0c9a1b2d4e", "по запросу пароля, редакция 3f0c9a1b2d4e"},
      {"password shown", "in the .osr file of 3f0c9a1b2d4e", "в файле .osr редакции 3f0c9a1b2d4e"},
      {"password shown", "in its exported history", "в выгрузке истории объекта"},
      {"password shown", "in the diff of 3f0c9a1b2d4e and 0a1b2c3d4e5f",
       "в сравнении редакций 3f0c9a1b2d4e и 0a1b2c3d4e5f"},
      // Not known: as stored.
      {"login failed", "a reason of a newer office", "a reason of a newer office"},
      {"login", "superuser", "superuser"},
      {"role changed", "viewer -> ", "viewer -> "},
      {"role changed", "viewer -> admin -> viewer", "viewer -> admin -> viewer"},
      {"wrong password", "wrong password", "wrong password"},
      {"site added", "", ""},
      {"login failed", "", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(AuditDetailText(row.action, row.detail), row.text) << row.detail;
  // Every form the office writes, filled, comes back as its text with its
  // parts.
  for (const AuditDetail& d : AuditDetails()) {
    std::vector<std::string> parts;
    for (const char* at = d.key; (at = std::strchr(at, '{')); ++at)
      parts.push_back(std::string_view(at).starts_with("{role}") ? "admin" : "9" + std::to_string(parts.size()) + "ab");
    const std::string key = AuditDetailKey(d.id, parts), text = AuditDetailText(d.action, key);
    EXPECT_NE(text, key) << key;
    EXPECT_EQ(text.find('{'), std::string::npos) << text;
    for (const std::string& part : parts)
      EXPECT_NE(text.find(part == "admin" ? "администратор" : part), std::string::npos) << key << ": " << text;
  }
}

// `ostrel-server audit` on the office's data folder: the listing shows each
// action's text, the CSV keeps the key and adds the text as its last column.
TEST(AuditCommand, ListsTextsAndWritesTheKeysInItsCsv) {
  TestOffice office("sqlite");
  OFFICE_SKIP_IF_ABSENT(office);
  office.Login("viewer", "not the password", "198.51.100.7");
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"--data", office.Folder()});
    std::istringstream in;
    std::ostringstream out, err;
    ServerEnvironment env{in, out, err, false};
    EXPECT_EQ(RunServerCommand(args, env), 0) << err.str();
    return out.str();
  };
  const std::string failed = AuditActionText("login failed"), why = AuditDetailText("login failed", "wrong password");
  const std::string listing = run({"audit"});
  EXPECT_NE(listing.find("viewer (198.51.100.7)  " + failed + " viewer [" + why + "]"), std::string::npos) << listing;
  const std::string csv = run({"audit", "--csv"});
  EXPECT_EQ(csv.rfind("at,who,from,action,subject,detail,action_text,detail_text\r\n", 0), 0u) << csv;
  EXPECT_NE(csv.find(",viewer,198.51.100.7,login failed,viewer,wrong password," + failed + "," + why + "\r\n"),
            std::string::npos)
      << csv;
}

INSTANTIATE_TEST_SUITE_P(Backends, OfficeOn, ::testing::ValuesIn(StoreBackends()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace office
