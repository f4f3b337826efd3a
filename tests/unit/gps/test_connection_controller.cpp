// The connection controller's rules, without a window: a host that records
// what it is asked, a manual clock and timers, real files and real
// pseudo-terminals for the serial connection.
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/gps/connection_controller.h"
#include "core/gps/nmea.h"
#include "core/gps/serial_link.h"
#include "tests/unit/gps/test_net_peers.h"
#include "tests/unit/gps/test_nmea_util.h"

namespace tarvo {
namespace {

using tarvo::test::Sentence;

namespace fs = std::filesystem;

const std::string kGga = Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
const std::string kGgaNoFix = Sentence("GPGGA,123519,4807.038,N,01131.000,E,0,00,,,M,,M,,");
const std::string kRmc = Sentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");

// An error as "Failure|where|strerror(error)|detail", the parts that are set.
std::string Describe(const ConnectionError& e) {
  static constexpr const char* kNames[] = {"ReplayUnreadable",    "TimerUnavailable",    "NoPortFound",
                                           "PortUnopenable",      "PortSettingsRefused", "PortTimeoutsRefused",
                                           "ReaderNotStarted",    "ConnectionLost"};
  std::string text = kNames[static_cast<int>(e.failure)];
  if (!e.where.empty()) text += "|" + e.where;
  if (e.error != 0) text += std::string("|") + std::strerror(e.error);
  if (!e.detail.empty()) text += "|" + e.detail;
  return text;
}

class FakeHost : public ControllerHost {
 public:
  void SetConnected(bool connected) override { captions.push_back(connected ? "&Stop" : "&Start"); }
  void ShowError(const ConnectionError& e) override { errors.push_back(Describe(e)); }
  std::optional<std::string> AskReplayFile(const std::string& path) override {
    askedFor = path;
    return replayAnswer;
  }
  void LogLine(std::string_view line) override { logged.emplace_back(line); }
  bool UploadPosition() override {
    uploads.push_back(now);
    return true;
  }
  void PostToMainThread(std::function<void()> task) override {
    std::lock_guard<std::mutex> lock(mutex);
    posted.push_back(std::move(task));
  }
  bool StartTimer(ConnectionTimer id, int periodMs) override {
    timers.emplace_back(id, periodMs);
    running = id;
    return timerWorks;
  }
  void StopTimer(ConnectionTimer id) override {
    if (running == id) running = ConnectionTimer::None;
  }
  int64_t NowUtc() override { return now; }
  int64_t MonotonicMs() override { return monotonic; }

  // Runs the tasks posted from other threads, as the main loop would.
  int RunPosted() {
    int n = 0;
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (posted.empty()) return n;
        task = std::move(posted.front());
        posted.pop_front();
      }
      task();
      ++n;
    }
  }
  // Runs posted tasks until `done` or two seconds passed.
  bool RunUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      if (RunPosted() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  std::vector<std::string> captions, errors, logged;
  std::vector<int64_t> uploads;
  std::vector<std::pair<ConnectionTimer, int>> timers;
  std::optional<std::string> replayAnswer;
  std::string askedFor;
  ConnectionTimer running = ConnectionTimer::None;
  bool timerWorks = true;
  int64_t now = 1700000000;
  int64_t monotonic = 5000;
  std::mutex mutex;
  std::deque<std::function<void()>> posted;
};

// Counts the published fixes by what they changed: a GGA always brings its
// altitude and quality, an RMC its motion, the Garmin altitude sentence the
// altitude alone. Keeps the source of every published position.
struct CountingListener : FixListener {
  void OnFix(const Fix& fix, FixChanges c) override {
    gga += (c & kFixAltitude) && (c & kFixQuality);
    rmc += (c & kFixMotion) != 0;
    position += (c & kFixPosition) != 0;
    satellites += (c & kFixSky) != 0;
    precision += (c & kFixPrecision) != 0;
    altitude += (c & kFixAltitude) && !(c & kFixQuality);
    errors += (c & kFixError) != 0;
    if (c & kFixPosition) sources.push_back(fix.source);
    last = fix;
  }
  int gga = 0, rmc = 0, position = 0, satellites = 0, precision = 0, altitude = 0, errors = 0;
  std::vector<SentenceKind> sources;
  Fix last;
};

class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarvo-controller-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    controller_.AddListener(&listener_);
  }
  void TearDown() override {
    controller_.Shutdown();
    fs::remove_all(dir_);
  }

  std::string WriteFile(const std::string& name, const std::vector<std::string>& lines) {
    const fs::path p = dir_ / name;
    std::ofstream out(p, std::ios::binary);
    for (const std::string& l : lines) out << l << "\r\n";
    return p.string();
  }

  FakeHost host_;
  ConnectionSettings settings_;
  ConnectionController controller_{host_, settings_};
  CountingListener listener_;
  fs::path dir_;
};

