#include "win32/StartupTrace.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace startup_trace {
namespace {

struct Step {
  const char* name;
  double ms;
  int count;
};

Step steps[64];
int stepCount = 0;
bool reported = false;
LARGE_INTEGER last = {};

double Since(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// Milliseconds from the creation of this process to now.
double SinceProcessCreation() {
  FILETIME created, exited, kernel, user, now;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  GetSystemTimePreciseAsFileTime(&now);
  ULARGE_INTEGER a, b;
  a.LowPart = created.dwLowDateTime;
  a.HighPart = created.dwHighDateTime;
  b.LowPart = now.dwLowDateTime;
  b.HighPart = now.dwHighDateTime;
  return static_cast<double>(b.QuadPart - a.QuadPart) / 10000.0;
}

void Add(const char* name, double ms) {
  for (int i = 0; i < stepCount; ++i)
    if (std::strcmp(steps[i].name, name) == 0) {
      steps[i].ms += ms;
      ++steps[i].count;
      return;
    }
  if (stepCount < 64) steps[stepCount++] = {name, ms, 1};
}

}  // namespace

void Mark(const char* step) {
#ifdef OSTREL_STARTUP_TRACE_ATOMS
  // Each mark as a request in Wine's server trace (WINEDEBUG=+server), to
  // count the requests of each step.
  GlobalFindAtomA(step);
#endif
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  if (last.QuadPart == 0)
    Add(step, SinceProcessCreation());
  else
    Add(step, Since(last, now));
  last = now;
}

void Report() {
  if (reported) return;
  reported = true;
  std::string text;
  char line[160];
  for (int i = 0; i < stepCount; ++i) {
    std::snprintf(line, sizeof line, "%s\t%.3f\t%d\n", steps[i].name, steps[i].ms,
                  steps[i].count);
    text += line;
  }
  text += "end\n";
  if (std::FILE* file = std::fopen("startup-trace.txt", "ab")) {
    std::fputs(text.c_str(), file);
    std::fclose(file);
  }
}

}  // namespace startup_trace
