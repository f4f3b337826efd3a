// The hardware page's rules without a window: which list item shows a stored
// setting, the port list with an unplugged receiver, the "GPS Accuracy"
// dialog's unit round trips, and the typed numbers.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "core/settings/hardware_rules.h"
#include "core/settings/keys.h"
#include "core/settings/text_codec.h"

namespace tarvo {
namespace {
namespace fs = std::filesystem;

TEST(HardwareLists, AutoSpeedIsTheLastSpeedItemAndAStoredValueOfItsOwn) {
  EXPECT_EQ(BaudRateItem(kAutoSpeed), static_cast<int>(kBaudRates.size()) - 1);
  EXPECT_EQ(BaudRateText(kAutoSpeed), "Auto");
  EXPECT_EQ(BaudRateText(19200), "19200");
  // Stored as its own value; no rate a file holds today changes meaning.
  EXPECT_TRUE(IsAllowed(Key::Speed, kAutoSpeed));
  EXPECT_TRUE(IsAllowed(Key::Speed, 4800));
  EXPECT_FALSE(IsAllowed(Key::Speed, 0));
}

TEST(HardwareLists, NetworkFieldsEditTheKeysOfTheirSourceWithinTheTable) {
  ConnectionSettings c;
  EXPECT_FALSE(SourceHostKey(SourceKind::Serial).has_value());
  EXPECT_FALSE(SourceHostKey(SourceKind::UdpListener).has_value());
  EXPECT_EQ(SourcePortKey(SourceKind::UdpListener), Key::UdpPort);
  SetHostSetting(c, *SourceHostKey(SourceKind::TcpClient), "nmea.example");
  SetPortSetting(c, *SourcePortKey(SourceKind::TcpClient), 2000);
  SetPortSetting(c, *SourcePortKey(SourceKind::Gpsd), 2948);
  EXPECT_EQ(c.tcpHost, "nmea.example");
  EXPECT_EQ(c.tcpPort, 2000);
  EXPECT_EQ(PortSetting(c, Key::GpsdPort), 2948);
  EXPECT_EQ(HostSetting(c, Key::GpsdHost), "127.0.0.1");
  SetPortSetting(c, Key::Speed, 9600);  // not a port: nothing changes
  EXPECT_EQ(c.speed, 4800);

  EXPECT_EQ(ReadPortNumber(Key::TcpPort, " 10110 "), 10110);
  EXPECT_EQ(ReadPortNumber(Key::ServePort, "65535"), 65535);
  for (const char* bad : {"0", "65536", "-1", "", "80x", "1e3", "99999999999"}) {
    EXPECT_FALSE(ReadPortNumber(Key::TcpPort, bad).has_value()) << bad;
  }
  EXPECT_EQ(ReadHostName(Key::TcpHost, "  192.168.1.20 "), "192.168.1.20");
  EXPECT_EQ(ReadHostName(Key::GpsdHost, ""), "");
  EXPECT_FALSE(ReadHostName(Key::TcpHost, "two words").has_value());
  EXPECT_FALSE(ReadHostName(Key::TcpHost, "tab\there").has_value());
  EXPECT_FALSE(ReadHostName(Key::TcpHost, std::string(Info(Key::TcpHost).capacity, 'a')).has_value());
  EXPECT_TRUE(ReadHostName(Key::TcpHost, std::string(Info(Key::TcpHost).capacity - 1, 'a')).has_value());
}

TEST(HardwareLists, StoredValuesOutsideTheListsKeepTheirFallbackItem) {
  // A rate the list does not offer shows "19200"; the setting is not touched here.
  EXPECT_EQ(kBaudRates[static_cast<std::size_t>(BaudRateItem(7200))], 19200);
  EXPECT_EQ(BaudRateItem(0), kFallbackBaudItem);
  EXPECT_EQ(BaudRateItem(-4800), kFallbackBaudItem);
  EXPECT_EQ(kBaudRates[static_cast<std::size_t>(BaudRateItem(4800))], 4800);
  EXPECT_EQ(kBaudRates[static_cast<std::size_t>(BaudRateItem(115200))], 115200);
  EXPECT_EQ(kBaudRates[static_cast<std::size_t>(BaudRateItem(300))], 300);
  // Data bits: the matching number, else "7".
  EXPECT_EQ(kDataBits[static_cast<std::size_t>(DataBitsItem(8))], 8);
  EXPECT_EQ(DataBitsItem(9), 0);
  EXPECT_EQ(DataBitsItem(5), 0);
  // Index lists select nothing for a value they do not have.
  EXPECT_EQ(IndexItem(4, 5), 4);
  EXPECT_EQ(IndexItem(5, 5), -1);
  EXPECT_EQ(IndexItem(-1, 5), -1);
  // Replay speed is one more than its item.
  EXPECT_EQ(ReplaySpeedItem(1), 0);
  EXPECT_EQ(ReplaySpeedItem(4), 3);
  EXPECT_EQ(ReplaySpeedItem(0), -1);
  EXPECT_EQ(ReplaySpeedItem(5), -1);
  EXPECT_EQ(ReplaySpeedItem(-2147483647 - 1), -1);
}

class PortListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("tarvo-hw-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "dev/serial/by-id");
    fs::create_directories(root_ / "dev/serial/by-path");
  }
  void TearDown() override { fs::remove_all(root_); }
  void Node(const std::string& name) { std::ofstream(root_ / "dev" / name).put('\0'); }

