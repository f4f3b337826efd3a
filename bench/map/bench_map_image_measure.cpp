// Runs a program `runs` times with standard output to /dev/null and prints
// its fastest wall time and its fastest processor time (user + system) in
// seconds and its largest peak resident set size in KiB (all from wait4),
// for bench_map_image.sh. On a shared machine the processor time is the
// steadier figure; the wall time includes waiting for a free core.
//
//   bench_map_image_measure RUNS PROGRAM [ARGUMENTS...]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_map_image_measure RUNS PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  double best = -1.0;
  double bestCpu = -1.0;
  long peak = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) return 1;
    if (pid == 0) {
      const int out = ::open("/dev/null", O_WRONLY);
      if (out < 0 || ::dup2(out, 1) < 0) _exit(127);
      ::execvp(argv[2], argv + 2);
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return 1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "bench_map_image_measure: %s failed (status %d)\n", argv[2], status);
      return 1;
    }
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (best < 0 || seconds < best) best = seconds;
    if (bestCpu < 0 || cpu < bestCpu) bestCpu = cpu;
    if (usage.ru_maxrss > peak) peak = usage.ru_maxrss;
  }
  std::printf("%.3f %.3f %ld\n", best, bestCpu, peak);
  return 0;
}
