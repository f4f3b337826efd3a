// UTM zones and bands, the Transverse Mercator grids, RD, Swiss and New
// Zealand: the edge cases, the capped loops, and forward-then-inverse round
// trips over each grid's area.
#include <cmath>
#include <cstdio>
#include <limits>

#include <gtest/gtest.h>

#include "core/geo/coord_format.h"
#include "core/geo/ellipsoid.h"
#include "core/geo/nz.h"
#include "core/geo/rd.h"
#include "core/geo/swiss.h"
#include "core/geo/tm_grid.h"
#include "core/geo/utm.h"
#include "geo_test_points.h"

namespace tarvo {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::string ZoneOf(double lat, double lon) {
  const auto g = UtmFromLatLon(EllipsoidId::Wgs84, lat, lon);
  return g ? g->zone : "none";
}

TEST(GeoUtm, ZoneNumbersWithTheNorwayAndSvalbardExceptions) {
  EXPECT_EQ(ZoneOf(60, 5), "32V");  // not 31
  EXPECT_EQ(ZoneOf(60, 2.99), "31V");
  EXPECT_EQ(ZoneOf(64, 5), "31W");  // the exception ends below 64
  EXPECT_EQ(ZoneOf(75, 10), "33X");
  EXPECT_EQ(ZoneOf(75, 8.99), "31X");
  EXPECT_EQ(ZoneOf(75, 21), "35X");
  EXPECT_EQ(ZoneOf(75, 33), "37X");
  EXPECT_EQ(ZoneOf(75, 42), "38X");  // outside the bands the zone is kept
  EXPECT_EQ(ZoneOf(84, 10), "32X");  // Svalbard rule stops below 84
  EXPECT_EQ(ZoneOf(10, -180), "1P");
  EXPECT_EQ(ZoneOf(10, 180), "1P");   // 180 normalises to -180
  EXPECT_EQ(ZoneOf(10, 179.99), "60P");
  EXPECT_EQ(ZoneOf(10, 369), "32P");  // 369 = 9 + 360
  EXPECT_EQ(ZoneOf(10, 543), "1P");   // 543 = -177 + 720
}

TEST(GeoUtm, BandLettersAtTheirLimits) {
  EXPECT_EQ(UtmBandLetter(84), 'X');
  EXPECT_EQ(UtmBandLetter(84.000001), 'Z');
  EXPECT_EQ(UtmBandLetter(72), 'X');
  EXPECT_EQ(UtmBandLetter(71.999), 'W');
  EXPECT_EQ(UtmBandLetter(-80), 'C');
  EXPECT_EQ(UtmBandLetter(-80.000001), 'Z');
  EXPECT_EQ(UtmBandLetter(0), 'N');
  EXPECT_EQ(UtmBandLetter(-0.000001), 'M');
  EXPECT_EQ(UtmBandLetter(8), 'P');
  EXPECT_EQ(UtmBandLetter(48.5), 'U');
  EXPECT_EQ(UtmBandLetter(kNan), 'Z');
}

TEST(GeoUtm, EquatorOriginSouthernNorthingsAndTheTwoEllipsoids) {
  const auto origin = UtmFromLatLon(EllipsoidId::Wgs84, 0, 3);
  ASSERT_TRUE(origin);
  EXPECT_EQ(origin->zone, "31N");
  EXPECT_NEAR(origin->easting, 500000.0, 1e-6);
  EXPECT_NEAR(origin->northing, 0.0, 1e-6);

  for (double lon : {-120.0, 3.0, 100.5}) {
    const auto south = UtmFromLatLon(EllipsoidId::Wgs84, -0.000001, lon);
    ASSERT_TRUE(south);
    EXPECT_EQ(south->zone.back(), 'M');
    EXPECT_LT(south->northing, 10000000.0);
    EXPECT_GT(south->northing, 9999999.0);
  }

  const auto wgs = UtmFromLatLon(EllipsoidId::Wgs84, 48.2, 16.4);
  const auto intl = UtmFromLatLon(EllipsoidId::International1924, 48.2, 16.4);
  ASSERT_TRUE(wgs && intl);
  EXPECT_EQ(wgs->zone, intl->zone);
  const double shift = std::hypot(wgs->northing - intl->northing, wgs->easting - intl->easting);
  EXPECT_GT(shift, 10.0);
  EXPECT_LT(shift, 500.0);
}

TEST(GeoUtm, ZoneTextsOfTheInverse) {
  const auto g = UtmFromLatLon(EllipsoidId::Wgs84, -33.9, 18.4);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->zone, "34H");
  const auto back = LatLonFromUtm(EllipsoidId::Wgs84, g->northing, g->easting, "34H");
  ASSERT_TRUE(back);
  EXPECT_NEAR(back->latitude, -33.9, 1e-8);
  // Any letter sorting before 'N' means south; no letter at all too.
  const auto noLetter = LatLonFromUtm(EllipsoidId::Wgs84, g->northing, g->easting, "34");
  ASSERT_TRUE(noLetter);
  EXPECT_NEAR(noLetter->latitude, -33.9, 1e-8);
  // A text without a leading number is zone 0 (central meridian -183).
  const auto zoneZero = LatLonFromUtm(EllipsoidId::Wgs84, 5000000, 500000, "U");
  ASSERT_TRUE(zoneZero);
  EXPECT_NEAR(zoneZero->longitude, -183.0, 1e-9);

