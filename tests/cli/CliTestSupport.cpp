#include "cli/CliTestSupport.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <unistd.h>

#include "config/Utf8.h"
#include "device/DemoConfiguration.h"

namespace {
class BorrowedAccess : public DeviceAccess {
 public:
  explicit BorrowedAccess(IHidEnumerator& hid) : hid_(hid) {}
  IHidEnumerator& Hid() override { return hid_; }

 private:
  IHidEnumerator& hid_;
};

class MachineAccess : public DeviceAccess {
 public:
  MachineAccess() = default;
  IHidEnumerator& Hid() override { return machine_.bus; }

 private:
  EmulatedMachine machine_;
};
}  // namespace

ScratchFolder::ScratchFolder() {
  static std::atomic<int> count{0};
  path_ = std::filesystem::temp_directory_path() /
          ("ostrel-cli-test-" + std::to_string(::getpid()) + "-" + std::to_string(count++));
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

EmulatedMachine::EmulatedMachine(bool attached) {
  LoadDemoDevice(device);
  if (attached) bus.Add(device);
}

CliRun RunCommand(const std::vector<std::string>& args, EmulatedMachine* machine, bool terminal,
                  int lockWaitMs, const std::string& input) {
  StdFileSystem files;
  std::ostringstream out, err;
  std::istringstream in(input);
  CliEnvironment env{files,
                     [machine](bool) -> std::unique_ptr<DeviceAccess> {
                       if (machine) return std::make_unique<BorrowedAccess>(*machine->hid);
                       return std::make_unique<MachineAccess>();
                     },
                     out, err, terminal, lockWaitMs};
  env.in = &in;
  CliRun run;
  run.status = RunCli(args, env);
  run.out = out.str();
  run.err = err.str();
  return run;
}

Image ReadImage(const std::string& path) {
  StdFileSystem files;
  Image image(kImageSize);
  if (LoadConfigFile(files, FromUtf8(path).value(), image.data()) != Loaded)
    return {};
  return image;
}

void WriteImage(const std::string& path, const Image& image) {
  StdFileSystem files;
  SaveConfigFile(files, FromUtf8(path).value(), image.data());
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Image DemoImage() {
  Image image(kImageSize);
  MakeDemoImage(image.data());
  return image;
}

Image Configured(const std::vector<std::pair<std::string, std::string>>& values) {
  ConfigModel model;
  Image image = DemoImage();
  model.Load(image);
  for (const auto& [key, value] : values) {
    std::string error;
    const std::optional<FieldRef> field = FindField(key);
    if (!field) throw std::invalid_argument(key);
    const std::optional<ConfigModel::Holder> h = model.Parse(*field, Json(value), error);
    if (!h) throw std::invalid_argument(error);
    model.Assign(*field, *h);
  }
  model.StoreOver(image);
  return image;
}
