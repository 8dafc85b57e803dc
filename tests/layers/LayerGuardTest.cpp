// The layer guard (cmake/LayerGuard.cmake) over a small tree laid out as the
// core is: the layers in their order, HID backends in hid/a and hid/b, a
// file system in fs/posix. Each case adds one link; the guard passes a link
// downward, to a backend from a layer above the one it implements, or
// between two backends, and stops the configuration at one that runs
// upward or to a layer beside, naming both libraries.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
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
      {"device-links-a-backend", "device (layer device) links hid_a (layer hid, above it)"},
      {"a-backend-links-the-app", "hid_b (layer hid) links app (layer app, above it)"},
      {"config-links-the-app-in-a-generator-expression",
       "config (layer config) links app (layer app, above it)"},
      {"the-app-links-a-file-system-by-its-alias",
       "app (layer app) links fs_posix (layer fs, above it)"},
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

}  // namespace
