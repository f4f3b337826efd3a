// The rules of the GPS hardware settings page that need no window: the texts
// of its lists, which item shows a stored setting, the port list with a port
// that is not plugged in, and the "GPS Accuracy" dialog's unit conversions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/gps/connection_controller.h"
#include "core/gps/records.h"
#include "core/gps/serial_link.h"
#include "core/gps/serial_ports.h"
#include "core/gps/source_kind.h"
#include "core/settings/keys.h"

namespace tarvo {

// "GPSType" = index.
inline constexpr std::array<std::string_view, 4> kGpsTypeNames = {
    "Serial NMEA 0183", "DeLorme TripMate/EarthMate", "Garmin", "Bluetooth GPS"};
// "Speed" = the chosen rate; the last item, "Auto", stores kAutoSpeed (the
// link then hunts for the receiver's speed).
inline constexpr std::array<int32_t, 11> kBaudRates = {300,   1200,  2400,  4800,   9600,      14400,
                                                       19200, 38400, 57600, 115200, kAutoSpeed};
// The text of an item of the speed list: the rate, or "Auto".
std::string BaudRateText(int32_t speed);
// Shown when the stored rate is not in the list: "19200".
inline constexpr int kFallbackBaudItem = 6;
// "Parity" = index.
inline constexpr std::array<std::string_view, 5> kParityNames = {"None", "Odd", "Even", "Mark", "Space"};
// "Databits" = the chosen number; item 0 ("7") when the stored one is not listed.
inline constexpr std::array<int32_t, 2> kDataBits = {7, 8};
// "Stopbits": 0 one, 2 two. A serial port on Linux has no one and a half
// (1), so it is not offered; a stored 1 is shown, and used, as two, which
// reads the same data (only the first stop bit is checked on receipt).
inline constexpr std::array<std::string_view, 2> kStopBitsNames = {"1", "2"};
inline constexpr std::array<int32_t, 2> kStopBitsValues = {0, 2};
// Item of the stop bits list showing `stopbits`; -1 when it is none of 0, 1, 2.
int StopBitsItem(int32_t stopbits);
// The "Stopbits" value a port can use: 1 (one and a half) becomes 2.
int32_t UsableStopBits(int32_t stopbits);
// "EmulationSpeed" = index + 1 (lines per second).
inline constexpr int kReplaySpeedCount = 4;
// Then the real-time items: "ReplayRealTime" = the factor, the file paced by
// its recorded fix times that many times faster.
inline constexpr std::array<int32_t, 4> kReplayRealTimeFactors = {1, 2, 4, 8};
inline constexpr std::array<std::string_view, 4> kReplayRealTimeNames = {"real time 1", "real time 2",
                                                                         "real time 4", "real time 8"};

// Item of the speed list showing `speed`: the one with that rate, else kFallbackBaudItem.
int BaudRateItem(int32_t speed);
// Item of the data bits list showing `databits`: the one with that number, else 0.
int DataBitsItem(int32_t databits);
// Item `value` of a list of `count` items; -1 (no selection) when out of range.
int IndexItem(int32_t value, int count);
// Item of the replay speed list: emulationSpeed - 1, -1 when out of range.
int ReplaySpeedItem(int32_t emulationSpeed);
// Item of the whole replay list: the real-time item of `replayRealTime` when
// it is one of kReplayRealTimeFactors, else ReplaySpeedItem(emulationSpeed).
int ReplaySpeedItem(int32_t emulationSpeed, int32_t replayRealTime);
// What choosing `item` of the replay list stores: items 0..3 set
// emulationSpeed 1..4 and replayRealTime 0; the real-time items set the
// factor and keep emulationSpeed. Other items change nothing.
void ChooseReplaySpeed(int item, int32_t& emulationSpeed, int32_t& replayRealTime);

// ---- Where the lines come from ----

// "SourceKind" = index.
inline constexpr std::array<std::string_view, 4> kSourceKindNames = {"Serial port", "gpsd", "NMEA over TCP",
                                                                     "NMEA over UDP"};
// The host and port keys a source kind reads: gpsd GpsdHost and GpsdPort,
// TCP TcpHost and TcpPort, UDP only UdpPort; the serial port none.
std::optional<Key> SourceHostKey(SourceKind kind);
std::optional<Key> SourcePortKey(SourceKind kind);
// The fields of those keys in `c`. Other keys: an empty host, port 0, and
// setting them changes nothing.
std::string HostSetting(const ConnectionSettings& c, Key key);
void SetHostSetting(ConnectionSettings& c, Key key, std::string host);
int32_t PortSetting(const ConnectionSettings& c, Key key);
void SetPortSetting(ConnectionSettings& c, Key key, int32_t port);
// A typed port number: a whole number that `key` allows (1..65535 for every
// port key), blanks around it allowed; nullopt for anything else.
std::optional<int32_t> ReadPortNumber(Key key, std::string_view text);
// A typed host name or address, blanks around it dropped: nullopt when a
// blank or control character is left inside, or it is too long for `key`.
// An empty text is empty (no host set).
std::optional<std::string> ReadHostName(Key key, std::string_view text);

// The port list: what EnumerateSerialPorts found, with their labels, and the
// stored port when it is not among them, so the list never shows a port
// other than the one the next connect opens.
struct PortItem {
  std::string path;   // what "PortName" becomes when the item is chosen
  std::string label;  // shown text
  bool present = true;
};
struct PortList {
  std::vector<PortItem> items;
  int selected = -1;  // -1: nothing to select (no port at all)
};

// Appended to the path of a stored port that was not found.
inline constexpr std::string_view kPortNotPresent = " (not present)";

// The items of `ports` in their order, and the selection for `portName`:
// - empty: the first port (the one the controller picks), the setting unchanged;
// - the path of an item, or a name of the same device (its node, another
//   link to it) within `root`: that item;
// - otherwise "<portName> (not present)" as the first item, selected.
PortList MakePortList(const std::vector<SerialPortInfo>& ports, const std::string& portName,
                      const std::filesystem::path& root = "/");

// The page's port list: MakePortList, where a stored port that is not among
// `ports` but exists within `root` (a typed path: a pseudo-terminal, a link
// of its own) is listed first by its path, present, rather than as missing.
PortList PagePortList(const std::vector<SerialPortInfo>& ports, const std::string& portName,
                      const std::filesystem::path& root = "/");

// ---- "GPS Accuracy" dialog ----

// The edits hold at most 15 characters.
inline constexpr int kAccuracyEditLength = 15;
// Largest distance (metres) or speed (knots) the dialog stores: a larger one
// would be written as a text the settings do not read back (16 characters).
inline constexpr double kLargestFilterValue = 1.0e12;

// The dialog's texts on opening. The distances are shown in the distance unit
// (fmtDist 0: m "%.1f"; 1: ft = m x 3.2808, "%.1f"; 2: nm = m / 1852, "%.2f"),
// the speed in the speed unit (fmtSpeed 0: km/h = knots x 1.852, "%.1f";
// 1: mph = knots x 1.15, "%.1f"; 2: knots, "%.2f"). Another unit value reads
// as 0, like the rest of the program.
struct AccuracyFields {
  bool enable = false;
  std::string precision;         // AccuracyGPS
  std::string minimumPrecision;  // AccuracyMinimum
  std::string minimumSpeed;      // SpeedMinimum
  std::string_view lengthUnit;   // "m", "ft", "nm"
  std::string_view speedUnit;    // "km/h", "mph", "knot"
};
AccuracyFields AccuracyDialogFields(const FilterSettings& filter, int32_t fmtDist, int32_t fmtSpeed);

// The filter after OK. Each text is read with ReadTypedDecimal. A distance not
// above 0 counts as 1 (in its unit); it is converted to metres (ft x
// 0.30480370641307, nm x 1852) and at least 1.0 m. A speed not above 0 stays 0
// ("no minimum"); it is converted to knots (km/h x 0.5399568034557235, mph x
// 0.8695652173913044). Both are at most kLargestFilterValue.
FilterSettings AccuracyDialogResult(const AccuracyFields& typed, int32_t fmtDist, int32_t fmtSpeed);

// A typed number as the C library reads it in the C locale, whatever the
// user's locale: the first 15 characters, leading blanks, an optional sign,
// then the longest decimal number there ("32.8 ft" is 32.8, "3,5" is 3, "1e2"
// is 100); 0 when there is none or it is not finite.
double ReadTypedDecimal(std::string_view text);

// ---- Altitude offset ----

// The altitude offset edit: a signed whole number of metres, blanks around it
// allowed, an empty text is 0; nullopt for anything else (the setting then
// stays as it was).
std::optional<int32_t> ReadAltitudeOffset(std::string_view text);

}  // namespace tarvo
