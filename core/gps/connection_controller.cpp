#include "core/gps/connection_controller.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <utility>

#include "core/gps/line_handoff.h"
#include "core/gps/line_reserver.h"
#include "core/gps/net_source.h"
#include "core/gps/position_source.h"
#include "core/gps/serial_link.h"

namespace tarvo {

std::vector<std::string_view> DeviceStartupStrings(GpsType gpsType) {
  switch (gpsType) {
    case GpsType::DeLorme:
      return {"$PRWIILOG,RMC,A,T,1,0\r\n", "$PRWIILOG,GGA,A,T,1,0\r\n", "$PRWIILOG,GSA,A,T,1,0\r\n",
              "$PRWIILOG,GSV,A,T,1,0\r\n", "$PRWIILOG,ZCH,V,,,\r\n", "$PRWIINIT,V,,,,,,,0,0,M,0,T,,\r\n"};
    case GpsType::Garmin:
      return {"$PGRMO,,2\r\n",      "$PGRMO,GPRMC,1\r\n", "$PGRMO,GPGGA,1\r\n",
              "$PGRMO,GPGSA,1\r\n", "$PGRMO,GPGSV,1\r\n", "$PGRMC,,,,,,,,,,3,,2,0\r\n"};
    default:
      return {};
  }
}

namespace {

class DefaultSerialOpener : public SerialOpener {
 public:
  Failure OpenPort(const std::string& path, bool writeAccess, const ConnectionSettings& s,
                   const std::vector<std::string_view>& startup,
                   std::unique_ptr<LineSource>& source) override {
    auto link = std::make_unique<SerialLink>();
    error_ = 0;
    if (!link->Open(path, writeAccess)) return Fails(Failure::Open, *link);
    // "Auto" starts at the first speed of the hunt.
    const bool hunt = s.speed == kAutoSpeed;
    if (!link->Configure(hunt ? kHuntSpeeds.front() : s.speed, s.databits, 1, s.parity, s.stopbits) ||
        (hunt && !link->HuntSpeed(kHuntSpeeds))) {
      return Fails(Failure::Configure, *link);
    }
    if (!link->SetTimeouts()) return Fails(Failure::Timeouts, *link);
    // Written by the reader thread, so a slow or blocked port never holds up
    // the window; results are ignored.
    if (writeAccess) link->SetStartupText(std::vector<std::string>(startup.begin(), startup.end()));
    source = std::move(link);
    return Failure::None;
  }
  int lastError() const override { return error_; }

 private:
  Failure Fails(Failure failure, const SerialLink& link) {
    error_ = link.lastError();
    return failure;
  }
  int error_ = 0;
};

// A position that can stand for "where we are": on the globe and not the 0/0
// that receivers without a fix send.
bool IsRealPosition(double latitude, double longitude) {
  return std::isfinite(latitude) && std::isfinite(longitude) && std::abs(latitude) <= 90.0 &&
         std::abs(longitude) <= 180.0 && !(latitude == 0.0 && longitude == 0.0);
}

}  // namespace

int64_t ControllerHost::MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::unique_ptr<SerialOpener> MakeSerialOpener() { return std::make_unique<DefaultSerialOpener>(); }

ConnectionController::ConnectionController(ControllerHost& host, ConnectionSettings& settings)
    : host_(host), settings_(settings), opener_(MakeSerialOpener()) {}

ConnectionController::~ConnectionController() { Shutdown(); }

void ConnectionController::AddListener(FixListener* listener) {
  if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) {
    listeners_.push_back(listener);
  }
}

