// Serial port discovery, against a device tree made in a temporary folder.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "core/gps/serial_ports.h"

namespace tarvo {
namespace {
namespace fs = std::filesystem;

class SerialPortsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tarvo-ports-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "dev/serial/by-id");
    fs::create_directories(root_ / "sys/class/tty");
  }
  void TearDown() override { fs::remove_all(root_); }

  void Node(const std::string& name) { std::ofstream(root_ / "dev" / name).put('\0'); }
  void Uart(const std::string& name, int type) {
    Node(name);
    fs::create_directories(root_ / "sys/class/tty" / name);
    std::ofstream(root_ / "sys/class/tty" / name / "type") << type << "\n";
  }
  void ById(const std::string& name, const std::string& target) {
    fs::create_symlink(target, root_ / "dev/serial/by-id" / name);
  }

  fs::path root_;
};

TEST_F(SerialPortsTest, EmptyTreeHasNoPorts) { EXPECT_TRUE(EnumerateSerialPorts(root_).empty()); }

TEST_F(SerialPortsTest, StableNamesFirstThenNodesInNumericOrderWithoutDuplicates) {
  Node("ttyUSB0");
  Node("ttyUSB10");
  Node("ttyUSB2");
  Node("ttyACM0");
  Node("rfcomm0");
  Node("ttyUSBfoo");  // not a numbered node
  ById("usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0", "../../ttyUSB2");
  auto ports = EnumerateSerialPorts(root_);
  ASSERT_EQ(ports.size(), 5u);
  EXPECT_EQ(ports[0].path, "/dev/serial/by-id/usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0");
  EXPECT_EQ(ports[0].device, "/dev/ttyUSB2");
  EXPECT_EQ(ports[0].label, "Prolific Technology Inc. USB-Serial Controller (ttyUSB2)");
  EXPECT_EQ(ports[1].path, "/dev/ttyUSB0");
  EXPECT_EQ(ports[2].path, "/dev/ttyUSB10");  // ttyUSB2 is already listed by its stable name
  EXPECT_EQ(ports[3].path, "/dev/ttyACM0");
  EXPECT_EQ(ports[4].path, "/dev/rfcomm0");
}

TEST_F(SerialPortsTest, OnlyRealLegacyUartsAreListed) {
  for (int i = 0; i < 32; ++i) Uart("ttyS" + std::to_string(i), i == 0 || i == 4 ? 4 : 0);
  Node("ttyS40");  // no sysfs entry: not listed
  auto ports = EnumerateSerialPorts(root_);
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].path, "/dev/ttyS0");
  EXPECT_EQ(ports[1].path, "/dev/ttyS4");
}

TEST(FriendlyPortName, DropsBusAndInterfaceParts) {
  EXPECT_EQ(FriendlyPortName("usb-u-blox_AG_-_www.u-blox.com_u-blox_7_-_GPS_GNSS_Receiver-if00"),
            "u-blox AG - www.u-blox.com u-blox 7 - GPS GNSS Receiver");
  EXPECT_EQ(FriendlyPortName("pci-Example_Card_123"), "Example Card 123");
  EXPECT_EQ(FriendlyPortName("plain"), "plain");
}

}  // namespace
}  // namespace tarvo
