// bench_track [FOLDER]: writes a 1,000,000-point track file and a
// 1,000,000-line log (GGA and RMC each second, driving north-east) into
// FOLDER (default: a new temporary folder), then times
//   - RebuildStatistics over the track file (target: under 1 s),
//   - RebuildTrackRoute of its points through a two-point calibration (under 1 s),
//   - tarvo-track LOG --gpx OUT against gpsbabel -i nmea -f LOG -o gpx -F OUT
//     (target: tarvo-track at least 10 times faster),
// and prints each figure with the ratio against its peer or target.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/gps/nmea_time.h"
#include "core/map/calibration.h"
#include "core/track/track_recorder.h"

namespace {

using namespace tarvo;
using Clock = std::chrono::steady_clock;

constexpr int kPoints = 1'000'000;
constexpr int64_t kStart = 1718438400;  // 2024-06-15 08:00:00 UTC

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::string WithChecksum(const char* body) {
  unsigned sum = 0;
  for (const char* p = body; *p; ++p) sum ^= static_cast<unsigned char>(*p);
  char out[160];
  std::snprintf(out, sizeof out, "$%s*%02X\n", body, sum);
  return out;
}

// The sentences of second `i`: 10 m north-east a second.
void Epoch(std::FILE* f, int i, bool gga, bool rmc) {
  const CivilTime t = CivilFromTime(kStart + i);
  const double lat = 46.0 + i * 0.00007;
  const double lon = 14.0 + i * 0.00007;
  const auto angle = [](double deg, int width, char* out) {
    const int whole = static_cast<int>(deg);
    std::snprintf(out, 32, "%0*d%07.4f", width, whole, (deg - whole) * 60.0);
  };
  char la[32], lo[32], body[160];
  angle(lat, 2, la);
  angle(lon, 3, lo);
  if (gga) {
    std::snprintf(body, sizeof body, "GPGGA,%02d%02d%02d.00,%s,N,%s,E,1,09,0.9,%.1f,M,47.0,M,,", t.hour, t.minute,
                  t.second, la, lo, 300.0 + (i % 500));
    std::fputs(WithChecksum(body).c_str(), f);
  }
  if (rmc) {
    std::snprintf(body, sizeof body, "GPRMC,%02d%02d%02d.00,A,%s,N,%s,E,19.4,45.0,%02d%02d%02d,,,A", t.hour, t.minute,
                  t.second, la, lo, t.day, t.month, static_cast<int>(t.year % 100));
    std::fputs(WithChecksum(body).c_str(), f);
  }
}

double RunProcess(const std::string& command) {
  const Clock::time_point start = Clock::now();
  const int status = std::system(command.c_str());
  const double s = Seconds(start);
  if (status != 0) {
    std::fprintf(stderr, "bench_track: failed (%d): %s\n", status, command.c_str());
    std::exit(1);
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path dir = argc > 1 ? std::filesystem::path(argv[1])
                                       : std::filesystem::temp_directory_path() /
                                             ("tarvo-bench-track-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string track = (dir / "track.nmea").string();
  const std::string log = (dir / "log.nmea").string();
  {
    std::FILE* f = std::fopen(track.c_str(), "wb");
    for (int i = 0; i < kPoints; ++i) Epoch(f, i, false, true);
    std::fclose(f);
    f = std::fopen(log.c_str(), "wb");
    for (int i = 0; i < kPoints / 2; ++i) Epoch(f, i, true, true);
    std::fclose(f);
  }

  TrackSettings settings;
  settings.path = track;
  TrackRecorder recorder(settings);
  Clock::time_point start = Clock::now();
  if (!recorder.RebuildStatistics(true) || recorder.statistics().pointCount != kPoints) {
    std::fprintf(stderr, "bench_track: read %lld points: %s\n",
                 static_cast<long long>(recorder.statistics().pointCount), recorder.lastError().c_str());
    return 1;
  }
  const double rebuild = Seconds(start);

  MapCalibration calibration;
  calibration.SetRefPoint(0, {0, 0, 47.0, 13.0});
  calibration.SetRefPoint(1, {20000, 20000, 45.0, 15.0});
  start = Clock::now();
  recorder.RebuildTrackRoute(calibration);
  const double route = Seconds(start);

  const std::string tool = std::string(TARVO_BINARY_DIR) + "/tools/track/tarvo-track";
  const double ours = RunProcess(tool + " " + log + " --interval 0 --min-distance 0 --gpx " + (dir / "ours.gpx").string());
  const double peer = RunProcess("gpsbabel -i nmea -f " + log + " -o gpx -F " + (dir / "gpsbabel.gpx").string());

  std::printf("RebuildStatistics, %d points: %.3f s (target 1 s: %.1fx under)\n", kPoints, rebuild, 1.0 / rebuild);
  std::printf("RebuildTrackRoute, %zu points: %.3f s (target 1 s: %.1fx under)\n", recorder.route().size(), route,
              1.0 / route);
  std::printf("tarvo-track --gpx, %d lines: %.3f s; gpsbabel nmea->gpx: %.3f s; ratio %.1fx (target 10x)\n", kPoints,
              ours, peer, peer / ours);
  if (argc <= 1) std::filesystem::remove_all(dir);
  return 0;
}