// ---- position source switch ----

TEST_F(ControllerTest, TwelveGgaPerRmcSwitchesToGgaOnceMoreThanTenArrived) {
  controller_.OnSentence(kRmc);
  for (int i = 0; i < 10; ++i) controller_.OnSentence(kGga);
  EXPECT_TRUE(settings_.useRmc);  // ten GGA: not more than ten of either kind yet
  controller_.OnSentence(kGga);
  EXPECT_TRUE(settings_.useRmc);  // 11 / 1 = 11, not above 11
  controller_.OnSentence(kGga);
  EXPECT_FALSE(settings_.useRmc);  // 12 / 1
  EXPECT_TRUE(controller_.state().smoothing.rmcUnsmoothed);
}

TEST_F(ControllerTest, ElevenGgaPerRmcNeverSwitchesGgaWithoutRmcDoes) {
  for (int cycle = 0; cycle < 30; ++cycle) {
    controller_.OnSentence(kRmc);
    for (int i = 0; i < 11; ++i) controller_.OnSentence(kGga);
  }
  EXPECT_TRUE(settings_.useRmc);

  ConnectionSettings other;
  ConnectionController onlyGga(host_, other);
  // A receiver without RMC would otherwise never show a position.
  for (int i = 0; i < 10; ++i) onlyGga.OnSentence(kGga);
  EXPECT_TRUE(other.useRmc);
  onlyGga.OnSentence(kGga);
  EXPECT_FALSE(other.useRmc);
  EXPECT_TRUE(onlyGga.fix().valid);
  EXPECT_FALSE(onlyGga.fix().positionFromRmc);
  for (int i = 11; i < 500; ++i) onlyGga.OnSentence(kGga);
  EXPECT_EQ(onlyGga.ggaCount(), 500u);
}

TEST_F(ControllerTest, RmcIsThePositionSourceUntilTheSwitch) {
  controller_.OnSentence(kRmc);
  EXPECT_EQ(listener_.position, 1);
  EXPECT_EQ(listener_.sources, std::vector<SentenceKind>({SentenceKind::Rmc}));
  EXPECT_EQ(listener_.last.sentence, kRmc);
  EXPECT_TRUE(listener_.last.valid);
  EXPECT_EQ(listener_.last.quality, 1);
  EXPECT_DOUBLE_EQ(listener_.last.speedKnots, 22.4);
  EXPECT_NEAR(listener_.last.position.latitude, 48.1173, 1e-9);
  EXPECT_EQ(listener_.last.time, 764426119);  // 1994-03-23 12:35:19 UTC
  // GGA, while RMC is the source, brings its altitude and satellites only.
  controller_.OnSentence(kGga);
  EXPECT_EQ(listener_.position, 1);
  EXPECT_EQ(listener_.last.satellitesUsed, 8);
  EXPECT_DOUBLE_EQ(listener_.last.altitude, 545.4);
  EXPECT_EQ(listener_.last.source, SentenceKind::Gga);
  EXPECT_EQ(listener_.last.sentence, kGga);

  settings_.useRmc = false;  // as the hardware page's check box does
  controller_.OnSentence(kGga);
  EXPECT_EQ(listener_.position, 2);
  EXPECT_EQ(listener_.gga, 2);
  controller_.OnSentence(kRmc);
  EXPECT_EQ(listener_.position, 2);  // RMC no longer moves the position
  EXPECT_EQ(listener_.rmc, 2);
  EXPECT_EQ(listener_.sources, std::vector<SentenceKind>({SentenceKind::Rmc, SentenceKind::Gga}));
  EXPECT_EQ(listener_.last.source, SentenceKind::Rmc);  // the latest GGA or RMC, whichever moves the position
  EXPECT_EQ(listener_.last.sentence, kRmc);
}

