// The connection controller: connects to the receiver (a serial device) or to
// a recorded NMEA file, takes every line on the main thread, has it logged and
// parsed, and tells the pages what changed.
//
// It knows no window system. The program binds its interfaces: the host (the
// sheet: captions, message boxes, the file dialog, thread hand-over), the
// timers and the clock, and the listeners (pages).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/gps/line_source.h"
#include "core/gps/nmea.h"
#include "core/gps/records.h"
#include "core/gps/replay_file.h"

namespace tarvo {

class SerialLink;

// The timers of a running connection: one of them at a time, only while
// connected. Upload ticks every "Update" seconds; Replay hands on the lines of
// a replayed file.
enum class ConnectionTimer : uint8_t { None, Upload, Replay };

// Receiver types ("GPSType").
enum class GpsType : int { SerialNmea = 0, DeLorme = 1, Garmin = 2, Bluetooth = 3 };

// The failure messages shown to the user, each followed by a full disconnect.
namespace messages {
inline constexpr std::string_view kCannotOpenReplay = "Error: Unable to open emulation file!";
inline constexpr std::string_view kCannotCreateTimer = "Error: Unable to create timer!";
inline constexpr std::string_view kCannotOpenPort = "Error: Cannot open port!";
inline constexpr std::string_view kCannotSetPort = "Error: Cannot set port settings!";
inline constexpr std::string_view kCannotSetTimeouts = "Error: Cannot set port timeouts!";
inline constexpr std::string_view kCannotStartReader = "Error: Cannot launch reader thread!";
inline constexpr std::string_view kConnectionLost = "Error: GPS connection lost!";
}  // namespace messages

// The filter of the replay file dialog: description and pattern pairs.
inline constexpr std::string_view kReplayFileFilter = "NMEA Files (*.nmea)|*.nmea|All Files (*.*)|*.*||";

// The device start-up strings written for each receiver type.
std::vector<std::string_view> DeviceStartupStrings(int gpsType);

// What the controller reads of the settings at each use. The owner keeps it
// current (the hardware page changes it while connected); line settings take
// effect at the next connect, the filter and the position source at once.
struct ConnectionSettings {
  std::string portName;  // device path; empty = the first port found
  int speed = 4800;
  int parity = 0;
  int databits = 8;
  int stopbits = 0;
  int gpsType = 3;
  bool emulation = false;
  int emulationSpeed = 1;  // lines per second, 1..4
  // 0: replay at emulationSpeed lines per second; 1, 2, 4, 8: pace the file by
  // its recorded fix times, that many times faster than they were recorded.
  int replayRealTime = 0;
  bool useRmc = true;      // RMC is the position source; the controller may switch it off
  int update = 15;         // upload period, seconds
  bool upload = false;
  FilterSettings filter;
};

// The track recorder's view of one position sentence.
struct TrackInput {
  std::string_view line;
  bool isGga = false;
  int32_t fixQuality = 0;  // or RMC valid
  int64_t fixTime = 0;
  double latitude = 0.0;
  double longitude = 0.0;
  double altitude = 0.0;  // 0 for RMC
};

// What pages are told after each sentence. Every listener hears every event
// and refreshes what it shows (or nothing while it is hidden).
class FixListener {
 public:
  virtual ~FixListener() = default;
  virtual void OnGgaChanged() {}
  virtual void OnRmcChanged() {}           // course and speed
  virtual void OnPositionChanged() {}      // RMC is the position source and moved it
  virtual void OnSatellitesChanged() {}    // a GSV cycle completed
  virtual void OnPrecisionChanged() {}     // GSA
  virtual void OnAltitudeChanged() {}      // PGRMZ
  virtual void OnConnectionChanged(bool /*connected*/) {}
};

// Services of the program around the controller.
class ControllerHost {
 public:
  virtual ~ControllerHost() = default;
  // Caption of the connect button: "&Start" while disconnected, "&Stop" while connected.
  virtual void SetConnected(bool connected) = 0;
  // A modal message box with the error icon.
  virtual void ShowError(std::string_view message) = 0;
  // The replay file dialog, starting at `path`; empty when cancelled.
  virtual std::optional<std::string> AskReplayFile(const std::string& path) = 0;
  // Redraws the status indicator of the active page.
  virtual void RedrawStatusLed() {}
  // The active map or POI page follows the new position.
  virtual void PositionBroadcast() {}
  // Every line, before parsing, for the NMEA log.
  virtual void LogLine(std::string_view /*line*/) {}
  // Every position sentence, for the track recorder.
  virtual void TrackPosition(const TrackInput& /*input*/) {}
  // The location service uploads the current position; true when it did.
  virtual bool UploadPosition() { return false; }
  // Milliseconds of a monotonic clock (any origin); paces real-time replays.
  virtual int64_t MonotonicMs();
  // Runs `task` on the main thread later (queued); may be called from any thread.
  virtual void PostToMainThread(std::function<void()> task) = 0;
  // Starts or stops a repeating timer; the host calls OnTimer(id) at each tick.
  virtual bool StartTimer(ConnectionTimer timer, int periodMs) = 0;
  virtual void StopTimer(ConnectionTimer timer) = 0;
  // Seconds since 1970-01-01 UTC.
  virtual int64_t NowUtc() = 0;
};

// Opens the line source of a serial connection. The default opens a
// SerialLink on the device; tests may pass another.
class SerialOpener {
 public:
  virtual ~SerialOpener() = default;
  enum class Failure { None, Open, Configure, Timeouts };
  // Opens and configures the port; when `writeAccess`, `startup` is written
  // to the receiver once the source runs, from its own thread.
  virtual Failure OpenPort(const std::string& path, bool writeAccess, const ConnectionSettings& s,
                           const std::vector<std::string_view>& startup,
                           std::unique_ptr<LineSource>& source) = 0;
  // errno of the last failure of OpenPort; 0 when unknown.
  virtual int lastError() const { return 0; }
};

// The second line of a port failure message: what went wrong, in words, with
// a hint where the user can do something about it.
std::string PortFailureReason(int error);

std::unique_ptr<SerialOpener> MakeSerialOpener();

class ConnectionController {
 public:
  ConnectionController(ControllerHost& host, ConnectionSettings& settings);
  ~ConnectionController();
  ConnectionController(const ConnectionController&) = delete;
  ConnectionController& operator=(const ConnectionController&) = delete;

