// The program's settings as one typed record, and the location service
// account. Every field is listed once, with its key, in ForEachSetting:
// loading, saving, range checks and telling what changed all walk that list,
// so a new setting is one line there and one row in the key table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/geo/coord_format.h"
#include "core/geo/coordinates.h"
#include "core/geo/units.h"
#include "core/gps/connection_controller.h"
#include "core/settings/keys.h"
#include "core/settings/settings_store.h"

namespace tarvo {

// Setting "FmtTime": how fix times are shown.
enum class TimeDisplay : uint8_t { Utc = 0, Local = 1 };

struct Settings {
  // Port, line settings, receiver type, replay, position source, filter and
  // uploads: what the connection controller reads.
  ConnectionSettings connection;
  int32_t port = 1;            // "Port": the old port number, kept for other programs
  int32_t altitudeOffset = 0;  // metres taken off the altitude shown
  bool autoStart = false;
  CoordFormat coordFormat = CoordFormat::WgsDms;
  SpeedUnit speedUnit = SpeedUnit::Kmh;
  DistanceUnit distanceUnit = DistanceUnit::Metric;  // also altitudes and accuracies
  TimeDisplay timeDisplay = TimeDisplay::Utc;
  LatLon defaultPosition;  // degrees; shown until the receiver has a fix
  bool accurateDatum = false;  // national grids through PROJ (core/proj), else the built-in shifts

  friend bool operator==(const Settings&, const Settings&) = default;
};

// Calls visit(key, field) for every field of `s` (const or not), in key order.
template <class S, class Visit>
void ForEachSetting(S& s, Visit&& visit) {
  auto& c = s.connection;
  visit(Key::Port, s.port);
  visit(Key::PortName, c.portName);
  visit(Key::Speed, c.speed);
  visit(Key::Parity, c.parity);
  visit(Key::Databits, c.databits);
  visit(Key::Stopbits, c.stopbits);
  visit(Key::GpsType, c.gpsType);
  visit(Key::Emulation, c.emulation);
  visit(Key::EmulationSpeed, c.emulationSpeed);
  visit(Key::UseRmc, c.useRmc);
  visit(Key::AltitudeOffset, s.altitudeOffset);
  visit(Key::AutoStart, s.autoStart);
  visit(Key::AccuracyEnable, c.filter.accuracyEnable);
  visit(Key::AccuracyGps, c.filter.accuracyGps);
  visit(Key::AccuracyMinimum, c.filter.accuracyMinimum);
  visit(Key::SpeedMinimum, c.filter.speedMinimum);
  visit(Key::FmtPos, s.coordFormat);
  visit(Key::FmtSpeed, s.speedUnit);
  visit(Key::FmtDist, s.distanceUnit);
  visit(Key::FmtTime, s.timeDisplay);
  visit(Key::Update, c.update);
  visit(Key::Upload, c.upload);
  visit(Key::LatDefault, s.defaultPosition.latitude);
  visit(Key::LonDefault, s.defaultPosition.longitude);
  visit(Key::ReplayRealTime, c.replayRealTime);
  visit(Key::SourceKind, c.sourceKind);
  visit(Key::GpsdHost, c.gpsdHost);
  visit(Key::GpsdPort, c.gpsdPort);
  visit(Key::TcpHost, c.tcpHost);
  visit(Key::TcpPort, c.tcpPort);
  visit(Key::UdpPort, c.udpPort);
  visit(Key::ServeLines, c.serveLines);
  visit(Key::ServePort, c.servePort);
  visit(Key::ServeRemote, c.serveRemote);
  visit(Key::AccurateDatum, s.accurateDatum);
}

// Writes ProgramPath = `programPath` and TodayFix = 0 (for other programs to
// read), then reads every field: number texts as the key table says (the
// accuracy and speed values with 2 decimals, the default position with 5,
// AltitudeOffset as the whole part of its leading number). A value outside
// its key's range loads as the key's default (which the next save then
// writes); stop bits of one and a half load as two, which a port can use.
Settings LoadSettings(SettingsStore& store, const std::string& programPath);

// Saves every field in one write, number texts with the key table's written
// decimals ("%.1f" accuracy and speed values, "%.5f" positions, whole
// altitude offsets). ProgramPath and TodayFix are not written. False when the
// file could not be written.
bool SaveSettings(SettingsStore& store, const Settings& settings);

// Writes only the fields of `keys`, in one write.
bool SaveSettingKeys(SettingsStore& store, const Settings& settings, const std::vector<Key>& keys);

// `s` with every field its key does not allow set to the key's default.
Settings WithinRange(Settings s);

// The keys whose fields differ between `a` and `b`, in key order.
std::vector<Key> ChangedKeys(const Settings& a, const Settings& b);

// The location service account. Each field holds at most 23 characters.
struct Account {
  static constexpr std::size_t kMaxField = 23;
  std::string username;
  std::string password;
};

// The password is stored as its Base64 code, never as plain text. A code that
// does not decode gives an empty password.
Account LoadAccount(const SettingsStore& store);
// Cuts each field to 23 characters and saves both in one write.
bool SaveAccount(SettingsStore& store, const Account& account);

}  // namespace tarvo