  EXPECT_EQ(CanonicalUtmZone(" 32u "), "32U");
  EXPECT_EQ(CanonicalUtmZone("1C"), "1C");
  for (const char* bad : {"", "32", "U32", "61U", "0U", "32I", "32O", "32Y", "32UU", "3 2U", "-32U", "100U"})
    EXPECT_FALSE(CanonicalUtmZone(bad)) << bad;
}

TEST(GeoUtm, UnusableEllipsoidsAndNonFiniteInput) {
  EXPECT_FALSE(UtmFromLatLon(static_cast<EllipsoidId>(0), 50, 5));  // placeholder row has no axes
  EXPECT_FALSE(UtmFromLatLon(static_cast<EllipsoidId>(24), 50, 5));
  EXPECT_FALSE(UtmFromLatLon(EllipsoidId::Wgs84, kNan, 5));
  EXPECT_FALSE(LatLonFromUtm(static_cast<EllipsoidId>(-1), 5e6, 5e5, "32U"));
  EXPECT_FALSE(LatLonFromUtm(EllipsoidId::Wgs84, kInf, 5e5, "32U"));
}

TEST(GeoTmGrid, RowsAndTheirFormats) {
  // Britain to Sweden (SWEREF93), formats 6..15, each have their own row.
  int rows = 0;
  for (CoordFormat f : kAllCoordFormats) {
    const int index = static_cast<int>(f);
    if (index < 6 || index > 15) {
      EXPECT_EQ(FindTmGrid(f), nullptr) << index;
      continue;
    }
    ASSERT_NE(FindTmGrid(f), nullptr) << index;
    EXPECT_EQ(FindTmGrid(f)->format, f);
    ++rows;
  }
  EXPECT_EQ(rows, 10);
  EXPECT_EQ(FindTmGrid(CoordFormat::Britain)->lambda0Deg, -2.0);
  EXPECT_EQ(FindTmGrid(CoordFormat::SwedenSweref93)->e0, 1500064.08);
  EXPECT_EQ(FindTmGrid(CoordFormat::Netherlands), nullptr);
  EXPECT_EQ(FindTmGrid(CoordFormat::Switzerland), nullptr);
  EXPECT_FALSE(TmGridFromLatLon(CoordFormat::UtmWgs84, 50, 5));
  EXPECT_FALSE(LatLonFromTmGrid(CoordFormat::Switzerland, 0, 0));
  // Only Britain shifts datum: the same point on Ireland's row comes out
  // the same whether or not a shift was asked of the caller.
  const auto direct = TmProject(*FindTmGrid(CoordFormat::Ireland), 53.3 * kDegToRad, -6.3 * kDegToRad);
  const auto viaFormat = TmGridFromLatLon(CoordFormat::Ireland, 53.3, -6.3);
  ASSERT_TRUE(direct && viaFormat);
  EXPECT_EQ(direct->northing, viaFormat->northing);
  EXPECT_EQ(direct->easting, viaFormat->easting);
}

