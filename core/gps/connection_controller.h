// The connection controller: connects to the receiver (a serial device) or to
// a recorded NMEA file, takes every line on the main thread, has it logged and
// parsed, and publishes the one Fix value with a mask of what changed.
//
// It knows no window system. The program binds its interfaces: the host (the
// window: captions, error reports, the file dialog, thread hand-over), the
// timers and the clock, and the fix listeners (pages, recorder, uploader).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/gps/fix.h"
#include "core/gps/line_source.h"
#include "core/gps/nmea.h"
#include "core/gps/records.h"
#include "core/gps/replay_file.h"
#include "core/gps/source_kind.h"
#include "core/gps/stream_health.h"

namespace tarvo {

class LineReserver;
class SerialLink;

// The timers of a running connection: one of them at a time, only while
// connected. Upload ticks every "Update" seconds; Replay hands on the lines of
// a replayed file.
enum class ConnectionTimer : uint8_t { None, Upload, Replay };

// Receiver types ("GPSType").
enum class GpsType : int { SerialNmea = 0, DeLorme = 1, Garmin = 2, Bluetooth = 3 };

// Why a connection failed or ended; each is followed by a full disconnect.
enum class ConnectionFailure : uint8_t {
  ReplayUnreadable,   // the replay file cannot be opened
  TimerUnavailable,   // the host could not start the connection's timer
  NoPortFound,        // no device path set and none found
  PortUnopenable,     // the device cannot be opened
  PortSettingsRefused,  // the device refused the line settings
  PortTimeoutsRefused,  // the device refused the read timeouts
  ReaderNotStarted,   // the reader thread could not be started
  ConnectionLost,     // the device went away while connected
};

struct ConnectionError {
  ConnectionFailure failure = ConnectionFailure::ConnectionLost;
  std::string where;   // the device or file path; empty when none
  int error = 0;       // errno of the failure; 0 when unknown
  std::string detail;  // ConnectionLost: what the reader saw, in its words
};

// The device start-up strings written for each receiver type.
std::vector<std::string_view> DeviceStartupStrings(GpsType gpsType);

// What the controller reads of the settings at each use. The owner keeps it
// current (the hardware page changes it while connected); line settings take
// effect at the next connect, the filter and the position source at once.
struct ConnectionSettings {
  std::string portName;  // device path; empty = the first port found
  int speed = 4800;
  int parity = 0;
  int databits = 8;
  int stopbits = 0;
  GpsType gpsType = GpsType::Bluetooth;
  bool emulation = false;
  int emulationSpeed = 1;  // lines per second, 1..4
  // 0: replay at emulationSpeed lines per second; 1, 2, 4, 8: pace the file by
  // its recorded fix times, that many times faster than they were recorded.
  int replayRealTime = 0;
  bool useRmc = true;      // RMC is the position source; the controller may switch it off
  int update = 15;         // upload period, seconds
  bool upload = false;
  FilterSettings filter;
  // The source of the lines; the network kinds ignore the line settings above.
  SourceKind sourceKind = SourceKind::Serial;
  std::string gpsdHost = "127.0.0.1";
  int gpsdPort = kGpsdDefaultPort;
  std::string tcpHost;  // empty: not set (connecting fails with a message)
  int tcpPort = kNmeaDefaultPort;
  int udpPort = kNmeaDefaultPort;
  // Re-serving: every received line goes on to the TCP clients of servePort,
  // on the loopback interface only unless serveRemote.
  bool serveLines = false;
  int servePort = kNmeaDefaultPort;
  bool serveRemote = false;

