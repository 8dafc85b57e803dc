// The site commands: a new user's way through them, the import run twice,
// and a table of bad input, each refused with a clear message, the right
// exit status and the registry left as it was.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <functional>

#include <nlohmann/json.hpp>

#include "cli/CliTestSupport.h"
#include "cli/Operations.h"

namespace {

// Everything the registry holds, as the commands show it: the sites with
// the archived ones, and each site's log and exported history.
std::string Everything(const std::string& registry) {
  const CliRun list = RunCommand({"--registry", registry, "site", "list", "--archived", "--json"});
  std::string all = list.out;
  for (const auto& site : nlohmann::json::parse(list.out)) {
    const std::string number = site["number"];
    all += RunCommand({"--registry", registry, "site", "export", number}).out;
  }
  return all;
}

// A registry with the site 0417 (customer Иванов) and the demonstration
// configuration (dir/good.osr) as its one revision.
void AddSiteWithDemo(ScratchFolder& dir, const std::string& registry) {
  ASSERT_EQ(RunCommand({"--registry", registry, "site", "add", "0417", "--customer", "Иванов"}).status,
            ExitDone);
  WriteImage(dir / "good.osr", DemoImage());
  ASSERT_EQ(RunCommand({"--registry", registry, "site", "put", "0417", dir / "good.osr"}).status,
            ExitDone);
}

TEST(SiteCommands, ImportFindReadChangeWriteAndSeeTheHistory) {
  ScratchFolder dir;
  const std::string registry = dir / "sites.db";
  std::filesystem::create_directories(dir / "files");
  WriteImage(dir / "files/0417.osr", Configured({{"phone1.number", "+79990001122"}}));
  WriteImage(dir / "files/0418 Петров.osr", Configured({{"phone2.number", "+79990001122"}}));
  WriteImage(dir / "files/0419.osr", Configured({{"phone1.number", "+79161234567"}}));
  std::ofstream(dir / "files/0420.osr") << "not a configuration";
  std::ofstream(dir / "files/readme.txt") << "left alone";

  CliRun run = RunCommand({"--registry", registry, "site", "import", dir / "files", "--author", "ivan"});
  EXPECT_EQ(run.status, ExitInvalid) << run.err;  // one file refused
  EXPECT_NE(run.out.find("took 0417.osr as site 0417"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("took 0418 Петров.osr as site 0418"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("refused 0420.osr: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("imported 3 files (3 new sites), 0 unchanged, 1 refused"),
            std::string::npos) << run.out;
  // It holds the alarms' passwords: for its owner's eyes alone.
  struct stat st {};
  ASSERT_EQ(stat(registry.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string afterImport = Everything(registry);
  // Again: nothing is added twice.
  run = RunCommand({"--registry", registry, "site", "import", dir / "files"});
  EXPECT_NE(run.out.find("imported 0 files (0 new sites), 3 unchanged, 1 refused"),
            std::string::npos) << run.out;
  EXPECT_EQ(Everything(registry), afterImport);

  run = RunCommand({"--registry", registry, "find", "phone*.number=+7 999 000-11-22"});
  EXPECT_EQ(run.status, ExitDone) << run.err;
  EXPECT_EQ(run.out, "0417 |  |  | phone1.number\n0418 |  |  | phone2.number\n");

  // The demo alarm read into a new site, a field changed, written back.
  ASSERT_EQ(RunCommand({"--registry", registry, "site", "add", "0500", "--customer", "Иванов",
                        "--address", "Тверь", "--sim", "+79990000500"})
                .status,
            ExitDone);
  EmulatedMachine machine;
  run = RunCommand({"--registry", registry, "read", "--site", "0500", "--emulated"}, &machine);
  ASSERT_EQ(run.status, ExitDone) << run.err;
  EXPECT_NE(run.out.find("site 0500: recorded what was read (emulated) as revision "),
            std::string::npos) << run.out;
  ASSERT_EQ(RunCommand({"--registry", registry, "site", "get", "0500", "-o", dir / "0500.osr"}).status,
            ExitDone);
  ASSERT_EQ(RunCommand({"set", dir / "0500.osr", "input2.entry_delay=17"}).status, ExitDone);
  run = RunCommand({"--registry", registry, "write", "--site", "0500", dir / "0500.osr",
                    "--emulated", "-m", "entry delay 17"},
                   &machine);
  ASSERT_EQ(run.status, ExitDone) << run.err;
  EXPECT_NE(run.out.find("site 0500: recorded what was written (emulated) as revision "),
            std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("what the alarm held before"), std::string::npos) << run.out;

  run = RunCommand({"--registry", registry, "site", "log", "0500"});
  ASSERT_EQ(run.status, ExitDone) << run.err;
  EXPECT_NE(run.out.find("write  1 field: input2.entry_delay  (head)  \"entry delay 17\""),
            std::string::npos) << run.out;
  EXPECT_NE(run.out.find("read  first"), std::string::npos) << run.out;
  run = RunCommand({"--registry", registry, "site", "diff", "0500"});
  EXPECT_EQ(run.status, ExitDifferent) << run.err;
  EXPECT_NE(run.out.find("(input2.entry_delay) | "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" | 17\n"), std::string::npos) << run.out;

  // The alarm changed behind the registry's back (a write without --site):
  // the next write of the site records what the alarm held first.
  WriteImage(dir / "other.osr", Configured({{"input2.entry_delay", "33"}}));
  ASSERT_EQ(RunCommand({"write", dir / "other.osr", "--emulated"}, &machine).status, ExitDone);
  run = RunCommand({"--registry", registry, "write", "--site", "0500", "--emulated"}, &machine);
  EXPECT_EQ(run.status, ExitDone) << run.err;
  EXPECT_NE(run.out.find("recorded what the alarm held before (emulated)"), std::string::npos)
      << run.out;
  run = RunCommand({"--registry", registry, "site", "log", "0500"});
  EXPECT_NE(run.out.find("read  1 field: input2.entry_delay  \"read before a write\""),
            std::string::npos) << run.out;

  run = RunCommand({"--registry", registry, "site", "log", "0500", "--json"});
  const auto log = nlohmann::json::parse(run.out);
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0]["head"], true);

  run = RunCommand({"--registry", registry, "site", "show", "0500", "--page", "input2_1"});
  EXPECT_EQ(run.status, ExitDone) << run.err;
  run = RunCommand({"--registry", registry, "site", "report", "0500", "-o", dir / "r.html"});
  EXPECT_EQ(run.status, ExitDone) << run.err;
  EXPECT_NE(ReadText(dir / "r.html").find("Иванов"), std::string::npos);
  run = RunCommand({"--registry", registry, "site", "backup", "-o", dir / "copy.db"});
  EXPECT_EQ(run.status, ExitDone) << run.err;
  ASSERT_EQ(stat((dir / "copy.db").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(Everything(dir / "copy.db"), Everything(registry));
  run = RunCommand({"--registry", registry, "site", "check"});
  EXPECT_EQ(run.status, ExitDone) << run.err;
  EXPECT_EQ(run.out, "the registry is sound\n");
}

// Texts that try to reach the SQL: given where a text is a value, they are
// kept as they were given; where they are a name, they are refused.
const std::vector<std::string> kHostile{
    "'; DROP TABLE sites; --", "' OR '1'='1", "\") OR 1=1 --", "%", "_", "0417%", "\\",
    "$1", "?1", "'||(SELECT hash FROM images)||'",
};

TEST(SiteCommands, TextsThatLookLikeSqlAreKeptAsTheyWereGiven) {
  ScratchFolder dir;
  const std::string registry = dir / "sites.db";
  ASSERT_EQ(RunCommand({"--registry", registry, "site", "add", "0417"}).status, ExitDone);
  WriteImage(dir / "a.osr", DemoImage());
  for (const std::string& text : kHostile) {
    CliRun run = RunCommand({"--registry", registry, "site", "edit", "0417", "--customer", text,
                             "--address", text, "--notes", text});
    ASSERT_EQ(run.status, ExitDone) << text << ": " << run.err;
    run = RunCommand({"--registry", registry, "site", "list", "--json"});
    const auto sites = nlohmann::json::parse(run.out);
    ASSERT_EQ(sites.size(), 1u) << text;
    EXPECT_EQ(sites[0]["customer"], text);
    EXPECT_EQ(sites[0]["address"], text);
    // Searched for, it finds the site that holds it and no other.
    run = RunCommand({"--registry", registry, "site", "list", text, "--numbers"});
    EXPECT_EQ(run.out, "0417\n") << text;
    run = RunCommand({"--registry", registry, "site", "put", "0417", dir / "a.osr", "-m", text,
                      "--author", text, "--json"});
    ASSERT_EQ(run.status, ExitDone) << text << ": " << run.err;
    run = RunCommand({"--registry", registry, "site", "log", "0417", "--json", "-n", "1"});
    const auto log = nlohmann::json::parse(run.out);
    EXPECT_EQ(log[0]["comment"], text);
    EXPECT_EQ(log[0]["author"], text);
  }
  EXPECT_EQ(RunCommand({"--registry", registry, "site", "check"}).status, ExitDone);
}

TEST(SiteCommands, BadInputIsRefusedAndChangesNothing) {
  ScratchFolder dir;
  const std::string registry = dir / "sites.db";
  ASSERT_NO_FATAL_FAILURE(AddSiteWithDemo(dir, registry));
  {
    Image wrongVersion(kConfigFileSize, 0);
    std::ofstream(dir / "short.osr", std::ios::binary) << std::string(100, 'x');
    std::string damaged = ReadText(dir / "good.osr");
    damaged[500] ^= 0x55;
    std::ofstream(dir / "damaged.osr", std::ios::binary) << damaged;
    std::ofstream(dir / "empty.osr", std::ios::binary);
  }
  std::filesystem::create_directories(dir / "bad");
  std::ofstream(dir / "bad/%'; --.osr") << "x";
  std::ofstream(dir / "map.csv") << "number,file\n0417'--,good.osr\n";
  std::ofstream(dir / "not-a-registry.db") << "just text, not a database\n";

  const std::string nul("04\0" "17", 5);
  const std::string longNumber(10000, '4');
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;  // part of stderr
  };
  std::vector<Case> cases{
      {{"site", "add", "04'17"}, ExitInvalid, "the site number \"04'17\" is not allowed"},
      {{"site", "add", "04%"}, ExitInvalid, "is not allowed: 1 to 16 letters"},
      {{"site", "add", "04_7"}, ExitInvalid, "is not allowed"},
      {{"site", "add", nul}, ExitInvalid, "04\\x0017"},
      {{"site", "add", longNumber}, ExitInvalid, "(10000 bytes)"},
      {{"site", "add", "0417"}, ExitInvalid, "the site 0417 is there already"},
      {{"site", "add", "0999", "--sim", "+7 999 <script>"}, ExitInvalid, "is not a phone number"},
      {{"site", "add", "0999", "--customer", std::string("a\x01z")}, ExitInvalid,
       "holds a control character"},
      {{"site", "add", "0999", "--customer", "\xff\xfe"}, ExitInvalid, "is not UTF-8"},
      {{"site", "edit", "0999", "--customer", "x"}, ExitInvalid, "there is no site 0999"},
      {{"site", "show", "' OR 1=1 --"}, ExitInvalid, "is not allowed"},
      {{"site", "show", "0417", "zzzz"}, ExitInvalid, "is not a revision id"},
      {{"site", "show", "0417", "abcd%"}, ExitInvalid, "is not a revision id"},
      {{"site", "show", "0417", "ffff0000"}, ExitInvalid, "has no revision ffff0000"},
      {{"site", "log", "0418"}, ExitInvalid, "there is no site 0418"},
      {{"site", "diff", "0417"}, ExitInvalid, "has one revision only"},
      {{"site", "put", "0417", dir / "short.osr"}, ExitInvalid, "not a configuration file"},
      {{"site", "put", "0417", dir / "damaged.osr"}, ExitInvalid, "damaged"},
      {{"site", "put", "0417", dir / "empty.osr"}, ExitInvalid, "not a configuration file"},
      {{"site", "put", "0417", dir / "missing.osr"}, ExitInvalid, "cannot be read"},
      {{"site", "put", "0417", dir / "good.osr", "--author", "a\nb"}, ExitInvalid,
       "holds a control character"},
      {{"site", "import", dir / "bad"}, ExitInvalid, ""},
      {{"site", "import", dir / "good.osr"}, ExitInvalid, "not a folder"},
      {{"site", "import", dir.operator/(""), "--map", dir / "map.csv"}, ExitInvalid, ""},
      {{"find", "no.such_key=1"}, ExitInvalid, "no field has the key \"no.such_key\""},
      {{"find", "input2.change_only=perhaps"}, ExitInvalid, "is not allowed for"},
      {{"find", "phone1.number='; DROP TABLE sites; --"}, ExitInvalid, "is not allowed for"},
      {{"find", "phone1.number' OR '1'='1=1"}, ExitInvalid, "no field has the key"},
      {{"find", "=1"}, ExitInvalid, "KEY=VALUE expected"},
      {{"read", "--site", "0418", "--emulated"}, ExitInvalid, "there is no site 0418"},
      {{"write", "--site", "0418", "--emulated"}, ExitInvalid, "there is no site 0418"},
      {{"site", "list", "--registry", dir / "not-a-registry.db"}, ExitInvalid,
       "not a sites registry"},
      {{"site", "list", "--registry", dir / "none.db"}, ExitInvalid,
       "there is no sites registry at"},
  };
  const std::string before = Everything(registry);
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    if (std::find(args.begin(), args.end(), "--registry") == args.end())
      args.insert(args.begin(), {"--registry", registry});
    const CliRun run = RunCommand(args);
    std::string shown;
    for (const std::string& a : c.args) shown += Printable(a, 30) + " ";
    EXPECT_EQ(run.status, c.status) << shown << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << shown << run.err;
    EXPECT_EQ(run.err.find("SQL"), std::string::npos) << shown << run.err;
    EXPECT_EQ(Everything(registry), before) << shown;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "none.db"));
  EXPECT_EQ(ReadText(dir / "not-a-registry.db"), "just text, not a database\n");
}

// Runs `args` in a child process under the limits `limit` sets (an
// unprivileged id, a file size limit); its exit status and its standard
// error.
CliRun InChild(const std::vector<std::string>& args, const std::function<void()>& limit) {
  int pipes[2];
  if (pipe(pipes) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(pipes[0]);
    limit();
    const CliRun run = RunCommand(args);
    const std::string text = run.err + run.out;
    if (write(pipes[1], text.data(), text.size()) < 0) _exit(99);
    _exit(run.status);
  }
  close(pipes[1]);
  CliRun run;
  char buffer[4096];
  for (ssize_t n; (n = read(pipes[0], buffer, sizeof buffer)) > 0;) run.err.append(buffer, n);
  close(pipes[0]);
  int status = 0;
  waitpid(child, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// The command is the first word of the line, wherever the registry comes
// from: another command's name further on ("show", "read") is an argument.
TEST(SiteCommands, TheFirstWordNamesTheCommandWithTheRegistryFromTheEnvironment) {
  ScratchFolder dir;
  const std::string registry = dir / "sites.db";
  ASSERT_NO_FATAL_FAILURE(AddSiteWithDemo(dir, registry));
  ASSERT_EQ(setenv("OSTREL_REGISTRY", registry.c_str(), 1), 0);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;  // part of stdout
    std::string err;  // part of stderr
  };
  const std::vector<Case> cases{
      {{"site", "show", "0417"}, ExitDone, "site 0417, revision", ""},
      {{"site", "list"}, ExitDone, "0417", ""},
      {{"site", "log", "0417"}, ExitDone, "(head)", ""},
      {{"find", "phone1.number=+7"}, ExitDone, "", ""},
      {{"site", "get", "0417", "-o", dir / "show"}, ExitDone, "", ""},
      {{"show", dir / "show", "--page", "1"}, ExitDone, "[", ""},
      {{"site", "put", "0417", dir / "read"}, ExitInvalid, "", "cannot be read"},
      {{"show", "show"}, ExitInvalid, "", "show"},
      {{"site", "show", "read"}, ExitInvalid, "", "there is no site read"},
  };
  for (const Case& c : cases) {
    const CliRun run = RunCommand(c.args);
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    EXPECT_EQ(run.status, c.status) << shown << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << shown << run.out;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << shown << run.err;
    EXPECT_EQ(run.err.find("was not expected"), std::string::npos) << shown << run.err;
  }
  unsetenv("OSTREL_REGISTRY");
}

// The record of a site's revision names the site, the revision and its
// time in its head, the site's address beside its number, and the
// revision's author as the installer unless another is given.
TEST(SiteCommands, ARevisionsRecordHasTheSiteAndTheRevisionInItsHead) {
  ScratchFolder dir;
  const std::string registry = dir / "sites.db";
  ASSERT_NO_FATAL_FAILURE(AddSiteWithDemo(dir, registry));
  ASSERT_EQ(RunCommand({"--registry", registry, "site", "edit", "0417", "--address",
                        "ул. Ленина, 5 <b>"}).status,
            ExitDone);
  const auto log =
      nlohmann::json::parse(RunCommand({"--registry", registry, "site", "log", "0417", "--json"}).out);
  const std::string head = log[0]["id"], author = log[0]["author"];
  struct Case {
    std::vector<std::string> extra;
    std::vector<std::string> shown;  // each in the record
  };
  const std::vector<Case> cases{
      {{}, {"site 0417, revision " + head.substr(0, 12), " UTC", "0417, ул. Ленина, 5 &lt;b&gt;",
            "Иванов", author}},
      {{"--installer", "Петров"}, {"Петров"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"--registry", registry, "site", "report", "0417", "-o", "-"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const CliRun run = RunCommand(args);
    ASSERT_EQ(run.status, ExitDone) << run.err;
    for (const std::string& text : c.shown) EXPECT_NE(run.out.find(text), std::string::npos) << text;
  }
}

TEST(SiteCommands, AReadOnlyOrFullDiskGivesAClearMessageAndChangesNothing) {
  ScratchFolder dir;
  const std::string registry = dir / "sites.db";
  ASSERT_EQ(RunCommand({"--registry", registry, "site", "add", "0417"}).status, ExitDone);
  std::filesystem::create_directories(dir / "many");
  for (int i = 0; i < 40; ++i)
    WriteImage(dir / ("many/" + std::to_string(1000 + i) + ".osr"),
               Configured({{"phone1.number", "+7999" + std::to_string(1000000 + i)}}));
  const std::string before = Everything(registry);

  // Read-only: the file and its folder, for a user without the
  // administrator's rights.
  const auto unprivileged = [] {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(98);
  };
  // A file size limit that the registry reaches.
  const auto full = [] {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = 16384;
    setrlimit(RLIMIT_FSIZE, &limit);
  };
  struct Case {
    const char* name;
    std::vector<std::string> args;
    bool readOnly;
    std::string message;
  };
  const std::vector<Case> cases{
      {"add on a read-only disk", {"site", "add", "0418"}, true, "cannot be"},
      {"edit on a read-only disk", {"site", "edit", "0417", "--customer", "x"}, true, "cannot be"},
      {"import on a full disk", {"site", "import", dir / "many"}, false, "the disk is full"},
      {"add on a full disk", {"site", "add", "0419", "--notes", std::string(1900, 'n')}, false,
       "the disk is full"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"--registry", registry};
    args.insert(args.end(), c.args.begin(), c.args.end());
    if (c.readOnly) {
      chmod(registry.c_str(), 0444);
      chmod(dir.operator/("").c_str(), 0555);
    }
    const CliRun run = InChild(args, c.readOnly ? std::function<void()>(unprivileged) : full);
    chmod(dir.operator/("").c_str(), 0755);
    chmod(registry.c_str(), 0644);
    EXPECT_TRUE(run.status == ExitInvalid || run.status == ExitDevice) << c.name << ": " << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << ": " << run.err;
    EXPECT_NE(run.err.find("nothing was changed"), std::string::npos) << c.name << ": " << run.err;
  }
  EXPECT_EQ(Everything(registry), before);
  EXPECT_EQ(RunCommand({"--registry", registry, "site", "check"}).status, ExitDone);
}

}  // namespace
