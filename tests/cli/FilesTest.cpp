// The files of the command-line program: every file it writes goes
// through the one save of the configuration files, every name is handled
// alike by every command, messages say why a file failed, and set holds
// its file against other programs while it changes it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <future>
#include <thread>

#include "cli/CliTestSupport.h"
#include "cli/Operations.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode;
}

// Starts `body` in a child process, under an unprivileged id when the
// tests run as the administrator and `unprivileged` is set.
pid_t Spawn(const std::function<bool()>& body, bool unprivileged) {
  const pid_t child = fork();
  if (child == 0) {
    if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    _exit(body() ? 0 : 1);
  }
  return child;
}

// Whether the child's body returned true.
bool Succeeded(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool InChild(const std::function<bool()>& body, bool unprivileged) {
  return Succeeded(Spawn(body, unprivileged));
}

// export -o and report -o into every kind of target.
TEST(CliOutputs, EveryTextOutputGoesThroughTheOneSave) {
  struct Case {
    const char* what;
    std::function<void(const std::string& dir, const std::string& target)> prepare;
    bool written;
    const char* message;  // part of the message when refused
    std::function<void(const std::string& dir, const std::string& target, const std::string& text)>
        check;
  };
  const Case cases[] = {
      {"a link planted at the temporary name of earlier versions is not followed",
       [](const std::string& dir, const std::string& t) {
         std::ofstream(dir + "/victim") << "mine";
         fs::create_symlink(dir + "/victim", t + ".~tmp");
       },
       true, "",
       [](const std::string& dir, const std::string&, const std::string&) {
         EXPECT_EQ(ReadText(dir + "/victim"), "mine");
       }},
      {"a link at the target is followed and stays",
       [](const std::string& dir, const std::string& t) {
         fs::create_directory(dir + "/real");
         std::ofstream(dir + "/real/out") << "old";
         fs::create_symlink("real/out", t);
       },
       true, "",
       [](const std::string& dir, const std::string& t, const std::string& text) {
         EXPECT_TRUE(fs::is_symlink(fs::symlink_status(t)));
         EXPECT_EQ(ReadText(dir + "/real/out"), text);
         EXPECT_EQ(Names(dir + "/real"), std::vector<std::string>{"out"});
       }},
      {"a read-only file is refused and stays",
       [](const std::string&, const std::string& t) {
         std::ofstream(t) << "old";
         chmod(t.c_str(), 0444);
       },
       false, "cannot be written: the file is read-only",
       [](const std::string&, const std::string& t, const std::string&) {
         EXPECT_EQ(ReadText(t), "old");
       }},
      {"the permissions of a private file stay",
       [](const std::string&, const std::string& t) {
         std::ofstream(t) << "old";
         chmod(t.c_str(), 0600);
       },
       true, "",
       [](const std::string&, const std::string& t, const std::string&) {
         EXPECT_EQ(ModeOf(t) & 0777, 0600u);
       }},
      {"a file with a second name, longer than the new text, keeps both and no tail",
       [](const std::string& dir, const std::string& t) {
         std::ofstream(t) << std::string(200000, 'z');
         fs::create_hard_link(t, dir + "/twin");
       },
       true, "",
       [](const std::string& dir, const std::string&, const std::string& text) {
         EXPECT_EQ(ReadText(dir + "/twin"), text);
       }},
      {"a folder is refused", [](const std::string&, const std::string& t) { fs::create_directory(t); },
       false, "cannot be written: it is a folder", nullptr},
      {"a folder that does not exist",
       [](const std::string&, const std::string&) {}, false,
       "cannot be written: no such file or folder", nullptr},
      {"a pipe is written to as it is and stays a pipe",
       [](const std::string&, const std::string& t) { mkfifo(t.c_str(), 0666); }, true, "", nullptr},
      {"a link to itself is refused and stays",
       [](const std::string&, const std::string& t) { fs::create_symlink(fs::path(t).filename(), t); },
       false, "cannot be written: its links lead round in a loop",
       [](const std::string&, const std::string& t, const std::string&) {
         EXPECT_TRUE(fs::is_symlink(fs::symlink_status(t)));
       }},
      {"two links to each other are refused and stay",
       [](const std::string& dir, const std::string& t) {
         fs::create_symlink("other", t);
         fs::create_symlink(fs::path(t).filename(), dir + "/other");
       },
       false, "cannot be written: its links lead round in a loop",
       [](const std::string& dir, const std::string& t, const std::string&) {
         EXPECT_TRUE(fs::is_symlink(fs::symlink_status(t)));
         EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir + "/other")));
       }},
  };
  for (const char* command : {"export", "report"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(command) + ": " + c.what);
      ScratchFolder dir;
      WriteImage(dir / "demo.osr", DemoImage());
      std::string target = dir / "out.txt";
      if (std::string(c.what) == "a folder that does not exist") target = dir / "none/out.txt";
      c.prepare(dir / "", target);
      const bool pipe = S_ISFIFO(ModeOf(target));
      std::future<std::string> reader;
      if (pipe) reader = std::async(std::launch::async, [&] { return ReadText(target); });
      const CliRun r = RunCommand({command, dir / "demo.osr", "-o", target});
      const CliRun standard = RunCommand({command, dir / "demo.osr", "-o", "-"});
      ASSERT_EQ(standard.status, ExitDone) << standard.err;
      EXPECT_EQ(r.status, c.written ? ExitDone : ExitInvalid) << r.err;
      EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
      std::error_code ignored;
      const std::string text =
          pipe ? reader.get() : fs::is_regular_file(target, ignored) ? ReadText(target) : "";
      if (pipe) { EXPECT_TRUE(S_ISFIFO(ModeOf(target))); }
      if (c.written) {
        // The report's date is to the minute: the rest is compared.
        EXPECT_EQ(text.size(), standard.out.size());
        if (std::string(command) == "export") EXPECT_EQ(text, standard.out);
        else EXPECT_TRUE(text.starts_with("<!DOCTYPE html>") && text.ends_with("</html>\n"));
      }
      if (c.check) c.check(dir / "", target, text);
      // Nothing but the target and what the case made.
      for (const std::string& name : Names(dir / ""))
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
    }
  }
  // A name of 255 bytes, the most a file may have, where no temporary name
  // fits beside it; and a character device, written to as it is.
  ScratchFolder dir;
  WriteImage(dir / "demo.osr", DemoImage());
  const std::string longName = dir / std::string(255, 'n');
  EXPECT_EQ(RunCommand({"export", dir / "demo.osr", "-o", longName}).status, ExitDone);
  EXPECT_EQ(ReadText(longName), RunCommand({"export", dir / "demo.osr"}).out);
  EXPECT_EQ(RunCommand({"report", dir / "demo.osr", "-o", "/dev/null"}).status, ExitDone);
  EXPECT_TRUE(S_ISCHR(ModeOf("/dev/null")));
  const CliRun full = RunCommand({"export", dir / "demo.osr", "-o", "/dev/full"});
  EXPECT_EQ(full.status, ExitInvalid);
  EXPECT_NE(full.err.find("/dev/full: cannot be written: no space left on the device"),
            std::string::npos)
      << full.err;
}

