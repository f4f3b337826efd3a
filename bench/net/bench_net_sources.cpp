// Every line source on this machine, side by side in one run: the serial
// link on a pseudo-terminal (the peer the others are held against), and the
// network sources on loopback: a TCP server, a UDP sender, and Debian's gpsd
// relaying a pty (skipped when gpsd is not installed).
//
// Latency: 5,000 GGA lines one at a time, from the send of a line's end until
// Consume runs on a consumer thread through LineHandoff (what the window
// sees); median and 99th percentile. Throughput: 50,000 lines sent with at
// most 500 of them not yet consumed, in lines per second.
#include <benchmark/benchmark.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "core/gps/line_handoff.h"
#include "core/gps/net_source.h"
#include "core/gps/serial_link.h"
#include "tests/unit/gps/task_queue.h"
#include "tests/unit/gps/test_net_peers.h"
#include "tests/unit/gps/test_serial_pty.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
constexpr int kLatencyLines = 5000;
constexpr int kThroughputLines = 50000;
constexpr int kWindow = 500;
constexpr std::string_view kLine = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

enum class Kind { Pty, Tcp, Udp, Gpsd };

// Consumed lines, with the time each arrived.
struct Seen {
  std::vector<Clock::time_point> at = std::vector<Clock::time_point>(kThroughputLines + 1000);
  std::atomic<int> count{0};
  void Arrived() {
    const int i = count.load(std::memory_order_relaxed);
    if (i < static_cast<int>(at.size())) at[static_cast<std::size_t>(i)] = Clock::now();
    count.store(i + 1, std::memory_order_release);
    count.notify_one();
  }
  bool WaitFor(int n, Clock::duration timeout = 5s) {
    const auto end = Clock::now() + timeout;
    while (count.load(std::memory_order_acquire) < n) {
      if (Clock::now() > end) return false;
      std::this_thread::yield();
    }
    return true;
  }
};

// A source of one kind with its peer, started into a consumer thread.
class Rig {
 public:
  explicit Rig(Kind kind) : kind_(kind) {}
  ~Rig() {
    if (source_) source_->Close();
    if (udp_ >= 0) ::close(udp_);
  }

  // An empty text when ready; else why not.
  std::string Open() {
    handoff_ = std::make_unique<tarvo::LineHandoff>(queue_.Poster(), [this](std::string_view) { seen_.Arrived(); });
    switch (kind_) {
      case Kind::Pty: {
        if (!pty_.ok()) return "no pty";
        auto link = std::make_unique<tarvo::SerialLink>();
        if (!link->Open(pty_.path(), false) || !link->Configure(115200, 8, 1, 0, 0) || !link->SetTimeouts()) {
          return "cannot open the pty";
        }
        source_ = std::move(link);
        break;
      }
      case Kind::Tcp:
        source_ = std::make_unique<tarvo::NetSource>(
            tarvo::NetSourceConfig{tarvo::SourceKind::TcpClient, "127.0.0.1", server_.port()});
        break;
      case Kind::Udp:
        source_ = std::make_unique<tarvo::NetSource>(tarvo::NetSourceConfig{tarvo::SourceKind::UdpListener, "", 0});
        break;
      case Kind::Gpsd: {
        if (tarvo::test::GpsdProgram() == nullptr) return "gpsd is not installed";
        const int port = tarvo::test::FreePort();
        if (!pty_.ok() || !gpsd_.Start(pty_.path(), port)) return "gpsd did not start";
        source_ = std::make_unique<tarvo::NetSource>(tarvo::NetSourceConfig{tarvo::SourceKind::Gpsd, "127.0.0.1", port});
        break;
      }
    }
    if (!source_->Start(handoff_->AsCallback(), {})) return "the source did not start";
    if (kind_ == Kind::Tcp && !server_.Accept()) return "no connection";
    if (kind_ == Kind::Udp) {
      auto* net = static_cast<tarvo::NetSource*>(source_.get());
      for (int i = 0; i < 200 && net->boundPort() == 0; ++i) std::this_thread::sleep_for(5ms);
      udp_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      udpTo_ = tarvo::test::Loopback(net->boundPort());
    }
    if (kind_ == Kind::Gpsd) {
      // gpsd relays nothing until it has seen a few sentences.
      for (int i = 0; i < 250 && seen_.count.load() == 0; ++i) {
        Send(kLine);
        std::this_thread::sleep_for(20ms);
      }
      if (seen_.count.load() == 0) return "gpsd relays nothing";
      std::this_thread::sleep_for(200ms);
    }
    return {};
  }

