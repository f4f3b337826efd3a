#include "core/settings/hardware_rules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>
#include <utility>

#include "core/geo/number_text.h"
#include "core/geo/units.h"
#include "core/settings/text_codec.h"

namespace tarvo {
namespace fs = std::filesystem;

namespace {

template <class Array>
int ItemOf(const Array& items, int32_t value, int fallback) {
  const auto it = std::find(items.begin(), items.end(), value);
  return it == items.end() ? fallback : static_cast<int>(it - items.begin());
}

// Unit values outside the lists are treated as the first unit, as the
// display texts do.
DistanceUnit LengthUnitOf(int32_t fmtDist) {
  return fmtDist >= 0 && fmtDist <= 2 ? static_cast<DistanceUnit>(fmtDist) : DistanceUnit::Metric;
}
SpeedUnit SpeedUnitOf(int32_t fmtSpeed) {
  return fmtSpeed >= 0 && fmtSpeed <= 2 ? static_cast<SpeedUnit>(fmtSpeed) : SpeedUnit::Kmh;
}

// The file a port name stands for inside `root` ("/dev/x" -> root/dev/x).
fs::path InRoot(const fs::path& root, const std::string& name) { return root / fs::path(name).relative_path(); }

}  // namespace

int BaudRateItem(int32_t speed) { return ItemOf(kBaudRates, speed, kFallbackBaudItem); }

std::string BaudRateText(int32_t speed) { return speed == kAutoSpeed ? "Auto" : std::to_string(speed); }

int DataBitsItem(int32_t databits) { return ItemOf(kDataBits, databits, 0); }

int IndexItem(int32_t value, int count) { return value >= 0 && value < count ? static_cast<int>(value) : -1; }

int ReplaySpeedItem(int32_t emulationSpeed) {
  return emulationSpeed >= 1 ? IndexItem(emulationSpeed - 1, kReplaySpeedCount) : -1;
}

int ReplaySpeedItem(int32_t emulationSpeed, int32_t replayRealTime) {
  const auto it = std::find(kReplayRealTimeFactors.begin(), kReplayRealTimeFactors.end(), replayRealTime);
  if (it != kReplayRealTimeFactors.end()) return kReplaySpeedCount + static_cast<int>(it - kReplayRealTimeFactors.begin());
  return ReplaySpeedItem(emulationSpeed);
}

void ChooseReplaySpeed(int item, int32_t& emulationSpeed, int32_t& replayRealTime) {
  if (item >= 0 && item < kReplaySpeedCount) {
    emulationSpeed = item + 1;
    replayRealTime = 0;
  } else if (item >= kReplaySpeedCount && item < kReplaySpeedCount + static_cast<int>(kReplayRealTimeFactors.size())) {
    replayRealTime = kReplayRealTimeFactors[static_cast<std::size_t>(item - kReplaySpeedCount)];
  }
}

int StopBitsItem(int32_t stopbits) {
  if (stopbits < 0 || stopbits > 2) return -1;
  return ItemOf(kStopBitsValues, UsableStopBits(stopbits), -1);
}

int32_t UsableStopBits(int32_t stopbits) { return stopbits == 1 ? 2 : stopbits; }

std::optional<Key> SourceHostKey(SourceKind kind) {
  switch (kind) {
    case SourceKind::Gpsd: return Key::GpsdHost;
    case SourceKind::TcpClient: return Key::TcpHost;
    default: return std::nullopt;
  }
}

std::optional<Key> SourcePortKey(SourceKind kind) {
  switch (kind) {
    case SourceKind::Gpsd: return Key::GpsdPort;
    case SourceKind::TcpClient: return Key::TcpPort;
    case SourceKind::UdpListener: return Key::UdpPort;
    default: return std::nullopt;
  }
}

std::string HostSetting(const ConnectionSettings& c, Key key) {
  if (key == Key::GpsdHost) return c.gpsdHost;
  if (key == Key::TcpHost) return c.tcpHost;
  return {};
}

void SetHostSetting(ConnectionSettings& c, Key key, std::string host) {
  if (key == Key::GpsdHost) c.gpsdHost = std::move(host);
  if (key == Key::TcpHost) c.tcpHost = std::move(host);
}

int32_t PortSetting(const ConnectionSettings& c, Key key) {
  switch (key) {
    case Key::GpsdPort: return c.gpsdPort;
    case Key::TcpPort: return c.tcpPort;
    case Key::UdpPort: return c.udpPort;
    case Key::ServePort: return c.servePort;
    default: return 0;
  }
}

void SetPortSetting(ConnectionSettings& c, Key key, int32_t port) {
  switch (key) {
    case Key::GpsdPort: c.gpsdPort = port; break;
    case Key::TcpPort: c.tcpPort = port; break;
    case Key::UdpPort: c.udpPort = port; break;
    case Key::ServePort: c.servePort = port; break;
    default: break;
  }
}

std::optional<int32_t> ReadPortNumber(Key key, std::string_view text) {
  const std::optional<int> value = ParseIntegerField(text);
  if (!value || Info(key).kind != SettingKind::Int || !IsAllowed(key, *value)) return std::nullopt;
  return static_cast<int32_t>(*value);
}

std::optional<std::string> ReadHostName(Key key, std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (Info(key).kind != SettingKind::Text || text.size() >= Info(key).capacity) return std::nullopt;
  for (char c : text) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return std::nullopt;
  }
  return std::string(text);
}

