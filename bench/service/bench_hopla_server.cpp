// bench_hopla_server [--links N] [--rate R] [--seconds S] [--db FILE]
// Fills a database with N links (default 1,000,000, spread evenly over
// 35-70 N, 10 W-40 E; kept when --db names an existing file), starts
// tarvo-hopla-server on it and sends searches at random places in that area
// at R requests a second (default 200) for S seconds (default 30), open loop:
// each request has its send time fixed in advance and its latency counts from
// that time, so a slow reply cannot hold back the load. Each request opens a
// connection of its own, as Tarvo's client does. The peer is the server's
// index page at the same rate in the same run (HTTP and connection cost
// alone, no login or database). Prints median and 99th percentile of both
// and their ratio.
#include <httplib.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "server/service.h"
#include "server/store.h"

namespace {

using Clock = std::chrono::steady_clock;
const std::string kServer = TARVO_BINARY_DIR "/server/tarvo-hopla-server";

struct Options {
  long links = 1000000;
  int rate = 200;
  int seconds = 30;
  std::string db;
};

bool Fill(const std::string& path, long links) {
  std::string error;
  auto store = tarvo::hopla::Store::Open(path, error);
  if (!store) {
    std::fprintf(stderr, "bench: %s\n", error.c_str());
    return false;
  }
  if (!store->SetPasswordHash("bench", tarvo::hopla::HoplaService::HashPassword("bench"))) return false;
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> lat(35.0, 70.0), lon(-10.0, 40.0);
  const long batch = 50000;
  for (long done = 0; done < links; done += batch) {
    std::vector<tarvo::hopla::Store::NewLink> part;
    for (long i = done; i < std::min(links, done + batch); ++i) {
      part.push_back({lat(random), lon(random), "https://example.com/place/" + std::to_string(i),
                      "Place number " + std::to_string(i)});
    }
    if (!store->AddLinks("bench", part)) return false;
  }
  return true;
}

struct Server {
  pid_t pid = -1;
  int port = 0;
};

Server Start(const std::string& db) {
  Server s;
  int out[2];
  if (::pipe(out) != 0) return s;
  s.pid = ::fork();
  if (s.pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    ::execl(kServer.c_str(), kServer.c_str(), "--db", db.c_str(), "--listen", "127.0.0.1:0", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  std::string line;
  char c;
  while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(out[0]);
  const size_t colon = line.rfind(':');
  if (colon != std::string::npos) s.port = std::atoi(line.c_str() + colon + 1);
  return s;
}

struct Figures {
  double median = 0, p99 = 0, max = 0;
  int failed = 0;
  size_t count = 0;
};

// Sends paths[i] at start + i / rate from a pool of threads.
Figures Load(int port, const std::vector<std::string>& paths, int rate) {
  const auto start = Clock::now() + std::chrono::milliseconds(100);
  std::vector<double> latency(paths.size(), 0.0);
  std::atomic<size_t> next{0};
  std::atomic<int> failed{0};
  std::vector<std::thread> pool;
  for (int t = 0; t < 32; ++t) {
    pool.emplace_back([&] {
      for (size_t i; (i = next.fetch_add(1)) < paths.size();) {
        const auto due = start + std::chrono::microseconds(static_cast<long long>(i * 1e6 / rate));
        std::this_thread::sleep_until(due);
        httplib::Client client("127.0.0.1", port);
        const auto result = client.Get(paths[i].c_str());
        if (!result || result->status != 200 || result->body.empty()) ++failed;
        latency[i] = std::chrono::duration<double, std::milli>(Clock::now() - due).count();
      }
    });
  }
  for (auto& t : pool) t.join();
  std::sort(latency.begin(), latency.end());
  Figures f;
  f.count = latency.size();
  f.failed = failed;
  if (!latency.empty()) {
    f.median = latency[latency.size() / 2];
    f.p99 = latency[std::min(latency.size() - 1, latency.size() * 99 / 100)];
    f.max = latency.back();
  }
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--links") o.links = std::atol(argv[i + 1]);
    else if (a == "--rate") o.rate = std::atoi(argv[i + 1]);
    else if (a == "--seconds") o.seconds = std::atoi(argv[i + 1]);
    else if (a == "--db") o.db = argv[i + 1];
    else return std::fprintf(stderr, "usage: bench_hopla_server [--links N] [--rate R] [--seconds S] [--db FILE]\n"), 2;
  }
  if (o.links <= 0 || o.rate <= 0 || o.seconds <= 0) return 2;
  std::string folder;
  if (o.db.empty()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvo-hopla-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    folder = pattern;
    o.db = folder + "/bench.db";
  }
  if (!std::filesystem::exists(o.db)) {
    const auto t0 = Clock::now();
    if (!Fill(o.db, o.links)) return 1;
    std::printf("filled %ld links in %.1f s\n", o.links, std::chrono::duration<double>(Clock::now() - t0).count());
  }
  const Server server = Start(o.db);
  if (server.port <= 0) {
    std::fprintf(stderr, "bench: the server did not start\n");
    return 1;
  }

  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> lat(35.0, 70.0), lon(-10.0, 40.0);
  std::uniform_int_distribution<int> page(0, 2);
  const size_t n = static_cast<size_t>(o.rate) * static_cast<size_t>(o.seconds);
  std::vector<std::string> searches, index(n, "/hopla/");
  char query[256];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(query, sizeof query, "/hopla/search?user=bench&password=bench&lat=%.6f&lon=%.6f&offset=%d",
                  lat(random), lon(random), page(random) * 10);
    searches.push_back(query);
  }
  Load(server.port, std::vector<std::string>(searches.begin(), searches.begin() + std::min<size_t>(n, 50)), o.rate);
  const Figures s = Load(server.port, searches, o.rate);
  const Figures p = Load(server.port, index, o.rate);
  ::kill(server.pid, SIGTERM);
  ::waitpid(server.pid, nullptr, 0);
  if (!folder.empty()) std::filesystem::remove_all(folder);

  std::printf("%zu searches at %d/s over %ld links: median %.2f ms, p99 %.2f ms, max %.2f ms, %d failed\n", s.count,
              o.rate, o.links, s.median, s.p99, s.max, s.failed);
  std::printf("peer, index page at %d/s: median %.2f ms, p99 %.2f ms, max %.2f ms, %d failed\n", o.rate, p.median,
              p.p99, p.max, p.failed);
  std::printf("ratio search/peer: median %.2f, p99 %.2f; targets median < 5 ms (%.2f of it), p99 < 20 ms (%.2f of it)\n",
              s.median / p.median, s.p99 / p.p99, s.median / 5.0, s.p99 / 20.0);
  return s.failed == 0 && p.failed == 0 ? 0 : 1;
}