  bool Send(std::string_view bytes) {
    switch (kind_) {
      case Kind::Pty:
      case Kind::Gpsd:
        return pty_.Send(bytes);
      case Kind::Tcp:
        return server_.Send(bytes);
      case Kind::Udp:
        return ::sendto(udp_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&udpTo_),
                        sizeof udpTo_) == static_cast<ssize_t>(bytes.size());
    }
    return false;
  }

  Seen& seen() { return seen_; }

 private:
  Kind kind_;
  tarvo::test::TaskQueue queue_;
  Seen seen_;
  std::unique_ptr<tarvo::LineHandoff> handoff_;
  tarvo::test::PtyPair pty_;
  tarvo::test::LoopbackServer server_;
  tarvo::test::GpsdProcess gpsd_;
  std::unique_ptr<tarvo::LineSource> source_;
  int udp_ = -1;
  sockaddr_in udpTo_{};
};

void BM_Latency(benchmark::State& state, Kind kind) {
  for (auto _ : state) {
    Rig rig(kind);
    if (const std::string why = rig.Open(); !why.empty()) {
      state.SkipWithError(why.c_str());
      return;
    }
    Seen& seen = rig.seen();
    const int base = seen.count.load();
    std::vector<double> micros;
    micros.reserve(kLatencyLines);
    const std::string_view head = kLine.substr(0, kLine.size() - 2);
    for (int i = 0; i < kLatencyLines; ++i) {
      if (!rig.Send(head)) {
        state.SkipWithError("send failed");
        return;
      }
      const auto sent = Clock::now();
      if (!rig.Send("\r\n") || !seen.WaitFor(base + i + 1)) {
        state.SkipWithError("the line did not arrive");
        return;
      }
      micros.push_back(std::chrono::duration<double, std::micro>(seen.at[static_cast<std::size_t>(base + i)] - sent).count());
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
  }
}

void BM_Throughput(benchmark::State& state, Kind kind) {
  for (auto _ : state) {
    Rig rig(kind);
    if (const std::string why = rig.Open(); !why.empty()) {
      state.SkipWithError(why.c_str());
      return;
    }
    Seen& seen = rig.seen();
    const int base = seen.count.load();
    constexpr int kBatch = 10;  // lines a write (a datagram)
    std::string batch;
    for (int i = 0; i < kBatch; ++i) batch += kLine;
    const auto start = Clock::now();
    for (int sent = 0; sent < kThroughputLines; sent += kBatch) {
      while (sent - (seen.count.load(std::memory_order_acquire) - base) > kWindow) std::this_thread::yield();
      if (!rig.Send(batch)) {
        state.SkipWithError("send failed");
        return;
      }
    }
    if (!seen.WaitFor(base + kThroughputLines, 30s)) {
      state.SkipWithError("lines were lost");
      return;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["lines_per_s"] = kThroughputLines / seconds;
  }
}

}  // namespace

BENCHMARK_CAPTURE(BM_Latency, pty, Kind::Pty)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Latency, tcp, Kind::Tcp)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Latency, udp, Kind::Udp)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Latency, gpsd, Kind::Gpsd)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Throughput, pty, Kind::Pty)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Throughput, tcp, Kind::Tcp)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Throughput, udp, Kind::Udp)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Throughput, gpsd, Kind::Gpsd)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
