// Small shared widgets: the flat button, and where shipped files are found.
#include <QDir>
#include <cerrno>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "gui/window/error_texts.h"
#include "gui/window/shipped_data.h"
#include "gui/status/flat_button.h"

namespace tarvo {
namespace {

TEST(FlatButton, ClicksOnlyWhenReleasedInside) {
  FlatButton button;
  button.resize(60, 22);
  button.show();
  QSignalSpy clicks(&button, &FlatButton::clicked);
  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_TRUE(button.pressed());
  EXPECT_TRUE(button.tracking());
  QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_FALSE(button.pressed());
  EXPECT_FALSE(button.tracking());
  ASSERT_EQ(clicks.count(), 1);
  clicks.clear();

  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(200, 10));  // dragged off
  EXPECT_EQ(clicks.count(), 0);
}

TEST(FlatButton, PressedPictureMovesByOnePixel) {
  FlatButton button;
  ASSERT_TRUE(button.SetBitmap(":/toolbar/exit.png"));
  EXPECT_FALSE(button.SetBitmap(":/no/such.png"));
  button.FitToBitmap();
  EXPECT_EQ(button.size(), QSize(16, 16));
  const QImage up = button.grab().toImage();
  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
  const QImage down = button.grab().toImage();
  EXPECT_NE(up, down);
  EXPECT_EQ(down.pixel(9, 9), up.pixel(8, 8));
  QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(5, 5));
}

TEST(ShippedData, FoundBesideTheBinaryOrThroughTheEnvironment) {
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkpath("bin/data/demo"));
  EXPECT_EQ(ShippedDataDir(dir.path() + "/bin"), QDir(dir.path() + "/bin/data").canonicalPath());
  ASSERT_TRUE(QDir(dir.path()).mkpath("elsewhere"));
  qputenv("TARVO_DATA_DIR", (dir.path() + "/elsewhere").toUtf8());
  EXPECT_EQ(ShippedDataDir(dir.path() + "/bin"), QDir(dir.path() + "/elsewhere").canonicalPath());
  qunsetenv("TARVO_DATA_DIR");
  ASSERT_TRUE(QDir(dir.path()).mkpath("prefix/share/tarvo"));
  ASSERT_TRUE(QDir(dir.path()).mkpath("prefix/bin"));
  EXPECT_EQ(ShippedDataDir(dir.path() + "/prefix/bin"), QDir(dir.path() + "/prefix/share/tarvo").canonicalPath());
}

// Core reports why a connection failed; the window words it, first line the
// message, second line the device or file and what went wrong.
TEST(ErrorTexts, EveryConnectionFailureIsWordedWithItsDeviceAndReason) {
  const auto text = [](ConnectionFailure failure, std::string where = {}, int error = 0, std::string detail = {}) {
    return ConnectionErrorText({failure, std::move(where), error, std::move(detail)}).toStdString();
  };
  EXPECT_EQ(text(ConnectionFailure::ReplayUnreadable, "/tmp/a.nmea", ENOENT),
            "Error: Unable to open emulation file!\n/tmp/a.nmea: No such file or directory");
  EXPECT_EQ(text(ConnectionFailure::TimerUnavailable), "Error: Unable to create timer!");
  EXPECT_EQ(text(ConnectionFailure::NoPortFound),
            "Error: Cannot open port!\nNo serial port was found \u2014 is the receiver plugged in?");
  EXPECT_EQ(text(ConnectionFailure::PortUnopenable, "/dev/ttyUSB0", EACCES),
            "Error: Cannot open port!\n/dev/ttyUSB0: Permission denied \u2014 add yourself to the dialout group");
  EXPECT_EQ(text(ConnectionFailure::PortUnopenable, "/dev/ttyUSB0", EBUSY),
            "Error: Cannot open port!\n/dev/ttyUSB0: Device or resource busy \u2014 another program holds the port");
  EXPECT_EQ(text(ConnectionFailure::PortSettingsRefused, "/dev/ttyS0", EINVAL),
            "Error: Cannot set port settings!\n/dev/ttyS0: Invalid argument");
  EXPECT_EQ(text(ConnectionFailure::PortTimeoutsRefused, "/dev/ttyS0", 0),
            "Error: Cannot set port timeouts!\n/dev/ttyS0: no reason given");
  EXPECT_EQ(text(ConnectionFailure::ReaderNotStarted, "/dev/ttyS0"), "Error: Cannot launch reader thread!");
  EXPECT_EQ(text(ConnectionFailure::ConnectionLost, "/dev/rfcomm0", 0, "device hung up"),
            "Error: GPS connection lost!\n/dev/rfcomm0: device hung up");
  EXPECT_EQ(text(ConnectionFailure::ConnectionLost), "Error: GPS connection lost!");
}

}  // namespace
}  // namespace tarvo