  friend bool operator==(const ConnectionSettings&, const ConnectionSettings&) = default;
};

// Services of the program around the controller.
class ControllerHost {
 public:
  virtual ~ControllerHost() = default;
  // Caption of the connect button: "&Start" while disconnected, "&Stop" while connected.
  virtual void SetConnected(bool connected) = 0;
  // Tells the user why the connection failed or ended.
  virtual void ShowError(const ConnectionError& error) = 0;
  // The replay file dialog, starting at `path`; empty when cancelled.
  virtual std::optional<std::string> AskReplayFile(const std::string& path) = 0;
  // Every line, before parsing, for the NMEA log.
  virtual void LogLine(std::string_view /*line*/) {}
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

std::unique_ptr<SerialOpener> MakeSerialOpener();

class ConnectionController {
 public:
  ConnectionController(ControllerHost& host, ConnectionSettings& settings);
  ~ConnectionController();
  ConnectionController(const ConnectionController&) = delete;
  ConnectionController& operator=(const ConnectionController&) = delete;

  // Listeners hear every published fix and connection change, in the order
  // they were added.
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

  // The fix as last published.
  const Fix& fix() const { return fix_; }
  // The records behind it (tests and tools look inside).
  ReceiverState& state() { return state_; }
  const ReceiverState& state() const { return state_; }
  uint32_t ggaCount() const { return ggaCount_; }
  uint32_t rmcCount() const { return rmcCount_; }
  int64_t lastUploadTime() const { return lastUploadTime_; }
  void SetLastUploadTime(int64_t t) { lastUploadTime_ = t; }
  // The last position that came with a fix (or the stored start position):
  // what the program saves at exit and shows until a new fix arrives. Set
  // while disconnected, it is also the position of the records and the fix.
  LatLon lastKnownPosition() const { return lastKnown_; }
  void SetLastKnownPosition(LatLon position);
  // The current fix flag: RMC valid while RMC is the position source, else the GGA quality.
  bool HasFix() const;
  // The indicator every page shows: red while disconnected, without a fix or
  // while the stream is stale, yellow when the precision is poorer than the
  // accuracy threshold (whether or not the filter is on), green otherwise.
  enum class Led { Red, Yellow, Green };
  Led StatusLed() const;
  // How the current connection's stream is doing, as of now (the host's
  // monotonic clock), with the source's line speed; all zero while
  // disconnected.
  StreamHealthReport streamHealth() const;

 private:
  void Connect();
  void Disconnect();
  void Fail(ConnectionFailure failure, std::string where = {}, int error = 0);
  // Rebuilds fix_ from the records and tells the listeners.
  void Publish(FixChanges changes, SentenceKind kind, std::string_view line);
  void KeepLastKnownPosition(bool sentenceHasFix);
  void ConnectionLost(uint64_t generation, const std::string& reason);
  // A network source lost its peer and is winning it back: told, not ended.
  void ConnectionInterrupted(uint64_t generation, const std::string& reason);
  // The serial port of the settings, opened and configured; false after Fail.
  bool OpenSerialSource(std::string& path, std::unique_ptr<LineSource>& source);
  void CloseSource();

  ControllerHost& host_;
  ConnectionSettings& settings_;
  std::unique_ptr<SerialOpener> opener_;
  std::function<std::string()> portFinder_;
  std::vector<FixListener*> listeners_;

  ReceiverState state_;
  Fix fix_;
  bool connected_ = false;
  bool closing_ = false;
  ConnectionTimer timer_ = ConnectionTimer::None;
  uint64_t generation_ = 0;  // counts connections, so a late loss report of an old one is ignored
  std::unique_ptr<LineSource> source_;
  std::string sourcePath_;  // device of source_
  std::unique_ptr<ReplayFile> replay_;
  std::unique_ptr<ReplayPacer> pacer_;  // real-time replays only
  std::optional<int64_t> nextDueMs_;    // when the next line of a real-time replay is due
  LatLon lastKnown_;
  std::string replayPath_;
  bool askForReplayFile_ = true;
  uint32_t ggaCount_ = 0;
  uint32_t rmcCount_ = 0;
  StreamHealth health_;
  bool autoSpeed_ = false;  // the connected serial port hunts for its speed
  int64_t lastUploadTime_ = 0;
  std::shared_ptr<class LineHandoff> handoff_;
  std::unique_ptr<LineReserver> reserver_;  // while connected with "ServeLines"
};

}  // namespace tarvo
