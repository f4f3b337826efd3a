#include "core/settings/keys.h"

#include <array>

namespace tarvo {

namespace {

constexpr KeyInfo I(std::string_view name, int32_t def) {
  return {name, SettingKind::Int, def, {}, false, 0};
}
constexpr KeyInfo T(std::string_view name, std::string_view def, std::size_t capacity) {
  return {name, SettingKind::Text, 0, def, false, capacity};
}
constexpr KeyInfo F(std::string_view name, std::string_view fileName) {
  return {name, SettingKind::Text, 0, fileName, true, kPathCapacity};
}

// In the order of enum Key.
constexpr std::array<KeyInfo, kKeyCount> kKeys = {{
    T("ProgramPath", "", kPathCapacity),  // written at every start, never read
    I("TodayFix", 0),                     // written as 0 at every start, never read
    I("Port", 1),
    T("PortName", "", kPathCapacity),  // device path; empty = the first port found
    I("Speed", 4800),
    I("Parity", 0),
    I("Databits", 8),
    I("Stopbits", 0),
    I("GPSType", 3),
    I("bEmulation", 0),
    I("EmulationSpeed", 1),
    I("bUseRMC", 1),
    T("AltitudeOffset", "0", kDecimalCapacity),
    I("AutoStart", 0),
    I("AccuracyEnable", 0),
    T("AccuracyGPS", "10.0", kDecimalCapacity),
    T("AccuracyMinimum", "50.0", kDecimalCapacity),
    T("SpeedMinimum", "0.0", kDecimalCapacity),
    I("FmtPos", 0),
    I("FmtSpeed", 0),
    I("FmtDist", 0),
    I("FmtTime", 0),
    I("Update", 15),
    I("Upload", 0),
    T("Username", "", kAccountCapacity),
    T("Password", "", kPasswordCodeCapacity),
    T("LatDefault", "0.0", kDecimalCapacity),
    T("LonDefault", "0.0", kDecimalCapacity),
    I("MapCenterOn", 1),
    I("MapShowPosition", 1),
    I("MapShowSpeed", 1),
    I("MapShowDir", 1),
    I("MapShowAltitude", 0),
    I("MapShowPOI", 1),
    I("MapShowPOIName", 0),
    I("MapShowPOIInfo", 0),
    I("MapShowRoute", 0),
    I("MapShowTrip", 0),
    F("MapFile", "theworld.gif"),
    I("MapDrag", 1),
    I("LogOptions", 0),
    I("LogSave", 0),
    I("TrackCompassMode", 0),
    I("TrackSortOrder", 0),
    I("TrackSortType", 0),
    F("TRKFile", "Location.csv"),
    I("SatDrawMode", 0),
    I("SatCompassMode", 0),
    I("CourseCompassMode", 0),
    I("TripActive", 0),
    I("TripTime", 10),
    I("TripUnits", 0),
    I("TripMinDist", 10),
    F("TripFile", "Track0001.nmea"),
}};

static_assert(kKeys[static_cast<std::size_t>(Key::PortName)].name == "PortName");
static_assert(kKeys[static_cast<std::size_t>(Key::GpsType)].name == "GPSType");
static_assert(kKeys[static_cast<std::size_t>(Key::AltitudeOffset)].name == "AltitudeOffset");
static_assert(kKeys[static_cast<std::size_t>(Key::Password)].name == "Password");
static_assert(kKeys[static_cast<std::size_t>(Key::MapFile)].name == "MapFile");
static_assert(kKeys[static_cast<std::size_t>(Key::TrkFile)].name == "TRKFile");
static_assert(kKeys[static_cast<std::size_t>(Key::TripFile)].name == "TripFile");

}  // namespace

const KeyInfo& Info(Key key) { return kKeys[static_cast<std::size_t>(key)]; }

std::optional<Key> FindKey(std::string_view name) {
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    if (kKeys[i].name == name) return static_cast<Key>(i);
  }
  return std::nullopt;
}

}  // namespace tarvo
