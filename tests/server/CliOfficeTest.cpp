// ostrel-cli at the office: a real office on HTTPS (on SQLite and on
// PostgreSQL), the command line run in-process against it. The login and
// its certificate, the session kept and ended, the rights, the site
// commands answering as they do on the local registry, and the sync.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "HttpsTestSupport.h"
#include "OfficeTestSupport.h"
#include "cli/CliTestSupport.h"
#include "cli/OfficeClient.h"
#include "server/Certificate.h"

namespace {

using office::Role;

std::string Line(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& a : args) line += a + ' ';
  return line;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class CliAtTheOffice : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    office_ = std::make_unique<office::TestOffice>(GetParam());
    OFFICE_SKIP_IF_ABSENT(*office_);
    running_ = std::make_unique<office::RunningOffice>(*office_);
    url_ = "https://127.0.0.1:" + std::to_string(running_->Port());
    fingerprint_ = office::FingerprintOfFile(office_->Folder() + "/cert.pem");
    setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    setenv("OSTREL_REGISTRY", (dir_ / "sites.db").c_str(), 1);
    setenv("USER", "ivan", 1);
    unsetenv("OSTREL_SERVER");
    for (Role role : {Role::Viewer, Role::Installer, Role::Admin})
      std::ofstream(PasswordFile(role)) << office::TestPassword(role) << '\n';
  }
  void TearDown() override {
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("OSTREL_REGISTRY");
  }

  std::string PasswordFile(Role role) { return dir_ / (std::string("password-") + office::RoleName(role)); }
  std::string Offices() { return dir_ / "config/ostrel/offices"; }
  std::string Kept(const char* what) {
    return Offices() + "/127.0.0.1_" + std::to_string(running_->Port()) + "." + what;
  }

  // The command line with --server first.
  CliRun AtOffice(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--server", url_});
    return RunCommand(args, nullptr, false, 10000, input);
  }
  void LoginAs(Role role) {
    const CliRun r = AtOffice({"login", office::RoleName(role), "--password-file", PasswordFile(role), "--trust",
                               fingerprint_});
    ASSERT_EQ(r.status, ExitDone) << r.err;
  }
  // A local registry with the site 0417 and two revisions: the demo
  // configuration, then one that calls another number; the file of the
  // second is dir/b.osr.
  void LocalSiteWithTwoRevisions() {
    ASSERT_EQ(RunCommand({"site", "add", "0417", "--customer", "Иванов", "--address", "Тверская 1"}).status,
              ExitDone);
    WriteImage(dir_ / "a.osr", Configured({{"phone1.number", "+79161234567"}}));
    WriteImage(dir_ / "b.osr", Configured({{"phone1.number", "+79990001122"}, {"input2.entry_delay", "10"}}));
    for (const char* file : {"a.osr", "b.osr"})
      ASSERT_EQ(RunCommand({"site", "put", "0417", dir_ / file, "-m", file}).status, ExitDone);
  }
  std::set<std::string> Ids(const CliRun& logJson) {
    std::set<std::string> ids;
    for (const auto& r : nlohmann::json::parse(logJson.out)) ids.insert(r["id"].get<std::string>());
    return ids;
  }

  ScratchFolder dir_;
  std::unique_ptr<office::TestOffice> office_;
  std::unique_ptr<office::RunningOffice> running_;
  std::string url_, fingerprint_;
};