PortList MakePortList(const std::vector<SerialPortInfo>& ports, const std::string& portName, const fs::path& root) {
  PortList list;
  for (const SerialPortInfo& port : ports) list.items.push_back({port.path, port.label, true});
  if (portName.empty()) {
    list.selected = list.items.empty() ? -1 : 0;
    return list;
  }
  for (std::size_t i = 0; i < ports.size(); ++i) {
    if (ports[i].path == portName) {
      list.selected = static_cast<int>(i);
      return list;
    }
  }
  // The same device under another name: its node, or another link to it.
  for (std::size_t i = 0; i < ports.size(); ++i) {
    std::error_code error;
    if (ports[i].device == portName || fs::equivalent(InRoot(root, portName), InRoot(root, ports[i].path), error)) {
      list.selected = static_cast<int>(i);
      return list;
    }
  }
  // Built by appending: GCC 12 warns (-Wrestrict, falsely) about string + string here at -O2/-O3.
  std::string label;
  label.reserve(portName.size() + kPortNotPresent.size());
  label.append(portName).append(kPortNotPresent);
  list.items.insert(list.items.begin(), {portName, std::move(label), false});
  list.selected = 0;
  return list;
}

PortList PagePortList(const std::vector<SerialPortInfo>& ports, const std::string& portName, const fs::path& root) {
  PortList list = MakePortList(ports, portName, root);
  std::error_code error;
  if (!list.items.empty() && !list.items.front().present && fs::exists(InRoot(root, portName), error)) {
    list.items.front().label = portName;
    list.items.front().present = true;
  }
  return list;
}

AccuracyFields AccuracyDialogFields(const FilterSettings& filter, int32_t fmtDist, int32_t fmtSpeed) {
  AccuracyFields f;
  f.enable = filter.accuracyEnable;
  const DistanceUnit length = LengthUnitOf(fmtDist);
  const int lengthDecimals = length == DistanceUnit::Nautical ? 2 : 1;
  f.precision = FormatFixed(LengthFromMetres(filter.accuracyGps, length), lengthDecimals);
  f.minimumPrecision = FormatFixed(LengthFromMetres(filter.accuracyMinimum, length), lengthDecimals);
  f.lengthUnit = LengthUnitName(length);
  const SpeedUnit speed = SpeedUnitOf(fmtSpeed);
  f.minimumSpeed = FormatFixed(SpeedFromKnots(filter.speedMinimum, speed), speed == SpeedUnit::Knot ? 2 : 1);
  f.speedUnit = SpeedUnitName(speed);
  return f;
}

FilterSettings AccuracyDialogResult(const AccuracyFields& typed, int32_t fmtDist, int32_t fmtSpeed) {
  const DistanceUnit length = LengthUnitOf(fmtDist);
  const auto metres = [length](std::string_view text) {
    double value = ReadTypedDecimal(text);
    if (!(value > 0.0)) value = 1.0;
    return std::clamp(MetresFromLength(value, length), 1.0, kLargestFilterValue);
  };
  FilterSettings filter;
  filter.accuracyEnable = typed.enable;
  filter.accuracyGps = metres(typed.precision);
  filter.accuracyMinimum = metres(typed.minimumPrecision);
  // A speed of 0 is "no minimum" and stays so.
  const double speed = ReadTypedDecimal(typed.minimumSpeed);
  filter.speedMinimum = speed > 0.0 ? std::min(KnotsFromSpeed(speed, SpeedUnitOf(fmtSpeed)), kLargestFilterValue) : 0.0;
  return filter;
}

double ReadTypedDecimal(std::string_view text) {
  text = text.substr(0, static_cast<std::size_t>(kAccuracyEditLength));
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // from_chars takes a sign of its own; a second one is no number.
  if (i >= text.size() || text[i] == '+' || text[i] == '-') return 0.0;
  double value = 0.0;
  const char* first = text.data() + i;
  const auto [end, ec] = std::from_chars(first, text.data() + text.size(), value, std::chars_format::general);
  if (ec != std::errc() || end == first || !std::isfinite(value)) return 0.0;
  return negative ? -value : value;
}

std::optional<int32_t> ReadAltitudeOffset(std::string_view text) {
  const std::optional<int> value = ParseIntegerField(text);
  if (!value) return std::nullopt;
  return static_cast<int32_t>(*value);
}

}  // namespace tarvo
