// Nothing committed is ever lost: processes that record revisions or import
// a folder are killed (SIGKILL) at random moments, hundreds of times; after
// each kill the registry is sound, holds every revision the process said it
// added, and no half of one. And several processes adding to one registry
// at once: every revision is there, none twice.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <map>
#include <random>
#include <set>
#include <streambuf>
#include <thread>

#include "cli/CliTestSupport.h"
#include "app/fs/OsFileSystem.h"
#include "sites/Registry.h"

namespace {

using Clock = std::chrono::steady_clock;

// An output stream straight into a descriptor: what a process has written
// is in the pipe the moment it is written, so that a kill loses none of it.
class FdBuf : public std::streambuf {
 public:
  explicit FdBuf(int fd) : fd_(fd) {}

 protected:
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return 0;
    const char ch = static_cast<char>(c);
    return ::write(fd_, &ch, 1) == 1 ? c : traits_type::eof();
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::streamsize done = 0;
    while (done < n) {
      const ssize_t w = ::write(fd_, s + done, static_cast<std::size_t>(n - done));
      if (w <= 0) break;
      done += w;
    }
    return done;
  }

 private:
  int fd_;
};

// A child process that runs `body` with the write end of a pipe; the parent
// reads what it wrote.
struct Child {
  pid_t pid = -1;
  int fd = -1;
  std::string read{};  // what was read before Finish
};

// Waits for the child's next line; false when it ended first.
bool NextLine(Child& c, std::string& line) {
  line.clear();
  for (char ch; ::read(c.fd, &ch, 1) == 1;) {
    c.read += ch;
    if (ch == '\n') return true;
    line += ch;
  }
  return false;
}

Child Start(const std::function<void(int fd)>& body) {
  int pipes[2];
  if (pipe(pipes) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipes[0]);
    body(pipes[1]);
    _exit(0);
  }
  close(pipes[1]);
  return {pid, pipes[0]};
}

