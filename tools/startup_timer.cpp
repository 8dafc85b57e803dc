// Start-up timer: starts programs one after another and measures, for each
// start, the time from process creation until the program's top-level
// window is visible ("shown"), and until the program first waits for input
// with nothing left to do ("idle": its first paint is done), and the
// processor time its main thread had used when the window became visible
// ("cpu"; less disturbed by other work on the machine than the two wall
// times, though it leaves out what Wine's server did for the program), how
// many windows the top-level window holds once idle ("windows": its
// controls, the page dialogs and theirs), and the time until the window
// answers a message sent to it the moment it is visible ("answer": what a
// user's first click or key waits for, seen from outside the program), and
// the time until the window holds all its windows ("complete": a program
// that builds part of its window after it waits for input keeps adding
// windows for a while; the count is taken once it has not changed for
// 300 ms, and the time is when it last changed).
//
//   startup_timer RUNS NAME=PROGRAM [NAME=PROGRAM ...]
//
// Every program is started once untimed first, then the programs are
// started in turn, RUNS times each, each round beginning with the next
// program, after a pause of 300 ms. Each run ends (WM_CLOSE to the window,
// the process killed if it is still there after 10 s) before the next
// starts, so a single-instance program always starts as the first copy.
// Prints one line per run, "run NAME SHOWN IDLE CPU WINDOWS ANSWER
// COMPLETE", then one line per program, "median NAME SHOWN IDLE CPU WINDOWS
// ANSWER COMPLETE" (milliseconds, count).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Program {
  std::wstring name;
  std::wstring path;
  std::vector<double> shown;
  std::vector<double> idle;
  std::vector<double> cpu;
  std::vector<double> windows;
  std::vector<double> answer;
  std::vector<double> complete;
};

// A visible top-level window without an owner (so no tooltip or pop-up).
BOOL CALLBACK FindShownWindow(HWND window, LPARAM found) {
  if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int CountWindows(HWND window) {
  int windows = 0;
  EnumChildWindows(window, CountWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Processor time used by a thread so far, in milliseconds.
double ThreadCpuMs(HANDLE thread) {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
  const auto ticks = [](FILETIME t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

// One start of `program`; false when it showed no window within 20 s.
bool RunOnce(Program& program, bool record) {
  LARGE_INTEGER frequency, start, shown, answered, idle, complete;
  QueryPerformanceFrequency(&frequency);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring commandLine = L"\"" + program.path + L"\"";
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(program.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process)) {
    std::fwprintf(stderr, L"cannot start %ls (error %lu)\n", program.path.c_str(),
                  GetLastError());
    return false;
  }
  HWND found = nullptr;
  double cpu = 0;
  for (;;) {
    // Only the windows of the program's main thread, which creates the
    // window: each look is a few requests to Wine's server, which the
    // program being timed needs too.
    EnumThreadWindows(process.dwThreadId, FindShownWindow, reinterpret_cast<LPARAM>(&found));
    QueryPerformanceCounter(&shown);
    if (found) {
      cpu = ThreadCpuMs(process.hThread);
      break;
    }
    if (Milliseconds(start, shown, frequency) > 20000 ||
        WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
      break;
    Sleep(1);
  }
  bool ok = found != nullptr;
  if (ok) {
    // The probe: a message that every window answers at once, sent the
    // moment the window is seen; it is answered when the program's thread
    // next takes its messages.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(found, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result);
    QueryPerformanceCounter(&answered);
    WaitForInputIdle(process.hProcess, 5000);
    QueryPerformanceCounter(&idle);
    // Until the window's count of windows has stood still for 300 ms.
    int windows = CountWindows(found);
    complete = idle;
    for (LARGE_INTEGER now = idle; Milliseconds(complete, now, frequency) < 300;) {
      Sleep(20);
      QueryPerformanceCounter(&now);
      const int counted = CountWindows(found);
      if (counted != windows) {
        windows = counted;
        complete = now;
      }
      if (Milliseconds(idle, now, frequency) > 20000) break;
    }
    if (record) {
      program.shown.push_back(Milliseconds(start, shown, frequency));
      program.idle.push_back(Milliseconds(start, idle, frequency));
      program.cpu.push_back(cpu);
      program.windows.push_back(windows);
      program.answer.push_back(Milliseconds(start, answered, frequency));
      program.complete.push_back(Milliseconds(start, complete, frequency));
      std::wprintf(L"run %ls %.1f %.1f %.1f %d %.1f %.1f\n", program.name.c_str(),
                   program.shown.back(), program.idle.back(), program.cpu.back(), windows,
                   program.answer.back(), program.complete.back());
      std::fflush(stdout);
    }
    PostMessageW(found, WM_CLOSE, 0, 0);
  } else {
    std::fwprintf(stderr, L"%ls showed no window\n", program.name.c_str());
  }
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ok;
}

// The pause before each timed start.
constexpr DWORD kSettleMs = 300;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: startup_timer RUNS NAME=PROGRAM [NAME=PROGRAM ...]\n");
    return 2;
  }
  const int runs = std::max(1, _wtoi(argv[1]));
  std::vector<Program> programs;
  for (int i = 2; i < argc; ++i) {
    std::wstring arg = argv[i];
    const std::size_t equals = arg.find(L'=');
    if (equals == std::wstring::npos) {
      std::fwprintf(stderr, L"not NAME=PROGRAM: %ls\n", argv[i]);
      return 2;
    }
    programs.push_back({arg.substr(0, equals), arg.substr(equals + 1), {}, {}, {}, {}, {}, {}});
  }
  // The first start of each program loads its files into the caches.
  for (Program& program : programs)
    if (!RunOnce(program, false)) return 1;
  // Each round starts with the next program, so that none always follows
  // the same one; and each start waits until what Wine's server and
  // services do after the previous program's end has settled.
  for (int run = 0; run < runs; ++run)
    for (std::size_t i = 0; i < programs.size(); ++i) {
      Sleep(kSettleMs);
      if (!RunOnce(programs[(run + i) % programs.size()], true)) return 1;
    }
  for (const Program& program : programs)
    std::wprintf(L"median %ls %.1f %.1f %.1f %.0f %.1f %.1f\n", program.name.c_str(),
                 Median(program.shown), Median(program.idle), Median(program.cpu),
                 Median(program.windows), Median(program.answer), Median(program.complete));
  return 0;
}