TEST(GeoTmGrid, OrdnanceSurveyWorkedExampleOnAiry) {
  // The Ordnance Survey's published example: 52 39'27.2531"N 1 43'4.5177"E on
  // OSGB36 (Airy) is E 651409.903, N 313177.270.
  const double phi = (52 + 39 / 60.0 + 27.2531 / 3600) * kDegToRad;
  const double lambda = (1 + 43 / 60.0 + 4.5177 / 3600) * kDegToRad;
  const auto g = TmProject(*FindTmGrid(CoordFormat::Britain), phi, lambda);
  ASSERT_TRUE(g);
  EXPECT_NEAR(g->easting, 651409.903, 0.001);
  EXPECT_NEAR(g->northing, 313177.270, 0.001);
  const auto back = TmUnproject(*FindTmGrid(CoordFormat::Britain), 313177.270, 651409.903);
  ASSERT_TRUE(back);
  EXPECT_NEAR(back->lat, phi, 1e-9);
  EXPECT_NEAR(back->lon, lambda, 1e-9);
}

TEST(GeoTmGrid, InverseLoopEndsOnTheFirstPassUnderOneMillimetreOrGivesNothing) {
  const TmGrid& g = *FindTmGrid(CoordFormat::Finland3);
  // A northing whose first guess already lies within 1 mm: the latitude
  // then comes straight from the first guess.
  const double phi0 = 0.0;
  const auto atOrigin = TmUnproject(g, 0.0005, g.e0);
  ASSERT_TRUE(atOrigin);
  EXPECT_EQ(atOrigin->lat, (0.0005 - g.n0) / g.aF0 + phi0);
  // Runaway input cannot settle to a millimetre: no position rather than a hang.
  EXPECT_FALSE(TmUnproject(g, 1e300, 0));
  EXPECT_FALSE(TmUnproject(g, kNan, 0));
  EXPECT_FALSE(LatLonFromTmGrid(CoordFormat::Britain, -1e200, 1e200));
}

TEST(GeoRd, OriginAndTheDatumCorrection) {
  // The polynomial's origin 52.15616056 N 5.38763889 E is a Bessel position;
  // the WGS-84 position whose corrected value it is lies at X 155000, Y 463000.
  const auto origin = LatLonFromRd(155000, 463000);
  ASSERT_TRUE(origin);
  EXPECT_NEAR(origin->latitude - 0.00001 * (-96.862 - 11.714 * (origin->latitude - 52) -
                                            0.125 * (origin->longitude - 5)),
              52.15616056, 2e-7);
  const auto grid = RdFromLatLon(origin->latitude, origin->longitude);
  ASSERT_TRUE(grid);
  EXPECT_NEAR(grid->easting, 155000, 0.05);
  EXPECT_NEAR(grid->northing, 463000, 0.05);
  // The Amersfoort tower in WGS-84 is about 100 m south-west of the Bessel numbers.
  const auto raw = RdFromLatLon(52.15616056, 5.38763889);
  ASSERT_TRUE(raw);
  EXPECT_GT(raw->northing - 463000, 100);
  EXPECT_FALSE(RdFromLatLon(kNan, 5));
  EXPECT_FALSE(LatLonFromRd(kInf, 0));
}

