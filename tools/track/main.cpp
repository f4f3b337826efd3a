// tarvo-track: the track recorder over a recorded NMEA file, as if the file
// arrived live; the file's fix times stand in for the clock.
//
//   tarvo-track NMEA_FILE [--interval S] [--min-distance M] [--track OUT.nmea]
//               [--gpx OUT.gpx] [--stats] [--date YYYY-MM-DD]
//
// The recorder's rules pick the sentences of the track file (every GGA and
// RMC from any talker); GPX points carry the positions of those lines as sent.
// The position source follows the window's rule (PreferGgaPositions) over the
// whole log: RMC, unless the log has far more GGA than RMC, or no RMC. GGA
// lines are dated by the latest RMC date with a fix (a void RMC's date is
// ignored); before any, by --date, else the log file's modification date
// (UTC), running on across midnight.
// Output files are written whole or not at all (temporary file, fsync,
// rename). Exit status: 0 done, 2 bad arguments, 3 a file could not be read
// or written.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/gps/nmea.h"
#include "core/gps/nmea_time.h"
#include "core/gps/position_source.h"
#include "core/gps/replay_file.h"
#include "core/track/track_file.h"
#include "core/track/track_recorder.h"
#include "core/track/track_texts.h"

namespace {

using namespace tarvo;

constexpr const char* kUsage =
    "usage: tarvo-track NMEA_FILE [--interval S] [--min-distance M] [--track OUT.nmea]\n"
    "                   [--gpx OUT.gpx] [--stats] [--date YYYY-MM-DD]\n"
    "\n"
    "Runs the track recorder over a recorded NMEA file as if it arrived live.\n"
    "  --interval S       seconds between track points (default 10; a fix is taken\n"
    "                     when more than S seconds have passed since the last one)\n"
    "  --min-distance M   metres between track points (default 10; 0 = no minimum)\n"
    "  --track OUT.nmea   writes the track file (one sentence a line)\n"
    "  --gpx OUT.gpx      writes the track as GPX 1.1\n"
    "  --stats            prints the statistics of the track page\n"
    "  --date YYYY-MM-DD  the UTC date of GGA sentences before the log's first RMC\n"
    "                     date (a log without RMC has none); default: the date the\n"
    "                     log file was last modified (UTC)\n"
    "Exit status: 0 done, 2 bad arguments, 3 a file could not be read or written.\n";

bool ReadInt(std::string_view text, int& value, int low, int high) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

// Whether the window would have RMC as the log's position source: the
// controller's rule, applied after each GGA as it does, over the whole log
// (so the first sentences are not lost before the switch).
bool RmcIsThePositionSource(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;
  TrackPieceReader reader(fd);
  uint64_t gga = 0, rmc = 0;
  bool useRmc = true;
  while (std::optional<std::string_view> line = reader.Next()) {
    const TrackLine::Kind kind = TrackLineKind(*line);
    if (kind == TrackLine::Kind::Rmc) {
      ++rmc;
    } else if (kind == TrackLine::Kind::Gga && PreferGgaPositions(++gga, rmc)) {
      useRmc = false;
      break;
    }
  }
  ::close(fd);
  return useRmc;
}

// "YYYY-MM-DD" as the noon of that UTC day (seconds since 1970): a time of
// day is dated by the day nearest it, so noon dates all of them on that day.
bool ReadDate(std::string_view text, int64_t& noon) {
  int year = 0, month = 0, day = 0;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !ReadInt(text.substr(0, 4), year, 1970, 9999) ||
      !ReadInt(text.substr(5, 2), month, 1, 12) || !ReadInt(text.substr(8, 2), day, 1, 31)) {
    return false;
  }
  const int64_t days = DaysFromCivil(year, month, day);
  noon = days * kSecondsPerDay + kHalfDay;
  const CivilTime check = CivilFromTime(noon);
  if (check.month != month || check.day != day) return false;  // 2023-02-30
  return true;
}

std::string TempBeside(const std::string& path) {
  return path + ".tmp-" + std::to_string(::getpid());
}

}  // namespace

