#include "core/gps/serial_ports.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <system_error>

namespace tarvo {
namespace fs = std::filesystem;

namespace {

// Number at the end of a device name ("ttyUSB12" -> 12), -1 when none.
long TrailingNumber(const std::string& name) {
  std::size_t i = name.size();
  while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9') --i;
  if (i == name.size()) return -1;
  if (name.size() - i > 9) return -1;
  return std::stol(name.substr(i));
}

// Device nodes under `dev` whose names start with `prefix`, in numeric order.
std::vector<std::string> DeviceNodes(const fs::path& dev, const std::string& prefix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dev, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    std::string digits = name.size() > prefix.size() ? name.substr(prefix.size()) : std::string();
    if (name.compare(0, prefix.size(), prefix) == 0 && !digits.empty() && digits.size() <= 6 &&
        digits.find_first_not_of("0123456789") == std::string::npos) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return TrailingNumber(a) < TrailingNumber(b);
  });
  return names;
}

// Resolves a by-id link to the device node path it names, inside `root`.
std::string ResolveInRoot(const fs::path& root, const fs::path& link) {
  std::error_code ec;
  fs::path target = fs::read_symlink(link, ec);
  if (ec) return {};
  if (target.is_relative()) target = link.parent_path() / target;
  target = target.lexically_normal();
  // Present the result as an absolute device path ("/dev/ttyUSB0") whatever the root.
  fs::path rel = target.lexically_relative(root);
  if (rel.empty() || rel.native().rfind("..", 0) == 0) return target.string();
  return (fs::path("/") / rel).string();
}

}  // namespace

std::string FriendlyPortName(const std::string& byIdName) {
  std::string s = byIdName;
  // Drop the bus prefix and the interface/port suffix.
  for (const char* bus : {"usb-", "pci-", "platform-"}) {
    std::string b(bus);
    if (s.rfind(b, 0) == 0) {
      s = s.substr(b.size());
      break;
    }
  }
  std::size_t ifPos = s.rfind("-if");
  if (ifPos != std::string::npos && ifPos > 0) s = s.substr(0, ifPos);
  // A trailing serial number (the last "_" word with digits and letters mixed) stays: it
  // tells two identical adapters apart.
  std::replace(s.begin(), s.end(), '_', ' ');
  return s;
}

std::vector<SerialPortInfo> EnumerateSerialPorts(const fs::path& root) {
  std::vector<SerialPortInfo> ports;
  std::set<std::string> covered;  // device nodes already listed through a stable name
  std::error_code ec;

  const fs::path byId = root / "dev/serial/by-id";
  std::vector<fs::path> links;
  for (fs::directory_iterator it(byId, ec), end; !ec && it != end; it.increment(ec)) {
    links.push_back(it->path());
  }
  std::sort(links.begin(), links.end());
  for (const fs::path& link : links) {
    std::string device = ResolveInRoot(root, link);
    std::string name = link.filename().string();
    std::string node = fs::path(device).filename().string();
    SerialPortInfo info;
    info.path = (fs::path("/dev/serial/by-id") / name).string();
    info.device = device.empty() ? info.path : device;
    info.label = FriendlyPortName(name) + (node.empty() ? "" : " (" + node + ")");
    covered.insert(info.device);
    ports.push_back(std::move(info));
  }

  const fs::path dev = root / "dev";
  for (const char* prefix : {"ttyUSB", "ttyACM", "rfcomm"}) {
    for (const std::string& name : DeviceNodes(dev, prefix)) {
      std::string path = "/dev/" + name;
      if (covered.count(path)) continue;
      ports.push_back({path, path, path});
    }
  }

  for (const std::string& name : DeviceNodes(dev, "ttyS")) {
    std::ifstream type(root / "sys/class/tty" / name / "type");
    int uart = 0;
    if (!(type >> uart) || uart == 0) continue;
    std::string path = "/dev/" + name;
    if (covered.count(path)) continue;
    ports.push_back({path, path, path});
  }
  return ports;
}

}  // namespace tarvo
