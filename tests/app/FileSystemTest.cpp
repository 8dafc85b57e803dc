// Saving and opening configuration files on the real file system, in a
// folder of their own: the cases where a save must go through a temporary
// file, where it must write in place, where it must refuse, and the names
// that an open must refuse without blocking.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>
#include <csignal>

#include "app/ConfigFile.h"
#include "app/fs/OsFileSystem.h"
#include "config/ImageMap.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Image(std::uint8_t seed) {
  Bytes image(kImageSize);
  for (std::size_t i = 0; i < kImageSize; ++i) image[i] = static_cast<std::uint8_t>(i * seed + 3);
  return image;
}

Bytes ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& p, const Bytes& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The file the writer makes of `image`.
Bytes FileOf(const Bytes& image) {
  const fs::path p = fs::temp_directory_path() / ("ostrel-file-of-" + std::to_string(getpid()));
  StdFileSystem files;
  EXPECT_TRUE(SaveConfigFile(files, p.u16string(), image.data()));
  Bytes f = ReadAll(p);
  fs::remove(p);
  return f;
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Runs `body` without the administrator's rights, so that permissions hold
// as they do for a user: in a child process under an unprivileged id when
// the tests run as the administrator. The child's result is its exit code.
bool AsUser(const std::function<bool()>& body) {
  if (geteuid() != 0) return body();
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    _exit(body() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The id of a process that has ended.
pid_t EndedProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

// Descriptors the cases hold open (and locked) during a save.
std::vector<int> gHeld;

class SaveOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("ostrel-save-test-" + std::to_string(getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::all);  // the unprivileged cases work in it too
  }
  void TearDown() override {
    chmod(folder.c_str(), 0777);
    fs::remove_all(folder);
  }
  fs::path folder;
  StdFileSystem files;
};

TEST_F(SaveOnDisk, EachKindOfTarget) {
  const Bytes image = Image(7), old(kConfigFileSize, 0x5A);
  const Bytes written = FileOf(image);
  const std::string longName = std::string(250, 'n') + ".osr";  // 254 of 255 characters
  struct Case {
    const char* what;
    std::function<void(const fs::path& target)> prepare;  // makes the folder's contents
    bool saved;
    // What the folder holds afterwards, and the checks of the case.
    std::vector<std::string> names;
    std::function<void(const fs::path& target)> check;
  };
  const Case cases[] = {
      {"no file yet", [](const fs::path&) {}, true, {"a.osr"}, nullptr},
      {"an older file, whose permissions stay",
       [&](const fs::path& t) { WriteAll(t, old); chmod(t.c_str(), 0640); }, true, {"a.osr"},
       [](const fs::path& t) {
         struct stat st;
         ASSERT_EQ(stat(t.c_str(), &st), 0);
         EXPECT_EQ(st.st_mode & 0777, 0640u);
       }},
      {"leftovers of earlier saves are removed, other files stay",
       [&](const fs::path& t) {
         WriteAll(t, old);
         for (const char* n : {".~0.tmp", ".~15.tmp", ".~5d0b1e2f.tmp", ".~notmine.tmp", ".bak"})
           WriteAll(t.string() + n, {1, 2});
         // Of a program that has ended.
         WriteAll(t.string() + ".~" + std::to_string(EndedProcess()) + "-0123abcd.tmp", {1});
       },
       true, {"a.osr", "a.osr.bak", "a.osr.~notmine.tmp"}, nullptr},
      {"a save's file that a process holds, or whose program still runs, stays",
       [&](const fs::path& t) {
         WriteAll(t, old);
         // Of this process, held locked as a save under way holds it.
         const std::string held = t.string() + ".~" + std::to_string(getpid()) + "-0000beef.tmp";
         WriteAll(held, {1});
         gHeld.push_back(open(held.c_str(), O_RDONLY));
         flock(gHeld.back(), LOCK_EX);
         // Of a program that runs (the first one), not held.
         WriteAll(t.string() + ".~1-0000cafe.tmp", {1});
       },
       true,
       {"a.osr", "a.osr.~1-0000cafe.tmp", "a.osr.~" + std::to_string(getpid()) + "-0000beef.tmp"},
       nullptr},
      {"a read-only file is refused, as its own write would be",
       [&](const fs::path& t) { WriteAll(t, old); chmod(t.c_str(), 0444); }, false, {"a.osr"},
       [&](const fs::path& t) { EXPECT_EQ(ReadAll(t), old); }},
      {"a link: the file it points to is replaced, the link stays",
       [&](const fs::path& t) {
         fs::create_directory(t.parent_path() / "real");
         WriteAll(t.parent_path() / "real" / "b.osr", old);
         fs::create_symlink("real/b.osr", t);
       },
       true, {"a.osr", "real"},
       [&](const fs::path& t) {
         EXPECT_TRUE(fs::is_symlink(fs::symlink_status(t)));
         EXPECT_EQ(ReadAll(t.parent_path() / "real" / "b.osr"), written);
         EXPECT_EQ(Names(t.parent_path() / "real"), std::vector<std::string>{"b.osr"});
       }},
      {"a link to a file not made yet",
       [&](const fs::path& t) { fs::create_symlink("c.osr", t); }, true, {"a.osr", "c.osr"},
       [&](const fs::path& t) {
         EXPECT_TRUE(fs::is_symlink(fs::symlink_status(t)));
         EXPECT_EQ(ReadAll(t.parent_path() / "c.osr"), written);
       }},
      {"a file with a second name is written in place, both names see it",
       [&](const fs::path& t) { WriteAll(t, old); fs::create_hard_link(t, t.parent_path() / "twin.osr"); },
       true, {"a.osr", "twin.osr"},
       [&](const fs::path& t) { EXPECT_EQ(ReadAll(t.parent_path() / "twin.osr"), written); }},
      {"a longer file with a second name is written in place and cut to the new end",
       [&](const fs::path& t) {
         WriteAll(t, Bytes(3 * kConfigFileSize, 0x77));
         fs::create_hard_link(t, t.parent_path() / "twin.osr");
       },
       true, {"a.osr", "twin.osr"},
       [&](const fs::path& t) { EXPECT_EQ(ReadAll(t.parent_path() / "twin.osr"), written); }},
      {"a folder is refused", [](const fs::path& t) { fs::create_directory(t); }, false,
       {"a.osr"}, nullptr},
      {"a pipe is refused without blocking", [](const fs::path& t) { mkfifo(t.c_str(), 0666); },
       false, {"a.osr"}, nullptr},
      {"a folder that does not exist", [](const fs::path&) {}, false, {}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    fs::path target = folder / "a.osr";
    if (std::string(c.what) == "a folder that does not exist") target = folder / "none" / "a.osr";
    c.prepare(target);
    auto save = std::async(std::launch::async, [&] {
      StdFileSystem own;
      return SaveConfigFile(own, target.u16string(), image.data());
    });
    ASSERT_EQ(save.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "blocked";
    EXPECT_EQ(save.get(), c.saved);
    std::vector<std::string> names = c.names;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(Names(folder), names);
    for (int fd : gHeld) close(fd);
    gHeld.clear();
    if (c.saved) {
      EXPECT_EQ(ReadAll(target), written);
    }
    if (c.check) c.check(target);
  }
  // A name so long that no temporary name fits beside it is written in place.
  SetUp();
  const fs::path target = folder / longName;
  WriteAll(target, old);
  EXPECT_TRUE(SaveConfigFile(files, target.u16string(), image.data()));
  EXPECT_EQ(ReadAll(target), written);
  EXPECT_EQ(Names(folder), std::vector<std::string>{longName});
}

TEST_F(SaveOnDisk, AFolderWhereFilesMayBeChangedButNotMadeIsWrittenInPlace) {
  const Bytes image = Image(9);
  const fs::path target = folder / "a.osr";
  WriteAll(target, Bytes(kConfigFileSize, 0x11));
  chmod(target.c_str(), 0666);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);  // the user's own file
  }
  WriteAll(folder / "other.osr", Bytes(10, 0x22));
  chmod((folder / "other.osr").c_str(), 0444);
  chmod(folder.c_str(), 0555);
  EXPECT_TRUE(AsUser([&] {
    StdFileSystem own;
    return SaveConfigFile(own, target.u16string(), image.data()) &&
           // and a read-only file there is still refused
           !SaveConfigFile(own, (folder / "other.osr").u16string(), image.data()) &&
           // and a new file cannot be made there
           !SaveConfigFile(own, (folder / "new.osr").u16string(), image.data());
  }));
  chmod(folder.c_str(), 0777);
  EXPECT_EQ(ReadAll(target), FileOf(image));
  EXPECT_EQ(ReadAll(folder / "other.osr"), Bytes(10, 0x22));
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"a.osr", "other.osr"}));
}

