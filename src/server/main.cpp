// ostrel-server: the office of the alarm configurator.
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "server/ServerCommand.h"

int main(int argc, char** argv) {
  // SIGINT and SIGTERM end the server in order: they are waited for in a
  // thread of their own, which stops the listener; every request under
  // way is answered first.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  std::thread([stop_signals] {
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    std::cerr << "ostrel-server: stopping\n";
    office::StopServing();
    // A second signal while stopping ends the process at once.
    sigwait(&stop_signals, &signal_number);
    _exit(1);
  }).detach();

  const std::vector<std::string> args(argv + 1, argv + argc);
  office::ServerEnvironment env{std::cin, std::cout, std::cerr, isatty(0) != 0};
  const int status = office::RunServerCommand(args, env);
  std::cout.flush();
  return status;
}
