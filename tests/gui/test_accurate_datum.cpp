// The accurate datum mode in the window: the Coord menu switches it, the
// status page shows the grid numbers of the chosen mode and says which mode
// is on, and the location dialog fills and reads its fields in that mode.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <filesystem>
#include <memory>

#include "core/geo/coord_format.h"
#include "core/proj/accurate_datum.h"
#include "gui/poi/location_dialog.h"
#include "gui/status/status_page.h"
#include "gui_fixture.h"
#include "tests/unit/geo/geo_test_points.h"

namespace tarvo {
namespace {

using testing::WindowFixture;

constexpr double kLat = 52.5, kLon = -1.5;  // the English Midlands

bool Ostn15Installed() {
  return std::filesystem::exists("/usr/share/proj/uk_os_OSTN15_NTv2_OSGBtoETRS.tif") ||
         std::filesystem::exists("/usr/share/proj/OSTN15_NTv2_OSGBtoETRS.gsb");
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

class AccurateDatumWindow : public WindowFixture {
 protected:
  StatusPage& Status() { return *static_cast<StatusPage*>(mainWindow().page(kStatusPage)); }
  QLabel* Label(const char* name) { return Status().findChild<QLabel*>(QString::fromLatin1(name)); }
};

TEST_F(AccurateDatumWindow, CoordMenuSwitchesTheStatusPageAndItSaysWhichModeIsOn) {
  store().SetInt(Key::FmtPos, static_cast<int32_t>(CoordFormat::Britain));
  store().SetText(Key::LatDefault, "52.5");
  store().SetText(Key::LonDefault, "-1.5");
  MakeWindow();
  const PositionText builtIn = FormatPosition(CoordFormat::Britain, kLat, kLon, PositionLayout::TwoField);
  const PositionText accurate =
      FormatPosition(DatumMode::Accurate, CoordFormat::Britain, kLat, kLon, PositionLayout::TwoField);
  ASSERT_NE(builtIn.value1, accurate.value1);  // OSGB36 by Helmert is metres from the built-in shift
  ASSERT_NE(Label("value1"), nullptr);
  EXPECT_EQ(Label("value1")->text(), Q(builtIn.value1));
  EXPECT_EQ(Label("value2")->text(), Q(builtIn.value2));
  EXPECT_TRUE(Label("value1")->toolTip().contains(QStringLiteral("built-in"))) << Label("value1")->toolTip().toStdString();

  {
    const std::unique_ptr<QMenu> menu(Status().CreateCoordMenu());
    QAction* toggle = menu->findChild<QAction*>(QStringLiteral("accurateDatum"));
    ASSERT_NE(toggle, nullptr);
    EXPECT_FALSE(toggle->isChecked());
    toggle->trigger();
  }
  EXPECT_TRUE(mainWindow().settings().values().accurateDatum);
  EXPECT_EQ(Label("value1")->text(), Q(accurate.value1));
  EXPECT_EQ(Label("value2")->text(), Q(accurate.value2));
  const QString tip = Label("line1")->toolTip();
  EXPECT_TRUE(tip.contains(QStringLiteral("EPSG:27700"))) << tip.toStdString();
  if (!Ostn15Installed()) {
    EXPECT_TRUE(tip.contains(QStringLiteral("Helmert fallback"))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("OSTN15"))) << tip.toStdString();
  }

  // The choice is stored and read at the next start.
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::AccurateDatum), 1);
  MakeWindow();
  EXPECT_EQ(Label("value1")->text(), Q(accurate.value1));
}

TEST(AccurateDatumDialog, FieldsAreFilledAndReadInTheModeOfTheWindow) {
  for (const bool on : {false, true}) {
    LocationValues v;
    v.latitude = kLat;
    v.longitude = kLon;
    v.format = CoordFormat::Britain;
    v.accurateDatum = on;
    LocationDialog d(v, {}, nullptr, {});
    const DatumMode mode = on ? DatumMode::Accurate : DatumMode::BuiltIn;
    const EditFields expected = FillEditFields(mode, CoordFormat::Britain, kLat, kLon);
    EXPECT_EQ(d.field(0, 0)->text(), Q(expected.axes[0].fields[0]));
    EXPECT_EQ(d.field(1, 0)->text(), Q(expected.axes[1].fields[0]));
    EXPECT_TRUE(d.datumLine()->text().contains(on ? QStringLiteral("accurate") : QStringLiteral("built-in")))
        << d.datumLine()->text().toStdString();
    // A grid reference typed from a paper map reads back to the place it names.
    ASSERT_TRUE(d.ReadFields());
    EXPECT_LT(testing::GroundMetres({d.values().latitude, d.values().longitude}, {kLat, kLon}), 0.08);
  }
  LocationValues v;
  v.format = CoordFormat::Britain;
  v.accurateDatum = true;
  LocationDialog d(v, {}, nullptr, {});
  d.field(0, 0)->setText(QStringLiteral("289239.3"));
  d.field(1, 0)->setText(QStringLiteral("434039.5"));
  ASSERT_TRUE(d.ReadFields());
  const GeoResult<LatLon> expected = AccuratePositionFromNumbers(CoordFormat::Britain, 289239.3, 434039.5);
  ASSERT_TRUE(expected.has_value());
  EXPECT_DOUBLE_EQ(d.values().latitude, expected->latitude);
  EXPECT_DOUBLE_EQ(d.values().longitude, expected->longitude);
}

}  // namespace
}  // namespace tarvo