void ConnectionController::RemoveListener(FixListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void ConnectionController::SetSerialOpener(std::unique_ptr<SerialOpener> opener) {
  opener_ = std::move(opener);
}

void ConnectionController::SetPortFinder(std::function<std::string()> finder) {
  portFinder_ = std::move(finder);
}

bool ConnectionController::HasFix() const {
  return settings_.useRmc ? state_.rmcFix.valid : state_.gpsFix.fixQuality != 0;
}

ConnectionController::Led ConnectionController::StatusLed() const {
  if (!connected_ || !HasFix() || health_.Report(host_.MonotonicMs()).stale) return Led::Red;
  const double hdop = state_.dopInfo.hdop;
  if (hdop != 0.0 && hdop * settings_.filter.accuracyGps > settings_.filter.accuracyMinimum) return Led::Yellow;
  return Led::Green;
}

void ConnectionController::ToggleConnection() {
  if (closing_) return;
  if (connected_) {
    Disconnect();
  } else {
    Connect();
  }
}

StreamHealthReport ConnectionController::streamHealth() const {
  if (!connected_) return {};
  StreamHealthReport report = health_.Report(host_.MonotonicMs());
  if (source_) report.lineSpeed = source_->lineSpeed();
  report.autoSpeed = autoSpeed_;
  return report;
}

void ConnectionController::Connect() {
  connected_ = true;
  ++generation_;
  health_.Start(host_.MonotonicMs());
  autoSpeed_ = !settings_.emulation && settings_.sourceKind == SourceKind::Serial && settings_.speed == kAutoSpeed;
  // The receiver state starts afresh, but the position shown stays the last
  // known one until the new connection delivers a fix.
  state_.Clear();
  state_.gpsFix.latitude = state_.rmcFix.latitude = lastKnown_.latitude;
  state_.gpsFix.longitude = state_.rmcFix.longitude = lastKnown_.longitude;
  state_.smoothing.rmcUnsmoothed = !settings_.useRmc;
  host_.SetConnected(true);
  for (FixListener* l : listeners_) l->OnConnectionChanged(true);
  fix_.sentence.clear();
  Publish(kFixAll, SentenceKind::None, {});

  if (settings_.emulation) {
    if (askForReplayFile_) {
      std::optional<std::string> chosen = host_.AskReplayFile(replayPath_);
      if (!chosen) {
        Disconnect();
        return;
      }
      replayPath_ = *chosen;
    }
    auto replay = std::make_unique<ReplayFile>();
    if (!replay->Open(replayPath_)) {
      Fail(ConnectionFailure::ReplayUnreadable, replayPath_, errno);
      return;
    }
    replay_ = std::move(replay);
    pacer_.reset();
    nextDueMs_.reset();
    int period = 0;
    if (settings_.replayRealTime > 0) {
      // Paced by the file's own times: a short tick hands on what is due.
      pacer_ = std::make_unique<ReplayPacer>(std::clamp(settings_.replayRealTime, 1, 8));
      period = kRealTimeTickMs;
    } else {
      // Lines per second, 1 to 4; anything else would divide by zero or spin.
      period = 1000 / std::clamp(settings_.emulationSpeed, 1, 4);
    }
    if (!host_.StartTimer(ConnectionTimer::Replay, period)) {
      Fail(ConnectionFailure::TimerUnavailable);
      return;
    }
    timer_ = ConnectionTimer::Replay;
    return;
  }

  std::unique_ptr<LineSource> source;
  std::string path;
  if (settings_.sourceKind != SourceKind::Serial) {
    NetSourceConfig net;
    net.kind = settings_.sourceKind;
    net.host = settings_.sourceKind == SourceKind::Gpsd ? settings_.gpsdHost : settings_.tcpHost;
    net.port = settings_.sourceKind == SourceKind::Gpsd       ? settings_.gpsdPort
               : settings_.sourceKind == SourceKind::TcpClient ? settings_.tcpPort
                                                               : settings_.udpPort;
    path = NetSourceName(net);
    source = std::make_unique<NetSource>(std::move(net));
  } else if (!OpenSerialSource(path, source)) {
    return;
  }
  source_ = std::move(source);
  sourcePath_ = path;

  // Lines reach OnSentence on the main thread, one at a time; the reader waits
  // for each. A loss report is posted too, tagged with this connection.
  handoff_ = std::make_shared<LineHandoff>(
      [this](std::function<void()> task) { host_.PostToMainThread(std::move(task)); },
      [this](std::string_view line) { OnSentence(line); });
  const uint64_t generation = generation_;
  auto onLost = handoff_->AsLostCallback(
      [this, generation](const std::string& reason) { ConnectionLost(generation, reason); });
  // A network source that lost its peer says so once and keeps trying.
  source_->SetInterruptedCallback(handoff_->AsLostCallback(
      [this, generation](const std::string& reason) { ConnectionInterrupted(generation, reason); }));
  LineSource::LineCallback onLine = handoff_->AsCallback();
  if (settings_.serveLines) {
    // Re-serving is an extra: when its port cannot be had, the user is told
    // and the connection goes on without it.
    auto reserver = std::make_unique<LineReserver>();
    if (reserver->Start(settings_.servePort, settings_.serveRemote)) {
      reserver_ = std::move(reserver);
      // Passed on from the reader thread, before the hand-off waits for the window.
      onLine = [served = reserver_.get(), deliver = std::move(onLine)](std::string_view line,
                                                                       std::stop_token stop) {
        served->Publish(line);
        deliver(line, std::move(stop));
      };
    } else {
      host_.ShowError({ConnectionFailure::PortUnopenable,
                       "re-serving on TCP port " + std::to_string(settings_.servePort), reserver->lastError(), {}});
    }
  }
  if (!source_->Start(std::move(onLine), onLost)) {
    Fail(ConnectionFailure::ReaderNotStarted, path);
    return;
  }
  // At least one second, so an "Update" of 0 cannot make the timer spin.
  if (!host_.StartTimer(ConnectionTimer::Upload, std::max(settings_.update, 1) * 1000)) {
    Fail(ConnectionFailure::TimerUnavailable);
    return;
  }
  timer_ = ConnectionTimer::Upload;
}

bool ConnectionController::OpenSerialSource(std::string& path, std::unique_ptr<LineSource>& source) {
  path = settings_.portName;
  if (path.empty() && portFinder_) path = portFinder_();
  if (path.empty()) {
    Fail(ConnectionFailure::NoPortFound);
    return false;
  }
  const bool writeAccess = settings_.gpsType == GpsType::DeLorme || settings_.gpsType == GpsType::Garmin;
  const SerialOpener::Failure failure =
      opener_->OpenPort(path, writeAccess, settings_, DeviceStartupStrings(settings_.gpsType), source);
  switch (failure) {
    case SerialOpener::Failure::Open:
      Fail(ConnectionFailure::PortUnopenable, path, opener_->lastError());
      return false;
    case SerialOpener::Failure::Configure:
      Fail(ConnectionFailure::PortSettingsRefused, path, opener_->lastError());
      return false;
    case SerialOpener::Failure::Timeouts:
      Fail(ConnectionFailure::PortTimeoutsRefused, path, opener_->lastError());
      return false;
    case SerialOpener::Failure::None:
      break;
  }
  return true;
}

void ConnectionController::Fail(ConnectionFailure failure, std::string where, int error) {
  host_.ShowError({failure, std::move(where), error, {}});
  Disconnect();
}

void ConnectionController::SetLastKnownPosition(LatLon position) {
  if (!IsRealPosition(position.latitude, position.longitude)) return;
  lastKnown_ = position;
  // Until a connection brings a position of its own, this is the one shown.
  if (!connected_) {
    state_.gpsFix.latitude = state_.rmcFix.latitude = position.latitude;
    state_.gpsFix.longitude = state_.rmcFix.longitude = position.longitude;
    fix_.position = position;
  }
}

void ConnectionController::KeepLastKnownPosition(bool sentenceHasFix) {
  GpsFix& gga = state_.gpsFix;
  if (sentenceHasFix && IsRealPosition(gga.latitude, gga.longitude)) {
    lastKnown_ = {gga.latitude, gga.longitude};
    return;
  }
  // A receiver without a fix may send 0/0 or nonsense: keep showing where we were.
  if (!IsRealPosition(gga.latitude, gga.longitude)) {
    gga.latitude = lastKnown_.latitude;
    gga.longitude = lastKnown_.longitude;
  }
}

void ConnectionController::Disconnect() {
  connected_ = false;
  host_.SetConnected(false);
  if (timer_ != ConnectionTimer::None) {
    host_.StopTimer(timer_);
    timer_ = ConnectionTimer::None;
  }
  // What is closed follows the kind of connection that was opened.
  replay_.reset();
  CloseSource();
  for (FixListener* l : listeners_) l->OnConnectionChanged(false);
}

void ConnectionController::CloseSource() {
  if (source_) {
    source_->Close();
    source_.reset();
  }
  reserver_.reset();  // after the source: its reader publishes to it
  // A loss reported just before the Close must not reach a later connection.
  if (handoff_) handoff_->Cancel();
  handoff_.reset();
}

void ConnectionController::ConnectionLost(uint64_t generation, const std::string& reason) {
  if (closing_ || !connected_ || generation != generation_ || !source_) return;
  Disconnect();
  host_.ShowError({ConnectionFailure::ConnectionLost, sourcePath_, 0, reason});
}

void ConnectionController::ConnectionInterrupted(uint64_t generation, const std::string& reason) {
  if (closing_ || !connected_ || generation != generation_ || !source_) return;
  host_.ShowError({ConnectionFailure::ConnectionLost, sourcePath_, 0, reason});
}

void ConnectionController::Shutdown() {
  if (closing_) return;
  closing_ = true;
  CloseSource();
  replay_.reset();
  if (timer_ != ConnectionTimer::None) {
    host_.StopTimer(timer_);
    timer_ = ConnectionTimer::None;
  }
  connected_ = false;
}

void ConnectionController::OnTimer(ConnectionTimer timer) {
  if (closing_) return;
  if (timer == ConnectionTimer::Replay) {
    if (pacer_) {
      ReplayDueLines();
    } else {
      ReplayTick();
    }
    return;
  }
  if (timer != ConnectionTimer::Upload) return;
  if (!connected_ || !settings_.upload || fix_.quality == 0) return;
  const int64_t now = host_.NowUtc();
  if (lastUploadTime_ != 0 && settings_.update >= now - lastUploadTime_) return;
  if (host_.UploadPosition()) lastUploadTime_ = now;
}

bool ConnectionController::ReplayTick() {
  if (!replay_ || closing_) return false;
  const std::optional<std::string_view> line = replay_->Next();
  if (!line) {
    if (connected_) Disconnect();
    return false;
  }
  OnSentence(*line);
  return replay_ != nullptr;
}

bool ConnectionController::ReplayDueLines() {
  if (!replay_ || closing_) return false;
  if (!pacer_) return ReplayTick();
  const int64_t now = host_.MonotonicMs();
  for (int n = 0; n < kMaxLinesPerTick; ++n) {
    const std::optional<std::string_view> next = replay_->Peek();
    if (!next) {
      if (connected_) Disconnect();
      return false;
    }
    // Each line's time is worked out once, when it first comes up.
    if (!nextDueMs_) nextDueMs_ = pacer_->DueAt(*next, now);
    if (*nextDueMs_ > now) return true;
    nextDueMs_.reset();
    if (!ReplayTick()) return false;
  }
  return replay_ != nullptr;
}

bool ConnectionController::ReplayAtEnd() const { return replay_ && replay_->AtEnd(); }

void ConnectionController::OnSentence(std::string_view line) {
  if (closing_) return;
  host_.LogLine(line);

  ParseOptions options;
  options.filter = settings_.filter;
  options.nowUtc = host_.NowUtc();
  const DispatchResult result = DispatchSentence(line, state_, options);
  const int64_t nowMs = host_.MonotonicMs();
  health_.Count(line, result.status, nowMs);
  if (result.status != SentenceStatus::Parsed) return;

  GpsFix& gga = state_.gpsFix;
  RmcFix& rmc = state_.rmcFix;
  FixChanges changes = result.changes;
  switch (result.kind) {
    case SentenceKind::Gga: {
      KeepLastKnownPosition(gga.fixQuality != 0);
      // While RMC is the position source, GGA brings only its altitude and
      // satellite count.
      if (settings_.useRmc) changes &= ~(kFixPosition | kFixTime);
      ++ggaCount_;
      // A receiver that sends far more GGA than RMC, or no RMC at all, gets
      // GGA as its position source. Skipped in the one call in which the
      // counter wraps to 0.
      if (ggaCount_ != 0 && PreferGgaPositions(ggaCount_, rmcCount_)) {
        settings_.useRmc = false;
        state_.smoothing.rmcUnsmoothed = true;
      }
      break;
    }
    case SentenceKind::Rmc:
      if (settings_.useRmc) {
        gga.latitude = rmc.latitude;
        gga.longitude = rmc.longitude;
        gga.fixQuality = rmc.valid ? 1 : 0;
        gga.fixTime = rmc.fixTime;
        KeepLastKnownPosition(rmc.valid);
      } else {
        changes &= ~(kFixPosition | kFixTime | kFixQuality);
      }
      ++rmcCount_;
      break;
    case SentenceKind::Gsv:
      if (GsvCycleComplete(state_.satelliteView)) ClearGsvCycle(state_.satelliteView);
      break;
    case SentenceKind::Gsa:
    case SentenceKind::Pgrmz:
    case SentenceKind::Pgrme:
    case SentenceKind::None:
      break;
  }
  if ((result.kind == SentenceKind::Gga || result.kind == SentenceKind::Rmc) && HasFix()) health_.FixSeen(nowMs);
  if (changes != 0) Publish(changes, result.kind, line);
}

void ConnectionController::Publish(FixChanges changes, SentenceKind kind, std::string_view line) {
  const GpsFix& gga = state_.gpsFix;
  const RmcFix& rmc = state_.rmcFix;
  const DopInfo& dop = state_.dopInfo;
  fix_.valid = HasFix();
  fix_.position = {gga.latitude, gga.longitude};
  fix_.time = gga.fixTime;
  fix_.speedKnots = rmc.speedKnots;
  fix_.course = rmc.course;
  fix_.altitude = gga.altitude;
  fix_.geoidSeparation = gga.geoidSeparation;
  fix_.quality = gga.fixQuality;
  fix_.satellitesUsed = gga.satellitesUsed;
  fix_.mode = dop.fixMode;
  fix_.hdop = dop.hdop;
  fix_.vdop = dop.vdop;
  fix_.pdop = dop.pdop;
  fix_.positionHdop = gga.hdop;
  fix_.horizontalError = gga.horizontalError;
  fix_.verticalError = gga.verticalError;
  fix_.sphericalError = gga.sphericalError;
  fix_.positionFromRmc = settings_.useRmc;
  fix_.replay = IsReplay();
  if (kind == SentenceKind::Gga || kind == SentenceKind::Rmc) {
    fix_.source = kind;
    fix_.sentence.assign(line);
  }
  if (changes & (kFixSky | kFixPrecision)) fix_.sky = state_.sky.satellites();
  for (FixListener* l : listeners_) l->OnFix(fix_, changes);
}

}  // namespace tarvo
