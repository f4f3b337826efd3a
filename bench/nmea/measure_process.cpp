// Runs a program with standard input from a file and standard output to
// /dev/null, `runs` times, and prints the fastest wall time in seconds and
// the largest peak resident set size in KiB:
//
//   bench_nmea_measure RUNS INPUT PROGRAM [ARGUMENTS...]
//
// Peak memory comes from wait4(). The child is forked from this small
// process, whose own pages count towards the child's peak until the exec, so
// the figure is not inflated by a large parent (a Python or shell wrapper).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_nmea_measure RUNS INPUT PROGRAM [ARGUMENTS...]\n");
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
      const int in = ::open(argv[2], O_RDONLY);
      const int out = ::open("/dev/null", O_WRONLY);
      if (in < 0 || out < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0) _exit(127);
      ::execvp(argv[3], argv + 3);
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return 1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "bench_nmea_measure: %s failed (status %d)\n", argv[3], status);
      return 1;
    }
    if (best < 0 || seconds < best) best = seconds;
    if (usage.ru_maxrss > peak) peak = usage.ru_maxrss;
  }
  std::printf("%.3f %ld\n", best, peak);
  return 0;
}
