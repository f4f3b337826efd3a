// The location dialog over the geodesy library's edit fields: reading typed
// fields in several formats, the hemisphere buttons, converting on a format
// change, the waypoint list, quote removal and refused input.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include "core/poi/poi_list.h"
#include "gui/poi/location_dialog.h"

namespace tarvo {
namespace {

LocationValues At(double lat, double lon, CoordFormat format = CoordFormat::WgsDms) {
  LocationValues v;
  v.latitude = lat;
  v.longitude = lon;
  v.format = format;
  return v;
}

TEST(LocationDialog, ReadsTypedFieldsInSeveralFormats) {
  {
    LocationDialog d(At(0, 0), {}, nullptr, {});
    d.field(0, 0)->setText(QStringLiteral("52"));
    d.field(0, 1)->setText(QStringLiteral("30"));
    d.field(0, 2)->setText(QStringLiteral("36"));
    d.field(1, 0)->setText(QStringLiteral("4"));
    d.field(1, 1)->setText(QStringLiteral("15"));
    d.field(1, 2)->setText(QStringLiteral("0"));
    d.hemisphereButton(1)->click();  // E -> W
    EXPECT_EQ(d.hemisphereButton(1)->text(), QStringLiteral("W"));
    ASSERT_TRUE(d.ReadFields());
    EXPECT_NEAR(d.values().latitude, 52.51, 1e-9);
    EXPECT_NEAR(d.values().longitude, -4.25, 1e-9);
  }
  {
    LocationDialog d(At(0, 0, CoordFormat::WgsDeg), {}, nullptr, {});
    EXPECT_FALSE(d.field(0, 1)->isVisibleTo(&d));
    d.field(0, 0)->setText(QStringLiteral("33.5"));
    d.hemisphereButton(0)->click();  // N -> S
    d.field(1, 0)->setText(QStringLiteral("151.25"));
    ASSERT_TRUE(d.ReadFields());
    EXPECT_NEAR(d.values().latitude, -33.5, 1e-9);
    EXPECT_NEAR(d.values().longitude, 151.25, 1e-9);
  }
  {
    // UTM: northing and zone on the first axis, easting on the second.
    LocationDialog d(At(52.0, 4.0, CoordFormat::UtmWgs84), {}, nullptr, {});
    ASSERT_TRUE(d.ReadFields());
    EXPECT_NEAR(d.values().latitude, 52.0, 1e-6);
    EXPECT_NEAR(d.values().longitude, 4.0, 1e-6);
    d.field(0, 1)->setText(QStringLiteral("99Q"));
    EXPECT_FALSE(d.ReadFields());
    EXPECT_FALSE(d.errorLine()->isHidden());
  }
}

TEST(LocationDialog, FormatChangeConvertsAndWaypointsFillThePosition) {
  PoiList pois;
  pois.Add(60.1, 24.9, "Helsinki", "HEL");
  pois.Add(-41.3, 174.8, "Wellington", "WLG");
  LocationDialog d(At(52.123456, 4.654321), LatLon{}, &pois, {1, 0});
  ASSERT_EQ(d.waypointBox()->count(), 4);
  EXPECT_EQ(d.waypointBox()->itemText(1), QStringLiteral("* Current Position"));
  EXPECT_EQ(d.waypointBox()->itemText(2), QStringLiteral("Wellington"));  // display order

  d.ChooseFormat(2);
  d.ChooseFormat(0);
  ASSERT_TRUE(d.ReadFields());
  EXPECT_NEAR(d.values().latitude, 52.123456, 1e-5);
  EXPECT_NEAR(d.values().longitude, 4.654321, 1e-5);

  d.ChooseWaypoint(2);
  ASSERT_TRUE(d.ReadFields());
  EXPECT_NEAR(d.values().latitude, -41.3, 1e-4);
  EXPECT_EQ(d.hemisphereButton(0)->text(), QStringLiteral("S"));
  d.ChooseWaypoint(1);  // no fix: 0/0
  ASSERT_TRUE(d.ReadFields());
  EXPECT_EQ(d.values().latitude, 0.0);
  EXPECT_EQ(d.values().longitude, 0.0);
}

TEST(LocationDialog, OkRemovesQuotesAndRefusesWhatIsNoPosition) {
  LocationValues v = At(10, 20);
  v.name = "Old";
  LocationDialog d(v, {}, nullptr, {});
  d.nameEdit()->setText(QStringLiteral("The \"Golden\" Anchor"));
  d.abbreviationEdit()->setText(QStringLiteral("\"GA\""));
  d.accept();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(d.values().name, "The Golden Anchor");
  EXPECT_EQ(d.values().abbreviation, "GA");

  LocationDialog bad(At(10, 20), {}, nullptr, {});
  bad.field(0, 0)->setText(QStringLiteral("fifty"));
  bad.accept();
  EXPECT_NE(bad.result(), QDialog::Accepted);
  EXPECT_FALSE(bad.errorLine()->text().isEmpty());
  bad.field(0, 0)->setText(QStringLiteral("95"));  // beyond the pole
  bad.accept();
  EXPECT_NE(bad.result(), QDialog::Accepted);
  EXPECT_EQ(bad.values().latitude, 10.0);

  // Grids open in degrees; the reference-point form has no name fields.
  EXPECT_EQ(DialogFormatFor(CoordFormat::Netherlands), CoordFormat::WgsDms);
  EXPECT_EQ(DialogFormatFor(CoordFormat::WgsDm), CoordFormat::WgsDm);
  LocationDialog ref(LocationDialog::ReferencePointValues(LatLon{1, 2}, CoordFormat::Britain), {}, nullptr, {});
  EXPECT_FALSE(ref.nameEdit()->isVisibleTo(&ref));
  EXPECT_EQ(ref.formatBox()->currentIndex(), 0);
}

}  // namespace
}  // namespace tarvo