// A name that is not UTF-8 is refused alike by every command, in every
// place a file is named, and nothing is written.
TEST(CliNames, ANameThatIsNotUtf8IsRefusedByEveryCommand) {
  ScratchFolder dir;
  const std::string good = dir / "good.osr", bad = dir / "bad\xff.osr", out = dir / "out";
  WriteImage(good, DemoImage());
  ASSERT_EQ(RunCommand({"export", good, "-o", dir / "good.json"}).status, ExitDone);
  const std::string json = dir / "good.json";
  std::ofstream(bad) << "{}";
  const std::vector<std::vector<std::string>> commands = {
      {"show", bad},
      {"report", bad, "-o", out},
      {"report", good, "-o", bad + "2"},
      {"diff", bad, good},
      {"diff", good, bad},
      {"export", bad},
      {"export", good, "-o", bad + "2"},
      {"import", bad, "-o", out},
      {"import", json, "-o", bad + "2"},
      {"import", json, "-o", out, "--base", bad},
      {"set", bad, "input1.entry_delay=5"},
      {"read", "--emulated", "-o", bad + "2"},
      {"write", "--emulated", bad},
  };
  const std::vector<std::string> before = Names(dir / "");
  for (const auto& args : commands) {
    const CliRun r = RunCommand(args);
    EXPECT_EQ(r.status, ExitInvalid) << args[0] << " " << args[1];
    EXPECT_EQ(r.err.rfind("ostrel-cli: the file name is not UTF-8: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("bad\\xFF.osr"), std::string::npos) << r.err;
    EXPECT_EQ(Names(dir / ""), before) << args[0];
  }
}

// The file of a configuration in format version `version`, as this
// program would write it but for the version.
void WriteVersion(const std::string& path, std::uint32_t version) {
  WriteImage(path, DemoImage());
  std::string bytes = ReadText(path);
  for (int i = 0; i < 4; ++i) bytes[12 + i] = static_cast<char>(version >> (8 * i));
  const std::uint32_t crc =
      Crc32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 12, bytes.size() - 12);
  for (int i = 0; i < 4; ++i) bytes[8 + i] = static_cast<char>(crc >> (8 * i));
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Why a file cannot be read or written, in the message that says so.
TEST(CliMessages, SayWhyAFileFailed) {
  ScratchFolder dir;
  WriteImage(dir / "good.osr", DemoImage());
  fs::create_directory(dir / "folder.osr");
  mkfifo((dir / "pipe.osr").c_str(), 0666);
  WriteVersion(dir / "newer.osr", 4);
  WriteVersion(dir / "older.osr", 2);
  WriteImage(dir / "readonly.osr", DemoImage());
  chmod((dir / "readonly.osr").c_str(), 0444);
  std::ofstream(dir / "a.json") << RunCommand({"export", dir / "good.osr"}).out;
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"show", dir / "missing.osr"}, dir / "missing.osr: cannot be read: no such file or folder"},
      {{"show", dir / "folder.osr"}, dir / "folder.osr: cannot be read: it is a folder"},
      {{"show", dir / "pipe.osr"}, dir / "pipe.osr: cannot be read: not a regular file"},
      {{"show", dir / "newer.osr"},
       dir / "newer.osr: not a configuration file this program can read: it has the newer format "
             "version 4, this program reads version 3"},
      {{"show", dir / "older.osr"}, "it has the older format version 2"},
      {{"import", dir / "missing.json", "-o", dir / "x.osr"},
       dir / "missing.json: cannot be read: no such file or folder"},
      {{"import", dir / "a.json", "-o", dir / "folder.osr"},
       dir / "folder.osr: cannot be written: it is a folder"},
      {{"import", dir / "a.json", "-o", "/dev/full"},
       "/dev/full: cannot be written: no space left on the device"},
      {{"import", dir / "a.json", "-o", dir / "readonly.osr"},
       dir / "readonly.osr: cannot be written: the file is read-only"},
      {{"import", dir / "a.json", "-o", dir / "none/x.osr"},
       dir / "none/x.osr: cannot be written: no such file or folder"},
      {{"set", dir / "readonly.osr", "input1.entry_delay=5"},
       dir / "readonly.osr: cannot be written: the file is read-only"},
      {{"import", dir / "a.json", "-o", dir / "loop.osr"},
       dir / "loop.osr: cannot be written: its links lead round in a loop"},
      {{"read", "--emulated", "-o", dir / "loop.osr"},
       dir / "loop.osr: cannot be written: its links lead round in a loop"},
      {{"set", dir / "loop.osr", "input1.entry_delay=5"},
       dir / "loop.osr: cannot be read: its links lead round in a loop"},
      // What the user typed is shown escaped, and every message is the
      // program's own.
      {{"keys", "\x1b[2J"}, "ostrel-cli: \\x1B[2J: no such page"},
      {{"show", dir / "good.osr", "--page", "\x1b[2J"}, "ostrel-cli: --page \\x1B[2J: no such page"},
      {{"--bogus"}, "ostrel-cli: unknown option --bogus\n"},
      {{"--\x1b[2J"}, "ostrel-cli: unknown option --\\x1B[2J\n"},
      {{"frobnicate"}, "ostrel-cli: frobnicate: no such command\n"},
      {{}, "ostrel-cli: a command is required\n"},
      {{"show"}, "ostrel-cli: FILE is required\n"},
      {{"show", "a", "b", "c"}, "ostrel-cli: The following arguments were not expected: b c\n"},
      {{"show", "--bogus", "a"}, "ostrel-cli: The following argument was not expected: --bogus\n"},
  };
  fs::create_symlink("loop.osr", dir / "loop.osr");
  for (const auto& c : cases) {
    const CliRun r = RunCommand(c.args);
    const std::string what = c.args.empty() ? "" : c.args[0];
    EXPECT_EQ(r.status, ExitInvalid) << what;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.message << "\n" << r.err;
    std::istringstream lines(r.err);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_EQ(line.rfind("ostrel-cli: ", 0), 0u) << line;
      EXPECT_TRUE(std::none_of(line.begin(), line.end(),
                               [](char ch) { return static_cast<unsigned char>(ch) < 0x20; }))
          << line;
    }
  }
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "loop.osr")));
  // Without the right to make files in a folder, or to read a file.
  fs::create_directory(dir / "closed");
  WriteImage(dir / "closed/secret.osr", DemoImage());
  chmod((dir / "closed/secret.osr").c_str(), 0200);
  std::ofstream(dir / "closed/out.json") << "old";
  chmod((dir / "closed/out.json").c_str(), 0666);
  chmod((dir / "closed").c_str(), 0555);
  EXPECT_TRUE(InChild(
      [&] {
        const CliRun write = RunCommand({"import", dir / "a.json", "-o", dir / "closed/new.osr"});
        const CliRun read = RunCommand({"show", dir / "closed/secret.osr"});
        // A file there that may be written is written in place.
        const CliRun text = RunCommand({"export", dir / "good.osr", "-o", dir / "closed/out.json"});
        return write.err.find("closed/new.osr: cannot be written: no permission") != std::string::npos &&
               read.err.find("secret.osr: cannot be read: no permission") != std::string::npos &&
               text.status == ExitDone;
      },
      true));
  EXPECT_EQ(ReadText(dir / "closed/out.json"), ReadText(dir / "a.json"));
  chmod((dir / "closed").c_str(), 0777);
}