TEST(GeoSwiss, BernRoundedToOneDecimal) {
  const auto g = SwissFromLatLon(46.95108, 7.43864);
  ASSERT_TRUE(g);
  EXPECT_DOUBLE_EQ(g->easting, 600000.7);
  EXPECT_DOUBLE_EQ(g->northing, 199999.4);
  EXPECT_FALSE(SwissFromLatLon(kNan, 7));
  EXPECT_FALSE(LatLonFromSwiss(200000, kInf));
}

TEST(GeoSwiss, LatitudeIterationsEndWhereTheyAlternate) {
  // Without a cap, the WGS-84 -> CH1903 latitude iteration alternates between
  // two neighbouring doubles for this input and never ends.
  const auto g = SwissFromLatLon(45.8, 6.912);
  ASSERT_TRUE(g);
  const auto back = LatLonFromSwiss(g->northing, g->easting);
  ASSERT_TRUE(back);
  EXPECT_LT(testing::GroundMetres({45.8, 6.912}, *back), 0.1);
  // A dense sweep all ends.
  int count = 0;
  for (double lat = 45.8; lat < 47.8; lat += 0.0173)
    for (double lon = 5.9; lon < 10.5; lon += 0.0291) count += SwissFromLatLon(lat, lon).has_value();
  EXPECT_GT(count, 18000);
}

TEST(GeoNz, MapGridOriginRangeAndStatus) {
  const auto origin = NzmgProject(-41 * kDegToRad, 173 * kDegToRad);
  ASSERT_TRUE(origin);
  EXPECT_NEAR(origin->northing, 6023150, 1e-6);
  EXPECT_NEAR(origin->easting, 2510000, 1e-6);

  int status = -1;
  const auto europe = NzmgFromLatLon(52, 5, &status);
  ASSERT_TRUE(europe);
  EXPECT_EQ(europe->northing, 0);
  EXPECT_EQ(europe->easting, 0);
  EXPECT_EQ(status, kNzmgLatitudeOut | kNzmgLongitudeOut);
  NzmgFromLatLon(-41, 160, &status);
  EXPECT_EQ(status, kNzmgLongitudeOut);

  const auto wellington = NzmgFromLatLon(-41.2865, 174.7762, &status);
  ASSERT_TRUE(wellington);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(wellington->northing, std::floor(wellington->northing));  // whole metres

  EXPECT_FALSE(LatLonFromNzmg(6000000, 1809999, &status));
  EXPECT_EQ(status, kNzmgEastingOut);
  EXPECT_FALSE(LatLonFromNzmg(7000000, 4000000, &status));
  EXPECT_EQ(status, kNzmgEastingOut | kNzmgNorthingOut);
  EXPECT_FALSE(LatLonFromNzmg(kNan, 2500000, &status));
  EXPECT_TRUE(LatLonFromNzmg(5160000, 1810000, &status));  // the range is inclusive
  EXPECT_FALSE(NzmgFromLatLon(kNan, 174));
}

TEST(GeoNz, Nzgd49ResultsHaveFiveDecimals) {
  const auto nz = Nzgd49FromLatLon(-36.8485, 174.7633);
  ASSERT_TRUE(nz);
  EXPECT_EQ(nz->latitude, RoundToDecimals(nz->latitude, 5));
  EXPECT_EQ(nz->longitude, RoundToDecimals(nz->longitude, 5));
  EXPECT_NE(nz->latitude, RoundToDecimals(-36.8485, 5));  // shifted by about 200 m
  const auto back = LatLonFromNzgd49(nz->latitude, nz->longitude);
  ASSERT_TRUE(back);
  EXPECT_NEAR(back->latitude, -36.8485, 1.1e-5);
}