// Everything the child wrote, once it has ended; its complete lines.
std::vector<std::string> Finish(Child& c, int* status = nullptr) {
  std::string text = c.read;
  char buffer[4096];
  for (ssize_t n; (n = read(c.fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  close(c.fd);
  int s = 0;
  waitpid(c.pid, &s, 0);
  if (status) *status = s;
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;  // a last line cut by the kill is not counted
}

Image Numbered(int n) {
  Image image = DemoImage();
  // A field's bytes aside, so that every image differs: the comment area
  // of the record is no field's; the registry keeps any bytes.
  image[kImageSize - 4] = static_cast<std::uint8_t>(n);
  image[kImageSize - 3] = static_cast<std::uint8_t>(n >> 8);
  image[kImageSize - 2] = static_cast<std::uint8_t>(n >> 16);
  return image;
}

// Records revisions until it is killed, saying each one's id once it is
// committed.
void RecordForever(const std::string& path, const std::string& site, int fd, int seed) {
  std::unique_ptr<Registry> r = Registry::OpenSqlite(path, false);
  if (::write(fd, "open\n", 5) < 0) _exit(3);
  for (int i = 0;; ++i) {
    const Added a = r->AddRevision({.site = site, .image = Numbered(seed * 100000 + i),
                                    .source = RevisionSource::Edit, .author = "kill test"});
    const std::string line = a.id + "\n";
    if (::write(fd, line.data(), line.size()) < 0) _exit(3);
  }
}

// Checks the registry after a kill: sound, every reported revision there.
void ExpectIntact(const std::string& path, const std::vector<std::string>& reported,
                  const std::string& when) {
  std::unique_ptr<Registry> r = Registry::OpenSqlite(path, false);
  const std::vector<std::string> problems = r->Check();
  EXPECT_TRUE(problems.empty()) << when << ": " << (problems.empty() ? "" : problems[0]);
  for (const std::string& id : reported) {
    const std::optional<Revision> rev = r->FindRevision(id);
    ASSERT_TRUE(rev) << when << ": the reported revision " << id << " is missing";
    EXPECT_EQ(r->RevisionImage(*rev).size(), kImageSize) << when;
  }
}

// How long the kill tests may take, in all; OSTREL_KILL_SECONDS sets it.
double KillSeconds() {
  const char* v = std::getenv("OSTREL_KILL_SECONDS");
  return v ? std::atof(v) : 5.0;
}

TEST(SiteKill, RecordingKilledAtRandomMomentsLosesNothingCommitted) {
  ScratchFolder dir;
  const std::string path = dir / "sites.db";
  {
    std::unique_ptr<Registry> r = Registry::OpenSqlite(path, true);
    r->AddSite({.number = "0417"});
  }
  std::mt19937 random(20261209);
  std::set<std::string> all;
  int kills = 0, withRevisions = 0;
  const auto end = Clock::now() + std::chrono::duration<double>(KillSeconds() * 0.7);
  while (kills < 15 || (kills < 400 && Clock::now() < end)) {
    Child c = Start([&](int fd) { RecordForever(path, "0417", fd, kills + 1); });
    // At any moment: now and then before the registry is open, else once
    // it is, and half of the times once a first revision is committed,
    // then up to several commits later.
    std::string line;
    const unsigned when = random() % 8;
    if (when > 0 && !NextLine(c, line)) ADD_FAILURE() << "the registry did not open";
    if (when > 4 && !NextLine(c, line)) ADD_FAILURE() << "no revision was recorded";
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 15000));
    kill(c.pid, SIGKILL);
    int status = 0;
    std::vector<std::string> reported = Finish(c, &status);
    std::erase(reported, "open");
    ASSERT_TRUE(WIFSIGNALED(status)) << "the recording process ended by itself";
    ++kills;
    if (!reported.empty()) ++withRevisions;
    all.insert(reported.begin(), reported.end());
    ExpectIntact(path, reported, "kill " + std::to_string(kills));
    if (HasFailure()) return;
  }
  ExpectIntact(path, std::vector<std::string>(all.begin(), all.end()), "at the end");
  // One process at a time: the history stays one line.
  std::unique_ptr<Registry> r = Registry::OpenSqlite(path, false);
  EXPECT_EQ(r->Heads("0417").size(), 1u);
  std::printf("kill test (recording): %d kills, %d after revisions were reported, %zu revisions\n",
              kills, withRevisions, all.size());
  // How many fit into the time depends on the machine and its load (a
  // sanitizer build is several times slower).
  EXPECT_GE(kills, 10);
  EXPECT_GE(withRevisions, kills / 4);
}

TEST(SiteKill, ImportKilledAtRandomMomentsLosesNothingItReported) {
  ScratchFolder dir;
  std::filesystem::create_directories(dir / "files");
  for (int i = 0; i < 300; ++i)
    WriteImage(dir / ("files/" + std::to_string(10000 + i) + ".osr"), Numbered(i));
  const auto import = [&](const std::string& path) {
    return Start([&, path](int fd) {
      FdBuf buf(fd);
      std::ostream out(&buf), err(&buf);
      StdFileSystem files;
      CliEnvironment env{files, [](bool) -> std::unique_ptr<DeviceAccess> { return nullptr; },
                         out, err};
      _exit(RunCli({"--registry", path, "site", "import", dir / "files"}, env));
    });
  };
  // How long a whole import takes here: the kills fall within it.
  auto start = Clock::now();
  Child whole = import(dir / "whole.db");
  Finish(whole);
  auto span = std::max<long>(
      20000, std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());

  std::mt19937 random(417);
  int kills = 0, runs = 0;
  std::size_t took = 0;
  const auto end = Clock::now() + std::chrono::duration<double>(KillSeconds() * 0.3);
  // A few runs and kills whatever the time (a sanitizer build on a loaded
  // machine is many times slower), then as many as fit.
  while (runs < 100 && (runs < 6 || kills < 3 || (kills < 200 && Clock::now() < end))) {
    // A fresh registry each time, so that every import adds.
    const std::string path = dir / ("sites-" + std::to_string(runs++) + ".db");
    Child c = import(path);
    // At any moment of the import, and half of the times once a first
    // batch is committed.
    std::string line;
    const bool committed = random() % 2;
    if (committed && !NextLine(c, line)) ADD_FAILURE() << "the import said nothing";
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (committed ? span / 2 : span)));
    kill(c.pid, SIGKILL);
    int status = 0;
    const std::vector<std::string> lines = Finish(c, &status);
    // An import that ended before its kill: the kills fall earlier.
    if (WIFSIGNALED(status))
      ++kills;
    else
      span = std::max<long>(2000, span * 2 / 3);
    // "took 10017.osr as site 10017, revision 0123456789ab"
    std::vector<std::string> prefixes;
    for (const std::string& line : lines)
      if (line.rfind("took ", 0) == 0) prefixes.push_back(line.substr(line.size() - 12));
    took += prefixes.size();
    if (!std::filesystem::exists(path)) continue;
    std::unique_ptr<Registry> r = Registry::OpenSqlite(path, false);
    EXPECT_TRUE(r->Check().empty()) << "run " << runs;
    std::set<std::string> ids, sites;
    std::unique_ptr<DbRows> rows = r->database().Query("SELECT id, site FROM revisions");
    while (rows->Next()) {
      ids.insert(rows->Text(0).substr(0, 12));
      EXPECT_TRUE(sites.insert(rows->Text(1)).second) << "a file imported twice";
    }
    rows.reset();
    for (const std::string& p : prefixes)
      EXPECT_TRUE(ids.count(p)) << "run " << runs << ": the reported revision " << p << " is missing";
    if (HasFailure()) return;
  }
  std::printf("kill test (import): %d kills in %d runs, %zu files reported taken\n", kills, runs,
              took);
  EXPECT_GE(kills, 2);
  EXPECT_GT(took, 0u);
}