TEST_F(SaveOnDisk, EverySaveTakesAFreshTemporaryName) {
  // A temporary file that cannot be removed (another program's, say) at
  // every name the old scheme tried does not stop a save.
  const Bytes image = Image(3);
  const fs::path target = folder / "a.osr";
  for (int i = 0; i < 16; ++i) fs::create_directory(target.string() + ".~" + std::to_string(i) + ".tmp");
  for (int round = 0; round < 3; ++round) {
    EXPECT_TRUE(SaveConfigFile(files, target.u16string(), image.data())) << round;
    EXPECT_EQ(Names(folder).size(), 17u);
  }
  EXPECT_EQ(ReadAll(target), FileOf(image));
}

TEST_F(SaveOnDisk, OpensOfWhatIsNoPlainFileFailWithoutBlocking) {
  const fs::path good = folder / "good.osr";
  WriteAll(good, FileOf(Image(5)));
  fs::create_directory(folder / "folder.osr");
  mkfifo((folder / "pipe.osr").c_str(), 0666);
  fs::create_symlink("good.osr", folder / "link.osr");
  const struct {
    const char* what;
    std::u16string path;
    ConfigFileResult result;
  } cases[] = {
      {"a plain file", good.u16string(), Loaded},
      {"a link to it", (folder / "link.osr").u16string(), Loaded},
      {"a folder", (folder / "folder.osr").u16string(), ReadError},
      {"a pipe without a writer", (folder / "pipe.osr").u16string(), ReadError},
      {"a device that reads as empty", u"/dev/null", ReadError},
      {"a device that never ends", u"/dev/zero", ReadError},
      {"a name with an unpaired surrogate", folder.u16string() + u"/\xD800.osr", ReadError},
      {"a name with a NUL", folder.u16string() + std::u16string(u"/a\0b.osr", 8), ReadError},
      {"a missing file", (folder / "missing.osr").u16string(), ReadError},
  };
  for (const auto& c : cases) {
    auto load = std::async(std::launch::async, [&] {
      StdFileSystem own;
      std::uint8_t image[kImageSize];
      return LoadConfigFile(own, c.path, image);
    });
    ASSERT_EQ(load.wait_for(std::chrono::seconds(5)), std::future_status::ready) << c.what;
    EXPECT_EQ(load.get(), c.result) << c.what;
  }
  // Nor does a save to such a name get anywhere.
  EXPECT_FALSE(SaveConfigFile(files, folder.u16string() + u"/\xDC00.osr", Image(1).data()));
  EXPECT_FALSE(SaveConfigFile(files, u"/dev/null", Image(1).data()));
}

