// Helpers of the command-line program's tests: a scratch folder, running a
// command line in-process, and files of configurations.
#pragma once
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/ConfigFile.h"
#include "app/fs/OsFileSystem.h"
#include "app/FileSystem.h"
#include "cli/Commands.h"
#include "cli/ConfigModel.h"
#include "device/hid/emulated/EmulatedHid.h"

// A folder of its own for each test, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// An emulated machine that outlives single commands, so that a write and a
// later read meet the same alarm; with `attached` false the bus is empty.
struct EmulatedMachine {
  explicit EmulatedMachine(bool attached = true);
  EmulatedDevice device;
  SignalHub hub{true};
  HubEvent abort{hub};
  EmulatedHidBus bus{hub, abort};
  // What the commands get; by default the bus itself.
  IHidEnumerator* hid = &bus;
};

struct CliRun {
  int status = -1;
  std::string out, err;
};

// Runs one command line against the real file system and, for device
// commands, against `machine` (a fresh demonstration alarm when null,
// whether or not --emulated is given); `terminal`: standard error is one.
// `lockWaitMs`: how long set waits for a file another program holds;
// `input`: what standard input holds.
CliRun RunCommand(const std::vector<std::string>& args, EmulatedMachine* machine = nullptr,
                  bool terminal = false, int lockWaitMs = 10000, const std::string& input = "");

Image ReadImage(const std::string& path);  // empty when the file does not load
void WriteImage(const std::string& path, const Image& image);
std::string ReadText(const std::string& path);
Image DemoImage();
// The demonstration configuration with some fields set (KEY, VALUE as
// people write them); std::invalid_argument for a key or value refused.
Image Configured(const std::vector<std::pair<std::string, std::string>>& values);
