// The command-line program without its platform: arguments in, text out,
// an exit status back. main() gives it the platform's files and USB access.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/FileSystem.h"
#include "cli/DeviceSession.h"

// Exit statuses.
enum ExitStatus : int {
  ExitDone = 0,
  ExitDifferent = 1,  // diff only
  ExitInvalid = 2,    // bad usage or invalid input
  ExitDevice = 3,     // no device, or a transfer failed
};

struct CliEnvironment {
  IFileSystem& files;
  // The USB access (`emulated` false) or the emulated alarm (true).
  std::function<std::unique_ptr<DeviceAccess>(bool emulated)> devices;
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;  // a progress bar goes to `err`
  // How long `set` waits for another program that holds its file.
  int lockWaitMs = 10000;
  // The process's environment variables (OSTREL_REGISTRY, XDG_DATA_HOME,
  // HOME, USER).
  std::function<std::optional<std::string>(const char*)> variable = [](const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  // Standard input, for "-" as the file to import; none: nothing to read.
  std::istream* in = nullptr;
};

// A failure that ends the command with `status` and its message on stderr,
// one "ostrel-cli: " line per line of the message.
struct CliFailure {
  int status;
  std::string message;
};

// The files of every command, shared with the site commands; each throws
// CliFailure with the message the commands give.
std::vector<std::uint8_t> LoadConfiguration(CliEnvironment& env, const std::string& path);
void SaveConfiguration(CliEnvironment& env, const std::string& path,
                       const std::vector<std::uint8_t>& image);
// "-" is standard output.
void SaveTextOutput(CliEnvironment& env, const std::string& path, const std::string& text);

// Whether the command line may use the site commands (site, find, read
// and write with --site, the program's help, --registry or --server): a
// program built without them hands such a line over to one built with
// them.
bool UsesSiteCommands(const std::vector<std::string>& args);

// Runs one command line (`args` without the program name, UTF-8).
int RunCli(const std::vector<std::string>& args, CliEnvironment& env);