// Every other file a program writes goes through the same save, with
// bytes of any length; a pipe or a device is written to as it is, and each
// refusal says why.
TEST_F(SaveOnDisk, BytesOfAnyLengthAndTheReasonOfEachRefusal) {
  auto text = [](std::size_t n) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>('a' + i % 26);
    return bytes;
  };
  struct Case {
    const char* what;
    std::function<void(const fs::path& target)> prepare;
    std::size_t size;
    FileError result;
  };
  const Case cases[] = {
      {"no bytes", [](const fs::path&) {}, 0, FileError::None},
      {"three megabytes over a shorter file",
       [](const fs::path& t) { WriteAll(t, Bytes(10, 1)); }, 3 << 20, FileError::None},
      {"a few bytes over a longer file with a second name",
       [](const fs::path& t) {
         WriteAll(t, Bytes(100000, 1));
         fs::create_hard_link(t, t.parent_path() / "twin");
       },
       5, FileError::None},
      {"a read-only file", [](const fs::path& t) { WriteAll(t, {1}); chmod(t.c_str(), 0444); }, 5,
       FileError::ReadOnly},
      {"a folder", [](const fs::path& t) { fs::create_directory(t); }, 5, FileError::Folder},
      {"a folder that does not exist", [](const fs::path&) {}, 5, FileError::Missing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    fs::path target = folder / "out.txt";
    if (c.result == FileError::Missing) target = folder / "none" / "out.txt";
    c.prepare(target);
    const Bytes bytes = text(c.size);
    EXPECT_EQ(SaveFileBytes(files, target.u16string(), bytes.data(), bytes.size(), true), c.result);
    if (c.result == FileError::None) {
      EXPECT_EQ(ReadAll(target), bytes);
      if (fs::exists(folder / "twin")) {
        EXPECT_EQ(ReadAll(folder / "twin"), bytes);
      }
    }
  }
  // A pipe: written to as it is, for its reader, and never replaced; a
  // configuration file is not saved into one.
  SetUp();
  const fs::path pipe = folder / "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0666), 0);
  auto reader = std::async(std::launch::async, [&] { return ReadAll(pipe); });
  const Bytes bytes = text(100000);
  EXPECT_EQ(SaveFileBytes(files, pipe.u16string(), bytes.data(), bytes.size(), true), FileError::None);
  EXPECT_EQ(reader.get(), bytes);
  struct stat st;
  ASSERT_EQ(stat(pipe.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(SaveFileBytes(files, pipe.u16string(), bytes.data(), bytes.size(), false),
            FileError::NotAFile);
  // A device: the same.
  EXPECT_EQ(SaveFileBytes(files, u"/dev/null", bytes.data(), bytes.size(), true), FileError::None);
  EXPECT_EQ(SaveFileBytes(files, u"/dev/full", bytes.data(), bytes.size(), true), FileError::NoSpace);
  FileError why = FileError::None;
  EXPECT_FALSE(SaveConfigFile(files, u"/dev/null", Image(1).data(), &why));
  EXPECT_EQ(why, FileError::NotAFile);
  // The name of a file the process has open (as /dev/stdout is when the
  // output goes to a file): added to where it ends, never replaced.
  SetUp();
  const fs::path log = folder / "log";
  WriteAll(log, {'-'});
  const int fd = open(log.c_str(), O_WRONLY | O_APPEND);
  struct stat before, after;
  ASSERT_EQ(fstat(fd, &before), 0);
  const std::string name = "/proc/self/fd/" + std::to_string(fd);
  EXPECT_EQ(SaveFileBytes(files, std::u16string(name.begin(), name.end()), bytes.data(), 3, true),
            FileError::None);
  EXPECT_EQ(ReadAll(log), (Bytes{'-', 'a', 'b', 'c'}));
  ASSERT_EQ(stat(log.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  close(fd);
  // Where no file may be made.
  SetUp();
  chmod(folder.c_str(), 0555);
  EXPECT_TRUE(AsUser([&] {
    StdFileSystem own;
    return SaveFileBytes(own, (folder / "new").u16string(), bytes.data(), 1, true) ==
           FileError::NoPermission;
  }));
}

// A save under way holds its new file; another save of the same target in
// the meantime leaves it alone, and the first save still completes.
TEST_F(SaveOnDisk, ASaveUnderWayKeepsItsFileWhileAnotherSaveEnds) {
  const fs::path target = folder / "a.osr";
  const std::u16string temporary =
      target.u16string() + u".~" + fs::path(std::to_string(getpid())).u16string() + u"-00001234.tmp";
  const Bytes first = FileOf(Image(1));
  StdFileSystem writing;
  ASSERT_EQ(writing.WriteNewFile(temporary, first.data(), first.size()),
            IFileSystem::CreateOutcome::Written);
  EXPECT_TRUE(SaveConfigFile(files, target.u16string(), Image(2).data()));
  EXPECT_TRUE(fs::exists(fs::path(temporary)));
  ASSERT_TRUE(writing.MoveOver(temporary, target.u16string()));
  EXPECT_EQ(ReadAll(target), first);
  EXPECT_EQ(Names(folder), std::vector<std::string>{"a.osr"});
}

// Ended by SIGINT, SIGTERM or SIGHUP in the middle of a save, a program
// leaves no new file behind; the signal still ends it. A signal the program
// was started to ignore (a shell's background job ignores SIGINT, nohup
// ignores SIGHUP) stays ignored: the save goes on.
TEST_F(SaveOnDisk, ASignalDuringASaveRemovesItsNewFile) {
  struct Case {
    int signal;
    bool ignoredAtStart;
  };
  for (const Case& c : {Case{SIGINT, false}, Case{SIGTERM, false}, Case{SIGHUP, false},
                        Case{SIGINT, true}, Case{SIGHUP, true}}) {
    SCOPED_TRACE(testing::Message() << c.signal << (c.ignoredAtStart ? " ignored" : ""));
    const fs::path target = folder / "a.osr";
    const std::u16string temporary = target.u16string() + u".~1-00000001.tmp";
    const pid_t child = fork();
    if (child == 0) {
      // The disposition the program finds at its start, whatever the test
      // runner was started with.
      ::signal(c.signal, c.ignoredAtStart ? SIG_IGN : SIG_DFL);
      RemoveUnfinishedSaveOnSignal();
      StdFileSystem own;
      const Bytes bytes(100, 1);
      if (own.WriteNewFile(temporary, bytes.data(), bytes.size()) !=
          IFileSystem::CreateOutcome::Written)
        _exit(3);
      raise(c.signal);
      _exit(4);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (c.ignoredAtStart) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 4) << status;
      EXPECT_EQ(Names(folder), std::vector<std::string>{"a.osr.~1-00000001.tmp"});
      fs::remove(fs::path(temporary));
    } else {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
      EXPECT_EQ(Names(folder), std::vector<std::string>{});
    }
  }
}

// set's lock: a second holder waits for the first, and the lock of a file
// that the first holder's save replaced is taken on the new file.
TEST_F(SaveOnDisk, ALockIsHeldUntilLetGoAndFollowsAReplacedFile) {
  const fs::path target = folder / "a.osr";
  WriteAll(target, FileOf(Image(1)));
  StdFileSystem other;
  auto first = files.LockForChange(target.u16string(), 0);
  ASSERT_TRUE(first);
  EXPECT_FALSE(other.LockForChange(target.u16string(), 100));
  EXPECT_EQ(other.LastError(), FileError::Busy);
  auto waiting = std::async(std::launch::async, [&] {
    StdFileSystem own;
    return own.LockForChange(target.u16string(), 5000) != nullptr;
  });
  ASSERT_TRUE(SaveConfigFile(files, target.u16string(), Image(2).data()));  // a new file
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  first.reset();
  EXPECT_TRUE(waiting.get());
  // Nobody holds the new file now; a missing file gets a lock of nothing.
  EXPECT_TRUE(other.LockForChange(target.u16string(), 0));
  EXPECT_TRUE(other.LockForChange((folder / "missing").u16string(), 0));
}

}  // namespace