// A lock held on the file stands in set's way, for as long as set waits.
TEST(CliSet, WaitsForAFileAnotherProgramHoldsThenFails) {
  ScratchFolder dir;
  WriteImage(dir / "a.osr", DemoImage());
  const std::string before = ReadText(dir / "a.osr");
  const int held = open((dir / "a.osr").c_str(), O_RDONLY);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  const CliRun busy = RunCommand({"set", dir / "a.osr", "input1.entry_delay=11"}, nullptr, false, 300);
  EXPECT_EQ(busy.status, ExitInvalid);
  EXPECT_NE(busy.err.find("a.osr: cannot be written: the file is busy"), std::string::npos) << busy.err;
  EXPECT_NE(busy.err.find("waited 300 ms"), std::string::npos) << busy.err;
  EXPECT_EQ(ReadText(dir / "a.osr"), before);
  // Let go while set waits: set goes on.
  auto later = std::async(std::launch::async, [&] {
    return RunCommand({"set", dir / "a.osr", "input1.entry_delay=11"}, nullptr, false, 5000);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  close(held);
  EXPECT_EQ(later.get().status, ExitDone);
  ConfigModel model;
  model.Load(ReadImage(dir / "a.osr"));
  EXPECT_EQ(model.Shown(*FindField("input1.entry_delay")), u"11");
  EXPECT_NE(RunCommand({"set", "--help"}).out.find("waits up to 10 seconds"), std::string::npos);
}

// Two programs setting fields of one file at the same time: every change
// of both is kept.
TEST(CliSet, TwoProgramsAtOnceLoseNoChange) {
  ScratchFolder dir;
  WriteImage(dir / "a.osr", DemoImage());
  const std::string file = dir / "a.osr";
  constexpr int kRounds = 12;
  auto setter = [&](const std::string& key, int base) {
    return [&file, key, base] {
      for (int i = 0; i < kRounds; ++i)
        if (RunCommand({"set", file, key + "=" + std::to_string(base + i)}).status != ExitDone)
          return false;
      return true;
    };
  };
  const pid_t a = Spawn(setter("input1.entry_delay", 10), false);
  const pid_t b = Spawn(setter("input2.entry_delay", 30), false);
  EXPECT_TRUE(Succeeded(a));
  EXPECT_TRUE(Succeeded(b));
  ConfigModel model;
  model.Load(ReadImage(file));
  EXPECT_EQ(model.Shown(*FindField("input1.entry_delay")), u"21");
  EXPECT_EQ(model.Shown(*FindField("input2.entry_delay")), u"41");
  EXPECT_EQ(Names(dir / ""), std::vector<std::string>{"a.osr"});
}

// A configuration goes wherever text goes: to standard output ("-"), into
// a pipe or a device as it is, and import reads standard input ("-"). What
// read says goes to stderr then, away from the configuration.
TEST(CliOutputs, AConfigurationGoesToStandardOutputAPipeOrADevice) {
  ScratchFolder dir;
  WriteImage(dir / "demo.osr", DemoImage());
  const std::string file = ReadText(dir / "demo.osr");
  const std::string json = RunCommand({"export", dir / "demo.osr"}).out;
  mkfifo((dir / "pipe").c_str(), 0666);
  struct Case {
    std::vector<std::string> args;
    std::string input;
    bool toOut;        // the configuration is on standard output
    bool toPipe;       // ... in the pipe
    const char* said;  // part of what is said on stderr; "" for nothing
  };
  const Case cases[] = {
      {{"read", "--emulated", "-o", "-"}, "", true, false, "; wrote - (2316 bytes)\n"},
      {{"read", "--emulated", "-o", dir / "pipe"}, "", false, true, "(2316 bytes)\n"},
      {{"read", "--emulated", "-o", "/dev/null"}, "", false, false, "wrote /dev/null (2316 bytes)\n"},
      {{"import", dir / "json", "-o", "-"}, "", true, false, ""},
      {{"import", "-", "-o", "-"}, json, true, false, ""},
      {{"import", "-", "-o", dir / "pipe"}, json, false, true, ""},
      {{"import", dir / "json", "-o", "/dev/null"}, "", false, false, ""},
  };
  std::ofstream(dir / "json") << json;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[c.args.size() - 3] + " -o " + c.args.back());
    std::future<std::string> reader;
    if (c.toPipe) reader = std::async(std::launch::async, [&] { return ReadText(dir / "pipe"); });
    const CliRun r = RunCommand(c.args, nullptr, false, 0, c.input);
    EXPECT_EQ(r.status, ExitDone) << r.err;
    EXPECT_EQ(r.out, c.toOut ? file : "");
    if (c.toPipe) {
      EXPECT_EQ(reader.get(), file);
    }
    if (*c.said) {
      EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    } else {
      EXPECT_EQ(r.err, "");
    }
  }
  EXPECT_TRUE(S_ISFIFO(ModeOf(dir / "pipe")));
  EXPECT_TRUE(S_ISCHR(ModeOf("/dev/null")));
  // Standard input that is no configuration's JSON is refused like a file.
  const CliRun broken = RunCommand({"import", "-", "-o", "-"}, nullptr, false, 0, "{");
  EXPECT_EQ(broken.status, ExitInvalid);
  EXPECT_EQ(broken.out, "");
  EXPECT_NE(broken.err.find("ostrel-cli: -: broken JSON"), std::string::npos) << broken.err;
}

