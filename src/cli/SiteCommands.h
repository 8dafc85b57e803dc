// The site commands of ostrel-cli: the sites registry (src/sites) from the
// command line. `site ...` and `find` are commands of their own; `read` and
// `write` take --site to record what they read and wrote.
//
// Built where the registry is (not in the Windows build).
#pragma once
#include <memory>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "app/Compare.h"
#include "cli/Commands.h"

class SiteCommands {
 public:
  // Adds the commands and the program's --registry option to `app`.
  SiteCommands(CLI::App& app, CliEnvironment& env);
  ~SiteCommands();

  // --site, --author and -m of a command that records revisions (read,
  // write).
  void AddRecordingOptions(CLI::App* command);
  // Whether --site was given.
  bool Recording() const;
  // Opens the registry and checks that the --site site is there, before
  // the alarm is touched.
  void Prepare();
  // The head of the --site site, for `write --site` without a file.
  Image HeadImage();
  // Records what `read --site` read; the line to print.
  std::string RecordRead(const Image& image, bool emulated);
  // Records what `write --site` wrote and what the alarm held before it;
  // the line to print.
  std::string RecordWrite(const Image& before, const Image& written, bool emulated);
  // Runs the site command that was parsed; nothing when none was.
  std::optional<int> Run();

 private:
  struct State;
  std::unique_ptr<State> s_;
};