// The first login: the certificate shown and trusted on "y" or by --trust,
// or refused with nothing kept; a wrong password keeps nothing either.
TEST_P(CliAtTheOffice, FirstLoginTrustsTheCertificateOnlyWhenTold) {
  std::string lower;
  for (char c : fingerprint_)
    if (c != ':') lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string other = "00" + fingerprint_.substr(2);
  const struct {
    const char* what;
    std::string input, trust;
    Role role;
    int status;
    bool asked;  // the fingerprint shown on stderr
    bool loggedIn;
  } rows[] = {
      {"answered y", "y\n", "", Role::Installer, ExitDone, true, true},
      {"answered n", "n\n", "", Role::Installer, ExitOffice, true, false},
      {"no answer", "", "", Role::Installer, ExitOffice, true, false},
      {"--trust, lower case without colons", "", lower, Role::Viewer, ExitDone, false, true},
      {"--trust of another certificate", "y\n", other, Role::Installer, ExitOffice, false, false},
      {"--trust that is no fingerprint", "y\n", "AB:CD", Role::Installer, ExitInvalid, false, false},
  };
  for (const auto& row : rows) {
    std::filesystem::remove_all(dir_ / "config");
    std::vector<std::string> args{"login", office::RoleName(row.role), "--password-file", PasswordFile(row.role)};
    if (!row.trust.empty()) args.insert(args.end(), {"--trust", row.trust});
    const CliRun r = AtOffice(args, row.input);
    EXPECT_EQ(r.status, row.status) << row.what << ": " << r.err;
    EXPECT_EQ(r.err.find(fingerprint_) != std::string::npos, row.asked || row.status == ExitOffice)
        << row.what << ": " << r.err;
    EXPECT_EQ(std::filesystem::exists(Kept("session")), row.loggedIn) << row.what;
    EXPECT_EQ(std::filesystem::exists(Kept("certificate")), row.loggedIn) << row.what;
    if (!row.loggedIn) continue;
    std::string token = ReadAll(Kept("session"));
    ASSERT_GT(token.size(), 40u) << row.what;
    token.pop_back();  // its line end
    // The token for its owner's eyes alone, and never shown.
    struct stat st {};
    ASSERT_EQ(stat(Kept("session").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << row.what;
    ASSERT_EQ(stat(Offices().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << row.what;
    EXPECT_EQ((r.out + r.err).find(token.substr(0, 16)), std::string::npos) << row.what;
    EXPECT_NE(r.out.find(std::string("as ") + office::RoleName(row.role)), std::string::npos) << r.out;
    EXPECT_EQ(AtOffice({"site", "list"}).status, ExitDone) << row.what;
  }
  // A wrong password: refused, and no session kept.
  std::filesystem::remove_all(dir_ / "config");
  std::ofstream(dir_ / "wrong") << "not-the-password\n";
  const CliRun wrong = AtOffice({"login", "installer", "--password-file", dir_ / "wrong", "--trust", fingerprint_});
  EXPECT_EQ(wrong.status, ExitDevice) << wrong.err;
  EXPECT_FALSE(std::filesystem::exists(Kept("session")));
}

// Logout ends the session at the office too: its token, put back, is
// refused there.
TEST_P(CliAtTheOffice, LogoutEndsTheSessionAtTheOffice) {
  LoginAs(Role::Installer);
  const std::string token = ReadAll(Kept("session"));
  const CliRun out = AtOffice({"logout"});
  EXPECT_EQ(out.status, ExitDone) << out.err;
  EXPECT_FALSE(std::filesystem::exists(Kept("session")));
  std::ofstream(Kept("session")) << token;
  const CliRun after = AtOffice({"site", "list"});
  EXPECT_EQ(after.status, ExitSession) << after.err;
  EXPECT_NE(after.err.find("login NAME"), std::string::npos) << after.err;
  EXPECT_FALSE(std::filesystem::exists(Kept("session")));  // the stale token is gone
  EXPECT_EQ(AtOffice({"logout"}).out, "not logged in at " + url_ + "\n");
}

// What each role may do from the command line; a refusal exits 3 with the
// office's message and changes nothing there.
TEST_P(CliAtTheOffice, EachRoleGetsItsRightsAndARefusalExitsThree) {
  LoginAs(Role::Installer);
  WriteImage(dir_ / "demo.osr", DemoImage());
  ASSERT_EQ(AtOffice({"site", "add", "0417"}).status, ExitDone);
  ASSERT_EQ(AtOffice({"site", "put", "0417", dir_ / "demo.osr"}).status, ExitDone);
  const struct {
    Role role;
    std::vector<std::string> args;
    int status;
  } rows[] = {
      {Role::Viewer, {"site", "list"}, ExitDone},
      {Role::Viewer, {"site", "log", "0417"}, ExitDone},
      {Role::Viewer, {"find", "phone1.number=+79990001122"}, ExitDone},
      {Role::Viewer, {"site", "put", "0417", dir_ / "demo.osr"}, ExitDevice},
      {Role::Viewer, {"site", "add", "0500"}, ExitDevice},
      {Role::Viewer, {"site", "edit", "0417", "--notes", "x"}, ExitDevice},
      {Role::Viewer, {"site", "get", "0417", "-o", dir_ / "got.osr"}, ExitDevice},
      {Role::Viewer, {"site", "export", "0417"}, ExitDevice},
      {Role::Viewer, {"read", "--emulated", "--site", "0417"}, ExitDevice},
      {Role::Installer, {"site", "put", "0417", dir_ / "demo.osr", "-m", "again"}, ExitDone},
      {Role::Installer, {"site", "get", "0417", "-o", dir_ / "got.osr"}, ExitDone},
      {Role::Installer, {"read", "--emulated", "--site", "0417"}, ExitDone},
      {Role::Installer, {"site", "archive", "0417"}, ExitDevice},
      {Role::Admin, {"site", "archive", "0417"}, ExitDone},
      {Role::Admin, {"site", "archive", "0417", "--undo"}, ExitDone},
  };
  for (const auto& row : rows) {
    LoginAs(row.role);
    const std::string before = office_->Snapshot();
    const CliRun r = AtOffice(row.args);
    EXPECT_EQ(r.status, row.status) << office::RoleName(row.role) << ": " << Line(row.args) << r.err;
    if (row.status != ExitDevice) continue;
    EXPECT_NE(r.err.find("ostrel-cli: refused: "), std::string::npos) << r.err;
    EXPECT_EQ(office_->Snapshot(), before) << Line(row.args);
  }
}

// A viewer at the office sees what an installer sees, the alarm's password
// masked as the office masks it: site show in each of its forms, and
// site report (which an installer's masks too, CRC and all). What would
// give a viewer the password is refused: report --show-password, and
// get, whose file without the password would delete the alarm's own if
// written to the alarm. Nothing a viewer does is noted as a password shown.
TEST_P(CliAtTheOffice, AViewerSeesRevisionsWithThePasswordMaskedAndGetsNoFile) {
  // The password of the first revision, then of the second (the head).
  const std::string digits = "4826", later = "5937", masked = "****";
  LoginAs(Role::Installer);
  WriteImage(dir_ / "p.osr", Configured({{"security.password", digits}, {"phone1.number", "+79161234567"}}));
  ASSERT_EQ(AtOffice({"site", "add", "0417", "--customer", "Иванов", "--address", "Тверская 1"}).status, ExitDone);
  ASSERT_EQ(AtOffice({"site", "put", "0417", dir_ / "p.osr", "-m", "first"}).status, ExitDone);
  WriteImage(dir_ / "q.osr", Configured({{"security.password", later}, {"phone1.number", "+79990001122"}}));
  ASSERT_EQ(AtOffice({"site", "put", "0417", dir_ / "q.osr"}).status, ExitDone);
  const std::string first = nlohmann::json::parse(AtOffice({"site", "log", "0417", "--json"}).out).back()["id"];
  const std::string got = dir_ / "got.osr";
  const struct {
    std::vector<std::string> args;
    std::size_t shown;  // how often the installer's output holds a password
    const char* refused;  // a viewer's refusal, or nullptr
    int status = ExitDone;
  } rows[] = {
      {{"site", "show", "0417"}, 1, nullptr},
      {{"site", "show", "0417", "--json"}, 1, nullptr},
      // A changed password is a change for a viewer too, of **** to ****.
      {{"site", "diff", "0417"}, 2, nullptr, ExitDifferent},
      {{"site", "diff", "0417", "--json"}, 2, nullptr, ExitDifferent},
      {{"site", "show", "0417", first.substr(0, 6), "--page", "security"}, 1, nullptr},
      {{"site", "show", "0417", "--page", "phone1"}, 0, nullptr},
      {{"site", "report", "0417", "-o", "-"}, 0, nullptr},
      {{"site", "report", "0417", first.substr(0, 6), "-o", "-", "--installer", "Петров"}, 0, nullptr},
      {{"site", "report", "0417", "-o", "-", "--show-password"}, 1, "a viewer does not see the alarm's password"},
      {{"site", "get", "0417", "-o", got}, 0, "would delete the alarm's password"},
  };
  const auto shownCount = [&] {
    std::size_t n = 0;
    const auto entries = nlohmann::json::parse(office_->Call("GET", "/api/audit", "", office_->Login(Role::Admin)).body);
    for (const auto& e : entries["entries"]) n += e["action"] == "password shown" && e["who"] == "viewer";
    return n;
  };
  for (const auto& row : rows) {
    std::filesystem::remove(got);
    LoginAs(Role::Installer);
    const CliRun installer = AtOffice(row.args);
    ASSERT_EQ(installer.status, row.status) << Line(row.args) << installer.err;
    const auto places = office::PasswordPlaces(installer.out, {digits, later});
    EXPECT_EQ(places.size(), row.shown) << Line(row.args) << installer.out;
    std::filesystem::remove(got);
    LoginAs(Role::Viewer);
    const CliRun viewer = AtOffice(row.args);
    if (row.refused) {
      EXPECT_EQ(viewer.status, ExitDevice) << Line(row.args) << viewer.err;
      EXPECT_NE(viewer.err.find(row.refused), std::string::npos) << Line(row.args) << viewer.err;
      EXPECT_EQ(viewer.out, "") << Line(row.args);
      EXPECT_FALSE(std::filesystem::exists(got)) << Line(row.args);
      continue;
    }
    std::string expected = installer.out;
    for (auto place = places.rbegin(); place != places.rend(); ++place)
      expected.replace(place->first, place->second, masked);
    EXPECT_EQ(viewer.status, row.status) << Line(row.args) << viewer.err;
    EXPECT_EQ(viewer.out, expected) << Line(row.args);
  }
  EXPECT_EQ(shownCount(), 0u);
}

// The office records the operator logged in as a revision's author:
// --author, which would record under another name, is refused before
// anything is sent or read from the alarm; without it the author is the
// operator, whatever the login name on this machine.
TEST_P(CliAtTheOffice, TheAuthorAtTheOfficeIsTheOperatorLoggedIn) {
  LoginAs(Role::Installer);
  WriteImage(dir_ / "demo.osr", DemoImage());
  WriteImage(dir_ / "b.osr", Configured({{"phone1.number", "+79990001122"}}));
  ASSERT_EQ(AtOffice({"site", "add", "0417"}).status, ExitDone);
  const struct {
    std::vector<std::string> args;
    int status;
    const char* author;  // of the newest revision afterwards, or nullptr: nothing recorded
  } rows[] = {
      {{"site", "put", "0417", dir_ / "demo.osr", "--author", "petrov"}, ExitInvalid, nullptr},
      {{"site", "put", "0417", dir_ / "demo.osr", "--author", "installer"}, ExitInvalid, nullptr},
      {{"read", "--emulated", "--site", "0417", "--author", "petrov"}, ExitInvalid, nullptr},
      {{"write", "--emulated", dir_ / "b.osr", "--site", "0417", "--author", "petrov"}, ExitInvalid, nullptr},
      {{"site", "put", "0417", dir_ / "demo.osr", "-m", "by whoever"}, ExitDone, "installer"},
      {{"read", "--emulated", "--site", "0417"}, ExitDone, "installer"},
  };
  for (const auto& row : rows) {
    const std::string before = office_->Snapshot();
    const CliRun r = AtOffice(row.args);
    EXPECT_EQ(r.status, row.status) << Line(row.args) << r.err;
    if (!row.author) {
      EXPECT_NE(r.err.find("records the operator logged in"), std::string::npos) << r.err;
      EXPECT_EQ(office_->Snapshot(), before) << Line(row.args);
      continue;
    }
    const auto log = nlohmann::json::parse(AtOffice({"site", "log", "0417", "--json"}).out);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front()["author"], row.author) << Line(row.args);
  }
  // On this machine's registry --author is taken as it is.
  ASSERT_EQ(RunCommand({"site", "add", "0417"}).status, ExitDone);
  ASSERT_EQ(RunCommand({"site", "put", "0417", dir_ / "demo.osr", "--author", "petrov"}).status, ExitDone);
  EXPECT_EQ(nlohmann::json::parse(RunCommand({"site", "log", "0417", "--json"}).out).front()["author"], "petrov");
}

// The site commands print at the office what they print on the local
// registry of the same history (the sync copies it there whole), and a
// second sync adds nothing on either side.
TEST_P(CliAtTheOffice, SiteCommandsAnswerAsTheLocalRegistryAndSyncTwiceAddsNothing) {
  LocalSiteWithTwoRevisions();
  LoginAs(Role::Installer);
  const CliRun sync = AtOffice({"site", "sync", "0417"});
  ASSERT_EQ(sync.status, ExitDone) << sync.err;
  EXPECT_EQ(sync.out, "site 0417: sent 2 revisions to " + url_ + ", took 0 from it\n");
  const std::set<std::string> ids = Ids(RunCommand({"site", "log", "0417", "--json"}));
  const std::string first = *std::min_element(ids.begin(), ids.end());
  const std::vector<std::vector<std::string>> lines = {
      {"site", "list"},
      {"site", "list", "иван"},
      {"site", "list", "nobody"},
      {"site", "show", "0417"},
      {"site", "show", "0417", "--page", "phone1", "--json"},
      {"site", "show", "0417", first.substr(0, 8)},
      {"site", "log", "0417"},
      {"site", "log", "0417", "-n", "1", "--json"},
      {"site", "diff", "0417"},
      {"site", "diff", "0417", "--json"},
      {"find", "phone*.number=+79990001122"},
      {"find", "input2.entry_delay=10", "phone1.number=+79161234567"},
      {"site", "show", "0418"},
      {"site", "show", "0417", "ffffffff"},
      {"find", "nosuchkey=1"},
  };
  for (const auto& line : lines) {
    const CliRun here = RunCommand(line);
    const CliRun there = AtOffice(line);
    EXPECT_EQ(there.status, here.status) << Line(line) << there.err;
    EXPECT_EQ(there.out, here.out) << Line(line);
  }
  // A revision recorded at the office and one here, on the same head:
  // the sync sends one, takes one, and both sides then hold the same
  // revisions and see two heads.
  WriteImage(dir_ / "c.osr", Configured({{"phone2.number", "+79990002233"}}));
  ASSERT_EQ(AtOffice({"site", "put", "0417", dir_ / "c.osr", "-m", "at the office"}).status, ExitDone);
  ASSERT_EQ(RunCommand({"site", "put", "0417", dir_ / "a.osr", "-m", "here"}).status, ExitDone);
  const CliRun both = AtOffice({"site", "sync", "0417"});
  EXPECT_EQ(both.out, "site 0417: sent 1 revision to " + url_ +
                          ", took 1 from it; the site has diverged: 2 heads (site log lists them)\n")
      << both.err;
  const std::string snapshot = office_->Snapshot();
  const CliRun again = AtOffice({"site", "sync", "0417", "--json"});
  ASSERT_EQ(again.status, ExitDone) << again.err;
  const auto counts = nlohmann::json::parse(again.out);
  EXPECT_EQ(counts["sent"], 0);
  EXPECT_EQ(counts["taken"], 0);
  EXPECT_EQ(office_->Snapshot(), snapshot);
  EXPECT_EQ(Ids(RunCommand({"site", "log", "0417", "--json"})), Ids(AtOffice({"site", "log", "0417", "--json"})));
  EXPECT_EQ(Ids(RunCommand({"site", "log", "0417", "--json"})).size(), 4u);
  // A site that is only at the office comes here whole.
  ASSERT_EQ(AtOffice({"site", "add", "0420", "--customer", "Петров"}).status, ExitDone);
  ASSERT_EQ(AtOffice({"site", "put", "0420", dir_ / "c.osr"}).status, ExitDone);
  EXPECT_EQ(AtOffice({"site", "sync", "0420"}).out, "site 0420: sent 0 revisions to " + url_ + ", took 1 from it\n");
  EXPECT_EQ(RunCommand({"site", "show", "0420"}).out, AtOffice({"site", "show", "0420"}).out);
}

// What goes wrong between the tool and the office, each with its message
// and exit status, and nothing sent where the certificate is not the one
// trusted.
TEST_P(CliAtTheOffice, ACertificateNotTrustedAnOfficeAwayAndAnEndedSessionEachSaySo) {
  const std::string other = "00" + fingerprint_.substr(2);
  const int closedPort = [] {
    // A port that was free a moment ago.
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    close(s);
    return int(ntohs(a.sin_port));
  }();
  const std::string away = "https://127.0.0.1:" + std::to_string(closedPort);
  const auto keptFor = [&](int port, const char* what) {
    return Offices() + "/127.0.0.1_" + std::to_string(port) + "." + what;
  };
  const struct {
    const char* what;
    std::function<void()> setUp;
    std::vector<std::string> args;
    int status;
    std::vector<std::string> said;
  } rows[] = {
      {"a changed certificate", [&] { std::ofstream(Kept("certificate")) << other << '\n'; },
       {"--server", url_, "site", "list"}, ExitOffice, {other, fingerprint_, "nothing was sent"}},
      {"a changed certificate at login", [&] { std::ofstream(Kept("certificate")) << other << '\n'; },
       {"--server", url_, "login", "installer", "--password-file", PasswordFile(Role::Installer)}, ExitOffice,
       {other, fingerprint_}},
      {"a forged token", [&] { std::ofstream(Kept("session")) << std::string(64, 'a') << '\n'; },
       {"--server", url_, "site", "log", "0417"}, ExitSession, {"login NAME"}},
      {"no session", [&] { std::filesystem::remove(Kept("session")); }, {"--server", url_, "find", "a=b"},
       ExitSession, {"not logged in at " + url_}},
      {"the office away",
       [&] {
         std::filesystem::copy_file(Kept("session"), keptFor(closedPort, "session"));
         std::filesystem::copy_file(Kept("certificate"), keptFor(closedPort, "certificate"));
       },
       {"--server", away, "site", "list"}, ExitOffice, {"cannot reach the office at " + away}},
      {"login where nothing answers", [] {}, {"--server", away, "login", "installer", "--trust", fingerprint_},
       ExitOffice, {"cannot reach the office at " + away}},
      {"an address without https", [] {}, {"--server", "http://127.0.0.1:1", "site", "list"}, ExitInvalid,
       {"https://HOST[:PORT]"}},
      {"from the environment", [&] { setenv("OSTREL_SERVER", url_.c_str(), 1); }, {"site", "import", dir_ / "x"},
       ExitInvalid, {"works on this machine's registry"}},
  };
  for (const auto& row : rows) {
    std::filesystem::remove_all(dir_ / "config");
    LoginAs(Role::Installer);
    row.setUp();
    const CliRun r = RunCommand(row.args);
    unsetenv("OSTREL_SERVER");
    EXPECT_EQ(r.status, row.status) << row.what << ": " << r.err;
    for (const std::string& text : row.said) EXPECT_NE(r.err.find(text), std::string::npos) << row.what << ": " << r.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, CliAtTheOffice, ::testing::ValuesIn(office::StoreBackends()),
                         [](const auto& info) { return info.param; });

}  // namespace
