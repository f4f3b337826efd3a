// Great-circle distance, bearing and destination, and the unit texts.
#include <cmath>

#include <gtest/gtest.h>

#include "core/geo/distance.h"
#include "core/geo/units.h"

namespace tarvo {
namespace {

TEST(GeoDistance, NoPositionAndKnownDistances) {
  EXPECT_EQ(GreatCircleDistance(0, 0, 52, 5), 0.0);
  EXPECT_EQ(GreatCircleDistance(52, 5, 0, 0), 0.0);
  EXPECT_EQ(InitialBearing(0, 0, 52, 5), 0.0);
  EXPECT_EQ(InitialBearing(52, 5, 0, 0), 0.0);
  // One degree of latitude on the equator: radius 6378137 exactly.
  EXPECT_NEAR(GreatCircleDistance(0, 10, 1, 10), 6378137 * 0.0174532925 * (1 - 0.0033493 * 0.0000761 / 2), 0.5);
  // Antipodes: rounding must not push the haversine past 1 (NaN).
  const double half = GreatCircleDistance(10, 20, -10, -160);
  EXPECT_TRUE(std::isfinite(half));
  EXPECT_NEAR(half, 3.14159265 * 6378137 * (1 - 0.0033493 * std::pow(std::sin(10 * 0.0174532925), 2)), 1.0);
  EXPECT_EQ(GreatCircleDistance(47, 8, 47, 8), 0.0);
}

TEST(GeoBearing, CardinalDirectionsAndTheMendedCases) {
  // acos near 1 leaves about 1e-5 degrees of noise around due north and south.
  EXPECT_NEAR(InitialBearing(47, 8, 48, 8), 0.0, 1e-4);
  EXPECT_NEAR(InitialBearing(0, 10, 0, 11), 90.0, 1e-6);
  EXPECT_NEAR(InitialBearing(0, 11, 0, 10), 270.0, 1e-6);
  EXPECT_NEAR(InitialBearing(48, 8, 47, 8), 180.0, 1e-4);
  // Due north the acos argument rounds to just above 1: clamped, not NaN.
  EXPECT_EQ(InitialBearing(20, 8, 21, 8), 0.0);
  for (double lat = -80; lat < 80; lat += 0.37) {
    const double b = InitialBearing(lat, 8.5, lat + 0.5, 8.5);
    ASSERT_FALSE(std::isnan(b)) << lat;
    EXPECT_NEAR(b, 0.0, 1e-4) << lat;
  }
  EXPECT_EQ(InitialBearing(47, 8, 47, 8), 0.0);  // coincident points
  for (double lon = -179; lon < 180; lon += 7.3) {
    const double b = InitialBearing(30, lon, 29.5, lon - 0.001);
    EXPECT_GE(b, 0.0);
    EXPECT_LT(b, 360.0);
  }
}

TEST(GeoDestination, WestPositiveCourseAndLongitudeWrap) {
  // Course 90 is west in this convention: 60 nm (one degree) from 0/10 reaches 0/9.
  LatLon p = DestinationPoint(0, 10, 60 * 1852, 90);
  EXPECT_NEAR(p.latitude, 0, 1e-6);
  EXPECT_NEAR(p.longitude, 9, 1e-6);
  p = DestinationPoint(10, 10, 60 * 1852, 0);
  EXPECT_NEAR(p.latitude, 11, 1e-6);
  // East across the date line and west across it.
  p = DestinationPoint(0, 179.5, 60 * 1852, 270);
  EXPECT_NEAR(p.longitude, -179.5, 1e-6);
  p = DestinationPoint(0, -179.5, 60 * 1852, 90);
  EXPECT_NEAR(p.longitude, 179.5, 1e-6);
  // Inputs below -180 come back into range too (the plain fmod did not).
  p = DestinationPoint(0, -350, 0, 0);
  EXPECT_NEAR(p.longitude, 10, 1e-6);
  for (double lon = -720; lon <= 720; lon += 13.7) {
    const LatLon q = DestinationPoint(45, lon, 5000, 33);
    EXPECT_GE(q.longitude, -180.0) << lon;
    EXPECT_LT(q.longitude, 180.0) << lon;
  }
  // Far past the pole: asin stays in its domain.
  p = DestinationPoint(89.9, 0, 1e6, 0);
  EXPECT_FALSE(std::isnan(p.latitude));
}

TEST(GeoUnits, SpeedTextsSwitchOnTheUnroundedValue) {
  EXPECT_EQ(FormatSpeed(5.39, SpeedUnit::Kmh), "10.0 km/h");  // 9.98 km/h
  EXPECT_EQ(FormatSpeed(5.4, SpeedUnit::Kmh), "10 km/h");     // 10.0008 km/h
  EXPECT_EQ(FormatSpeed(19.99, SpeedUnit::Knot), "19.99 knot");
  EXPECT_EQ(FormatSpeed(20, SpeedUnit::Knot), "20 knot");
  EXPECT_EQ(FormatSpeed(8.6, SpeedUnit::Mph), "9.9 mph");
  EXPECT_EQ(FormatSpeed(8.7, SpeedUnit::Mph), "10 mph");
  EXPECT_EQ(FormatSpeed(0, SpeedUnit::Kmh), "0.0 km/h");
  EXPECT_EQ(FormatSpeed(-0.01, SpeedUnit::Kmh), "0.0 km/h");
  EXPECT_EQ(FormatSpeed(3, static_cast<SpeedUnit>(7)), "5.6 km/h");
}

TEST(GeoUnits, AltitudeAccuracyAndErrorTexts) {
  EXPECT_EQ(FormatAltitude(123.9, DistanceUnit::Metric), "123 m");
  EXPECT_EQ(FormatAltitude(-5.7, DistanceUnit::Metric), "-5 m");
  EXPECT_EQ(FormatAltitude(100, DistanceUnit::Imperial), "328 ft");
  EXPECT_EQ(FormatAltitude(1852, DistanceUnit::Nautical), "1.00 nm");
  EXPECT_EQ(FormatAltitude(1e30, DistanceUnit::Metric), "2147483647 m");
  const AccuracyText a = FormatAccuracy(10, DistanceUnit::Imperial);
  EXPECT_EQ(a.number, "33");
  EXPECT_EQ(a.unit, "ft");
  EXPECT_EQ(FormatAccuracy(3.45, DistanceUnit::Metric).number, "3.5");
  EXPECT_EQ(FormatAccuracy(926, DistanceUnit::Nautical).number, "0.50");
  EXPECT_EQ(FormatError(3.4, DistanceUnit::Metric), ", Err: 3.4 m");
  EXPECT_EQ(FormatError(3.4, DistanceUnit::Imperial), ", Err: 11 ft");
  EXPECT_EQ(FormatError(3.4, DistanceUnit::Nautical), ", Err: 0.00 nm");
  EXPECT_EQ(FormatError(0, DistanceUnit::Metric), "");
  EXPECT_EQ(FormatError(-1, DistanceUnit::Metric), "");
  EXPECT_EQ(FormatError(std::nan(""), DistanceUnit::Metric), "");
}

TEST(GeoUnits, DistanceTextsAtEveryThreshold) {
  EXPECT_EQ(FormatDistance(999, DistanceUnit::Metric), "999 m");
  EXPECT_EQ(FormatDistance(1000, DistanceUnit::Metric), "1.00 km");
  EXPECT_EQ(FormatDistance(4999, DistanceUnit::Metric), "5.00 km");
  EXPECT_EQ(FormatDistance(5000, DistanceUnit::Metric), "5.0 km");
  EXPECT_EQ(FormatDistance(19999, DistanceUnit::Metric), "20.0 km");
  EXPECT_EQ(FormatDistance(20000, DistanceUnit::Metric), "20 km");
  EXPECT_EQ(FormatDistance(304, DistanceUnit::Imperial), "997 ft");
  EXPECT_EQ(FormatDistance(305, DistanceUnit::Imperial), "0.19 mi");
  EXPECT_EQ(FormatDistance(1609, DistanceUnit::Imperial), "1.00 mi");  // 5278.8 ft
  EXPECT_EQ(FormatDistance(1610, DistanceUnit::Imperial), "1.0 mi");   // 5282.1 ft
  EXPECT_EQ(FormatDistance(32186, DistanceUnit::Imperial), "20.0 mi");  // 105595.9 ft
  EXPECT_EQ(FormatDistance(32190, DistanceUnit::Imperial), "20 mi");    // 105609.0 ft
  EXPECT_EQ(FormatDistance(4999, DistanceUnit::Nautical), "2.70 nm");
  EXPECT_EQ(FormatDistance(5000, DistanceUnit::Nautical), "2.7 nm");
  EXPECT_EQ(FormatDistance(20000, DistanceUnit::Nautical), "11 nm");
  EXPECT_DOUBLE_EQ(KnotsFromSpeed(SpeedFromKnots(12, SpeedUnit::Mph), SpeedUnit::Mph), 12);
  EXPECT_NEAR(MetresFromLength(LengthFromMetres(10, DistanceUnit::Imperial), DistanceUnit::Imperial), 9.99999, 1e-3);
  EXPECT_EQ(SpeedUnitName(SpeedUnit::Knot), "knot");
  EXPECT_EQ(DistanceUnitName(DistanceUnit::Imperial), "mi");
  EXPECT_EQ(LengthUnitName(DistanceUnit::Nautical), "nm");
}

}  // namespace
}  // namespace tarvo