int main(int argc, char** argv) {
  std::string input, trackOut, gpxOut;
  int interval = 10, minDistance = 10;
  bool stats = false;
  int64_t dateNoon = 0;
  bool hasDate = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--interval" && hasValue) {
      if (!ReadInt(argv[++i], interval, 0, 86400)) {
        std::fprintf(stderr, "tarvo-track: --interval takes whole seconds 0..86400, not \"%s\"\n", argv[i]);
        return 2;
      }
    } else if (arg == "--min-distance" && hasValue) {
      if (!ReadInt(argv[++i], minDistance, 0, 100000000)) {
        std::fprintf(stderr, "tarvo-track: --min-distance takes whole metres 0..100000000, not \"%s\"\n", argv[i]);
        return 2;
      }
    } else if (arg == "--track" && hasValue) {
      trackOut = argv[++i];
    } else if (arg == "--gpx" && hasValue) {
      gpxOut = argv[++i];
    } else if (arg == "--date" && hasValue) {
      if (!ReadDate(argv[++i], dateNoon)) {
        std::fprintf(stderr, "tarvo-track: --date takes a UTC date YYYY-MM-DD, not \"%s\"\n", argv[i]);
        return 2;
      }
      hasDate = true;
    } else if (arg == "--stats") {
      stats = true;
    } else if (!arg.empty() && arg[0] != '-' && input.empty()) {
      input = arg;
    } else {
      std::fprintf(stderr, "tarvo-track: unexpected argument \"%s\"\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (input.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (trackOut.empty() && gpxOut.empty() && !stats) stats = true;

  ReplayFile replay;
  if (!replay.Open(input)) {
    std::fprintf(stderr, "tarvo-track: %s: %s\n", input.c_str(), std::strerror(errno));
    return 3;
  }
  const bool useRmc = RmcIsThePositionSource(input);
  if (!hasDate) {
    struct stat st {};
    if (::stat(input.c_str(), &st) == 0) {
      const int64_t mtime = st.st_mtime;
      dateNoon = (mtime / kSecondsPerDay - (mtime % kSecondsPerDay < 0 ? 1 : 0)) * kSecondsPerDay + kHalfDay;
    }
  }

  // The track is recorded into a temporary file beside its destination (or in
  // the temporary folder when only GPX or statistics are wanted).
  std::string trackTemp;
  if (!trackOut.empty()) {
    trackTemp = TempBeside(trackOut);
  } else {
    std::error_code ec;
    trackTemp = (std::filesystem::temp_directory_path(ec) / ("tarvo-track-" + std::to_string(::getpid()) + ".nmea"))
                    .string();
  }
  std::filesystem::remove(trackTemp);
  TrackSettings settings;
  settings.active = true;
  settings.intervalSeconds = interval;
  settings.minDistance = minDistance;
  settings.path = trackTemp;
  TrackRecorder recorder(settings);
  recorder.SetPositionSourceRmc(useRmc);
  recorder.SetBatchWrites(true);
  if (!recorder.SetActive(true)) {
    std::fprintf(stderr, "tarvo-track: cannot open the track file %s\n", recorder.lastError().c_str());
    return 3;
  }

  // The controller's feed: the real dispatch, RMC dating GGA, raw positions
  // (the track file keeps the sentences as sent).
  ReceiverState state;
  ParseOptions options;
  options.raw = true;
  int64_t lastTime = dateNoon;
  while (std::optional<std::string_view> line = replay.Next()) {
    options.nowUtc = lastTime;
    const int32_t dateDay = state.rmcFix.dateDay;
    const int32_t dateSecond = state.rmcFix.dateSecondOfDay;
    const DispatchResult result = DispatchSentence(*line, state, options);
    if (result.status != SentenceStatus::Parsed) continue;
    TrackRecorder::Sentence s;
    s.line = *line;
    if (result.kind == SentenceKind::Gga) {
      const GpsFix& gga = state.gpsFix;
      s.isGga = true;
      s.valid = gga.fixQuality != 0;
      s.fixTime = gga.fixTime;
      s.position = {gga.latitude, gga.longitude};
      s.altitude = gga.altitude;
    } else if (result.kind == SentenceKind::Rmc) {
      RmcFix& rmc = state.rmcFix;
      if (!rmc.valid) {
        rmc.dateDay = dateDay;  // a void RMC's date is not trusted
        rmc.dateSecondOfDay = dateSecond;
      }
      if (!useRmc) continue;
      s.valid = rmc.valid;
      s.fixTime = rmc.fixTime;
      s.position = {rmc.latitude, rmc.longitude};
    } else {
      continue;
    }
    if (s.valid && s.fixTime != 0) lastTime = s.fixTime;
    recorder.RecordSentence(s, lastTime * 1000);
  }
  if (replay.readError() != 0) {
    std::fprintf(stderr, "tarvo-track: %s: %s\n", input.c_str(), std::strerror(replay.readError()));
    std::filesystem::remove(trackTemp);
    return 3;
  }
  recorder.Sync();

  int status = 0;
  if (!gpxOut.empty() && !recorder.ExportGpx(gpxOut, dateNoon)) {
    std::fprintf(stderr, "tarvo-track: %s\n", recorder.lastError().c_str());
    status = 3;
  }
  recorder.SetActive(false);
  if (!trackOut.empty()) {
    if (status == 0 && std::rename(trackTemp.c_str(), trackOut.c_str()) != 0) {
      std::fprintf(stderr, "tarvo-track: %s: %s\n", trackOut.c_str(), std::strerror(errno));
      status = 3;
    }
  }
  std::error_code ec;
  std::filesystem::remove(trackTemp, ec);

  if (stats) {
    const TrackStatistics& st = recorder.statistics();
    std::printf("Items: %lld\nDistance: %s\nTime: %s\nAvg. Speed: %s\nAltitude: %s\n",
                static_cast<long long>(st.pointCount), TrackDistanceText(st.totalDistance, DistanceUnit::Metric).c_str(),
                TrackTimeText(st.elapsed).c_str(), TrackSpeedText(st.averageSpeed, SpeedUnit::Kmh).c_str(),
                TrackAltitudeText(st.minAltitude, st.maxAltitude, 0, DistanceUnit::Metric).c_str());
  }
  if (std::fflush(stdout) != 0) return 3;
  return status;
}
