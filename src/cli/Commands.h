// The command-line program without its platform: arguments in, text out,
// an exit status back. main() gives it the platform's files and USB access.
#pragma once
#include <functional>
#include <memory>
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
};

// Runs one command line (`args` without the program name, UTF-8).
int RunCli(const std::vector<std::string>& args, CliEnvironment& env);
