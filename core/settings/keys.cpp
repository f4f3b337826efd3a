#include "core/settings/keys.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/gps/serial_link.h"
#include "core/settings/text_codec.h"

namespace tarvo {

namespace {

// Builders of the table rows. I: an int of any value; R: an int within
// min..max; B: a 0/1 switch; S: an int from a set; T: a text; D: a decimal
// text (read by ParseDecimal with `decimals`, written with `written`) within
// min..max; W: a whole number
// text within min..max; F: a file name in the user's data folder.
constexpr KeyInfo I(std::string_view name, int32_t def) {
  return {name, SettingKind::Int, def, {}, false, 0};
}
constexpr KeyInfo R(std::string_view name, int32_t def, int32_t min, int32_t max) {
  KeyInfo info = I(name, def);
  info.intMin = min;
  info.intMax = max;
  return info;
}
constexpr KeyInfo B(std::string_view name, int32_t def) { return R(name, def, 0, 1); }
constexpr KeyInfo S(std::string_view name, int32_t def, std::span<const int32_t> allowed) {
  KeyInfo info = I(name, def);
  info.allowed = allowed;
  return info;
}
constexpr KeyInfo T(std::string_view name, std::string_view def, std::size_t capacity) {
  return {name, SettingKind::Text, 0, def, false, capacity};
}
constexpr KeyInfo D(std::string_view name, std::string_view def, int decimals, int written, double min, double max) {
  KeyInfo info = T(name, def, kDecimalCapacity);
  info.number = TextNumber::Decimal;
  info.decimals = decimals;
  info.writtenDecimals = written;
  info.min = min;
  info.max = max;
  return info;
}
constexpr KeyInfo W(std::string_view name, std::string_view def, double min, double max) {
  KeyInfo info = T(name, def, kDecimalCapacity);
  info.number = TextNumber::Whole;
  info.min = min;
  info.max = max;
  return info;
}
constexpr KeyInfo F(std::string_view name, std::string_view fileName) {
  return {name, SettingKind::Text, 0, fileName, true, kPathCapacity};
}

// The rates of the speed list, and "Auto" (hunting; older versions read it as the default).
constexpr int32_t kBaudRateSet[] = {300, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200, kAutoSpeed};
constexpr int32_t kDataBitsSet[] = {7, 8};
constexpr int32_t kReplayFactorSet[] = {0, 1, 2, 4, 8};  // 0: EmulationSpeed lines per second
// The track page's interval (seconds) and minimum distance (metres) lists.
constexpr int32_t kTripTimeSet[] = {2, 5, 10, 30, 60, 120, 300, 600};
constexpr int32_t kTripDistanceSet[] = {0, 5, 10, 20, 30, 50, 100, 300, 500, 1000, 5000, 10000};

// Accuracy distances (metres) and speeds (knots): what the accuracy dialog
// stores, whose "%.1f" text fits the capacity of 16.
constexpr double kLargestAccuracy = 1.0e12;

// In the order of enum Key.
constexpr std::array<KeyInfo, kKeyCount> kKeys = {{
    T("ProgramPath", "", kPathCapacity),  // written at every start, never read
    I("TodayFix", 0),                     // written as 0 at every start, never read
    R("Port", 1, 1, 256),
    T("PortName", "", kPathCapacity),  // device path; empty = the first port found
    S("Speed", 4800, kBaudRateSet),
    R("Parity", 0, 0, 4),
    S("Databits", 8, kDataBitsSet),
    R("Stopbits", 0, 0, 2),
    R("GPSType", 3, 0, 3),
    B("bEmulation", 0),
    R("EmulationSpeed", 1, 1, 4),
    B("bUseRMC", 1),
    W("AltitudeOffset", "0", -100000, 100000),
    B("AutoStart", 0),
    B("AccuracyEnable", 0),
    D("AccuracyGPS", "10.0", 2, 1, 0.0, kLargestAccuracy),
    D("AccuracyMinimum", "50.0", 2, 1, 0.0, kLargestAccuracy),
    D("SpeedMinimum", "0.0", 2, 1, 0.0, kLargestAccuracy),
    R("FmtPos", 0, 0, 18),
    R("FmtSpeed", 0, 0, 2),
    R("FmtDist", 0, 0, 2),
    R("FmtTime", 0, 0, 1),
    R("Update", 15, 0, 86400),  // seconds, 0 meaning 1; at most a day
    B("Upload", 0),
    T("Username", "", kAccountCapacity),
    T("Password", "", kPasswordCodeCapacity),
    D("LatDefault", "0.0", 5, 5, -90.0, 90.0),
    D("LonDefault", "0.0", 5, 5, -180.0, 180.0),
    B("MapCenterOn", 1),
    B("MapShowPosition", 1),
    B("MapShowSpeed", 1),
    B("MapShowDir", 1),
    B("MapShowAltitude", 0),
    B("MapShowPOI", 1),
    B("MapShowPOIName", 0),
    B("MapShowPOIInfo", 0),
    B("MapShowRoute", 0),
    B("MapShowTrip", 0),
    F("MapFile", "theworld.gif"),
    R("MapDrag", 1, 0, 2),
    R("LogOptions", 0, 0, 31),  // five sentence bits
    B("LogSave", 0),
    B("TrackCompassMode", 0),
    R("TrackSortOrder", 0, 0, 31),  // one descending bit per column
    R("TrackSortType", 0, 0, 4),
    F("TRKFile", "Location.csv"),
    B("SatDrawMode", 0),
    B("SatCompassMode", 0),
    B("CourseCompassMode", 0),
    B("TripActive", 0),
    S("TripTime", 10, kTripTimeSet),
    I("TripUnits", 0),  // kept and written back as it is
    S("TripMinDist", 10, kTripDistanceSet),
    F("TripFile", "Track0001.nmea"),
    S("ReplayRealTime", 0, kReplayFactorSet),
    T("ServiceURL", "http://127.0.0.1:8642/hopla/", kPathCapacity),
    R("SourceKind", 0, 0, 3),  // enum SourceKind: serial, gpsd, TCP client, UDP listener
    T("GpsdHost", "127.0.0.1", kHostCapacity),
    R("GpsdPort", 2947, 1, 65535),
    T("TcpHost", "", kHostCapacity),
    R("TcpPort", 10110, 1, 65535),
    R("UdpPort", 10110, 1, 65535),
    B("ServeLines", 0),   // pass received lines on to TCP clients
    R("ServePort", 10110, 1, 65535),
    B("ServeRemote", 0),  // 0: clients on this machine only (loopback)
    B("AccurateDatum", 0),  // 1: the national grids through PROJ's published transformations
}};

static_assert(kKeys[static_cast<std::size_t>(Key::PortName)].name == "PortName");
static_assert(kKeys[static_cast<std::size_t>(Key::GpsType)].name == "GPSType");
static_assert(kKeys[static_cast<std::size_t>(Key::AltitudeOffset)].name == "AltitudeOffset");
static_assert(kKeys[static_cast<std::size_t>(Key::Password)].name == "Password");
static_assert(kKeys[static_cast<std::size_t>(Key::MapFile)].name == "MapFile");
static_assert(kKeys[static_cast<std::size_t>(Key::TrkFile)].name == "TRKFile");
static_assert(kKeys[static_cast<std::size_t>(Key::TripFile)].name == "TripFile");
static_assert(kKeys[static_cast<std::size_t>(Key::ReplayRealTime)].name == "ReplayRealTime");
static_assert(kKeys[static_cast<std::size_t>(Key::ServiceUrl)].name == "ServiceURL");
static_assert(kKeys[static_cast<std::size_t>(Key::SourceKind)].name == "SourceKind");
static_assert(kKeys[static_cast<std::size_t>(Key::ServeRemote)].name == "ServeRemote");
static_assert(kKeys[static_cast<std::size_t>(Key::AccurateDatum)].name == "AccurateDatum");

}  // namespace

const KeyInfo& Info(Key key) { return kKeys[static_cast<std::size_t>(key)]; }

bool IsAllowed(Key key, int32_t value) {
  const KeyInfo& info = Info(key);
  if (value < info.intMin || value > info.intMax) return false;
  return info.allowed.empty() || std::find(info.allowed.begin(), info.allowed.end(), value) != info.allowed.end();
}

std::optional<double> ReadNumberText(Key key, std::string_view text) {
  const KeyInfo& info = Info(key);
  std::optional<double> value;
  switch (info.number) {
    case TextNumber::None:
      return std::nullopt;
    case TextNumber::Decimal:
      value = ParseDecimal(text, info.decimals);
      break;
    case TextNumber::Whole:
      value = ParseLeadingDecimal(text);
      if (value) value = std::trunc(*value) + 0.0;  // no "-0"
      break;
  }
  if (!value || !(*value >= info.min && *value <= info.max)) return std::nullopt;
  return value;
}

std::optional<Key> FindKey(std::string_view name) {
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    if (kKeys[i].name == name) return static_cast<Key>(i);
  }
  return std::nullopt;
}

}  // namespace tarvo
