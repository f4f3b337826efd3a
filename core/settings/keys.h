// The one table of every setting: name, kind, default and the values it may
// hold. Nothing else in the program spells a key string; code names a setting
// by its Key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
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
  ReplayRealTime, ServiceUrl,
  SourceKind, GpsdHost, GpsdPort, TcpHost, TcpPort, UdpPort, ServeLines, ServePort, ServeRemote,
  AccurateDatum,
};
inline constexpr std::size_t kKeyCount = static_cast<std::size_t>(Key::AccurateDatum) + 1;

// Capacities of text settings (characters + 1, as in a C buffer): a stored text
// of `capacity` or more characters reads as the default.
inline constexpr std::size_t kDecimalCapacity = 16;   // "%.1f" / "%.5f" numbers
inline constexpr std::size_t kAccountCapacity = 24;   // user name: 23 characters
inline constexpr std::size_t kPasswordCodeCapacity = 33;  // Base64 of 23 (or 24) bytes: 32
inline constexpr std::size_t kPathCapacity = 4096;    // PATH_MAX on Linux
inline constexpr std::size_t kHostCapacity = 254;     // a DNS name: 253 characters

// How a text key holding a number is read.
enum class TextNumber : uint8_t {
  None,     // not a number: any text within the capacity
  Decimal,  // ParseDecimal with `decimals` fractional digits
  Whole,    // the leading decimal number of the text (blanks, sign, digits,
            // fraction, exponent; what follows is ignored), cut to a whole number
};

struct KeyInfo {
  std::string_view name;         // as stored in the file
  SettingKind kind;
  int32_t intDefault;            // Int keys
  std::string_view textDefault;  // Text keys; for inUserFolder keys the file name
  bool inUserFolder;             // default is textDefault in UserDataDir()
  std::size_t capacity;          // Text keys: read capacity
  // Int keys: the values allowed, intMin..intMax, and of those only the
  // members of `allowed` when it is not empty.
  int32_t intMin = std::numeric_limits<int32_t>::min();
  int32_t intMax = std::numeric_limits<int32_t>::max();
  std::span<const int32_t> allowed = {};
  // Text keys holding a number: how it is read, how many decimals it is
  // written with ("%.Nf"; whole numbers as integers), and its range min..max.
  TextNumber number = TextNumber::None;
  int decimals = 0;
  int writtenDecimals = 0;
  double min = 0.0;
  double max = 0.0;
};

const KeyInfo& Info(Key key);

// True when `value` is one the Int key may hold. A stored value that is not
// reads as the default.
bool IsAllowed(Key key, int32_t value);

// The number a stored text of a number key stands for, read as the table
// says; nullopt when the text holds no number or one outside the key's
// range (it then reads as the default), and for keys that hold no number.
std::optional<double> ReadNumberText(Key key, std::string_view text);

// The key of a stored name, exact spelling; nullopt when the table has none.
std::optional<Key> FindKey(std::string_view name);

}  // namespace tarvo
