// Runs a program `runs` times with standard output to /dev/null and prints
// its fastest wall time in seconds and its largest peak resident set size in
// KiB (from wait4), for bench_map_image.sh:
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
    if (best < 0 || seconds < best) best = seconds;
    if (usage.ru_maxrss > peak) peak = usage.ru_maxrss;
  }
  std::printf("%.3f %ld\n", best, peak);
  return 0;
}
