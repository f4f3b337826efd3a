// The location dialog's field record: what each format fills in, and what
// typed text reads back as.
#include <cmath>

#include <gtest/gtest.h>

#include "core/geo/coord_format.h"
#include "core/geo/edit_fields.h"
#include "geo_test_points.h"

namespace tarvo {
namespace {

TEST(GeoEditFields, DegreesMinutesSecondsLayout) {
  const EditFields f = FillEditFields(CoordFormat::WgsDms, -33.5, 151.2093);
  EXPECT_EQ(f.columnCaptions, (std::array<std::string, 3>{"d\xC2\xB0", "m'", "s\""}));
  EXPECT_EQ(f.axisCaptions, (std::array<std::string, 2>{"Lat:", "Lon:"}));
  EXPECT_EQ(f.axes[0].fields, (std::array<std::string, 3>{"33", "30", "0.0000"}));
  EXPECT_EQ(f.axes[0].hemisphere, "S");
  EXPECT_EQ(f.axes[1].fields[0], "151");
  EXPECT_EQ(f.axes[1].fields[1], "12");
  EXPECT_EQ(f.axes[1].fields[2], "33.4800");
  EXPECT_EQ(f.axes[1].hemisphere, "E");
  EXPECT_TRUE(f.axes[0].fieldUsed[2] && f.axes[0].hemisphereUsed);
}

TEST(GeoEditFields, CaptionsAndUsedFieldsOfEveryFormat) {
  const EditFields dm = FillEditFields(CoordFormat::WgsDm, 52.0875, 5.1);
  EXPECT_EQ(dm.axes[0].fields[1], "5.25000");
  EXPECT_EQ(dm.columnCaptions[1], "m.m'");
  EXPECT_FALSE(dm.axes[0].fieldUsed[2]);
  const EditFields deg = FillEditFields(CoordFormat::WgsDeg, 52.0875, 5.1);
  EXPECT_EQ(deg.axes[0].fields[0], "52.087500");
  EXPECT_EQ(deg.axes[1].fields[0], "5.100000");
  EXPECT_EQ(deg.columnCaptions[0], "d.d\xC2\xB0");
  const EditFields utm = FillEditFields(CoordFormat::UtmWgs84, 0, 3);
  EXPECT_EQ(utm.axes[0].fields[0], "0.00");
  EXPECT_EQ(utm.axes[0].fields[1], "31N");
  EXPECT_EQ(utm.axes[1].fields[0], "500000.00");
  EXPECT_EQ(utm.columnCaptions[0], "m");
  EXPECT_TRUE(utm.axes[0].fieldUsed[1]);
  EXPECT_FALSE(utm.axes[1].fieldUsed[1]);
  EXPECT_FALSE(utm.axes[0].hemisphereUsed);
  const EditFields swiss = FillEditFields(CoordFormat::Switzerland, 46.95108, 7.43864);
  EXPECT_EQ(swiss.axes[0].fields[0], "600000.7");
  EXPECT_EQ(swiss.axes[1].fields[0], "199999.4");
  EXPECT_EQ(swiss.axisCaptions, (std::array<std::string, 2>{"X:", "Y:"}));
  EXPECT_EQ(FillEditFields(CoordFormat::Britain, 51.5, -0.1).axisCaptions, (std::array<std::string, 2>{"N:", "E:"}));
  EXPECT_EQ(FillEditFields(CoordFormat::Netherlands, 52.37, 4.89).axisCaptions[0], "X:");
  EXPECT_EQ(FillEditFields(CoordFormat::Nzmg, -41, 174).axisCaptions[1], "Y:");
  // A position with no value keeps the layout but leaves the texts empty.
  const EditFields none = FillEditFields(CoordFormat::UtmWgs84, std::nan(""), 0);
  EXPECT_EQ(none.axes[0].fields[0], "");
  EXPECT_EQ(none.columnCaptions[0], "m");
  EXPECT_EQ(FillEditFields(static_cast<CoordFormat>(19), 0, 0).axisCaptions[0], "");
}

TEST(GeoEditFields, SecondsAndMinutesCarryInTheFields) {
  const EditFields f = FillEditFields(CoordFormat::WgsDms, 52 + 5 / 60.0 + 59.99996 / 3600, 0);
  EXPECT_EQ(f.axes[0].fields, (std::array<std::string, 3>{"52", "6", "0.0000"}));
  const EditFields g = FillEditFields(CoordFormat::WgsDm, 52 + 59.999996 / 60, 0);
  EXPECT_EQ(g.axes[0].fields[0], "53");
  EXPECT_EQ(g.axes[0].fields[1], "0.00000");
}

TEST(GeoEditFields, SwitchingFormatsKeepsThePosition) {
  // Fill in one format, read back, fill in the next: the position survives
  // up to the rounding of the shown fields, for every format in its area.
  for (const testing::GridArea& area : testing::GridAreas()) {
    const LatLon start{(area.minLat + area.maxLat) / 2, (area.minLon + area.maxLon) / 2};
    for (CoordFormat f : {CoordFormat::WgsDms, CoordFormat::WgsDm, CoordFormat::WgsDeg, area.format}) {
      const auto back = ReadEditFields(f, FillEditFields(f, start.latitude, start.longitude));
      const int index = static_cast<int>(f);
      ASSERT_TRUE(back) << area.name << " format " << index;
      const bool newZealand = f == CoordFormat::Nzgd49 || f == CoordFormat::Nzmg;
      EXPECT_LT(testing::GroundMetres(start, *back), newZealand ? 1.5 : 0.2) << area.name << " format " << index;
    }
  }
}

EditFields Typed(const char* d0, const char* m0, const char* s0, const char* h0, const char* d1, const char* m1,
                 const char* s1, const char* h1) {
  EditFields f;
  f.axes[0].fields = {d0, m0, s0};
  f.axes[0].hemisphere = h0;
  f.axes[1].fields = {d1, m1, s1};
  f.axes[1].hemisphere = h1;
  return f;
}

TEST(GeoEditFields, HemispheresAndSignsAsTyped) {
  auto p = ReadEditFields(CoordFormat::WgsDms, Typed("33", "30", "0", "S", "151", "12", "33.48", "E"));
  ASSERT_TRUE(p);
  EXPECT_DOUBLE_EQ(p->latitude, -33.5);
  EXPECT_NEAR(p->longitude, 151.2093, 1e-12);
  // A typed minus stays; "S" does not flip it back.
  p = ReadEditFields(CoordFormat::WgsDeg, Typed("-33.5", "", "", "S", "-70", "", "", "W"));
  ASSERT_TRUE(p);
  EXPECT_DOUBLE_EQ(p->latitude, -33.5);
  EXPECT_DOUBLE_EQ(p->longitude, -70);
  // Only exactly "S" and "W" negate.
  p = ReadEditFields(CoordFormat::WgsDeg, Typed("10", "", "", "s", "20", "", "", "W "));
  ASSERT_TRUE(p);
  EXPECT_DOUBLE_EQ(p->latitude, 10);
  EXPECT_DOUBLE_EQ(p->longitude, 20);
  // A negative degrees text makes the whole angle negative, minutes included.
  p = ReadEditFields(CoordFormat::WgsDm, Typed("-52", "30", "", "N", "-0", "30", "", "E"));
  ASSERT_TRUE(p);
  EXPECT_DOUBLE_EQ(p->latitude, -52.5);
  EXPECT_DOUBLE_EQ(p->longitude, -0.5);
  // Empty fields read as 0.
  p = ReadEditFields(CoordFormat::WgsDms, Typed("47", "", "", "N", "8", "", "", "E"));
  ASSERT_TRUE(p);
  EXPECT_DOUBLE_EQ(p->latitude, 47);
}

TEST(GeoEditFields, InputThatGivesNoPosition) {
  EXPECT_FALSE(ReadEditFields(CoordFormat::WgsDms, Typed("47.5", "0", "0", "N", "8", "0", "0", "E")));  // integer field
  EXPECT_FALSE(ReadEditFields(CoordFormat::WgsDeg, Typed("47,5", "", "", "N", "8", "", "", "E")));      // comma
  EXPECT_FALSE(ReadEditFields(CoordFormat::WgsDm, Typed("47", "abc", "", "N", "8", "0", "", "E")));
  EditFields utm = FillEditFields(CoordFormat::UtmWgs84, 48.2, 16.4);
  EXPECT_TRUE(ReadEditFields(CoordFormat::UtmWgs84, utm));
  utm.axes[0].fields[1] = "33";  // zone without a band letter
  EXPECT_FALSE(ReadEditFields(CoordFormat::UtmWgs84, utm));
  utm.axes[0].fields[1] = "33u";  // lower case is fine
  EXPECT_TRUE(ReadEditFields(CoordFormat::UtmWgs84, utm));
  utm.axes[0].fields[1] = "33c";  // and means south, as 'C' does
  const auto south = ReadEditFields(CoordFormat::UtmWgs84, utm);
  ASSERT_TRUE(south);
  EXPECT_LT(south->latitude, 0);
  EditFields nzmg;
  nzmg.axes[0].fields[0] = "2510000";
  nzmg.axes[1].fields[0] = "9000000";  // northing beyond the grid
  EXPECT_FALSE(ReadEditFields(CoordFormat::Nzmg, nzmg));
  nzmg.axes[1].fields[0] = "6023150";
  const auto origin = ReadEditFields(CoordFormat::Nzmg, nzmg);
  ASSERT_TRUE(origin);
  EXPECT_NEAR(origin->latitude, -41, 0.01);
  EXPECT_FALSE(ReadEditFields(static_cast<CoordFormat>(19), nzmg));
}

TEST(GeoEditFields, ReasonsForNoPosition) {
  EXPECT_EQ(ReadEditFields(CoordFormat::WgsDms, Typed("47.5", "0", "0", "N", "8", "0", "0", "E")).error(),
            GeoFailure::BadNumber);
  EXPECT_EQ(ReadEditFields(CoordFormat::Nzgd49, Typed("41", "0", "0", "S", "174", "1e1", "0", "E")).error(),
            GeoFailure::BadNumber);
  EditFields utm = FillEditFields(CoordFormat::UtmInternational, 48.2, 16.4);
  utm.axes[0].fields[1] = "61U";
  EXPECT_EQ(ReadEditFields(CoordFormat::UtmInternational, utm).error(), GeoFailure::BadZone);
  utm.axes[1].fields[0] = "5,5";  // an unreadable number is told before the zone
  EXPECT_EQ(ReadEditFields(CoordFormat::UtmInternational, utm).error(), GeoFailure::BadNumber);
  EditFields grid;
  grid.axes[0].fields[0] = "2510000";
  grid.axes[1].fields[0] = "9000000";
  EXPECT_EQ(ReadEditFields(CoordFormat::Nzmg, grid).error(), GeoFailure::OutsideGrid);
  grid.axes[1].fields[0] = "x";
  EXPECT_EQ(ReadEditFields(CoordFormat::Switzerland, grid).error(), GeoFailure::BadNumber);
  grid.axes[0].fields[0] = "-" + std::string(200, '9');
  grid.axes[1].fields[0] = std::string(200, '9');
  EXPECT_EQ(ReadEditFields(CoordFormat::Britain, grid).error(), GeoFailure::OutsideGrid);
  EXPECT_EQ(ReadEditFields(static_cast<CoordFormat>(19), grid).error(), GeoFailure::UnknownFormat);
}

TEST(GeoEditFields, GridFieldOrder) {
  // RD reads X then Y; Swiss and the map grid take the north value from the
  // second axis and the east value from the first.
  for (const LatLon p : {LatLon{52.3, 5.2}, LatLon{47.3, 8.5}, LatLon{-41.3, 174.8}}) {
    const CoordFormat f =
        p.latitude < 0 ? CoordFormat::Nzmg : (p.latitude > 50 ? CoordFormat::Netherlands : CoordFormat::Switzerland);
    const EditFields filled = FillEditFields(f, p.latitude, p.longitude);
    const auto back = ReadEditFields(f, filled);
    ASSERT_TRUE(back) << static_cast<int>(f);
    EXPECT_NEAR(back->latitude, p.latitude, 1.5e-5) << static_cast<int>(f);
    EditFields swapped = filled;
    std::swap(swapped.axes[0].fields[0], swapped.axes[1].fields[0]);
    const auto wrong = ReadEditFields(f, swapped);
    EXPECT_TRUE(!wrong || std::fabs(wrong->latitude - p.latitude) > 0.5) << static_cast<int>(f);
  }
}

}  // namespace
}  // namespace tarvo
