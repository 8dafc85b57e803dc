// The sites registry's figures on this machine: importing 10,000 generated
// .osr files into a new registry, find over 10,000 sites, the log of a site
// with 1,000 revisions, adding one revision (with its sync to the disk), and
// the registry's size per revision. Prints them; not a test.
//
//   sites_benchmark [FOLDER]   (a scratch folder in /tmp by default)
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <sstream>

#include "app/ConfigFile.h"
#include "cli/Commands.h"
#include "config/Configuration.h"
#include "config/ImageMap.h"
#include "config/Utf8.h"
#include "device/DemoConfiguration.h"
#include "app/fs/OsFileSystem.h"
#include "sites/Registry.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The median of `runs` timings of `work`, in ms of wall-clock time and of
// the process's processor time (which the machine's load does not stretch).
struct Timing {
  double wall, cpu;
};
Timing Median(int runs, const std::function<void()>& work) {
  std::vector<double> walls, cpus;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    const std::clock_t cpu = std::clock();
    work();
    walls.push_back(Ms(Clock::now() - start));
    cpus.push_back((std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC);
  }
  std::sort(walls.begin(), walls.end());
  std::sort(cpus.begin(), cpus.end());
  return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

std::string Phone(std::mt19937& random) {
  std::string number = "+7916";
  for (int i = 0; i < 7; ++i) number += char('0' + random() % 10);
  return number;
}

// A configuration as installers make them: the demonstration one with its
// phones, delays and relay modes changed.
Image Generated(std::mt19937& random) {
  Image image(kImageSize);
  std::vector<std::uint8_t> demo(kImageSize);
  InitImage(image.data());
  Configuration model;
  model.Load(image.data());
  for (int p = 1; p <= 4; ++p)
    if (random() % 2) model.Set("phone" + std::to_string(p) + ".number", *FromUtf8(Phone(random)));
  model.Set("input1.entry_delay", *FromUtf8(std::to_string(random() % 60)));
  model.Set("input2.entry_delay", *FromUtf8(std::to_string(random() % 60)));
  model.Set("arming.exit_delay", *FromUtf8(std::to_string(random() % 60)));
  model.StoreOver(image.data());
  return image;
}

std::uintmax_t SizeOf(const std::string& path) {
  std::uintmax_t size = 0;
  for (const char* suffix : {"", "-wal", "-shm"}) {
    std::error_code error;
    const std::uintmax_t s = std::filesystem::file_size(path + suffix, error);
    if (!error) size += s;
  }
  return size;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const fs::path root =
      argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "ostrel-sites-bench";
  fs::remove_all(root);
  fs::create_directories(root / "files");
  std::mt19937 random(2026);
  OsFileSystem files;

  // 10,000 files, one per site.
  constexpr int kSites = 10000;
  const std::string wanted = "+79990001122";
  for (int i = 0; i < kSites; ++i) {
    Image image = Generated(random);
    if (i % 500 == 0) {
      Configuration model;
      model.Load(image.data());
      model.Set("phone2.number", *FromUtf8(wanted));
      model.StoreOver(image.data());
    }
    char name[32];
    std::snprintf(name, sizeof name, "%05d.osr", i);
    SaveConfigFile(files, *FromUtf8((root / "files" / name).string()), image.data());
  }

  // The import, as the command does it.
  const std::string registry = (root / "sites.db").string();
  std::ostringstream out, err;
  CliEnvironment env{files, [](bool) -> std::unique_ptr<DeviceAccess> { return nullptr; }, out, err};
  auto start = Clock::now();
  const int status =
      RunCli({"--registry", registry, "site", "import", (root / "files").string(), "--author", "bench"},
             env);
  const double import = Ms(Clock::now() - start);
  if (status != 0) {
    std::cerr << "the import failed: " << err.str();
    return 1;
  }

  std::unique_ptr<Registry> r = Registry::OpenSqlite(registry, false);
  std::size_t found = 0;
  const Timing find = Median(9, [&] { found = r->Find({{"phone*.number", wanted}}).size(); });
  const Timing findTwo = Median(9, [&] {
    r->Find({{"phone*.number", wanted}, {"input1.entry_delay", "5"}});
  });

  // One site with 1,000 revisions, each a change of a field; the last 50
  // timed one by one, each with its commit and sync.
  r->AddSite({.number = "LOG"});
  std::vector<double> adds;
  for (int i = 0; i < 1000; ++i) {
    const Image image = Generated(random);
    const auto t = Clock::now();
    r->AddRevision({.site = "LOG", .image = image, .author = "bench", .comment = "change"});
    adds.push_back(Ms(Clock::now() - t));
  }
  std::sort(adds.begin(), adds.end());
  std::size_t logSize = 0;
  const Timing log = Median(15, [&] { logSize = r->Log("LOG").size(); });

  r->database().Execute("PRAGMA wal_checkpoint(TRUNCATE)");
  const std::uintmax_t size = SizeOf(registry);
  const double revisions = kSites + 1000;

  std::printf("sites registry on SQLite (%d sites, %d revisions):\n", kSites + 1, int(revisions));
  std::printf("  import of %d files into a new registry: %.1f s (goal 30 s)\n", kSites, import / 1000);
  std::printf("  find phone*.number over %d sites: %.1f ms (%.1f ms of processor time), %zu found "
              "(goal 100 ms); with a second condition: %.1f ms (%.1f ms)\n",
              kSites, find.wall, find.cpu, found, findTwo.wall, findTwo.cpu);
  std::printf("  site log of 1,000 revisions: %.1f ms (%.1f ms of processor time), %zu revisions "
              "(goal 20 ms)\n",
              log.wall, log.cpu, logSize);
  std::printf("  one revision, with its sync to the disk: median %.1f ms, 90th percentile %.1f ms "
              "(goal 10 ms)\n",
              adds[adds.size() / 2], adds[adds.size() * 9 / 10]);
  std::printf("  registry: %.1f MB, %.0f bytes per revision (goal 3 KB)\n", size / 1e6,
              size / revisions);
  // The registry stays for a closer look when a folder was given.
  if (argc > 1) fs::remove_all(root / "files");
  else fs::remove_all(root);
  return 0;
}