// On a file system mounted read-only, a file that does not exist yet and
// a file that does are refused for that reason, not as read-only files.
TEST(CliMessages, AReadOnlyFileSystemIsSaidSo) {
  ScratchFolder dir;
  WriteImage(dir / "demo.osr", DemoImage());
  std::ofstream(dir / "a.json") << RunCommand({"export", dir / "demo.osr"}).out;
  fs::create_directory(dir / "ro");
  WriteImage(dir / "ro/there.osr", DemoImage());
  // The mount is made in a mount namespace of a child of its own, so it
  // goes with the child.
  const pid_t child = fork();
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount((dir / "ro").c_str(), (dir / "ro").c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, (dir / "ro").c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
      _exit(77);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"import", dir / "a.json", "-o", dir / "ro/new.osr"},
         "ro/new.osr: cannot be written: the file system is read-only"},
        {{"import", dir / "a.json", "-o", dir / "ro/there.osr"},
         "ro/there.osr: cannot be written: the file system is read-only"},
        {{"read", "--emulated", "-o", dir / "ro/new.osr"},
         "ro/new.osr: cannot be written: the file system is read-only"},
        {{"set", dir / "ro/there.osr", "input1.entry_delay=5"},
         "ro/there.osr: cannot be written: the file system is read-only"},
        {{"export", dir / "demo.osr", "-o", dir / "ro/new.json"},
         "ro/new.json: cannot be written: the file system is read-only"},
    };
    bool all = true;
    for (const auto& [args, message] : cases) {
      const CliRun r = RunCommand(args);
      if (r.status != ExitInvalid || r.err.find(message) == std::string::npos) {
        std::fprintf(stderr, "%s: %s\n", args[0].c_str(), r.err.c_str());
        all = false;
      }
    }
    _exit(all ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
    GTEST_SKIP() << "no read-only mount can be made here (it needs the administrator)";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Names(dir / "ro"), std::vector<std::string>{"there.osr"});
}

