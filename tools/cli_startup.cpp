// Start-up benchmark of the command-line tool: how long `ostrel-cli
// --version` and `ostrel-cli show FILE` take from the start of the process
// to its end, against a bare process (/bin/true), started in turn, each
// many times. Prints the medians of the wall time and of the CPU time the
// process used (user and system; steadier than wall time on a busy
// machine), and their ratios to the bare process:
//
//   cli_startup OSTREL_CLI FILE [RUNS]
//
//   /bin/true                  wall 0.62 ms  cpu 0.40 ms
//   ostrel-cli --version       wall 1.10 ms  cpu 0.71 ms  ratio 1.77 (cpu 1.78)
//   ...
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Sample {
  double wallMs;
  double cpuMs;
};

double Ms(const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; }

// Runs `argv` once with its output thrown away.
Sample RunOnce(const std::vector<const char*>& argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv.data()),
                  environ) != 0) {
    std::perror(argv[0]);
    std::exit(1);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const auto end = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", argv[0]);
    std::exit(1);
  }
  return {std::chrono::duration<double, std::milli>(end - start).count(),
          Ms(usage.ru_utime) + Ms(usage.ru_stime)};
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: cli_startup OSTREL_CLI FILE [RUNS]\n");
    return 2;
  }
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 200;
  struct Program {
    std::string name;
    std::vector<const char*> argv;
    std::vector<double> wall, cpu;
  };
  std::vector<Program> programs = {
      {"/bin/true", {"/bin/true", nullptr}, {}, {}},
      {"ostrel-cli --version", {argv[1], "--version", nullptr}, {}, {}},
      {"ostrel-cli show FILE", {argv[1], "show", argv[2], nullptr}, {}, {}},
  };
  // Warm the caches, then take turns, each round beginning with the next
  // program, so that none always follows the same one.
  for (Program& p : programs) RunOnce(p.argv);
  for (int r = 0; r < runs; ++r)
    for (std::size_t i = 0; i < programs.size(); ++i) {
      Program& p = programs[(r + i) % programs.size()];
      const Sample s = RunOnce(p.argv);
      p.wall.push_back(s.wallMs);
      p.cpu.push_back(s.cpuMs);
    }
  double load[3] = {};
  getloadavg(load, 3);
  std::printf("%d runs each, load %.2f\n", runs, load[0]);
  const double bareWall = Median(programs[0].wall), bareCpu = Median(programs[0].cpu);
  for (const Program& p : programs) {
    const double wall = Median(p.wall), cpu = Median(p.cpu);
    std::printf("%-22s wall %.2f ms  cpu %.2f ms", p.name.c_str(), wall, cpu);
    if (&p != &programs[0])
      std::printf("  ratio %.2f (cpu %.2f)", wall / bareWall, cpu / bareCpu);
    std::printf("\n");
  }
  return 0;
}
