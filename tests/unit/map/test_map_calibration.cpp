// Reference points and the transforms between map pixels and positions.
#include <limits>

#include <gtest/gtest.h>

#include "core/map/calibration.h"

namespace tarvo {
namespace {

MapCalibration WithPoints(std::initializer_list<RefPoint> points) {
  MapCalibration c;
  int i = 0;
  for (const RefPoint& p : points) c.SetRefPoint(i++, p);
  c.RecomputeAffine();
  return c;
}

TEST(MapCalibration, TwoPointsMakeANorthUpMapWhicheverPointComesFirst) {
  const RefPoint a{10, 20, 52.0, 4.0}, b{110, 220, 51.0, 5.0};
  const MapCalibration c = WithPoints({a, b});
  EXPECT_EQ(c.State(), CalibrationState::Calibrated);
  EXPECT_EQ(c.GeoToPixel(51.5, 4.5), (MapPixel{60, 120}));
  const LatLon g = c.PixelToGeo(60, 120);
  EXPECT_DOUBLE_EQ(g.latitude, 51.5);
  EXPECT_DOUBLE_EQ(g.longitude, 4.5);
  EXPECT_EQ(WithPoints({b, a}).GeoToPixel(51.5, 4.5), (MapPixel{60, 120}));

  // Slot 2 north-west of slot 1: east is still a larger x, south a larger y.
  const MapCalibration nw = WithPoints({{500, 500, 50.0, 10.0}, {100, 100, 51.0, 9.0}});
  const MapPixel east = nw.GeoToPixel(50.0, 10.5), west = nw.GeoToPixel(50.0, 9.5);
  EXPECT_GT(east.x, west.x);
  EXPECT_GT(nw.GeoToPixel(49.0, 10.0).y, nw.GeoToPixel(50.0, 10.0).y);
}

TEST(MapCalibration, TwoPointsRoundHalvesUpAndThreePointsTruncateTowardZero) {
  // Half a pixel per degree of longitude and of latitude.
  const MapCalibration two = WithPoints({{0, 0, 0.0, 0.0}, {1, 1, -2.0, 2.0}});
  EXPECT_EQ(two.GeoToPixel(-5.0, 5.0), (MapPixel{3, 3}));     // 2.5 -> 3
  EXPECT_EQ(two.GeoToPixel(5.0, -5.0), (MapPixel{-2, -2}));   // -2.5 -> -2
  EXPECT_EQ(two.GeoToPixel(-4.8, 4.8), (MapPixel{2, 2}));     // 2.4 -> 2

  // Pixel = (longitude, latitude) exactly.
  const MapCalibration three = WithPoints({{0, 0, 0.0, 0.0}, {10, 0, 0.0, 10.0}, {0, 10, 10.0, 0.0}});
  EXPECT_EQ(three.State(), CalibrationState::Calibrated);
  EXPECT_EQ(three.GeoToPixel(-7.9, 7.9), (MapPixel{7, -7}));
  const LatLon g = three.PixelToGeo(3, -4);
  EXPECT_DOUBLE_EQ(g.latitude, -4.0);
  EXPECT_DOUBLE_EQ(g.longitude, 3.0);
}

TEST(MapCalibration, ThreePointsFollowARotatedMapExactly) {
  // A map turned 90 degrees: x grows northward, y grows eastward.
  const MapCalibration c = WithPoints({{100, 100, 50.0, 8.0}, {200, 100, 51.0, 8.0}, {100, 300, 50.0, 10.0}});
  for (const auto& [lat, lon] : {std::pair{50.5, 9.0}, {50.25, 8.5}, {50.9, 9.9}}) {
    const MapPixel p = c.GeoToPixel(lat, lon);
    EXPECT_NEAR(p.x, 100 + (lat - 50.0) * 100, 1.0);
    EXPECT_NEAR(p.y, 100 + (lon - 8.0) * 100, 1.0);
    const LatLon back = c.PixelToGeo(p.x, p.y);
    EXPECT_NEAR(back.latitude, lat, 0.011);
    EXPECT_NEAR(back.longitude, lon, 0.011);
  }
}

TEST(MapCalibration, CollinearThreePointsKeepThePreviousMatrices) {
  // On a fresh map the matrices are the identity: pixels are the truncated
  // longitude and latitude themselves.
  const MapCalibration line = WithPoints({{0, 0, 1.0, 1.0}, {10, 10, 2.0, 2.0}, {20, 20, 3.0, 3.0}});
  EXPECT_EQ(line.RefPointCount(), 3);
  EXPECT_EQ(line.GeoToPixel(12.7, 3.2), (MapPixel{3, 12}));
  EXPECT_EQ(line.PixelToGeoMatrix(), kIdentityMatrix);

  // After a good build, a collinear direction keeps what it had; the other
  // direction is still rebuilt.
  MapCalibration c = WithPoints({{0, 0, 0.0, 0.0}, {10, 0, 0.0, 10.0}, {0, 10, 10.0, 0.0}});
  const AffineMatrix before = c.GeoToPixelMatrix();
  c.SetRefPoint(2, {5, 10, 0.0, 20.0});  // positions now on one line, pixels not
  c.RecomputeAffine();
  EXPECT_EQ(c.GeoToPixelMatrix(), before);
  EXPECT_NE(c.PixelToGeoMatrix(), kIdentityMatrix);
  EXPECT_NEAR(c.PixelToGeo(5, 10).longitude, 20.0, 1e-9);
}

TEST(MapCalibration, FewerThanTwoPointsGiveNoPixelAndNoPosition) {
  MapCalibration c;
  EXPECT_EQ(c.State(), CalibrationState::NoRefPoints);
  EXPECT_FALSE(c.GeoToPixel(50.0, 8.0).IsSet());
  EXPECT_EQ(c.GeoToPixel(50.0, 8.0), (MapPixel{kNoPixel, kNoPixel}));

  // Slots 1 and 3 set: counting stops at the empty slot 2.
  c.SetRefPoint(0, {10, 10, 50.0, 8.0});
  c.SetRefPoint(2, {90, 90, 49.0, 9.0});
  EXPECT_EQ(c.RefPointCount(), 1);
  EXPECT_EQ(c.State(), CalibrationState::OneRefPoint);
  EXPECT_FALSE(c.GeoToPixel(50.0, 8.0).IsSet());
  const LatLon g = c.PixelToGeo(10, 10);
  EXPECT_EQ(g.latitude, 0.0);
  EXPECT_EQ(g.longitude, 0.0);

  // A pixel of kNoPixel has no position even on a calibrated map.
  const MapCalibration two = WithPoints({{10, 20, 52.0, 4.0}, {110, 220, 51.0, 5.0}});
  EXPECT_EQ(two.PixelToGeo(kNoPixel, 5).latitude, 0.0);
  EXPECT_EQ(two.PixelToGeo(5, kNoPixel).longitude, 0.0);
}

TEST(MapCalibration, TwoPointsSharingAValueAreUncalibratedInsteadOfDividingByZero) {
  const RefPoint base{10, 20, 52.0, 4.0};
  const struct {
    RefPoint second;
    SharedAxis axis;
  } cases[] = {{{10, 220, 51.0, 5.0}, SharedAxis::X},
               {{110, 20, 51.0, 5.0}, SharedAxis::Y},
               {{110, 220, 52.0, 5.0}, SharedAxis::Latitude},
               {{110, 220, 51.0, 4.0}, SharedAxis::Longitude}};
  for (const auto& k : cases) {
    const MapCalibration c = WithPoints({base, k.second});
    EXPECT_EQ(c.State(), CalibrationState::SharedValue);
    EXPECT_EQ(c.SharedAxisOfPair(), k.axis);
    EXPECT_FALSE(c.IsCalibrated());
    EXPECT_FALSE(c.GeoToPixel(51.5, 4.5).IsSet());
    const LatLon g = c.PixelToGeo(60, 120);
    EXPECT_EQ(g.latitude, 0.0);
    EXPECT_EQ(g.longitude, 0.0);
  }
  // Three points may share values (the blank map's corners do).
  const MapCalibration corners =
      WithPoints({{0, 0, 50.01, 7.99}, {0, 499, 49.99, 7.99}, {499, 499, 49.99, 8.01}});
  EXPECT_EQ(corners.State(), CalibrationState::Calibrated);
  EXPECT_EQ(corners.SharedAxisOfPair(), SharedAxis::None);
}

TEST(MapCalibration, PositionsFarOffTheMapHaveNoPixelRatherThanAnOverflow) {
  const MapCalibration two = WithPoints({{0, 0, 1.0, 0.0}, {1000000, 1000000, 0.0, 1.0}});
  EXPECT_FALSE(two.GeoToPixel(-5000.0, 5000.0).IsSet());
  EXPECT_FALSE(two.GeoToPixel(0.5, std::numeric_limits<double>::quiet_NaN()).IsSet());
  const MapCalibration three =
      WithPoints({{0, 0, 0.0, 0.0}, {1000000, 0, 0.0, 0.001}, {0, 1000000, -0.001, 0.0}});
  EXPECT_FALSE(three.GeoToPixel(80.0, 170.0).IsSet());
  const MapPixel near = three.GeoToPixel(-0.0005, 0.0005);
  EXPECT_NEAR(near.x, 500000, 1);
  EXPECT_NEAR(near.y, 500000, 1);
}

TEST(MapCalibration, AddAndDeleteKeepTheSlotsInOrder) {
  MapCalibration c;
  EXPECT_FALSE(c.AddRefPoint(RefPoint{}));  // no pixel
  EXPECT_TRUE(c.AddRefPoint({1, 1, 1.0, 1.0}));
  EXPECT_TRUE(c.AddRefPoint({2, 2, 2.0, 2.0}));
  EXPECT_TRUE(c.AddRefPoint({3, 3, 3.0, 3.0}));
  EXPECT_FALSE(c.AddRefPoint({4, 4, 4.0, 4.0}));
  EXPECT_EQ(c.RefPointCount(), 3);

  // Deleting slot 1 of three moves 2 and 3 down and empties slot 3.
  EXPECT_TRUE(c.DeleteRefPoint(0));
  EXPECT_EQ(c.RefPointCount(), 2);
  EXPECT_EQ(c.RefPointAt(0).x, 2);
  EXPECT_EQ(c.RefPointAt(1).x, 3);
  EXPECT_FALSE(c.RefPointAt(2).IsSet());
  EXPECT_EQ(c.RefPointAt(2).latitude, 0.0);
  EXPECT_FALSE(c.DeleteRefPoint(3));
}

}  // namespace
}  // namespace tarvo
