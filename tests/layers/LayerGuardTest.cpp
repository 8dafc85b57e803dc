// The layer guard (cmake/LayerGuard.cmake) over a small tree laid out as the
// core is: the layers in their order, HID backends in device/hid/a and
// device/hid/b inside the device link, a file system in app/fs/posix inside
// the application. Each case adds one link; the guard passes a link
// downward, to a backend from a layer above the one it implements, or
// between two backends, and stops the configuration at one that runs
// upward or to a layer beside, naming both libraries. The include folders
// the guard makes let a layer see its own headers and not those of the
// backends inside it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace {

struct Configured {
  int status = -1;
  std::string output;
};

// Configures the fixture with CASE=`which`; its output with stderr.
Configured Configure(const std::string& which) {
  const std::string command = std::string("'") + OSTREL_CMAKE + "' -S '" + OSTREL_LAYER_FIXTURE +
                              "' -B '" + OSTREL_LAYER_SCRATCH + "/" + which + "' -DCASE=" + which +
                              " -DGUARD='" + OSTREL_LAYER_GUARD + "' 2>&1";
  Configured result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  for (std::size_t n; (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
    result.output.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(LayerGuard, PassesLinksDownwardAndStopsEachUpwardOne) {
  struct Case {
    const char* which;
    const char* reported;  // nullptr: passed
  };
  const Case cases[] = {
      // The tree as the core links it: backends over the device layer and
      // over each other, a file system over the app, the front ends over
      // all of them, and a library that is not the core's.
      {"sound", nullptr},
      {"a-file-system-links-a-backend", nullptr},
      {"device-links-a-backend",
       "device (layer device) links hid_a (layer device/hid, above it)"},
      {"a-backend-links-the-app", "hid_b (layer device/hid) links app (layer app, above it)"},
      {"a-backend-links-a-front-end", "hid_a (layer device/hid) links cli (layer cli, above it)"},
      {"a-file-system-links-a-front-end",
       "fs_posix (layer app/fs) links server (layer server, above it)"},
      {"config-links-the-app-in-a-generator-expression",
       "config (layer config) links app (layer app, above it)"},
      {"the-app-links-a-file-system-by-its-alias",
       "app (layer app) links fs_posix (layer app/fs, above it)"},
      {"pages-link-the-sites-beside-them",
       "pages (layer pages) links sites (layer sites, beside it)"},
      {"the-server-links-the-cli-beside-it",
       "server (layer server) links cli (layer cli, beside it)"},
      {"a-library-of-an-unknown-layer", "the layer \"gui\" is not in the"},
  };
  for (const Case& c : cases) {
    const Configured run = Configure(c.which);
    if (!c.reported) {
      EXPECT_EQ(run.status, 0) << c.which << '\n' << run.output;
      EXPECT_EQ(run.output.find("layer guard"), std::string::npos) << c.which << '\n' << run.output;
    } else {
      EXPECT_NE(run.status, 0) << c.which << '\n' << run.output;
      EXPECT_NE(run.output.find(c.reported), std::string::npos) << c.which << '\n' << run.output;
    }
  }
}

// The include folder of a layer that holds its backends' folder shows the
// layer's own headers and not that folder; a backend's shows its own.
TEST(LayerGuard, IncludeFoldersLeaveTheBackendsOutOfTheLayerThatHoldsThem) {
  const Configured run = Configure("sound");
  ASSERT_EQ(run.status, 0) << run.output;
  const std::filesystem::path layers =
      std::filesystem::path(OSTREL_LAYER_SCRATCH) / "sound" / "layers";
  struct Entry {
    const char* path;  // under the build's layers/
    bool seen;
  };
  const Entry entries[] = {
      {"device/device/Link.h", true},
      {"device/device/hid", false},
      {"device/device/hid/a/BackendA.h", false},
      {"device_hid_a/device/hid/a/BackendA.h", true},
      {"app/app/App.h", true},
      {"app/app/fs", false},
      {"app_fs_posix/app/fs/posix/Files.h", true},
  };
  for (const Entry& e : entries)
    EXPECT_EQ(std::filesystem::exists(layers / e.path), e.seen) << e.path;
}

}  // namespace
