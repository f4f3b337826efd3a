// The track recorder: appends the sentences of selected fixes to a track file
// (one NMEA sentence a line), keeps the track's statistics, the positions of
// its points, and their pixels on the current map.
//
// Rules for a fix to become a track point: the recorder is on, its file open
// and no replay runs; more than the interval has passed since the last fix
// taken; the fix is valid; and it lies at least the minimum distance from the
// last point. While RMC is the position source every valid GGA line is kept
// too, for the altitude, without being a point.
//
// Positions in degrees (WGS-84), distances in metres, times in seconds since
// 1970-01-01 UTC, the clock in milliseconds of any monotonic origin.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/geo/coordinates.h"
#include "core/gps/fix.h"
#include "core/map/calibration.h"
#include "core/track/track_texts.h"

namespace tarvo {

// The recorder's settings: "TripActive", "TripTime", "TripMinDist",
// "TripFile", "TripUnits" (kept and written back; nothing uses it).
struct TrackSettings {
  bool active = false;
  int intervalSeconds = 10;
  int minDistance = 10;  // metres; 0 = no minimum
  std::string path;      // the owner puts the program folder's "Track0001.nmea" here when empty
  int units = 0;
};

inline constexpr const char* kDefaultTrackFileName = "Track0001.nmea";
// The track file is made durable (fsync) at least this often while recording.
inline constexpr int64_t kTrackSyncPeriodMs = 2000;

struct TrackStatistics {
  int64_t pointCount = 0;
  double totalDistance = 0.0;  // metres
  bool hasFirstTime = false;
  int64_t firstTime = 0;
  int64_t elapsed = 0;          // seconds, never negative
  double averageSpeed = 0.0;    // metres per hour
  double minAltitude = kNoMinAltitude;
  double maxAltitude = kNoMaxAltitude;
  LatLon lastPoint;

  // Adds a point at `time`: distance from the last point, count, times, speed.
  void AddPoint(LatLon position, int64_t time);
  void AddAltitude(double altitude);
  bool operator==(const TrackStatistics&) const = default;
};

// The interval and minimum-distance choices of the page, in list order.
struct TrackChoice {
  const char* text;
  int value;
};
inline constexpr TrackChoice kTrackIntervals[] = {
    {"2 Seconds", 2},  {"5 Seconds", 5},   {"10 Seconds", 10}, {"30 Seconds", 30},
    {"1 Minute", 60},  {"2 Minutes", 120}, {"5 Minutes", 300}, {"10 Minutes", 600},
};
inline constexpr TrackChoice kTrackMinDistances[] = {
    {"No minimum", 0},         {"5m (16 ft)", 5},          {"10m (33 ft)", 10},       {"20m (66 ft)", 20},
    {"30m (98 ft)", 30},       {"50m (164 ft)", 50},       {"100m (328 ft)", 100},    {"300m (984 ft)", 300},
    {"500m (1640 ft)", 500},   {"1000m (3280 ft)", 1000},  {"5 km (3.1 mi)", 5000},   {"10 km (6.2 mi)", 10000},
};
// List index of a stored value: the matching entry, else 3 ("30 Seconds")
// for the interval and 0 ("No minimum") for the distance.
int TrackIntervalIndex(int seconds);
int TrackMinDistanceIndex(int metres);

class TrackRecorder : public FixListener {
 public:
  explicit TrackRecorder(TrackSettings settings);
  ~TrackRecorder() override;
  TrackRecorder(const TrackRecorder&) = delete;
  TrackRecorder& operator=(const TrackRecorder&) = delete;

  // What the recorder reads of the program around it.
  void SetPositionSourceRmc(bool useRmc) { useRmc_ = useRmc; }
  bool positionSourceRmc() const { return useRmc_; }
  void SetSimulation(bool replaying) { simulation_ = replaying; }
  // Milliseconds of a monotonic clock, for the interval (default: steady clock).
  void SetClock(std::function<int64_t()> clockMs) { clock_ = std::move(clockMs); }
  int64_t NowMs() const;
  // Called after every change of the statistics, points or file.
  void SetChangedCallback(std::function<void()> changed) { changed_ = std::move(changed); }

