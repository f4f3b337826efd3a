#include "core/gps/connection_controller.h"

#include <algorithm>
#include <utility>

#include "core/gps/line_handoff.h"
#include "core/gps/serial_link.h"

namespace tarvo {

std::vector<std::string_view> DeviceStartupStrings(int gpsType) {
  switch (static_cast<GpsType>(gpsType)) {
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
    if (!link->Open(path, writeAccess)) return Failure::Open;
    if (!link->Configure(s.speed, s.databits, 1, s.parity, s.stopbits)) return Failure::Configure;
    if (!link->SetTimeouts()) return Failure::Timeouts;
    if (writeAccess) {
      for (std::string_view text : startup) link->WriteText(text);  // results ignored
    }
    source = std::move(link);
    return Failure::None;
  }
};

}  // namespace

std::unique_ptr<SerialOpener> MakeSerialOpener() { return std::make_unique<DefaultSerialOpener>(); }

// The file being replayed, one line per tick.
struct ConnectionController::ReplayFile {
  std::FILE* file = nullptr;
  LineRing ring;
  std::string line;
  ~ReplayFile() {
    if (file) std::fclose(file);
  }
  bool AtEnd() const {
    const int c = std::fgetc(file);
    if (c == EOF) return true;
    std::ungetc(c, file);
    return false;
  }
  // Reads the next line without its line end; false at the end of the file.
  bool Next() {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(file)) != EOF) {
      any = true;
      if (c == '\n') break;
      line.push_back(static_cast<char>(c));
    }
    if (!any) return false;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return true;
  }
};

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
  return settings_.useRmc ? state_.rmcFix.valid != 0 : state_.gpsFix.fixQuality != 0;
}

ConnectionController::Led ConnectionController::StatusLed() const {
  if (!connected_ || !HasFix()) return Led::Red;
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

void ConnectionController::Connect() {
  connected_ = true;
  ++generation_;
  // The last fix stays where it was until the new connection delivers one.
  state_.Clear();
  if (!settings_.useRmc) state_.rmcFix.rawMode = 1;
  host_.SetConnected(true);
  for (FixListener* l : listeners_) l->OnConnectionChanged(true);
  Notify(&FixListener::OnGgaChanged);
  Notify(&FixListener::OnRmcChanged);
  Notify(&FixListener::OnSatellitesChanged);
  Notify(&FixListener::OnPrecisionChanged);
  if (settings_.useRmc) Notify(&FixListener::OnPositionChanged);

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
    replay->file = std::fopen(replayPath_.c_str(), "rb");
    if (!replay->file) {
      Fail(messages::kCannotOpenReplay);
      return;
    }
    replay_ = std::move(replay);
    // Lines per second, 1 to 4; anything else would divide by zero or spin.
    int speed = std::clamp(settings_.emulationSpeed, 1, 4);
    if (!host_.StartTimer(kReplayTimerId, 1000 / speed)) {
      Fail(messages::kCannotCreateTimer);
      return;
    }
    timerId_ = kReplayTimerId;
    return;
  }

  std::string path = settings_.portName;
  if (path.empty() && portFinder_) path = portFinder_();
  if (path.empty()) {
    Fail(messages::kCannotOpenPort);
    return;
  }
  const bool writeAccess = settings_.gpsType == static_cast<int>(GpsType::DeLorme) ||
                           settings_.gpsType == static_cast<int>(GpsType::Garmin);
  std::unique_ptr<LineSource> source;
  switch (opener_->OpenPort(path, writeAccess, settings_, DeviceStartupStrings(settings_.gpsType), source)) {
    case SerialOpener::Failure::Open:
      Fail(messages::kCannotOpenPort);
      return;
    case SerialOpener::Failure::Configure:
      Fail(messages::kCannotSetPort);
      return;
    case SerialOpener::Failure::Timeouts:
      Fail(messages::kCannotSetTimeouts);
      return;
    case SerialOpener::Failure::None:
      break;
  }
  source_ = std::move(source);

  // Lines reach OnSentence on the main thread, one at a time; the reader waits
  // for each. A loss report is posted too, tagged with this connection.
  handoff_ = std::make_shared<LineHandoff>(
      [this](std::function<void()> task) { host_.PostToMainThread(std::move(task)); },
      [this](std::string_view line) { OnSentence(line); });
  const uint64_t generation = generation_;
  auto onLost = handoff_->AsLostCallback([this, generation](const std::string&) { ConnectionLost(generation); });
  if (!source_->Start(handoff_->AsCallback(), onLost)) {
    Fail(messages::kCannotStartReader);
    return;
  }
  // At least one second, so an "Update" of 0 cannot make the timer spin.
  if (!host_.StartTimer(kUploadTimerId, std::max(settings_.update, 1) * 1000)) {
    Fail(messages::kCannotCreateTimer);
    return;
  }
  timerId_ = kUploadTimerId;
}

