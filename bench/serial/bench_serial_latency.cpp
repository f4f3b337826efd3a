// Latency of the serial link: from the write of a line's last byte to the
// pty master until the line callback runs (on the reader thread), and until
// Consume runs on a consumer thread through LineHandoff. 10,000 GGA lines at
// 115200 baud, one at a time; reported as median and 99th percentile.
//
// The clock starts just before the write() that carries the line end, so the
// figures include that system call. A pty does not pace bytes at the baud
// rate; what is measured is the link's own delay.
#include <benchmark/benchmark.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/gps/line_handoff.h"
#include "core/gps/serial_link.h"
#include "tests/unit/gps/task_queue.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLines = 10000;
constexpr char kLine[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

using tarvo::test::TaskQueue;

struct Latencies {
  std::vector<Clock::time_point> arrived = std::vector<Clock::time_point>(kLines);
  std::atomic<int> count{0};

  void Arrived() {
    const int i = count.load(std::memory_order_relaxed);
    if (i < kLines) arrived[static_cast<std::size_t>(i)] = Clock::now();
    count.store(i + 1, std::memory_order_release);
    count.notify_one();
  }
};

// Sends the lines one at a time, waiting for each, and reports the figures.
void Measure(benchmark::State& state, int master, Latencies& seen) {
  std::vector<double> micros;
  micros.reserve(kLines);
  const std::size_t head = sizeof kLine - 2;  // all but the CR LF
  for (int i = 0; i < kLines; ++i) {
    if (::write(master, kLine, head) != static_cast<ssize_t>(head)) {
      state.SkipWithError("write failed");
      return;
    }
    const auto sent = Clock::now();
    if (::write(master, kLine + head, 2) != 2) {  // the line end: the line is complete
      state.SkipWithError("write failed");
      return;
    }
    int now = seen.count.load(std::memory_order_acquire);
    while (now <= i) {
      seen.count.wait(now, std::memory_order_acquire);
      now = seen.count.load(std::memory_order_acquire);
    }
    micros.push_back(std::chrono::duration<double, std::micro>(seen.arrived[static_cast<std::size_t>(i)] - sent).count());
  }
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
  state.counters["max_us"] = micros.back();
  state.counters["lines"] = static_cast<double>(micros.size());
}

struct Pty {
  int master = -1;
  int slave = -1;
  char name[256] = {};
  Pty() { ::openpty(&master, &slave, name, nullptr, nullptr); }
  ~Pty() {
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
  }
};

bool OpenLink(tarvo::SerialLink& link, const Pty& pty) {
  return link.Open(pty.name, false) && link.Configure(115200, 8, 1, 0, 0) && link.SetTimeouts();
}

void BM_LineCallback(benchmark::State& state) {
  for (auto _ : state) {
    Pty pty;
    tarvo::SerialLink link;
    Latencies seen;
    if (pty.master < 0 || !OpenLink(link, pty) ||
        !link.Start([&](std::string_view, std::stop_token) { seen.Arrived(); }, {})) {
      state.SkipWithError("no pty");
      return;
    }
    Measure(state, pty.master, seen);
    link.Close();
  }
}

void BM_HandoffToConsumerThread(benchmark::State& state) {
  for (auto _ : state) {
    Pty pty;
    TaskQueue queue;
    tarvo::SerialLink link;
    Latencies seen;
    tarvo::LineHandoff handoff([&](std::function<void()> task) { queue.Post(std::move(task)); },
                               [&](std::string_view) { seen.Arrived(); });
    if (pty.master < 0 || !OpenLink(link, pty) || !link.Start(handoff.AsCallback(), {})) {
      state.SkipWithError("no pty");
      return;
    }
    Measure(state, pty.master, seen);
    link.Close();
  }
}

}  // namespace

BENCHMARK(BM_LineCallback)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HandoffToConsumerThread)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
