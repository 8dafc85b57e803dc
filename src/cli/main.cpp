// ostrel-cli: the configurator's command-line program.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "app/fs/OsFileSystem.h"

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include "config/Utf8.h"
#include "device/hid/windows/HidDevice.h"

namespace {
class UsbAccess : public DeviceAccess {
 public:
  // An abort event that nothing sets: a command runs to its end.
  UsbAccess() : abort_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), hid_(abort_) {}
  ~UsbAccess() override { CloseHandle(abort_); }
  IHidEnumerator& Hid() override { return hid_; }

 private:
  HANDLE abort_;
  HidSetupEnumerator hid_;
};
using PlatformFileSystem = Win32FileSystem;
bool ErrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
}  // namespace

int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  // A configuration goes to standard output (-o -) and JSON comes from
  // standard input (import -) byte for byte, without line-end translation.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.push_back(ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(argv[i]))));
#else
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "device/hid/hidapi/HidapiHid.h"

namespace {
#ifdef OSTREL_CLI_HANDS_OVER
// The program with the site commands: beside this one in the build tree,
// in /usr/libexec/ostrel/ when installed (this one in /usr/bin/).
constexpr char kSitesProgram[] = "ostrel-cli-sites";

// Runs the command line in the program with the site commands, in this
// process's place; returns only when it cannot, with the exit status.
int HandOver(char** argv) {
  std::string self(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
  self.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  const std::string folder = self.substr(0, self.rfind('/') + 1);
  std::string tried;
  for (const std::string& path : {folder + kSitesProgram, folder + "../libexec/ostrel/" + kSitesProgram}) {
    execv(path.c_str(), argv);
    if (errno != ENOENT) {
      std::cerr << "ostrel-cli: " << path << " cannot be started: " << std::strerror(errno) << '\n';
      return 3;
    }
    tried += (tried.empty() ? "" : " nor ") + path;
  }
  std::cerr << "ostrel-cli: the site commands are not installed (there is no " << tried
            << "); the other commands work without them\n";
  return 3;
}
#endif

class UsbAccess : public DeviceAccess {
 public:
  IHidEnumerator& Hid() override { return hid_; }

 private:
  HidapiEnumerator hid_;
};
using PlatformFileSystem = StdFileSystem;
bool ErrIsTerminal() { return isatty(2) != 0; }
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
#ifdef OSTREL_CLI_HANDS_OVER
  if (UsesSiteCommands(args)) return HandOver(argv);
#endif
  // Interrupted in the middle of a save, the program leaves no new file
  // behind (the target is the old or the new file in any case).
  RemoveUnfinishedSaveOnSignal();
  // The tool writes through the streams alone: they need not hand every
  // insertion to C's stdio at once.
  std::ios::sync_with_stdio(false);
#endif
  PlatformFileSystem files;
  CliEnvironment env{files,
                     [](bool emulated) -> std::unique_ptr<DeviceAccess> {
                       if (emulated) return MakeEmulatedAccess();
                       return std::make_unique<UsbAccess>();
                     },
                     std::cout, std::cerr, ErrIsTerminal()};
  env.in = &std::cin;
  const int status = RunCli(args, env);
  std::cout.flush();
  return status;
}