// A conversion without a result says why, so that the window and the tool
// can word it.
TEST(GeoFailures, EachConversionSaysWhyItHasNoResult) {
  EXPECT_EQ(PositionNumbers(static_cast<CoordFormat>(19), 50, 5).error(), GeoFailure::UnknownFormat);
  EXPECT_EQ(PositionFromNumbers(static_cast<CoordFormat>(19), 1, 2).error(), GeoFailure::UnknownFormat);
  EXPECT_EQ(TmGridFromLatLon(CoordFormat::UtmWgs84, 50, 5).error(), GeoFailure::UnknownFormat);
  EXPECT_EQ(LatLonFromTmGrid(CoordFormat::Nzmg, 0, 0).error(), GeoFailure::UnknownFormat);
  EXPECT_EQ(PositionNumbers(CoordFormat::WgsDeg, kNan, 5).error(), GeoFailure::NotFinite);
  EXPECT_EQ(PositionNumbers(CoordFormat::UtmWgs84, 50, kInf).error(), GeoFailure::NotFinite);
  EXPECT_EQ(PositionNumbers(CoordFormat::Britain, kNan, 0).error(), GeoFailure::NotFinite);
  EXPECT_EQ(PositionFromNumbers(CoordFormat::Ireland, kNan, 2e5).error(), GeoFailure::NotFinite);
  EXPECT_EQ(PositionFromNumbers(CoordFormat::Nzmg, kNan, 6e6).error(), GeoFailure::NotFinite);
  // Grid numbers no place on the globe has, and the map grid's range.
  EXPECT_EQ(LatLonFromTmGrid(CoordFormat::Britain, -1e200, 1e200).error(), GeoFailure::OutsideGrid);
  EXPECT_EQ(TmUnproject(*FindTmGrid(CoordFormat::Finland3), 1e12, 3.5e6).error(), GeoFailure::OutsideGrid);
  EXPECT_EQ(PositionFromNumbers(CoordFormat::Nzmg, 2510000, 9000000).error(), GeoFailure::OutsideGrid);
  EXPECT_EQ(LatLonFromNzmg(6000000, 1809999).error(), GeoFailure::OutsideGrid);
  EXPECT_EQ(UtmFromLatLon(static_cast<EllipsoidId>(0), 50, 5).error(), GeoFailure::UnusableEllipsoid);
  EXPECT_EQ(LatLonFromUtm(static_cast<EllipsoidId>(24), 5e6, 5e5, "32U").error(), GeoFailure::UnusableEllipsoid);
  // A result carries no reason of its own; it reads as the value.
  const GeoResult<LatLon> ok = PositionFromNumbers(CoordFormat::WgsDeg, 52.5, 5);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->latitude, 52.5);
  EXPECT_EQ(std::optional<LatLon>(ok)->longitude, 5);
}

// Forward then inverse at a lattice of points over each grid's area: 0.1 m,
// except New Zealand (its own rounding to 5 decimals and whole metres) and
// RD, whose forward polynomial multiplies the 0.60639 term by dL where the
// inverse was fitted to dL^3: the two part by up to 0.12 m in the corners of
// the country (Groningen coast, Zeeland, south Limburg).
TEST(GeoRoundTrip, EveryGridWithinItsLimit) {
  for (const testing::GridArea& area : testing::GridAreas()) {
    const bool newZealand = area.format == CoordFormat::Nzgd49 || area.format == CoordFormat::Nzmg;
    const double limit = newZealand ? 1.5 : (area.format == CoordFormat::Netherlands ? 0.15 : 0.1);
    double worst = 0;
    for (const LatLon& p : testing::LatticeOver(area, 21)) {
      const auto numbers = PositionNumbers(area.format, p.latitude, p.longitude);
      ASSERT_TRUE(numbers) << area.name;
      const auto back = PositionFromNumbers(area.format, numbers->first, numbers->second, numbers->zone);
      ASSERT_TRUE(back) << area.name << " " << p.latitude << " " << p.longitude;
      const double d = testing::GroundMetres(p, *back);
      EXPECT_LT(d, limit) << area.name << " at " << p.latitude << ", " << p.longitude;
      worst = std::max(worst, d);
    }
    std::printf("[ round   ] %-28s max %.3f m\n", area.name, worst);
  }
}

}  // namespace
}  // namespace tarvo
