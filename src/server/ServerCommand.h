// ostrel-server's command line: start the office, manage its operators
// from the shell, read its audit log.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace office {

struct ServerEnvironment {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool terminal;  // standard input is a terminal (passwords are asked there)
};

// Exit codes: 0 done, 2 bad arguments or input, 3 refused (the database
// cannot be reached, the right is missing, the operator does not exist).
int RunServerCommand(const std::vector<std::string>& args, ServerEnvironment& env);

// Stops a serving RunServerCommand (from a signal's thread).
void StopServing();

}  // namespace office