TEST(SiteConcurrency, SeveralProcessesAddingAtOnceLoseNothingAndAddNothingTwice) {
  ScratchFolder dir;
  const std::string path = dir / "sites.db";
  {
    std::unique_ptr<Registry> r = Registry::OpenSqlite(path, true);
    for (const char* n : {"shared", "p1", "p2", "p3", "p4"}) r->AddSite({.number = n});
  }
  constexpr int kProcesses = 4, kEach = 30;
  std::vector<Child> children;
  for (int p = 0; p < kProcesses; ++p) {
    children.push_back(Start([&, p](int fd) {
      std::unique_ptr<Registry> r = Registry::OpenSqlite(path, false);
      for (int i = 0; i < kEach; ++i) {
        // Alternately onto the shared site's head and onto its own site;
        // and the same revision twice, as a retry would.
        const std::string site = i % 2 ? "shared" : "p" + std::to_string(p + 1);
        NewRevision n{.site = site, .image = Numbered(p * 1000 + i), .author = "p",
                      .at = "2026-12-09T00:00:00.000Z"};
        const Added a = r->AddRevision(n);
        if (site != "shared") r->AddRevision({.site = site, .image = n.image, .author = "p",
                                              .at = n.at, .parent = r->FindRevision(a.id)->parent});
        const std::string line = a.id + "\n";
        if (::write(fd, line.data(), line.size()) < 0) _exit(3);
      }
    }));
  }
  std::multiset<std::string> reported;
  for (Child& c : children) {
    int status = 0;
    const std::vector<std::string> lines = Finish(c, &status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    reported.insert(lines.begin(), lines.end());
  }
  ASSERT_EQ(reported.size(), std::size_t{kProcesses * kEach});
  EXPECT_EQ(std::set<std::string>(reported.begin(), reported.end()).size(), reported.size());
  std::unique_ptr<Registry> r = Registry::OpenSqlite(path, false);
  std::size_t total = 0;
  for (const Site& s : r->ListSites()) total += r->Log(s.number).size();
  EXPECT_EQ(total, reported.size());
  for (const std::string& id : reported) EXPECT_TRUE(r->FindRevision(id)) << id;
  // Each process went on from the head it found: one line of history.
  EXPECT_EQ(r->Heads("shared").size(), 1u);
  EXPECT_EQ(r->Log("shared").size(), std::size_t{kProcesses * kEach / 2});
  EXPECT_TRUE(r->Check().empty());

  // Two imports of one folder at once: each file once.
  std::filesystem::create_directories(dir / "files");
  for (int i = 0; i < 60; ++i)
    WriteImage(dir / ("files/" + std::to_string(500 + i) + ".osr"), Numbered(50000 + i));
  std::vector<Child> imports;
  for (int k = 0; k < 2; ++k)
    imports.push_back(Start([&](int fd) {
      FdBuf buf(fd);
      std::ostream out(&buf);
      StdFileSystem files;
      CliEnvironment env{files, [](bool) -> std::unique_ptr<DeviceAccess> { return nullptr; },
                         out, out};
      _exit(RunCli({"--registry", path, "site", "import", dir / "files"}, env));
    }));
  for (Child& c : imports) Finish(c);
  r = Registry::OpenSqlite(path, false);
  for (int i = 0; i < 60; ++i) EXPECT_EQ(r->Log(std::to_string(500 + i)).size(), 1u) << i;
}

}  // namespace