TEST_F(ControllerTest, EveryLineIsLoggedButOnlyGoodSentencesAreParsed) {
  std::string bad = kGga;
  bad.back() = bad.back() == '0' ? '1' : '0';
  controller_.OnSentence(bad);
  controller_.OnSentence("$GPXTE,V,V,,,N,S*43");
  controller_.OnSentence("# a comment line in a recording");
  EXPECT_EQ(host_.logged.size(), 3u);
  EXPECT_EQ(listener_.gga, 0);
  EXPECT_EQ(controller_.ggaCount(), 0u);
}

TEST_F(ControllerTest, NotificationsFollowTheSentenceType) {
  controller_.OnSentence(Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"));
  EXPECT_EQ(listener_.precision, 1);
  controller_.OnSentence(Sentence("PGRMZ,1000,f,3"));
  EXPECT_EQ(listener_.altitude, 1);
  controller_.OnSentence(Sentence("PGRME,15.0,M,45.0,M,25.0,M"));
  EXPECT_EQ(listener_.altitude, 1);
  EXPECT_EQ(listener_.errors, 1);
  EXPECT_DOUBLE_EQ(listener_.last.horizontalError, 15.0);
  EXPECT_DOUBLE_EQ(listener_.last.hdop, 1.3);
  EXPECT_EQ(listener_.last.mode, 3);
  // A two-message GSV cycle tells once, when both are in, in any order.
  controller_.OnSentence(Sentence("GPGSV,2,2,05,28,09,271,36"));
  EXPECT_EQ(listener_.satellites, 0);
  controller_.OnSentence(Sentence("GPGSV,2,1,05,03,41,050,46,07,60,317,49,08,34,315,45,11,35,148,45"));
  EXPECT_EQ(listener_.satellites, 1);
  ASSERT_EQ(listener_.last.sky.size(), 5u);
  EXPECT_EQ(listener_.last.sky[4].prn, 28);
  controller_.OnSentence(Sentence("GPGSV,2,2,05,28,09,271,36"));
  EXPECT_EQ(listener_.satellites, 1);  // a new cycle has begun
}

TEST_F(ControllerTest, ALineDuringShutdownIsNeitherLoggedNorParsed) {
  controller_.Shutdown();
  controller_.OnSentence(kGga);
  EXPECT_TRUE(host_.logged.empty());
  EXPECT_EQ(controller_.state().gpsFix.fixQuality, 0);
  EXPECT_EQ(listener_.gga, 0);
}

// ---- replay ----

TEST_F(ControllerTest, ReplayTicksAtTheChosenSpeedAndEndsAtTheEndOfTheFile) {
  const std::string file = WriteFile("drive.nmea", {kRmc, kGga});
  settings_.emulation = true;
  settings_.emulationSpeed = 1;
  host_.replayAnswer = file;
  controller_.SetReplayPath("/home/user/Tarvo_Log.nmea");
  controller_.ToggleConnection();
  EXPECT_EQ(host_.askedFor, "/home/user/Tarvo_Log.nmea");  // the dialog starts at the last file
  EXPECT_EQ(controller_.replayPath(), file);
  ASSERT_EQ(host_.timers.back(), std::make_pair(ConnectionTimer::Replay, 1000));
  EXPECT_EQ(host_.captions.back(), "&Stop");
  EXPECT_TRUE(host_.logged.empty());  // nothing before the first tick

  controller_.OnTimer(ConnectionTimer::Replay);
  ASSERT_EQ(host_.logged.size(), 1u);
  EXPECT_EQ(host_.logged[0], kRmc);  // the line end is not part of the line
  controller_.OnTimer(ConnectionTimer::Replay);
  EXPECT_EQ(host_.logged.size(), 2u);
  EXPECT_TRUE(controller_.IsConnected());
  controller_.OnTimer(ConnectionTimer::Replay);
  EXPECT_FALSE(controller_.IsConnected());
  EXPECT_EQ(host_.captions.back(), "&Start");
  EXPECT_EQ(host_.running, ConnectionTimer::None);
  EXPECT_TRUE(host_.errors.empty());

  settings_.emulationSpeed = 4;
  controller_.ToggleConnection();
  EXPECT_EQ(host_.timers.back(), std::make_pair(ConnectionTimer::Replay, 250));
}

TEST_F(ControllerTest, ReplaySpeedOutsideOneToFourIsClamped) {
  const std::string file = WriteFile("drive.nmea", {kRmc});
  settings_.emulation = true;
  host_.replayAnswer = file;
  settings_.emulationSpeed = 0;  // would divide by zero
  controller_.ToggleConnection();
  EXPECT_EQ(host_.timers.back(), std::make_pair(ConnectionTimer::Replay, 1000));
  controller_.ToggleConnection();
  settings_.emulationSpeed = 40;
  controller_.ToggleConnection();
  EXPECT_EQ(host_.timers.back(), std::make_pair(ConnectionTimer::Replay, 250));
}

TEST_F(ControllerTest, CancellingTheReplayDialogDisconnectsSilently) {
  settings_.emulation = true;
  host_.replayAnswer.reset();
  controller_.ToggleConnection();
  EXPECT_FALSE(controller_.IsConnected());
  EXPECT_EQ(host_.captions, std::vector<std::string>({"&Stop", "&Start"}));
  EXPECT_TRUE(host_.errors.empty());
  EXPECT_TRUE(host_.timers.empty());
}

TEST_F(ControllerTest, ConnectClearsTheRecordsAndTellsThePages) {
  controller_.OnSentence(kGga);
  ASSERT_EQ(controller_.state().gpsFix.fixQuality, 1);
  settings_.emulation = true;
  host_.replayAnswer = WriteFile("drive.nmea", {kRmc});
  listener_ = {};
  controller_.ToggleConnection();
  EXPECT_EQ(controller_.state().gpsFix.fixQuality, 0);
  EXPECT_EQ(controller_.state().gpsFix.satellitesUsed, 0);
  // The position shown stays the last real one until a new fix comes.
  EXPECT_NEAR(controller_.state().gpsFix.latitude, 48.1173, 1e-4);
  EXPECT_EQ(listener_.gga, 1);
  EXPECT_EQ(listener_.rmc, 1);
  EXPECT_EQ(listener_.satellites, 1);
  EXPECT_EQ(listener_.precision, 1);
  EXPECT_EQ(listener_.position, 1);  // RMC is the position source
}

TEST_F(ControllerTest, FailuresShowTheirMessageAndDisconnect) {
  settings_.emulation = true;
  host_.replayAnswer = (dir_ / "missing.nmea").string();
  controller_.ToggleConnection();
  // The message keeps its first line and says on a second what went wrong.
  EXPECT_EQ(host_.errors.back(), "ReplayUnreadable|" + (dir_ / "missing.nmea").string() + "|No such file or directory");
  EXPECT_FALSE(controller_.IsConnected());
  EXPECT_EQ(host_.captions.back(), "&Start");

  host_.replayAnswer = WriteFile("drive.nmea", {kRmc});
  host_.timerWorks = false;
  controller_.ToggleConnection();
  EXPECT_EQ(host_.errors.back(), "TimerUnavailable");
  EXPECT_FALSE(controller_.IsConnected());
  EXPECT_FALSE(controller_.IsReplay());

  settings_.emulation = false;
  settings_.portName = (dir_ / "ttyNothing").string();
  controller_.ToggleConnection();
  EXPECT_EQ(host_.errors.back(), "PortUnopenable|" + settings_.portName + "|No such file or directory");
  EXPECT_FALSE(controller_.IsConnected());

  settings_.portName.clear();  // and no port found
  controller_.SetPortFinder([] { return std::string(); });
  controller_.ToggleConnection();
  EXPECT_EQ(host_.errors.back(), "NoPortFound");
  EXPECT_EQ(host_.errors.size(), 4u);
}

TEST_F(ControllerTest, TheLastRealPositionOutlivesConnectsAndFixlessSentences) {
  controller_.SetLastKnownPosition({46.37, 14.11});
  controller_.SetLastKnownPosition({0.0, 0.0});  // not a position: ignored
  settings_.emulation = true;
  const std::string noFixRmc = Sentence("GPRMC,123520,V,0000.000,N,00000.000,E,,,230394,,");
  const std::string noFixGga = Sentence("GPGGA,123521,0000.000,N,00000.000,E,0,00,,,M,,M,,");
  host_.replayAnswer = WriteFile("nofix.nmea", {noFixRmc, noFixGga, kGga});
  controller_.ToggleConnection();
  ASSERT_TRUE(controller_.IsConnected());
  EXPECT_DOUBLE_EQ(controller_.state().gpsFix.latitude, 46.37);
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(controller_.ReplayTick());
  EXPECT_DOUBLE_EQ(controller_.state().gpsFix.latitude, 46.37);
  EXPECT_DOUBLE_EQ(controller_.state().gpsFix.longitude, 14.11);
  EXPECT_DOUBLE_EQ(controller_.lastKnownPosition().latitude, 46.37);
  controller_.ReplayTick();  // a real fix moves it
  EXPECT_NEAR(controller_.lastKnownPosition().latitude, 48.1173, 1e-4);

  // A connect that fails keeps it too.
  controller_.ToggleConnection();
  settings_.emulation = false;
  settings_.portName = (dir_ / "ttyNothing").string();
  controller_.ToggleConnection();
  EXPECT_NEAR(controller_.lastKnownPosition().latitude, 48.1173, 1e-4);
  EXPECT_NEAR(controller_.state().gpsFix.latitude, 48.1173, 1e-4);
}

TEST_F(ControllerTest, ARealTimeReplayKeepsTheRecordedPace) {
  settings_.emulation = true;
  settings_.replayRealTime = 4;
  const std::string gga1 = Sentence("GPGGA,235959,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
  const std::string rmc1 = Sentence("GPRMC,235959,A,4807.038,N,01131.000,E,0.0,0.0,230394,,");
  const std::string gga2 = Sentence("GPGGA,000001,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
  host_.replayAnswer = WriteFile("timed.nmea", {"$PGRMZ,1000,f,3", gga1, rmc1, gga2});
  controller_.ToggleConnection();
  ASSERT_TRUE(controller_.IsConnected());
  EXPECT_EQ(host_.timers.back(), std::make_pair(ConnectionTimer::Replay, ConnectionController::kRealTimeTickMs));
  controller_.OnTimer(ConnectionTimer::Replay);
  EXPECT_EQ(host_.logged.size(), 3u);  // the first epoch at once
  host_.monotonic += 499;              // 2 s past midnight at x4: 500 ms
  controller_.OnTimer(ConnectionTimer::Replay);
  EXPECT_EQ(host_.logged.size(), 3u);
  host_.monotonic += 1;
  controller_.OnTimer(ConnectionTimer::Replay);
  EXPECT_EQ(host_.logged.size(), 4u);
  controller_.OnTimer(ConnectionTimer::Replay);
  EXPECT_FALSE(controller_.IsConnected());  // the end of the file
}

// ---- upload ----

TEST_F(ControllerTest, UploadAtMostOnceInMoreThanUpdateSecondsAndOnlyWithAFix) {
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  settings_.portName = ttyname(slave);
  settings_.upload = true;
  settings_.update = 15;
  controller_.ToggleConnection();
  ASSERT_TRUE(controller_.IsConnected()) << (host_.errors.empty() ? "" : host_.errors.back());
  EXPECT_EQ(host_.timers.back(), std::make_pair(ConnectionTimer::Upload, 15000));

  controller_.OnTimer(ConnectionTimer::Upload);  // no fix yet
  EXPECT_TRUE(host_.uploads.empty());
  controller_.OnSentence(kGga);
  for (int second = 0; second <= 60; ++second) {
    if (second % 15 == 0) controller_.OnTimer(ConnectionTimer::Upload);
    ++host_.now;
  }
  // Ticks at 0, 15, 30, 45, 60 s: 15 s after an upload is not "more than 15".
  ASSERT_EQ(host_.uploads.size(), 3u);
  EXPECT_EQ(host_.uploads[1] - host_.uploads[0], 30);
  EXPECT_EQ(host_.uploads[2] - host_.uploads[1], 30);

  controller_.OnSentence(kGgaNoFix);
  host_.now += 100;
  controller_.OnTimer(ConnectionTimer::Upload);
  EXPECT_EQ(host_.uploads.size(), 3u);
  settings_.upload = false;
  controller_.OnSentence(kGga);
  controller_.OnTimer(ConnectionTimer::Upload);
  EXPECT_EQ(host_.uploads.size(), 3u);
  controller_.ToggleConnection();
  close(master);
  close(slave);
}

// ---- serial connections on a pseudo-terminal ----

class SerialControllerTest : public ControllerTest {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
    slavePath_ = ttyname(slave_);
    settings_.portName = slavePath_;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  void TearDown() override {
    controller_.Shutdown();
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
    ControllerTest::TearDown();
  }

  // Everything the controller wrote to the device, waiting a little for it.
  std::string ReadMaster() {
    std::string out;
    char buf[512];
    for (int idle = 0; idle < 20;) {
      const ssize_t n = read(master_, buf, sizeof buf);
      if (n > 0) {
        out.append(buf, static_cast<std::size_t>(n));
        idle = 0;
      } else {
        ++idle;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    return out;
  }

  // The access mode the controller's own descriptor on the device has.
  int OpenModeOfDevice() {
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      const fs::path target = fs::read_symlink(entry.path(), ec);
      const int fd = std::stoi(entry.path().filename().string());
      if (ec || target != slavePath_ || fd == slave_) continue;
      std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
      std::string key;
      std::string flags;
      while (info >> key >> flags) {
        if (key == "flags:") return static_cast<int>(std::stol(flags, nullptr, 8) & O_ACCMODE);
      }
    }
    return -1;
  }

  int master_ = -1, slave_ = -1;
  std::string slavePath_;
};

TEST_F(SerialControllerTest, NmeaAndBluetoothTypesOpenReadOnlyAndWriteNothing) {
  for (int type : {0, 3}) {
    settings_.gpsType = static_cast<GpsType>(type);
    controller_.ToggleConnection();
    ASSERT_TRUE(controller_.IsConnected());
    EXPECT_EQ(OpenModeOfDevice(), O_RDONLY) << "type " << type;
    EXPECT_EQ(ReadMaster(), "") << "type " << type;
    controller_.ToggleConnection();
  }
  EXPECT_TRUE(host_.errors.empty());
}

TEST_F(SerialControllerTest, DeLormeAndGarminGetTheirStartupStrings) {
  settings_.gpsType = GpsType::DeLorme;
  controller_.ToggleConnection();
  ASSERT_TRUE(controller_.IsConnected());
  EXPECT_EQ(OpenModeOfDevice(), O_RDWR);
  EXPECT_EQ(ReadMaster(),
            "$PRWIILOG,RMC,A,T,1,0\r\n$PRWIILOG,GGA,A,T,1,0\r\n$PRWIILOG,GSA,A,T,1,0\r\n"
            "$PRWIILOG,GSV,A,T,1,0\r\n$PRWIILOG,ZCH,V,,,\r\n$PRWIINIT,V,,,,,,,0,0,M,0,T,,\r\n");
  controller_.ToggleConnection();

  settings_.gpsType = GpsType::Garmin;
  controller_.ToggleConnection();
  ASSERT_TRUE(controller_.IsConnected());
  EXPECT_EQ(ReadMaster(),
            "$PGRMO,,2\r\n$PGRMO,GPRMC,1\r\n$PGRMO,GPGGA,1\r\n$PGRMO,GPGSA,1\r\n$PGRMO,GPGSV,1\r\n"
            "$PGRMC,,,,,,,,,,3,,2,0\r\n");
}

TEST_F(SerialControllerTest, AStuckPortNeverHoldsUpTheConnectAndCloses) {
  // Output suspended, as on a receiver that holds its line: the start-up
  // commands wait in the reader thread, not in the window's.
  ASSERT_EQ(tcflow(slave_, TCOOFF), 0);
  settings_.gpsType = GpsType::Garmin;
  const auto start = std::chrono::steady_clock::now();
  controller_.ToggleConnection();
  ASSERT_TRUE(controller_.IsConnected());
  // Written byte by byte on the caller's thread, each wait took two seconds.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  ASSERT_EQ(tcflow(slave_, TCOON), 0);
  EXPECT_EQ(ReadMaster().substr(0, 11), "$PGRMO,,2\r\n");
  // Suspended again: closing ends the waiting writer at once.
  ASSERT_EQ(tcflow(slave_, TCOOFF), 0);
  controller_.ToggleConnection();
  controller_.ToggleConnection();
  const auto close = std::chrono::steady_clock::now();
  controller_.ToggleConnection();
  EXPECT_FALSE(controller_.IsConnected());
  EXPECT_LT(std::chrono::steady_clock::now() - close, std::chrono::seconds(1));
  tcflow(slave_, TCOON);
}

TEST_F(SerialControllerTest, LinesFromTheDeviceArriveOnTheMainThread) {
  controller_.ToggleConnection();
  ASSERT_TRUE(controller_.IsConnected());
  const std::string bytes = "junk\r\n" + kGga + "\r\n" + kRmc + "\r\n";
  ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ASSERT_TRUE(host_.RunUntil([&] { return host_.logged.size() == 2; }));
  EXPECT_EQ(host_.logged[0], kGga);
  EXPECT_EQ(host_.logged[1], kRmc);
  EXPECT_EQ(listener_.gga, 1 + 1);  // the connect, then the sentence
  EXPECT_EQ(controller_.state().gpsFix.satellitesUsed, 8);
}

TEST_F(SerialControllerTest, StreamHealthFollowsTheConnectionAndAStaleStreamTurnsTheLightRed) {
  settings_.speed = kAutoSpeed;
  controller_.ToggleConnection();
  ASSERT_TRUE(controller_.IsConnected());
  StreamHealthReport health = controller_.streamHealth();
  EXPECT_TRUE(health.autoSpeed);
  EXPECT_EQ(health.lineSpeed.bitsPerSecond, kHuntSpeeds.front());
  // Two sound sentences settle the hunt at the first speed; the broken line
  // after them is counted.
  const std::string bytes = kRmc + "\r\n" + kGga + "\r\n$GPGGA,1*00\r\n";
  ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ASSERT_TRUE(host_.RunUntil([&] { return host_.logged.size() == 3; }));
  health = controller_.streamHealth();
  EXPECT_EQ(health.sentences, 2u);
  EXPECT_EQ(health.checksumErrors, 1u);
  EXPECT_EQ(health.fixAgeMs, 0);
  EXPECT_EQ(health.lineSpeed.bitsPerSecond, 4800);
  EXPECT_FALSE(health.lineSpeed.searching);
  EXPECT_EQ(controller_.StatusLed(), ConnectionController::Led::Green);

  // Five seconds without a sound sentence: stale, and the light says so.
  host_.monotonic += kStaleAfterMs;
  EXPECT_TRUE(controller_.streamHealth().stale);
  EXPECT_EQ(controller_.streamHealth().fixAgeMs, kStaleAfterMs);
  EXPECT_EQ(controller_.StatusLed(), ConnectionController::Led::Red);
  controller_.OnSentence(kRmc);
  EXPECT_EQ(controller_.StatusLed(), ConnectionController::Led::Green);

  // The next connection starts counting afresh; nothing is reported while disconnected.
  controller_.ToggleConnection();
  EXPECT_EQ(controller_.streamHealth().sentences, 0u);
  settings_.speed = 9600;
  controller_.ToggleConnection();
  health = controller_.streamHealth();
  EXPECT_EQ(health.sentences, 0u);
  EXPECT_FALSE(health.autoSpeed);
  EXPECT_EQ(health.lineSpeed.bitsPerSecond, 9600);
  EXPECT_FALSE(health.lineSpeed.searching);
}

TEST_F(SerialControllerTest, LineSettingsTheLinuxDriverCannotSetFail) {
  settings_.stopbits = 1;  // one and a half
  controller_.ToggleConnection();
  EXPECT_EQ(host_.errors.back(), "PortSettingsRefused|" + slavePath_ + "|Invalid argument");
  EXPECT_FALSE(controller_.IsConnected());
  EXPECT_EQ(host_.captions.back(), "&Start");
}

TEST_F(SerialControllerTest, AnUnpluggedReceiverDisconnectsWithAMessage) {
  controller_.ToggleConnection();
  ASSERT_TRUE(controller_.IsConnected());
  close(master_);
  master_ = -1;
  ASSERT_TRUE(host_.RunUntil([&] { return !controller_.IsConnected(); }));
  EXPECT_EQ(host_.errors, std::vector<std::string>({"ConnectionLost|" + slavePath_ + "|device hung up"}));
  EXPECT_EQ(host_.captions.back(), "&Start");
  EXPECT_EQ(host_.running, ConnectionTimer::None);
}

TEST_F(SerialControllerTest, ALossReportedAfterTheUserDisconnectedIsIgnored) {
  controller_.ToggleConnection();
  ASSERT_TRUE(controller_.IsConnected());
  controller_.ToggleConnection();  // the user stops first
  close(master_);
  master_ = -1;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  host_.RunPosted();
  EXPECT_TRUE(host_.errors.empty());
}

TEST_F(SerialControllerTest, NoLineArrivesAfterTheDisconnect) {
  controller_.ToggleConnection();
  ASSERT_TRUE(controller_.IsConnected());
  std::string burst;
  for (int i = 0; i < 200; ++i) burst += kGga + "\r\n";
  ASSERT_GT(write(master_, burst.data(), burst.size()), 0);
  ASSERT_TRUE(host_.RunUntil([&] { return host_.logged.size() >= 3; }));
  controller_.ToggleConnection();
  const std::size_t seen = host_.logged.size();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  host_.RunPosted();  // tasks still queued from the reader do nothing now
  EXPECT_EQ(host_.logged.size(), seen);
}

TEST(DeviceStartupStrings, OnlyTheTwoReceiversThatNeedThem) {
  EXPECT_TRUE(DeviceStartupStrings(GpsType::SerialNmea).empty());
  EXPECT_TRUE(DeviceStartupStrings(GpsType::Bluetooth).empty());
  EXPECT_EQ(DeviceStartupStrings(GpsType::DeLorme).size(), 6u);
  EXPECT_EQ(DeviceStartupStrings(GpsType::Garmin).size(), 6u);
  EXPECT_EQ(DeviceStartupStrings(GpsType::Garmin).back(), "$PGRMC,,,,,,,,,,3,,2,0\r\n");
}

// A network source: its lines reach the fix and the re-server's clients; a
// server that goes is reported while the controller stays connected and
// reconnects; the re-server closes with the connection.
TEST_F(ControllerTest, ATcpSourceFeedsTheFixAndTheReServerAndALostServerIsReportedWhileItReconnects) {
  test::LoopbackServer server;
  settings_.sourceKind = SourceKind::TcpClient;
  settings_.tcpHost = "127.0.0.1";
  settings_.tcpPort = server.port();
  settings_.serveLines = true;
  settings_.servePort = test::FreePort();
  controller_.ToggleConnection();
  ASSERT_TRUE(controller_.IsConnected());
  ASSERT_TRUE(server.Accept());
  const int client = test::ConnectLoopback(settings_.servePort);
  ASSERT_GE(client, 0);
  // Lines until the re-server has taken the client on.
  std::string served;
  for (int i = 0; i < 100 && served.empty(); ++i) {
    ASSERT_TRUE(server.Send(kGga + "\r\n"));
    ASSERT_TRUE(host_.RunUntil([&] { return !host_.logged.empty() && host_.logged.back() == kGga; }));
    host_.logged.clear();
    served = test::ReadLinesFrom(client, 1, std::chrono::milliseconds(20));
  }
  ASSERT_EQ(served, kGga + "\r\n");
  ASSERT_TRUE(server.Send(kRmc + "\r\n"));
  ASSERT_TRUE(host_.RunUntil([&] { return listener_.rmc > 0; }));
  EXPECT_EQ(test::ReadLinesFrom(client, 1), kRmc + "\r\n");
  EXPECT_NEAR(controller_.fix().position.latitude, 48.1173, 1e-4);

  const std::string where = "tcp://127.0.0.1:" + std::to_string(server.port());
  server.CloseClient();
  ASSERT_TRUE(host_.RunUntil([&] { return !host_.errors.empty(); }));
  EXPECT_EQ(host_.errors,
            std::vector<std::string>{"ConnectionLost|" + where + "|the server closed the connection; reconnecting"});
  EXPECT_TRUE(controller_.IsConnected());
  ASSERT_TRUE(server.Accept(std::chrono::seconds(2)));
  ASSERT_TRUE(server.Send(kGga + "\r\n"));
  ASSERT_TRUE(host_.RunUntil([&] { return !host_.logged.empty() && host_.logged.back() == kGga; }));

  controller_.ToggleConnection();
  EXPECT_EQ(test::ConnectLoopback(settings_.servePort), -1);
  ::close(client);
  EXPECT_EQ(host_.errors.size(), 1u);
}

}  // namespace
}  // namespace tarvo