// Another user's file that this user may write, in a folder everybody may
// change: a save writes it in place, so it stays the other user's.
TEST(CliOutputs, ASaveOverAnotherUsersFileKeepsItsOwner) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs the administrator";
  ScratchFolder dir;
  WriteImage(dir / "demo.osr", DemoImage());
  std::ofstream(dir / "a.json") << RunCommand({"export", dir / "demo.osr"}).out;
  fs::create_directory(dir / "shared");
  chmod((dir / "shared").c_str(), 0777);
  chmod((dir / "demo.osr").c_str(), 0644);
  chmod((dir / "a.json").c_str(), 0644);
  for (const char* name : {"shared/set.osr", "shared/import.osr", "shared/export.json"}) {
    WriteImage(dir / name, InitialImage());
    ASSERT_EQ(chown((dir / name).c_str(), 4242, 4242), 0);
    chmod((dir / name).c_str(), 0666);
  }
  const std::vector<std::vector<std::string>> commands = {
      {"set", dir / "shared/set.osr", "input1.entry_delay=42"},
      {"import", dir / "a.json", "-o", dir / "shared/import.osr"},
      {"export", dir / "demo.osr", "-o", dir / "shared/export.json"},
  };
  for (const auto& args : commands)
    EXPECT_TRUE(InChild([&] { return RunCommand(args).status == ExitDone; }, true)) << args[0];
  for (const char* name : {"shared/set.osr", "shared/import.osr", "shared/export.json"}) {
    struct stat st {};
    ASSERT_EQ(stat((dir / name).c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4242u) << name;
    EXPECT_EQ(st.st_gid, 4242u) << name;
    EXPECT_EQ(st.st_mode & 0777, 0666u) << name;
  }
  EXPECT_EQ(ReadImage(dir / "shared/import.osr"), DemoImage());
  EXPECT_EQ(ReadText(dir / "shared/export.json"), ReadText(dir / "a.json"));
  ConfigModel model;
  model.Load(ReadImage(dir / "shared/set.osr"));
  EXPECT_EQ(model.Shown(*FindField("input1.entry_delay")), u"42");
  EXPECT_EQ(Names(dir / "shared"),
            (std::vector<std::string>{"export.json", "import.osr", "set.osr"}));
}