  // One GGA (valid = quality above 0, with altitude) or RMC sentence (valid =
  // status "A"); `nowMs` is the clock. True when the line was written.
  struct Sentence {
    std::string_view line;
    bool isGga = false;
    bool valid = false;
    int64_t fixTime = 0;
    LatLon position;
    double altitude = 0.0;
  };
  bool RecordSentence(const Sentence& sentence, int64_t nowMs);
  // The published fix: each new GGA or RMC sentence goes to RecordSentence,
  // with the fix's position source and replay state. The window registers
  // the recorder with the controller, so it records whether or not the track
  // page is ever shown.
  void OnFix(const Fix& fix, FixChanges changes) override;
  // A replay ended or a connection closed: the file is made durable.
  void OnConnectionChanged(bool connected) override;

  // Rereads the whole file into the statistics and points. closeAfter: opened
  // read-only and closed afterwards (a missing file is an empty track);
  // otherwise opened read/write (created when missing) and kept open for
  // appending. False when it cannot be opened: the recorder is switched off
  // and lastError() says why.
  bool RebuildStatistics(bool closeAfter);
  // Switches the recorder on (opening and reading the file) or off (closing
  // it). False when it could not be switched on.
  bool SetActive(bool on);
  // "New" / "Load": the file at `path` becomes the track; false when it cannot
  // be opened (and the recorder is then off).
  bool New(const std::string& path) { return UseFile(path); }
  bool Load(const std::string& path) { return UseFile(path); }
  // "Reset": deletes the track file and starts afresh (an active recorder
  // makes a new empty file of the same name). The caller asks first.
  bool Reset();
  // Sets the interval and minimum distance at once.
  void SetIntervalSeconds(int seconds) { settings_.intervalSeconds = seconds; }
  void SetMinDistance(int metres) { settings_.minDistance = metres; }

  // The pixels of every point on a map (kNoPixel for points off the map).
  void RebuildTrackRoute(const MapCalibration& calibration);
  const std::vector<MapPixel>& route() const { return route_; }
  // The positions of the track points, in file order, and a number that
  // changes with them.
  const std::vector<LatLon>& positions() const { return positions_; }
  uint64_t revision() const { return revision_; }

  // Writes the track file as GPX 1.1 to `path` (temporary file, fsync,
  // rename). False with lastError() set when it fails.
  // `dateHint` (seconds since 1970, best the day's noon) dates GGA lines
  // before the file's first RMC date; 0 dates them 1970-01-01.
  bool ExportGpx(const std::string& path, int64_t dateHint = 0);

  const TrackStatistics& statistics() const { return stats_; }
  const TrackSettings& settings() const { return settings_; }
  bool isActive() const { return settings_.active; }
  bool isFileOpen() const { return fd_ >= 0; }
  const std::string& lastError() const { return lastError_; }
  // Makes the written lines durable now.
  void Sync();
  // Batch use (tarvo-track): lines are collected and written in large blocks,
  // at the latest by Sync(), Export and closing. The program writes each line
  // at once instead.
  void SetBatchWrites(bool batch) { batch_ = batch; }

 private:
  bool UseFile(const std::string& path);
  bool OpenFile(bool readOnly);
  void CloseFile();
  void Changed();

  TrackSettings settings_;
  TrackStatistics stats_;
  std::vector<LatLon> positions_;
  std::vector<MapPixel> route_;
  MapCalibration calibration_;  // of the route; uncalibrated until RebuildTrackRoute
  uint64_t revision_ = 0;
  int fd_ = -1;
  bool dirty_ = false;
  bool batch_ = false;
  std::string pending_;  // batch writes not yet written
  bool WritePending();
  int64_t lastSyncMs_ = 0;
  int64_t lastTick_ = 0;
  bool hasTick_ = false;
  bool useRmc_ = true;
  bool simulation_ = false;
  std::string lastSentence_;  // the latest fix sentence seen by OnFix
  std::function<int64_t()> clock_;
  std::function<void()> changed_;
  std::string lastError_;
};

}  // namespace tarvo
