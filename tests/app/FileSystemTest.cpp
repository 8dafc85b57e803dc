// Saving and opening configuration files on the real file system, in a
// folder of their own: the cases where a save must go through a temporary
// file, where it must write in place, where it must refuse, and the names
// that an open must refuse without blocking.
#include <fcntl.h>
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
#include <vector>

#include "app/ConfigFile.h"
#include "pages/ImageMap.h"

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
       },
       true, {"a.osr", "a.osr.bak", "a.osr.~notmine.tmp"}, nullptr},
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
    EXPECT_EQ(Names(folder), c.names);
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

}  // namespace