// A set that waits for its file while another program replaces it by a new
// file must take the new file's lock, not go on under the old one's: a
// third program holding the new file then stands in its way.
TEST(CliSet, NoticesThatTheFileItWaitsForWasReplaced) {
  ScratchFolder dir;
  WriteImage(dir / "a.osr", DemoImage());
  const int old = open((dir / "a.osr").c_str(), O_RDONLY);
  ASSERT_EQ(flock(old, LOCK_EX), 0);
  auto waiting = std::async(std::launch::async, [&] {
    return RunCommand({"set", dir / "a.osr", "input1.entry_delay=11"}, nullptr, false, 1500);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // set waits for the old file
  WriteImage(dir / "new.osr", InitialImage());
  const int held = open((dir / "new.osr").c_str(), O_RDONLY);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  fs::rename(dir / "new.osr", dir / "a.osr");
  close(old);
  const CliRun r = waiting.get();
  EXPECT_EQ(r.status, ExitInvalid);
  EXPECT_NE(r.err.find("a.osr: cannot be written: the file is busy"), std::string::npos) << r.err;
  EXPECT_EQ(ReadImage(dir / "a.osr"), InitialImage());
  close(held);
  EXPECT_EQ(RunCommand({"set", dir / "a.osr", "input1.entry_delay=11"}).status, ExitDone);
}

}  // namespace

