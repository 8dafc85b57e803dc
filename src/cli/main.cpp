// ostrel-cli: the configurator's command-line program.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "fs/OsFileSystem.h"

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include "config/Utf8.h"
#include "hid/windows/HidDevice.h"

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

#include "hid/hidapi/HidapiHid.h"

namespace {
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
