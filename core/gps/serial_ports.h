// Finds the serial devices a receiver may sit on.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tarvo {

struct SerialPortInfo {
  std::string path;    // what to open and store in "PortName" (stable name when there is one)
  std::string device;  // the device node it resolves to, e.g. "/dev/ttyUSB0"
  std::string label;   // friendly text for lists, e.g. "Prolific USB-Serial Controller (ttyUSB0)"
};

// Lists, in this order: the stable names under dev/serial/by-id/ (sorted),
// then dev/ttyUSB*, dev/ttyACM*, dev/rfcomm* (numeric order) that no stable
// name already covers, then the dev/ttyS* that are real hardware (the kernel
// reports a UART type other than 0 in sys/class/tty/ttySn/type). `root` is
// the file-system root ("/" normally; a folder tree in tests).
std::vector<SerialPortInfo> EnumerateSerialPorts(const std::filesystem::path& root = "/");

// Turns a by-id name such as
// "usb-Prolific_Technology_Inc._USB-Serial_Controller_D-if00-port0" into
// "Prolific Technology Inc. USB-Serial Controller D".
std::string FriendlyPortName(const std::string& byIdName);

}  // namespace tarvo
