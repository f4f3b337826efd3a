// The one table of every setting: name, kind, default. Nothing else in the
// program spells a key string; code names a setting by its Key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tarvo {

// The settings section every part of the program uses.
inline constexpr std::string_view kSettingsSection = "Pathlet";

enum class SettingKind : uint8_t { Int, Text };

enum class Key : uint8_t {
  ProgramPath, TodayFix,
  Port, PortName, Speed, Parity, Databits, Stopbits, GpsType,
  Emulation, EmulationSpeed, UseRmc, AltitudeOffset, AutoStart,
  AccuracyEnable, AccuracyGps, AccuracyMinimum, SpeedMinimum,
  FmtPos, FmtSpeed, FmtDist, FmtTime,
  Update, Upload, Username, Password, LatDefault, LonDefault,
  MapCenterOn, MapShowPosition, MapShowSpeed, MapShowDir, MapShowAltitude,
  MapShowPoi, MapShowPoiName, MapShowPoiInfo, MapShowRoute, MapShowTrip,
  MapFile, MapDrag, LogOptions, LogSave,
  TrackCompassMode, TrackSortOrder, TrackSortType, TrkFile,
  SatDrawMode, SatCompassMode, CourseCompassMode,
  TripActive, TripTime, TripUnits, TripMinDist, TripFile,
};
inline constexpr std::size_t kKeyCount = static_cast<std::size_t>(Key::TripFile) + 1;

// Capacities of text settings (characters + 1, as in a C buffer): a stored text
// of `capacity` or more characters reads as the default.
inline constexpr std::size_t kDecimalCapacity = 16;   // "%.1f" / "%.5f" numbers
inline constexpr std::size_t kAccountCapacity = 24;   // user name: 23 characters
inline constexpr std::size_t kPasswordCodeCapacity = 33;  // Base64 of 23 (or 24) bytes: 32
inline constexpr std::size_t kPathCapacity = 4096;    // PATH_MAX on Linux

struct KeyInfo {
  std::string_view name;         // as stored in the file
  SettingKind kind;
  int32_t intDefault;            // Int keys
  std::string_view textDefault;  // Text keys; for inUserFolder keys the file name
  bool inUserFolder;             // default is textDefault in UserDataDir()
  std::size_t capacity;          // Text keys: read capacity
};

const KeyInfo& Info(Key key);

// The key of a stored name, exact spelling; nullopt when the table has none.
std::optional<Key> FindKey(std::string_view name);

}  // namespace tarvo