  void AddListener(FixListener* listener);
  void RemoveListener(FixListener* listener);
  void SetSerialOpener(std::unique_ptr<SerialOpener> opener);
  // Finds the port to open when "PortName" is empty.
  void SetPortFinder(std::function<std::string()> finder);

  // Connects when disconnected, disconnects when connected.
  void ToggleConnection();
  bool IsConnected() const { return connected_; }
  bool IsReplay() const { return replay_ != nullptr; }

  // Replay file for the next connect, and whether to ask for it first.
  void SetReplayPath(std::string path) { replayPath_ = std::move(path); }
  const std::string& replayPath() const { return replayPath_; }
  void SetAskForReplayFile(bool ask) { askForReplayFile_ = ask; }

  // One NMEA line, on the main thread.
  void OnSentence(std::string_view line);
  // A timer of the connection fired.
  void OnTimer(ConnectionTimer timer);
  // One replay step: reads and hands on the next line; disconnects at the end.
  // Returns false when the replay has ended (or none runs).
  bool ReplayTick();
  // A tick of a real-time replay: hands on every line that is due by now (at
  // most kMaxLinesPerTick); disconnects at the end.
  bool ReplayDueLines();
  static constexpr int kRealTimeTickMs = 50;
  static constexpr int kMaxLinesPerTick = 500;
  // True when a replay runs and its file has no further line.
  bool ReplayAtEnd() const;

  // The program is closing: lines arriving from now on are dropped; the link,
  // the replay file and the timer are closed.
  void Shutdown();

  ReceiverState& state() { return state_; }
  const ReceiverState& state() const { return state_; }
  uint32_t ggaCount() const { return ggaCount_; }
  uint32_t rmcCount() const { return rmcCount_; }
  int64_t lastUploadTime() const { return lastUploadTime_; }
  void SetLastUploadTime(int64_t t) { lastUploadTime_ = t; }
  // The last position that came with a fix (or the stored start position):
  // what the program saves at exit and shows until a new fix arrives.
  LatLon lastKnownPosition() const { return lastKnown_; }
  void SetLastKnownPosition(LatLon position);
  // The current fix flag: RMC valid while RMC is the position source, else the GGA quality.
  bool HasFix() const;
  // The indicator every page shows: red while disconnected or without a fix,
  // yellow when the precision is poorer than the accuracy threshold (whether
  // or not the filter is on), green otherwise.
  enum class Led { Red, Yellow, Green };
  Led StatusLed() const;

 private:
  void Connect();
  void Disconnect();
  void Fail(std::string_view message, const std::string& detail = {});
  void KeepLastKnownPosition(bool sentenceHasFix);
  void ConnectionLost(uint64_t generation, const std::string& reason);
  void CloseSource();
  template <class F>
  void Notify(F f) {
    for (FixListener* l : listeners_) (l->*f)();
  }

  ControllerHost& host_;
  ConnectionSettings& settings_;
  std::unique_ptr<SerialOpener> opener_;
  std::function<std::string()> portFinder_;
  std::vector<FixListener*> listeners_;

  ReceiverState state_;
  bool connected_ = false;
  bool closing_ = false;
  ConnectionTimer timer_ = ConnectionTimer::None;
  uint64_t generation_ = 0;  // counts connections, so a late loss report of an old one is ignored
  std::unique_ptr<LineSource> source_;
  std::unique_ptr<ReplayFile> replay_;
  std::unique_ptr<ReplayPacer> pacer_;  // real-time replays only
  std::optional<int64_t> nextDueMs_;    // when the next line of a real-time replay is due
  LatLon lastKnown_;
  std::string replayPath_;
  bool askForReplayFile_ = true;
  uint32_t ggaCount_ = 0;
  uint32_t rmcCount_ = 0;
  int64_t lastUploadTime_ = 0;
  std::shared_ptr<class LineHandoff> handoff_;
};

}  // namespace tarvo