  fs::path root_;
  const std::string byId_ = "/dev/serial/by-id/usb-u-blox_AG_GNSS_receiver-if00";
};

TEST_F(PortListTest, EmptyPortNameShowsTheFirstPortWithoutAddingOne) {
  Node("ttyUSB0");
  Node("ttyACM0");
  fs::create_symlink("../../ttyACM0", root_ / "dev/serial/by-id/usb-u-blox_AG_GNSS_receiver-if00");
  const PortList list = MakePortList(EnumerateSerialPorts(root_), "", root_);
  ASSERT_EQ(list.items.size(), 2u);
  EXPECT_EQ(list.selected, 0);
  EXPECT_EQ(list.items[0].path, byId_);
  EXPECT_EQ(list.items[0].label, "u-blox AG GNSS receiver (ttyACM0)");
  EXPECT_EQ(list.items[1].label, "/dev/ttyUSB0");
  EXPECT_TRUE(list.items[0].present && list.items[1].present);

  // No port at all: nothing to select, nothing invented.
  const PortList none = MakePortList({}, "", root_);
  EXPECT_TRUE(none.items.empty());
  EXPECT_EQ(none.selected, -1);
}

TEST_F(PortListTest, StoredPortIsFoundByPathDeviceOrAnotherLink) {
  Node("ttyUSB0");
  Node("ttyACM0");
  fs::create_symlink("../../ttyACM0", root_ / "dev/serial/by-id/usb-u-blox_AG_GNSS_receiver-if00");
  fs::create_symlink("../../ttyACM0", root_ / "dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0");
  const auto ports = EnumerateSerialPorts(root_);

  PortList list = MakePortList(ports, "/dev/ttyUSB0", root_);
  EXPECT_EQ(list.items.size(), 2u);
  EXPECT_EQ(list.selected, 1);
  list = MakePortList(ports, byId_, root_);
  EXPECT_EQ(list.selected, 0);
  // The node behind the stable name is the same receiver.
  list = MakePortList(ports, "/dev/ttyACM0", root_);
  EXPECT_EQ(list.items.size(), 2u);
  EXPECT_EQ(list.selected, 0);
  list = MakePortList(ports, "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0", root_);
  EXPECT_EQ(list.items.size(), 2u);
  EXPECT_EQ(list.selected, 0);
}

TEST_F(PortListTest, UnpluggedStoredPortIsListedFirstAsNotPresent) {
  Node("ttyUSB0");
  PortList list = MakePortList(EnumerateSerialPorts(root_), byId_, root_);
  ASSERT_EQ(list.items.size(), 2u);
  EXPECT_EQ(list.selected, 0);
  EXPECT_EQ(list.items[0].path, byId_);
  EXPECT_EQ(list.items[0].label, byId_ + " (not present)");
  EXPECT_FALSE(list.items[0].present);
  EXPECT_EQ(list.items[1].path, "/dev/ttyUSB0");

  // A broken link is no receiver either.
  fs::create_symlink("../../ttyACM3", root_ / "dev/serial/by-path/gone");
  list = MakePortList(EnumerateSerialPorts(root_), "/dev/serial/by-path/gone", root_);
  EXPECT_EQ(list.items[0].label, "/dev/serial/by-path/gone (not present)");

  list = MakePortList({}, "/dev/rfcomm0", root_);
  ASSERT_EQ(list.items.size(), 1u);
  EXPECT_EQ(list.selected, 0);
  EXPECT_FALSE(list.items[0].present);
}

TEST_F(PortListTest, TypedDeviceOutsideTheListIsShownAsItIsNotAsMissing) {
  Node("ttyUSB0");
  fs::create_directories(root_ / "dev/pts");
  Node("pts/7");
  const PortList list = PagePortList(EnumerateSerialPorts(root_), "/dev/pts/7", root_);
  ASSERT_EQ(list.items.size(), 2u);
  EXPECT_EQ(list.selected, 0);
  EXPECT_EQ(list.items[0].path, "/dev/pts/7");
  EXPECT_EQ(list.items[0].label, "/dev/pts/7");
  EXPECT_TRUE(list.items[0].present);
  // A missing one is still marked.
  EXPECT_EQ(PagePortList(EnumerateSerialPorts(root_), "/dev/pts/8", root_).items[0].label,
            "/dev/pts/8" + std::string(kPortNotPresent));
}

TEST(HardwareLists, StopBitsOfferOnlyWhatAPortCanDo) {
  ASSERT_EQ(kStopBitsNames.size(), kStopBitsValues.size());
  EXPECT_EQ(StopBitsItem(0), 0);
  EXPECT_EQ(StopBitsItem(2), 1);
  // One and a half, stored by an older version: shown and used as two.
  EXPECT_EQ(StopBitsItem(1), 1);
  EXPECT_EQ(UsableStopBits(1), 2);
  EXPECT_EQ(UsableStopBits(0), 0);
  EXPECT_EQ(StopBitsItem(3), -1);
  EXPECT_EQ(StopBitsItem(-1), -1);
}

TEST(HardwareLists, ReplayListChoosesLinesPerSecondOrARealTimeFactor) {
  int32_t speed = 3, realTime = 0;
  EXPECT_EQ(ReplaySpeedItem(3, 0), 2);
  ChooseReplaySpeed(kReplaySpeedCount + 3, speed, realTime);
  EXPECT_EQ(realTime, 8);
  EXPECT_EQ(speed, 3);
  EXPECT_EQ(ReplaySpeedItem(speed, realTime), kReplaySpeedCount + 3);
  ChooseReplaySpeed(kReplaySpeedCount + 1, speed, realTime);
  EXPECT_EQ(realTime, 2);
  ChooseReplaySpeed(0, speed, realTime);
  EXPECT_EQ(speed, 1);
  EXPECT_EQ(realTime, 0);
  // A factor that is not offered shows the lines-per-second item.
  EXPECT_EQ(ReplaySpeedItem(2, 3), 1);
  ChooseReplaySpeed(99, speed, realTime);
  EXPECT_EQ(speed, 1);
  EXPECT_EQ(realTime, 0);
}

FilterSettings Filter(double gps, double minimum, double speed, bool enable = false) {
  FilterSettings f;
  f.accuracyEnable = enable;
  f.accuracyGps = gps;
  f.accuracyMinimum = minimum;
  f.speedMinimum = speed;
  return f;
}

// OK without touching anything.
FilterSettings PressOk(const FilterSettings& f, int fmtDist, int fmtSpeed) {
  return AccuracyDialogResult(AccuracyDialogFields(f, fmtDist, fmtSpeed), fmtDist, fmtSpeed);
}

TEST(AccuracyDialog, OpeningShowsEachUnitWithItsDecimals) {
  const FilterSettings f = Filter(10.0, 50.0, 1.0, true);
  AccuracyFields a = AccuracyDialogFields(f, 0, 0);
  EXPECT_TRUE(a.enable);
  EXPECT_EQ(a.precision, "10.0");
  EXPECT_EQ(a.minimumPrecision, "50.0");
  EXPECT_EQ(a.lengthUnit, "m");
  EXPECT_EQ(a.minimumSpeed, "1.9");  // 1.852 km/h
  EXPECT_EQ(a.speedUnit, "km/h");
  a = AccuracyDialogFields(f, 1, 1);
  EXPECT_EQ(a.precision, "32.8");
  EXPECT_EQ(a.minimumPrecision, "164.0");
  EXPECT_EQ(a.lengthUnit, "ft");
  EXPECT_EQ(a.minimumSpeed, "1.1");  // 1.15 mph
  EXPECT_EQ(a.speedUnit, "mph");
  a = AccuracyDialogFields(f, 2, 2);
  EXPECT_EQ(a.precision, "0.01");
  EXPECT_EQ(a.minimumPrecision, "0.03");
  EXPECT_EQ(a.lengthUnit, "nm");
  EXPECT_EQ(a.minimumSpeed, "1.00");
  EXPECT_EQ(a.speedUnit, "knot");
  // A unit value the lists do not have is shown as the first unit.
  a = AccuracyDialogFields(f, 7, -1);
  EXPECT_EQ(a.lengthUnit, "m");
  EXPECT_EQ(a.speedUnit, "km/h");
  EXPECT_EQ(a.precision, "10.0");
}

TEST(AccuracyDialog, OkWithoutChangesRoundTripsThroughTheShownUnits) {
  // Imperial: 10 m shows 32.8 ft, which is 9.9975... m back.
  FilterSettings r = PressOk(Filter(10.0, 50.0, 0.0, true), 1, 0);
  EXPECT_TRUE(r.accuracyEnable);
  EXPECT_DOUBLE_EQ(r.accuracyGps, 32.8 * 0.30480370641307);
  EXPECT_NEAR(r.accuracyGps, 9.9975, 0.0001);
  EXPECT_DOUBLE_EQ(r.accuracyMinimum, 164.0 * 0.30480370641307);
  // Nautical: 50 m shows 0.03 nm, which is 55.56 m back.
  r = PressOk(Filter(10.0, 50.0, 0.0), 2, 2);
  EXPECT_DOUBLE_EQ(r.accuracyGps, 0.01 * 1852);
  EXPECT_DOUBLE_EQ(r.accuracyMinimum, 0.03 * 1852);
  EXPECT_FALSE(r.accuracyEnable);
  // Metric distances and knots are kept (up to the shown decimals).
  r = PressOk(Filter(7.3, 49.9, 1.23), 0, 2);
  EXPECT_DOUBLE_EQ(r.accuracyGps, 7.3);
  EXPECT_DOUBLE_EQ(r.accuracyMinimum, 49.9);
  EXPECT_DOUBLE_EQ(r.speedMinimum, 1.23);
  r = PressOk(Filter(10.0, 50.0, 1.234), 0, 2);
  EXPECT_DOUBLE_EQ(r.speedMinimum, 1.23);
  // km/h and mph go back through their own factors.
  r = PressOk(Filter(10.0, 50.0, 1.0), 0, 0);
  EXPECT_DOUBLE_EQ(r.speedMinimum, 1.9 * 0.5399568034557235);
  r = PressOk(Filter(10.0, 50.0, 1.0), 0, 1);
  EXPECT_DOUBLE_EQ(r.speedMinimum, 1.1 * 0.8695652173913044);
}

TEST(AccuracyDialog, DistancesNotAboveZeroCountAsOneAndNeverBelowOneMetre) {
  AccuracyFields typed;
  for (const char* text : {"0", "", "abc", "-5", "0.0", "-0.5", ".", "nan", "inf"}) {
    typed.precision = text;
    typed.minimumPrecision = text;
    const FilterSettings r = AccuracyDialogResult(typed, 0, 2);
    EXPECT_DOUBLE_EQ(r.accuracyGps, 1.0) << text;
    EXPECT_DOUBLE_EQ(r.accuracyMinimum, 1.0) << text;
  }
  // One foot, or half a metre, is raised to 1.0 m; 0.0001 nm too.
  typed.precision = "0";
  typed.minimumPrecision = "0.5";
  FilterSettings r = AccuracyDialogResult(typed, 1, 2);
  EXPECT_DOUBLE_EQ(r.accuracyGps, 1.0);
  EXPECT_DOUBLE_EQ(r.accuracyMinimum, 1.0);
  typed.precision = "0.0001";
  typed.minimumPrecision = "4";
  r = AccuracyDialogResult(typed, 2, 2);
  EXPECT_DOUBLE_EQ(r.accuracyGps, 1.0);
  EXPECT_DOUBLE_EQ(r.accuracyMinimum, 4 * 1852.0);
}

TEST(AccuracyDialog, MinimumSpeedNotAboveZeroStaysNoMinimum) {
  // Pressing OK on the default "no minimum" must not invent one.
  EXPECT_DOUBLE_EQ(PressOk(Filter(10.0, 50.0, 0.0), 0, 0).speedMinimum, 0.0);
  EXPECT_DOUBLE_EQ(PressOk(Filter(10.0, 50.0, 0.0), 1, 1).speedMinimum, 0.0);
  EXPECT_DOUBLE_EQ(PressOk(Filter(10.0, 50.0, 0.0), 2, 2).speedMinimum, 0.0);
  AccuracyFields typed;
  typed.precision = "10";
  typed.minimumPrecision = "50";
  for (const char* text : {"0", "", "-3", "abc", "0.00"}) {
    typed.minimumSpeed = text;
    EXPECT_DOUBLE_EQ(AccuracyDialogResult(typed, 0, 0).speedMinimum, 0.0) << text;
  }
  typed.minimumSpeed = "0.01";
  EXPECT_DOUBLE_EQ(AccuracyDialogResult(typed, 0, 2).speedMinimum, 0.01);
}

TEST(AccuracyDialog, HugeValuesAreStoredAsTextsThatReadBack) {
  AccuracyFields typed;
  typed.precision = "999999999999999";  // 15 characters, nautical miles
  typed.minimumPrecision = "1e300";
  typed.minimumSpeed = "999999999999999";
  const FilterSettings r = AccuracyDialogResult(typed, 2, 0);
  for (double v : {r.accuracyGps, r.accuracyMinimum, r.speedMinimum}) {
    const std::string saved = FormatFixed(v, 1);  // as the window writes them
    EXPECT_LT(saved.size(), kDecimalCapacity) << saved;
    EXPECT_DOUBLE_EQ(ParseDecimal(saved, 2), v);
  }
}

TEST(TypedNumbers, ReadAsInTheCLocale) {
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("32.8"), 32.8);
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("  32.8 ft"), 32.8);
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("+2"), 2.0);
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("-2.5"), -2.5);
  EXPECT_DOUBLE_EQ(ReadTypedDecimal(".5"), 0.5);
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("5."), 5.0);
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("1e2"), 100.0);
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("3,5"), 3.0);  // a comma ends the number
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("--5"), 0.0);
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("+-5"), 0.0);
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("-"), 0.0);
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("abc"), 0.0);
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("1e400"), 0.0);
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("infinity"), 0.0);
  // Only the first 15 characters count.
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("0000000000000009"), 0.0);
  EXPECT_DOUBLE_EQ(ReadTypedDecimal("000000000000009"), 9.0);
}

TEST(TypedNumbers, AltitudeOffsetIsASignedWholeNumber) {
  EXPECT_EQ(ReadAltitudeOffset("-25"), -25);
  EXPECT_EQ(ReadAltitudeOffset(" 7 "), 7);
  EXPECT_EQ(ReadAltitudeOffset("+3"), 3);
  EXPECT_EQ(ReadAltitudeOffset(""), 0);
  EXPECT_EQ(ReadAltitudeOffset("2147483647"), 2147483647);
  EXPECT_EQ(ReadAltitudeOffset("-2147483647"), -2147483647);
  for (const char* bad : {"12x", "1.5", "abc", "-", "2147483648", "99999999999", "1 2"}) {
    EXPECT_EQ(ReadAltitudeOffset(bad), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace tarvo
