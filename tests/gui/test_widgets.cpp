// Small shared widgets: the flat button, and where shipped files are found.
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tarvo