void ConnectionController::Fail(std::string_view message) {
  host_.ShowError(message);
  Disconnect();
}

void ConnectionController::Disconnect() {
  connected_ = false;
  host_.SetConnected(false);
  host_.RedrawStatusLed();
  if (timerId_ != 0) {
    host_.StopTimer(timerId_);
    timerId_ = 0;
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
  // A loss reported just before the Close must not reach a later connection.
  if (handoff_) handoff_->Cancel();
  handoff_.reset();
}

void ConnectionController::ConnectionLost(uint64_t generation) {
  if (closing_ || !connected_ || generation != generation_ || !source_) return;
  Disconnect();
  host_.ShowError(messages::kConnectionLost);
}

void ConnectionController::Shutdown() {
  if (closing_) return;
  closing_ = true;
  CloseSource();
  replay_.reset();
  if (timerId_ != 0) {
    host_.StopTimer(timerId_);
    timerId_ = 0;
  }
  connected_ = false;
}

void ConnectionController::OnTimer(int id) {
  if (closing_) return;
  if (id == kReplayTimerId) {
    ReplayTick();
    return;
  }
  if (id != kUploadTimerId) return;
  if (!connected_ || !settings_.upload || state_.gpsFix.fixQuality == 0) return;
  const int64_t now = host_.NowUtc();
  if (lastUploadTime_ != 0 && settings_.update >= now - lastUploadTime_) return;
  if (host_.UploadPosition()) lastUploadTime_ = now;
}

bool ConnectionController::ReplayTick() {
  if (!replay_ || closing_) return false;
  if (!replay_->Next()) {
    if (connected_) Disconnect();
    return false;
  }
  std::string_view line = replay_->ring.Store(replay_->line);
  OnSentence(line);
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
  if (result.status != SentenceStatus::Parsed) return;

  GpsFix& gga = state_.gpsFix;
  RmcFix& rmc = state_.rmcFix;
  switch (result.kind) {
    case SentenceKind::Gga: {
      Notify(&FixListener::OnGgaChanged);
      host_.TrackPosition({line, true, gga.fixQuality, gga.fixTime, gga.latitude, gga.longitude, gga.altitude});
      if (!settings_.useRmc) {
        host_.RedrawStatusLed();
        host_.PositionBroadcast();
      }
      ++ggaCount_;
      // A receiver that sends far more GGA than RMC gets GGA as its position
      // source. Skipped in the one call in which the counter wraps to 0.
      if (ggaCount_ != 0 && rmcCount_ > 0 && (ggaCount_ > 10 || rmcCount_ > 10) &&
          ggaCount_ / rmcCount_ > 11) {
        settings_.useRmc = false;
        rmc.rawMode = 1;
      }
      break;
    }
    case SentenceKind::Rmc:
      Notify(&FixListener::OnRmcChanged);
      if (settings_.useRmc) {
        gga.latitude = rmc.latitude;
        gga.longitude = rmc.longitude;
        gga.fixQuality = rmc.valid;
        gga.fixTime = rmc.fixTime;
        Notify(&FixListener::OnPositionChanged);
        host_.RedrawStatusLed();
        host_.TrackPosition({line, false, rmc.valid, rmc.fixTime, rmc.latitude, rmc.longitude, 0.0});
        host_.PositionBroadcast();
      }
      ++rmcCount_;
      break;
    case SentenceKind::Gsv:
      if (GsvCycleComplete(state_.satelliteView)) {
        Notify(&FixListener::OnSatellitesChanged);
        ClearGsvCycle(state_.satelliteView);
      }
      break;
    case SentenceKind::Gsa:
      Notify(&FixListener::OnPrecisionChanged);
      break;
    case SentenceKind::Pgrmz:
      Notify(&FixListener::OnAltitudeChanged);
      break;
    case SentenceKind::Pgrme:
    case SentenceKind::None:
      break;
  }
}

}  // namespace tarvo
