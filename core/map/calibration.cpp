#include "core/map/calibration.h"

#include <cmath>

#include "core/geo/ellipsoid.h"

namespace tarvo {

namespace {

// Largest and smallest pixel coordinates a transform may return; kNoPixel
// itself is kept for "none".
constexpr double kLargestPixel = 2147483646.0;
constexpr double kSmallestPixel = -2147483648.0;

// A pixel from two unrounded coordinates already rounded or truncated, or
// none when either does not fit.
MapPixel PixelFrom(double x, double y) {
  const bool fits = std::isfinite(x) && std::isfinite(y) && x >= kSmallestPixel && x <= kLargestPixel &&
                    y >= kSmallestPixel && y <= kLargestPixel;
  if (!fits) return {};
  return {static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

struct Pair {
  double a = 0.0, b = 0.0;
};

// The affine map that takes s[i] to t[i] for i = 0..2, into m; false (m
// untouched) when the source points lie on one line or the result is not
// finite.
bool ThreePointAffine(const Pair (&s)[3], const Pair (&t)[3], AffineMatrix& m) {
  const Pair d1{s[1].a - s[0].a, s[1].b - s[0].b}, d2{s[2].a - s[0].a, s[2].b - s[0].b};
  const Pair e1{t[1].a - t[0].a, t[1].b - t[0].b}, e2{t[2].a - t[0].a, t[2].b - t[0].b};
  const double det = d1.a * d2.b - d2.a * d1.b;
  if (det == 0.0) return false;
  // Inverse of the matrix with rows d1, d2.
  const double i11 = d2.b / det, i12 = -d1.b / det, i21 = -d2.a / det, i22 = d1.a / det;
  // L = inverse x E, E with rows e1, e2.
  const double l11 = i11 * e1.a + i12 * e2.a, l12 = i11 * e1.b + i12 * e2.b;
  const double l21 = i21 * e1.a + i22 * e2.a, l22 = i21 * e1.b + i22 * e2.b;
  const double tx = t[0].a - (s[0].a * l11 + s[0].b * l21);
  const double ty = t[0].b - (s[0].a * l12 + s[0].b * l22);
  const AffineMatrix result{{{l11, l12, 0.0}, {l21, l22, 0.0}, {tx, ty, 1.0}}};
  for (const auto& row : result)
    for (const double v : row)
      if (!std::isfinite(v)) return false;
  m = result;
  return true;
}

}  // namespace

RefPoint MapCalibration::RefPointAt(int index) const {
  if (index < 0 || index >= kRefPointSlots) return {};
  return slots_[static_cast<size_t>(index)];
}

void MapCalibration::SetRefPoint(int index, const RefPoint& p) {
  if (index < 0 || index >= kRefPointSlots) return;
  slots_[static_cast<size_t>(index)] = p;
  Recount();
}

bool MapCalibration::AddRefPoint(const RefPoint& p) {
  if (count_ >= kRefPointSlots || !p.IsSet()) return false;
  slots_[static_cast<size_t>(count_)] = p;
  Recount();
  return true;
}

bool MapCalibration::DeleteRefPoint(int index) {
  if (index < 0 || index >= kRefPointSlots) return false;
  for (int i = index; i + 1 < kRefPointSlots; ++i) slots_[static_cast<size_t>(i)] = slots_[static_cast<size_t>(i + 1)];
  slots_[kRefPointSlots - 1] = RefPoint{};
  Recount();
  return true;
}

void MapCalibration::ClearRefPoints() {
  slots_.fill(RefPoint{});
  count_ = 0;
}

void MapCalibration::Recount() {
  count_ = 0;
  while (count_ < kRefPointSlots && slots_[static_cast<size_t>(count_)].IsSet()) ++count_;
}

SharedAxis MapCalibration::SharedAxisOfPair() const {
  if (count_ != 2) return SharedAxis::None;
  const RefPoint& p1 = slots_[0];
  const RefPoint& p2 = slots_[1];
  if (p1.x == p2.x) return SharedAxis::X;
  if (p1.y == p2.y) return SharedAxis::Y;
  if (p1.latitude == p2.latitude) return SharedAxis::Latitude;
  if (p1.longitude == p2.longitude) return SharedAxis::Longitude;
  return SharedAxis::None;
}

CalibrationState MapCalibration::State() const {
  if (count_ == 0) return CalibrationState::NoRefPoints;
  if (count_ == 1) return CalibrationState::OneRefPoint;
  if (SharedAxisOfPair() != SharedAxis::None) return CalibrationState::SharedValue;
  return CalibrationState::Calibrated;
}

MapPixel MapCalibration::GeoToPixel(double latitude, double longitude) const {
  if (!IsCalibrated()) return {};
  if (count_ == 2) {
    const RefPoint& p1 = slots_[0];
    const RefPoint& p2 = slots_[1];
    // Multiplied first, then divided: 52.0 -> 51.5 over 100 px is exactly 50.
    const double x = RoundHalfUp(std::fabs(static_cast<double>(p1.x) - p2.x) * (longitude - p1.longitude) /
                                 std::fabs(p1.longitude - p2.longitude)) +
                     p1.x;
    const double y = RoundHalfUp(std::fabs(static_cast<double>(p1.y) - p2.y) * (p1.latitude - latitude) /
                                 std::fabs(p1.latitude - p2.latitude)) +
                     p1.y;
    return PixelFrom(x, y);
  }
  const AffineMatrix& m = geoToPixel_;
  const double x = longitude * m[0][0] + latitude * m[1][0] + m[2][0];
  const double y = longitude * m[0][1] + latitude * m[1][1] + m[2][1];
  return PixelFrom(std::trunc(x), std::trunc(y));
}

LatLon MapCalibration::PixelToGeo(int32_t x, int32_t y) const {
  if (!IsCalibrated() || x == kNoPixel || y == kNoPixel) return {};
  if (count_ == 2) {
    const RefPoint& p1 = slots_[0];
    const RefPoint& p2 = slots_[1];
    LatLon g;
    g.longitude = std::fabs(p1.longitude - p2.longitude) * (static_cast<double>(x) - p1.x) /
                      std::fabs(static_cast<double>(p1.x) - p2.x) +
                  p1.longitude;
    g.latitude = std::fabs(p1.latitude - p2.latitude) * (static_cast<double>(p1.y) - y) /
                     std::fabs(static_cast<double>(p1.y) - p2.y) +
                 p1.latitude;
    return g;
  }
  const AffineMatrix& m = pixelToGeo_;
  const double px = x, py = y;
  return LatLon{px * m[0][1] + py * m[1][1] + m[2][1], px * m[0][0] + py * m[1][0] + m[2][0]};
}

void MapCalibration::RecomputeAffine() {
  if (count_ != kRefPointSlots) return;
  Pair pixels[3], geo[3];
  for (size_t i = 0; i < 3; ++i) {
    pixels[i] = {static_cast<double>(slots_[i].x), static_cast<double>(slots_[i].y)};
    geo[i] = {slots_[i].longitude, slots_[i].latitude};
  }
  (void)ThreePointAffine(pixels, geo, pixelToGeo_);
  (void)ThreePointAffine(geo, pixels, geoToPixel_);
}

}  // namespace tarvo
