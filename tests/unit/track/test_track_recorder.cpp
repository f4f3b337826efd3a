// The recorder's rules, file, statistics texts and route, on real files.
#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "core/gps/connection_controller.h"
#include "core/track/track_recorder.h"
#include "core/track/track_texts.h"
#include "tests/unit/track/track_test_util.h"

namespace tarvo {
namespace {

using test::Gga;
using test::Rmc;

constexpr int64_t kDay = 19889;  // 2024-06-15
constexpr int64_t kMidnight = kDay * 86400;

class Recorder : public test::TrackTempDir {
 protected:
  void SetUp() override {
    TrackTempDir::SetUp();
    settings_.path = Path("Track0001.nmea");
    settings_.active = true;
  }
  std::unique_ptr<TrackRecorder> Make(bool useRmc = true) {
    auto r = std::make_unique<TrackRecorder>(settings_);
    r->SetPositionSourceRmc(useRmc);
    EXPECT_TRUE(r->RebuildStatistics(false)) << r->lastError();
    return r;
  }
  // A fix at second `s` of the day, `north` metres-ish (0.00001 degrees) up.
  static bool Feed(TrackRecorder& r, bool gga, int s, double lat, double alt = 100.0, bool valid = true) {
    const std::string line = gga ? Gga(s, lat, 14.0, alt) : Rmc(s, lat, 14.0);
    TrackRecorder::Sentence sentence{line, gga, valid, kMidnight + s, {lat, 14.0}, gga ? alt : 0.0};
    return r.RecordSentence(sentence, int64_t{s} * 1000);
  }
  TrackSettings settings_;
};

TEST_F(Recorder, IntervalDistanceAndFirstPoint) {
  // Interval 10 s, a fix every second while moving: a point every 11 s.
  settings_.intervalSeconds = 10;
  settings_.minDistance = 0;
  auto r = Make();
  std::vector<int> taken;
  for (int s = 0; s <= 60; ++s) {
    if (Feed(*r, false, s, 46.0 + s * 0.0001)) taken.push_back(s);
  }
  EXPECT_EQ(taken, (std::vector<int>{0, 11, 22, 33, 44, 55}));
  EXPECT_EQ(r->statistics().pointCount, 6);
  EXPECT_EQ(r->statistics().elapsed, 55);

  // Standing still with 10 m minimum: one point, though the clock moves on,
  // and the first point of a new track adds 0 m.
  settings_.intervalSeconds = 2;
  settings_.minDistance = 10;
  settings_.path = Path("still.nmea");
  r = Make();
  for (int s = 0; s < 30; ++s) Feed(*r, false, s, 46.0);
  EXPECT_EQ(r->statistics().pointCount, 1);
  EXPECT_EQ(TrackDistanceText(r->statistics().totalDistance, DistanceUnit::Metric), "0.00 km");
  // The last fix taken was at 27 s (every third second); 29 s is too early, 30 s moves 22 m.
  EXPECT_FALSE(Feed(*r, false, 29, 46.0002));
  EXPECT_TRUE(Feed(*r, false, 30, 46.0002));
  EXPECT_NEAR(r->statistics().totalDistance, 22.2, 0.2);
  // Invalid fixes are never recorded.
  EXPECT_FALSE(Feed(*r, false, 40, 46.01, 0.0, false));
  EXPECT_EQ(test::TrackTempDir::Lines(Slurp(settings_.path)).size(), 2u);
}

TEST_F(Recorder, RmcSourceKeepsEveryGgaForTheAltitude) {
  settings_.intervalSeconds = 30;
  settings_.minDistance = 0;
  auto r = Make(true);
  for (int s = 0; s < 95; ++s) {
    Feed(*r, true, s, 46.0 + s * 0.0001, 100.0 + s);
    Feed(*r, false, s, 46.0 + s * 0.0001);
  }
  const std::vector<std::string> lines = Lines(Slurp(settings_.path));
  int gga = 0, rmc = 0;
  for (const std::string& l : lines) (l.substr(3, 3) == "GGA" ? gga : rmc)++;
  EXPECT_EQ(gga, 95);
  EXPECT_EQ(rmc, 4);  // at 0, 31, 62, 93 s
  EXPECT_EQ(r->statistics().pointCount, 4);
  EXPECT_EQ(r->statistics().minAltitude, 100.0);
  EXPECT_EQ(r->statistics().maxAltitude, 194.0);

  // Reading it back gives the same; with GGA as the source none of its RMC
  // points count and the GGA lines become the points.
  TrackStatistics live = r->statistics();
  ASSERT_TRUE(r->RebuildStatistics(false));
  EXPECT_EQ(r->statistics().pointCount, live.pointCount);
  EXPECT_NEAR(r->statistics().totalDistance, live.totalDistance, 0.5);
  EXPECT_EQ(r->statistics().elapsed, 93);
  r->SetPositionSourceRmc(false);
  ASSERT_TRUE(r->RebuildStatistics(false));
  EXPECT_EQ(r->statistics().pointCount, 95);

  // A file written with GGA as the source read with RMC as the source: 0 points.
  settings_.path = Path("gga.nmea");
  settings_.intervalSeconds = 2;
  r = Make(false);
  for (int s = 0; s < 40; s += 3) Feed(*r, true, s, 46.0 + s * 0.001);
  EXPECT_EQ(r->statistics().pointCount, 14);
  r->SetPositionSourceRmc(true);
  ASSERT_TRUE(r->RebuildStatistics(true));
  EXPECT_EQ(r->statistics().pointCount, 0);
  EXPECT_LT(r->statistics().minAltitude, r->statistics().maxAltitude + 1);  // altitudes still seen
}

TEST_F(Recorder, NothingIsWrittenWhileReplayingOrOff) {
  auto r = Make();
  r->SetSimulation(true);
  EXPECT_FALSE(Feed(*r, false, 100, 46.0));
  r->SetSimulation(false);
  r->SetActive(false);
  EXPECT_FALSE(r->isFileOpen());
  EXPECT_FALSE(Feed(*r, false, 200, 46.0));
  EXPECT_EQ(Slurp(settings_.path), "");
}

TEST_F(Recorder, StatisticsTexts) {
  EXPECT_EQ(TrackTimeText(3725), "01:02:05");
  EXPECT_EQ(TrackTimeText(360000 + 61), "100:01:01");
  EXPECT_EQ(TrackSpeedText(2000.0, SpeedUnit::Kmh), "2.0 km/h");
  EXPECT_EQ(TrackSpeedText(2000.0, SpeedUnit::Mph), "1.2 mph");
  EXPECT_EQ(TrackSpeedText(2000.0, SpeedUnit::Knot), "1.08 knot");
  EXPECT_EQ(TrackDistanceText(999.0, DistanceUnit::Metric), "1.00 km");
  EXPECT_EQ(TrackDistanceText(1500.0, DistanceUnit::Metric), "1.5 km");
  EXPECT_EQ(TrackDistanceText(1600.0, DistanceUnit::Imperial), "0.99 mi");
  EXPECT_EQ(TrackDistanceText(1852.0, DistanceUnit::Nautical), "1.0 nm");
  EXPECT_EQ(TrackAltitudeText(12.4, 130.9, 0, DistanceUnit::Metric), "12 m - 130 m");
  EXPECT_EQ(TrackAltitudeText(12.4, 130.9, 0, DistanceUnit::Imperial), "41 ft - 429 ft");
  EXPECT_EQ(TrackAltitudeText(12.4, 130.9, 10, DistanceUnit::Metric), "2 m - 120 m");
  EXPECT_EQ(TrackAltitudeText(kNoMinAltitude, kNoMaxAltitude, 5, DistanceUnit::Metric), "0 m - 0 m");

  EXPECT_EQ(TrackIntervalIndex(60), 4);
  EXPECT_EQ(TrackIntervalIndex(7), 3);
  EXPECT_EQ(TrackMinDistanceIndex(5000), 10);
  EXPECT_EQ(TrackMinDistanceIndex(7), 0);
}

TEST_F(Recorder, LongLinesAreReadInPieces) {
  // 300 characters: the second piece starts at character 256.
  std::string longLine(255, 'x');
  longLine += Rmc(10, 46.0, 14.0);
  Write(settings_.path, Rmc(0, 45.0, 14.0) + "\n" + longLine + "\n" + std::string(400, 'y') + "\r\n" +
                            Rmc(20, 45.1, 14.0) + "\r\n");
  auto r = Make();
  EXPECT_EQ(r->statistics().pointCount, 3);
  EXPECT_EQ(r->statistics().elapsed, 20);
}

TEST_F(Recorder, AnyTalkerIsRecordedAndReadBack) {
  settings_.minDistance = 0;
  settings_.intervalSeconds = 2;
  auto r = Make(true);
  for (int s = 0; s < 12; s += 3) {
    const std::string gga = Gga(s, 46 + s * 0.001, 14.0, 300.0 + s, 1, "GN");
    const std::string rmc = Rmc(s, 46 + s * 0.001, 14.0, "150624", true, "GN");
    r->RecordSentence({gga, true, true, kMidnight + s, {46 + s * 0.001, 14.0}, 300.0 + s}, s * 1000);
    r->RecordSentence({rmc, false, true, kMidnight + s, {46 + s * 0.001, 14.0}, 0.0}, s * 1000);
  }
  EXPECT_EQ(Lines(Slurp(settings_.path)).size(), 8u);
  EXPECT_EQ(Slurp(settings_.path).substr(0, 6), "$GNGGA");
  ASSERT_TRUE(r->RebuildStatistics(false));
  EXPECT_EQ(r->statistics().pointCount, 4);
  EXPECT_EQ(r->statistics().maxAltitude, 309.0);
}

TEST_F(Recorder, ElapsedTimeRunsOnAcrossMidnight) {
  // RMC dates 150624 -> 160624: 23:59:30 to 00:00:30 is one minute.
  Write(settings_.path, Rmc(86370, 46.0, 14.0, "150624") + "\n" + Rmc(30, 46.01, 14.0, "160624") + "\n");
  auto r = Make(true);
  EXPECT_EQ(r->statistics().elapsed, 60);
  EXPECT_NEAR(r->statistics().averageSpeed, 1112.0 * 60, 1000.0);
  // GGA-only: each time of day is dated by the day of the line before.
  Write(settings_.path, Gga(86370, 46.0, 14.0, 1) + "\n" + Gga(86399, 46.0, 14.0, 1) + "\n" + Gga(30, 46.01, 14.0, 1) +
                            "\n");
  r->SetPositionSourceRmc(false);
  ASSERT_TRUE(r->RebuildStatistics(false));
  EXPECT_EQ(r->statistics().pointCount, 3);
  EXPECT_EQ(r->statistics().elapsed, 60);
  EXPECT_GT(r->statistics().averageSpeed, 0.0);
}

TEST_F(Recorder, LinesAreOnDiskAtOnceAndTheFileIsExclusive) {
  settings_.minDistance = 0;
  auto r = Make();
  Feed(*r, false, 0, 46.0);
  // Another reader sees the line without any close or flush.
  EXPECT_EQ(Slurp(settings_.path), Rmc(0, 46.0, 14.0) + "\n");
  // A second recorder on the same file is refused, and says so.
  TrackRecorder other(settings_);
  EXPECT_FALSE(other.RebuildStatistics(false));
  EXPECT_FALSE(other.isActive());
  EXPECT_NE(other.lastError().find("in use"), std::string::npos) << other.lastError();
  r->SetActive(false);
  EXPECT_TRUE(other.SetActive(true)) << other.lastError();
}

TEST_F(Recorder, AFileThatCannotBeOpenedIsReported) {
  settings_.path = Path("no/such/folder/t.nmea");
  TrackRecorder r(settings_);
  EXPECT_FALSE(r.RebuildStatistics(false));
  EXPECT_FALSE(r.isActive());
  EXPECT_NE(r.lastError().find("No such file"), std::string::npos) << r.lastError();
  EXPECT_FALSE(r.Load(Path("")));  // the folder itself
  // A missing file read while the recorder is off is an empty track, not a fault.
  EXPECT_TRUE(r.Load(Path("missing.nmea")));
  EXPECT_FALSE(std::filesystem::exists(Path("missing.nmea")));
}

TEST_F(Recorder, NewLoadAndReset) {
  settings_.minDistance = 0;
  auto r = Make();
  Feed(*r, false, 0, 46.0);
  Feed(*r, false, 20, 46.01);
  EXPECT_EQ(r->positions().size(), 2u);
  // "New" on another name: empty and created while recording.
  ASSERT_TRUE(r->New(Path("b.nmea")));
  EXPECT_EQ(r->statistics().pointCount, 0);
  EXPECT_TRUE(std::filesystem::exists(Path("b.nmea")));
  // "Load" the first again: its two points.
  ASSERT_TRUE(r->Load(settings_.path));
  EXPECT_EQ(r->statistics().pointCount, 2);
  const uint64_t before = r->revision();
  // "Reset" deletes the file; an active recorder starts it afresh.
  ASSERT_TRUE(r->Reset());
  EXPECT_EQ(r->statistics().pointCount, 0);
  EXPECT_TRUE(r->positions().empty());
  EXPECT_NE(r->revision(), before);
  EXPECT_EQ(Slurp(settings_.path), "");
  r->SetActive(false);
  ASSERT_TRUE(r->Reset());
  EXPECT_FALSE(std::filesystem::exists(settings_.path));
}

TEST_F(Recorder, RouteThroughTheMapCalibration) {
  settings_.minDistance = 0;
  auto r = Make();
  Feed(*r, false, 0, 46.0);
  MapCalibration calibration;
  calibration.SetRefPoint(0, {0, 0, 47.0, 13.0});
  calibration.SetRefPoint(1, {1000, 1000, 45.0, 15.0});
  r->RebuildTrackRoute(calibration);
  ASSERT_EQ(r->route().size(), 1u);
  EXPECT_EQ(r->route()[0], (MapPixel{500, 500}));
  Feed(*r, false, 20, 45.0);  // new points follow the calibration
  ASSERT_EQ(r->route().size(), 2u);
  EXPECT_EQ(r->route()[1], (MapPixel{500, 1000}));
  r->RebuildTrackRoute(MapCalibration{});
  EXPECT_TRUE(r->route().empty());
}

// The recorder as the controller's listener: the published fixes of real sentences.
class Host : public ControllerHost {
 public:
  void SetConnected(bool) override {}
  void ShowError(const ConnectionError&) override {}
  std::optional<std::string> AskReplayFile(const std::string&) override { return std::nullopt; }
  void PostToMainThread(std::function<void()> task) override { task(); }
  bool StartTimer(ConnectionTimer, int) override { return true; }
  void StopTimer(ConnectionTimer) override {}
  int64_t NowUtc() override { return kMidnight; }
};

TEST_F(Recorder, ListensToTheController) {
  Host host;
  ConnectionSettings connection;
  connection.useRmc = false;
  ConnectionController controller(host, connection);
  settings_.minDistance = 0;
  settings_.intervalSeconds = 2;
  auto r = Make(false);
  int64_t clock = 0;
  r->SetClock([&] { return clock; });
  controller.AddListener(r.get());
  for (int s = 0; s < 9; ++s) {
    clock = s * 1000;
    controller.OnSentence(Gga(s, 46.0 + s * 0.001, 14.0, 200.0 + s, 1, "GN"));
  }
  controller.RemoveListener(r.get());
  EXPECT_EQ(r->statistics().pointCount, 3);  // 0, 3, 6 s
  EXPECT_EQ(r->statistics().elapsed, 6);
  EXPECT_EQ(Lines(Slurp(settings_.path))[1], Gga(3, 46.003, 14.0, 203.0, 1, "GN"));
}

}  // namespace
}  // namespace tarvo
