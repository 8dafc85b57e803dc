// Every endpoint of the API against every role: 401 without a session,
// 403 without the right, and the endpoint's answer with it. An endpoint
// the API has and the table lacks fails the test, and so does a row the
// API has no endpoint for.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "OfficeTestSupport.h"
#include "app/ConfigFile.h"
#include "config/Configuration.h"
#include "config/ImageMap.h"
#include "config/PageLayout.h"
#include "config/Utf8.h"

namespace office {
namespace {

// The expected status for no session, viewer, installer and admin.
struct RightsRow {
  const char* method;
  const char* pattern;  // as the API's table names the endpoint
  std::string target;   // a concrete request; "{role}" is replaced by the caller's role
  std::string body;
  int none, viewer, installer, admin;
  bool fresh_session = false;  // the call ends its session (logout)
};

std::vector<RightsRow> Rows(const std::string& revision) {
  const std::string osr = DemoOsrBase64();
  const std::string record = Json{{"osr", osr}, {"comment", "by {role}"}, {"source", "edit"}}.dump();
  return {
      {"POST", "/api/login", "/api/login", Json{{"name", "viewer"}, {"password", TestPassword(Role::Viewer)}}.dump(),
       200, 200, 200, 200},
      {"POST", "/api/logout", "/api/logout", "", 401, 200, 200, 200, true},
      {"GET", "/api/session", "/api/session", "", 401, 200, 200, 200},
      {"GET", "/api/operators", "/api/operators", "", 401, 403, 403, 200},
      {"POST", "/api/operators", "/api/operators",
       R"({"name":"new-{role}","role":"viewer","password":"a long password"})", 401, 403, 403, 201},
      {"PATCH", "/api/operators/{name}", "/api/operators/viewer", R"({"role":"viewer"})", 401, 403, 403, 200},
      {"GET", "/api/audit", "/api/audit?since=2000-01-01", "", 401, 403, 403, 200},
      {"GET", "/api/sites", "/api/sites?q=04", "", 401, 200, 200, 200},
      {"POST", "/api/sites", "/api/sites", R"({"number":"n-{role}","customer":"c"})", 401, 403, 201, 201},
      {"GET", "/api/sites/{number}", "/api/sites/0417", "", 401, 200, 200, 200},
      {"PATCH", "/api/sites/{number}", "/api/sites/0417", R"({"notes":"seen by {role}"})", 401, 403, 200, 200},
      {"POST", "/api/sites/{number}/archive", "/api/sites/0417/archive", R"({"archived":false})", 401, 403, 403,
       200},
      {"GET", "/api/sites/{number}/log", "/api/sites/0417/log", "", 401, 200, 200, 200},
      {"POST", "/api/sites/{number}/revisions", "/api/sites/0417/revisions", record, 401, 403, 201, 201},
      {"GET", "/api/sites/{number}/revisions/{revision}", "/api/sites/0417/revisions/" + revision, "", 401, 200,
       200, 200},
      {"GET", "/api/sites/{number}/revisions/{revision}/osr", "/api/sites/0417/revisions/" + revision + "/osr", "",
       401, 403, 200, 200},
      {"GET", "/api/sites/{number}/revisions/{revision}/masked",
       "/api/sites/0417/revisions/" + revision + "/masked", "", 401, 200, 200, 200},
      {"GET", "/api/sites/{number}/diff", "/api/sites/0417/diff", "", 401, 200, 200, 200},
      {"GET", "/api/sites/{number}/password", "/api/sites/0417/password", "", 401, 403, 200, 200},
      {"GET", "/api/sites/{number}/export", "/api/sites/0417/export", "", 401, 403, 200, 200},
      {"GET", "/api/find", "/api/find?input2.change_only=yes", "", 401, 200, 200, 200},
  };
}

std::string WithRole(std::string text, const std::string& role) {
  for (std::size_t at; (at = text.find("{role}")) != std::string::npos;) text.replace(at, 6, role);
  return text;
}

class Rights : public ::testing::TestWithParam<std::string> {};

TEST_P(Rights, EveryEndpointAgainstEveryRole) {
  TestOffice office(GetParam());
  OFFICE_SKIP_IF_ABSENT(office);
  const std::string revision = AddDemoSite(office, "0417");
  const std::vector<RightsRow> rows = Rows(revision);

  // The table and the API name the same endpoints.
  std::set<std::string> in_table, in_api;
  for (const RightsRow& row : rows) in_table.insert(std::string(row.method) + " " + row.pattern);
  for (const Endpoint& e : office.ApiOf().Endpoints()) in_api.insert(std::string(e.method) + " " + e.path);
  for (const std::string& e : in_api) EXPECT_TRUE(in_table.count(e)) << e << " is missing from the rights table";
  for (const std::string& e : in_table) EXPECT_TRUE(in_api.count(e)) << e << " is no endpoint of the API";
  EXPECT_EQ(in_table.size(), rows.size()) << "an endpoint is in the table twice";

  std::map<Role, std::string> tokens;
  for (Role r : {Role::Viewer, Role::Installer, Role::Admin}) {
    tokens[r] = office.Login(r);
    ASSERT_FALSE(tokens[r].empty()) << RoleName(r);
  }
  for (const RightsRow& row : rows) {
    const std::pair<Role, int> columns[] = {
        {Role::None, row.none}, {Role::Viewer, row.viewer}, {Role::Installer, row.installer}, {Role::Admin, row.admin}};
    for (const auto& [role, expected] : columns) {
      std::string token;
      if (role != Role::None) token = row.fresh_session ? office.Login(role) : tokens[role];
      const std::string who = RoleName(role);
      const ApiResponse r = office.Call(row.method, WithRole(row.target, who), WithRole(row.body, who), token);
      EXPECT_EQ(r.status, expected) << row.method << " " << row.target << " as " << who << ": " << r.body;
      if (expected >= 400) {
        EXPECT_NE(r.body.find("\"error\""), std::string::npos) << row.target << " as " << who;
        if (expected == 403) {
          EXPECT_NE(r.body.find(RoleName(role)), std::string::npos) << r.body;
        }
      }
    }
  }
}

// The demonstration alarm's .osr file with the password `digits`, base64.
std::string DemoOsrWithPassword(const std::u16string& digits) {
  std::vector<std::uint8_t> osr;
  EXPECT_TRUE(DecodeBase64(DemoOsrBase64(), osr));
  std::vector<std::uint8_t> image(kImageSize);
  EXPECT_EQ(ParseConfigFile(osr.data(), osr.size(), image.data()), Loaded);
  Configuration model;
  model.Load(image.data());
  EXPECT_TRUE(model.Set("security.password", digits).ok);
  model.StoreOver(image.data());
  const auto bytes = ConfigFileBytes(image.data());
  return EncodeBase64(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

// What a viewer sees never holds the alarm's password, masked where it
// shows; an installer sees it where the registry's own views show it (the
// diff, the .osr file, its own endpoint), and the audit log notes it.
TEST_P(Rights, TheAlarmPasswordIsMaskedForViewersAndShownToInstallersOnTheRecord) {
  TestOffice office(GetParam());
  OFFICE_SKIP_IF_ABSENT(office);
  const std::string first = AddDemoSite(office, "0417");
  const std::string viewer = office.Login(Role::Viewer), installer = office.Login(Role::Installer);
  const ApiResponse password = office.Call("GET", "/api/sites/0417/password", "", installer);
  ASSERT_EQ(password.status, 200) << password.body;
  const std::string digits = Json::parse(password.body)["password"];
  ASSERT_EQ(digits.size(), 4u) << "the demonstration alarm has a password";
  // A second revision with another password, so that a diff holds both.
  const std::string other = digits == "7395" ? "7396" : "7395";
  const ApiResponse added = office.Call(
      "POST", "/api/sites/0417/revisions",
      Json{{"osr", DemoOsrWithPassword(std::u16string(other.begin(), other.end()))}}.dump(), installer);
  ASSERT_EQ(added.status, 201) << added.body;
  const std::string second = Json::parse(added.body)["id"];
  const std::string masked = ToUtf8(Masked(std::u16string(digits.begin(), digits.end())));
  const std::string diff = "/api/sites/0417/diff?from=" + first + "&to=" + second;
  const std::string revision = "/api/sites/0417/revisions/" + first;

  // Each view as each role: whether it shows the digits, whether it shows
  // them masked.
  const struct {
    std::string view;
    Role role;
    bool digits, masked;
  } rows[] = {
      {revision, Role::Viewer, false, true},
      {revision, Role::Installer, false, true},
      {revision + "/masked", Role::Viewer, false, true},
      {revision + "/masked", Role::Installer, false, true},
      {"/api/sites/0417/log", Role::Viewer, false, false},
      {"/api/sites/0417", Role::Viewer, false, false},
      {"/api/find?input2.change_only=yes", Role::Viewer, false, false},
      // A changed password is a change for both; its digits for the
      // installer alone, as in the registry's own diff.
      {diff, Role::Viewer, false, true},
      {diff, Role::Installer, true, false},
  };
  for (const auto& row : rows) {
    const ApiResponse r = office.Call("GET", row.view, "", row.role == Role::Viewer ? viewer : installer);
    const std::string who = row.view + " as " + RoleName(row.role);
    ASSERT_EQ(r.status, 200) << who << ": " << r.body;
    EXPECT_EQ(r.body.find("\"" + digits + "\"") != std::string::npos, row.digits) << who << ": " << r.body;
    EXPECT_EQ(r.body.find("\"" + other + "\"") != std::string::npos, row.digits && row.view == diff) << who;
    EXPECT_EQ(r.body.find("\"" + masked + "\"") != std::string::npos, row.masked) << who << ": " << r.body;
    if (row.view == diff) {
      const Json fields = Json::parse(r.body)["fields"];
      ASSERT_EQ(fields.size(), 1u) << who << ": " << r.body;
      EXPECT_EQ(fields[0]["key"], "security.password") << who;
    }
    if (row.view.ends_with("/masked")) {
      // A configuration file of every value but the password, which says
      // how the password is masked, and the CRC of the revision's file.
      const Json j = Json::parse(r.body);
      std::vector<std::uint8_t> osr, image(kImageSize), own;
      ASSERT_TRUE(DecodeBase64(j["osr"], osr)) << who;
      ASSERT_EQ(ParseConfigFile(osr.data(), osr.size(), image.data()), Loaded) << who;
      Configuration shown, whole;
      shown.Load(image.data());
      ASSERT_TRUE(DecodeBase64(DemoOsrBase64(), own));
      ASSERT_EQ(ParseConfigFile(own.data(), own.size(), image.data()), Loaded);
      whole.Load(image.data());
      for (const FieldRef& f : Configuration::AllFields())
        EXPECT_EQ(ToUtf8(shown.Get(f)), IsSecret(f) ? "" : ToUtf8(whole.Get(f))) << who << ": " << f.Key();
      EXPECT_EQ(j["masked"], Json::parse(R"([{"key":"security.password","value":")" + masked + "\"}]")) << who;
      char crc[16];
      std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(ConfigFileCrc(image.data())));
      EXPECT_EQ(j["crc"], crc) << who;
    }
  }
  for (const char* key : {"security.password", "security.*", "*word", "*"}) {
    const ApiResponse r = office.Call("GET", std::string("/api/find?") + key + "=" + digits, "", viewer);
    EXPECT_EQ(r.status, 403) << key << ": " << r.body;
  }
  EXPECT_EQ(office.Call("GET", "/api/sites/0417/password", "", viewer).status, 403);

  // An installer's page takes the .osr file whenever it opens the site,
  // and a diff may hold the password: noted the first time in a session
  // for each site, again in the next session (and in an earlier session
  // still open on another machine); the password's own endpoint is noted
  // each time; a viewer's views, never.
  const auto shownEntries = [&] {
    const Json entries = Json::parse(office.Call("GET", "/api/audit", "", office.Login(Role::Admin)).body)["entries"];
    std::vector<std::string> details;
    for (const Json& e : entries)
      if (e["action"] == "password shown") details.push_back(e["who"].get<std::string>() + ": " + e["detail"].get<std::string>());
    return details;
  };
  const std::size_t before = shownEntries().size();
  const std::string file = revision + "/osr";
  const std::string unchanged = "/api/sites/0417/diff?from=" + first + "&to=" + first;
  struct Opening {
    std::string target;
    bool newSession;
    std::size_t noted;  // entries added by this opening
    Role role = Role::Installer;
    int slot = 0;  // of two sessions open at once
    std::string remote = "192.0.2.1";
  };
  const Opening openings[] = {
      {file, true, 1}, {file, false, 0}, {file, false, 0}, {diff, false, 0},
      {"/api/sites/0417/password", false, 1}, {file, false, 0},
      {file, true, 1}, {file, false, 0},
      {"/api/sites/0417/password", true, 1}, {file, false, 0},
      {unchanged, true, 0}, {diff, false, 1}, {file, false, 0}, {diff, false, 0},
      {diff, true, 0, Role::Viewer}, {revision + "/masked", false, 0, Role::Viewer},
      {unchanged, true, 0}, {file, true, 1, Role::Installer, 1, "198.51.100.9"}, {file, false, 1},
      {file, false, 0, Role::Installer, 1, "198.51.100.9"}, {file, false, 0},
  };
  std::string sessions[2];
  std::size_t expected = before;
  for (const Opening& o : openings) {
    if (o.newSession) {
      // A later session begins after what the earlier one noted.
      const std::int64_t last = NowMs();
      while (NowMs() == last) {}
      sessions[o.slot] = office.Login(RoleName(o.role), TestPassword(o.role), o.remote);
    }
    ASSERT_EQ(office.Call("GET", o.target, "", sessions[o.slot], "https://office.test:8443", o.remote).status, 200)
        << o.target;
    expected += o.noted;
    EXPECT_EQ(shownEntries().size(), expected) << o.target << (o.newSession ? " in a new session" : "");
  }

  const ApiResponse audit = office.Call("GET", "/api/audit", "", office.Login(Role::Admin));
  EXPECT_NE(audit.body.find("password shown"), std::string::npos) << audit.body;
  const Json log = Json::parse(audit.body);
  for (const Json& entry : log["entries"])
    for (const char* field : {"who", "from", "action", "subject", "detail"})
      EXPECT_TRUE(PasswordPlaces(entry[field].get<std::string>(), {digits, other}).empty())
          << "the audit log holds the password: " << entry[field];
}

INSTANTIATE_TEST_SUITE_P(Backends, Rights, ::testing::ValuesIn(StoreBackends()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace office
