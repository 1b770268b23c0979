// Runs a program several times as a CGI would be run (its output thrown away)
// and prints the median wall time, the median CPU time (user + system) and the
// largest peak resident set size of the runs.
//
//   measure_run RUNS PROGRAM [ARG...]
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Run {
  double wallMs = 0;
  double cpuMs = 0;
  long peakKb = 0;
};

double Ms(const timeval& time) { return time.tv_sec * 1e3 + time.tv_usec / 1e3; }

bool RunOnce(char** argv, Run& run) {
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    execv(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return false;
  run.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                   .count();
  run.cpuMs = Ms(usage.ru_utime) + Ms(usage.ru_stime);
  run.peakKb = usage.ru_maxrss;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 2 ? std::atoi(argv[1]) : 0;
  if (runs <= 0) {
    std::fprintf(stderr, "usage: measure_run RUNS PROGRAM [ARG...]\n");
    return 2;
  }
  std::vector<double> wall, cpu;
  long peakKb = 0;
  for (int i = 0; i < runs; ++i) {
    Run run;
    if (!RunOnce(argv + 2, run)) {
      std::fprintf(stderr, "measure_run: %s failed\n", argv[2]);
      return 1;
    }
    wall.push_back(run.wallMs);
    cpu.push_back(run.cpuMs);
    peakKb = std::max(peakKb, run.peakKb);
  }
  std::printf("wall_ms %.2f cpu_ms %.2f peak_rss_mb %.1f\n", Median(wall), Median(cpu),
              peakKb / 1024.0);
  return 0;
}
