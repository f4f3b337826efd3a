// Ellipsoid table, rounding helpers, Molodensky shifts and the Swiss
// seven-parameter transformation.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "core/geo/datum.h"
#include "core/geo/ellipsoid.h"
#include "core/geo/swiss.h"

namespace tarvo {
namespace {

TEST(GeoEllipsoids, RowsUsedByTheGridsAndTheOddOnes) {
  ASSERT_EQ(kEllipsoids.size(), 24u);
  for (int i = 1; i < kEllipsoidCount; ++i) EXPECT_EQ(kEllipsoids[i].id, i);
  EXPECT_EQ(kEllipsoids[0].id, -1);
  EXPECT_EQ(kEllipsoids[23].name, "WGS-84");
  EXPECT_EQ(kEllipsoids[23].inverseFlattening, 298.257223563);
  EXPECT_EQ(kEllipsoids[14].semiMajorAxis, 6378388.0);
  EXPECT_EQ(kEllipsoids[1].eccentricitySquared, 0.00667054);
  EXPECT_EQ(kEllipsoids[4].name, "Bessel 1841 (Nambia) ");  // trailing blanks are part of the names
  EXPECT_EQ(kEllipsoids[8].name, "Fischer 1960 (Mercury) ");
  for (int id : {8, 9, 10, 20, 21}) EXPECT_EQ(kEllipsoids[id].inverseFlattening, 0) << id;
  EXPECT_EQ(FindEllipsoid(EllipsoidId::Wgs84), &kEllipsoids[23]);
  EXPECT_EQ(FindEllipsoid(EllipsoidId::Airy1830)->name, "Airy");
  EXPECT_EQ(FindEllipsoid(EllipsoidId::International1924)->name, "International 1924");
  EXPECT_EQ(FindEllipsoid(static_cast<EllipsoidId>(0)), nullptr);
  EXPECT_EQ(FindEllipsoid(static_cast<EllipsoidId>(24)), nullptr);
  EXPECT_EQ(FindEllipsoid(static_cast<EllipsoidId>(-1)), nullptr);
}

TEST(GeoRounding, HalvesGoUpAndScaledValuesKeepTheirBinaryError) {
  EXPECT_EQ(RoundHalfUp(2.5), 3.0);
  EXPECT_EQ(RoundHalfUp(-2.5), -2.0);
  EXPECT_EQ(RoundHalfUp(2.4999999), 2.0);
  EXPECT_EQ(RoundHalfUp(-2.5000001), -3.0);
  EXPECT_EQ(RoundHalfUp(7.0), 7.0);
  EXPECT_TRUE(std::isnan(RoundHalfUp(std::nan(""))));
  // 1.234565 * 1e5 is 123456.49999999999 in doubles, so it rounds down.
  EXPECT_EQ(RoundToDecimals(1.234565, 5), 1.23456);
  EXPECT_EQ(RoundToDecimals(-41.123455, 5), RoundHalfUp(-41.123455 * 1e5) / 1e5);
  EXPECT_EQ(RoundToDecimals(0.125, 2), 0.13);  // exact half in binary: up
  EXPECT_EQ(RoundToDecimals(1e308, 5), 1e308);  // the scaling would overflow
  EXPECT_EQ(RoundToDecimals(-4e15 - 0.5, 2), -4e15 - 0.5);
}

TEST(GeoMolodensky, ForwardThenBackReturnsTheStartWellUnderAMetre) {
  for (const auto& pair : {std::pair{kWgs84ToAiry, kAiryToWgs84}, std::pair{kWgs84ToNzgd49, kNzgd49ToWgs84}}) {
    for (double lat : {-47.0, -41.0, 0.5, 50.0, 58.0}) {
      for (double lon : {-7.0, 0.0, 170.0, 178.0}) {
        const auto there = ShiftDegrees(pair.first, lat, lon, false);
        ASSERT_TRUE(there);
        // The shift itself moves by tens to hundreds of metres.
        EXPECT_GT(std::hypot(there->lat - lat, there->lon - lon), 1e-4);
        const auto back = ShiftDegrees(pair.second, there->lat, there->lon, false);
        ASSERT_TRUE(back);
        EXPECT_NEAR(back->lat, lat, 2e-6) << lat << " " << lon;  // 0.2 m (NZ rounds to 5 decimals)
        EXPECT_NEAR(back->lon, lon, 2e-6 / std::cos(lat * kDegToRad));
      }
    }
  }
}

TEST(GeoMolodensky, UnitsOfTheFourCallers) {
  const auto degrees = ShiftDegrees(kWgs84ToAiry, 52.0, -1.0, false);
  const auto radians = ShiftDegrees(kWgs84ToAiry, 52.0, -1.0, true);
  ASSERT_TRUE(degrees && radians);
  EXPECT_DOUBLE_EQ(radians->lat * kRadToDeg, degrees->lat);
  EXPECT_DOUBLE_EQ(radians->lon * kRadToDeg, degrees->lon);
  // British inverse takes radians with the flag and always returns degrees.
  const auto fromRadians = ShiftDegrees(kAiryToWgs84, radians->lat, radians->lon, true);
  const auto fromDegrees = ShiftDegrees(kAiryToWgs84, degrees->lat, degrees->lon, false);
  ASSERT_TRUE(fromRadians && fromDegrees);
  EXPECT_NEAR(fromRadians->lat, 52.0, 1e-6);
  EXPECT_NEAR(fromDegrees->lat, 52.0, 1e-6);
  // New Zealand: degrees rounded to 5 decimals, or unrounded radians for the map grid.
  const auto nz = ShiftDegrees(kWgs84ToNzgd49, -41.2865, 174.7762, false);
  const auto nzRad = ShiftDegrees(kWgs84ToNzgd49, -41.2865, 174.7762, true);
  ASSERT_TRUE(nz && nzRad);
  EXPECT_EQ(nz->lat, RoundToDecimals(nz->lat, 5));
  EXPECT_EQ(nz->lat, RoundToDecimals(nzRad->lat * kRadToDeg, 5));
  EXPECT_NE(nzRad->lat * kRadToDeg, nz->lat);
}

TEST(GeoMolodensky, DegenerateInputGivesNoResult) {
  // Rows without a flattening, the placeholder and unknown ids are never divided by.
  EXPECT_FALSE(ShiftDegrees({EllipsoidId::Wgs84, EllipsoidId::Fischer1960Mercury, 0, 0, 0}, 50, 5, false));
  EXPECT_FALSE(ShiftDegrees({EllipsoidId::Wgs60, EllipsoidId::Wgs84, 0, 0, 0}, 50, 5, false));
  EXPECT_FALSE(ShiftDegrees({static_cast<EllipsoidId>(0), EllipsoidId::Wgs84, 0, 0, 0}, 50, 5, false));
  EXPECT_FALSE(ShiftDegrees({EllipsoidId::Wgs84, static_cast<EllipsoidId>(99), 0, 0, 0}, 50, 5, false));
  EXPECT_EQ(ShiftDegrees({EllipsoidId::Wgs84, EllipsoidId::Grs1967, 0, 0, 0}, 50, 5, false).error(),
            GeoFailure::UnusableEllipsoid);
  EXPECT_EQ(ShiftDegrees(kWgs84ToNzgd49, std::nan(""), 5, false).error(), GeoFailure::NotFinite);
  EXPECT_FALSE(ShiftDegrees(kWgs84ToAiry, std::nan(""), 5, false));
  EXPECT_FALSE(ShiftDegrees(kWgs84ToAiry, 50, std::numeric_limits<double>::infinity(), false));
  // Rounding a huge result to 5 decimals must not overflow into infinity.
  const auto huge = ShiftDegrees(kNzgd49ToWgs84, 0, 1e308, false);
  EXPECT_TRUE(!huge || (std::isfinite(huge->lat) && std::isfinite(huge->lon)));
  // The longitude reduction uses the truncated 2 pi and pi.
  const MolodenskyResult r = MolodenskyShift(6378137, 0, 1 / 298.257223563, 0, 0, 0, 0, 0.5, 6.3, 0);
  EXPECT_DOUBLE_EQ(r.lon, 6.3 - 6.2831853);
  const MolodenskyResult s = MolodenskyShift(6378137, 0, 1 / 298.257223563, 0, 0, 0, 0, 0.5, -3.2, 0);
  EXPECT_DOUBLE_EQ(s.lon, -3.2 + 6.2831853);
}

TEST(GeoSwissDatum, BernThroughTheSevenParametersAndBack) {
  // 46.95108 N, 7.43864 E lands within about a metre of the grid origin.
  const auto bessel = WgsToCh1903(46.95108, 7.43864);
  ASSERT_TRUE(bessel);
  const auto grid = SwissProject(bessel->lat, bessel->lon);
  ASSERT_TRUE(grid);
  EXPECT_NEAR(grid->easting, 600000.0, 1.5);
  EXPECT_NEAR(grid->northing, 200000.0, 1.5);
  const auto wgs = Ch1903ToWgs(bessel->lat, bessel->lon);
  ASSERT_TRUE(wgs);
  EXPECT_NEAR(wgs->lat, 46.95108, 1e-7);  // the two parameter sets are inverse to about 1 cm
  EXPECT_NEAR(wgs->lon, 7.43864, 1e-7);
  EXPECT_FALSE(WgsToCh1903(std::nan(""), 7));
  EXPECT_FALSE(Ch1903ToWgs(0.8, std::numeric_limits<double>::infinity()));
}

}  // namespace
}  // namespace tarvo
