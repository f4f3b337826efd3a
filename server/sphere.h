// Great-circle distance and initial bearing of the Hopla server, on the
// sphere on which one minute of arc is 1852 m, the sphere Tarvo uses to place
// a result again from its distance and bearing.
#pragma once

#include <cmath>
#include <numbers>

namespace tarvo::hopla {

// Metres; 1852 m per arc-minute, i.e. 1 / 1.5706706713462923e-7 m per radian.
inline constexpr double kSphereRadius = 1852.0 * 60.0 * 180.0 / std::numbers::pi;  // 6366707.0195 m
inline constexpr double kDegToRad = std::numbers::pi / 180.0;

// Haversine distance in metres between two positions in degrees (any
// latitude in [-90, 90], any longitude), 0 .. pi * kSphereRadius.
inline double SphereDistance(double lat1, double lon1, double lat2, double lon2) {
  const double p1 = lat1 * kDegToRad, p2 = lat2 * kDegToRad;
  const double sdLat = std::sin((p2 - p1) / 2.0);
  const double sdLon = std::sin((lon2 - lon1) * kDegToRad / 2.0);
  double h = sdLat * sdLat + std::cos(p1) * std::cos(p2) * sdLon * sdLon;
  h = h < 0.0 ? 0.0 : (h > 1.0 ? 1.0 : h);
  return 2.0 * kSphereRadius * std::atan2(std::sqrt(h), std::sqrt(1.0 - h));
}

// Initial bearing in degrees true from point 1 to point 2, 0 <= b < 360
// (0 for coincident points).
inline double SphereBearing(double lat1, double lon1, double lat2, double lon2) {
  const double p1 = lat1 * kDegToRad, p2 = lat2 * kDegToRad;
  const double dLon = (lon2 - lon1) * kDegToRad;
  const double y = std::sin(dLon) * std::cos(p2);
  const double x = std::cos(p1) * std::sin(p2) - std::sin(p1) * std::cos(p2) * std::cos(dLon);
  if (x == 0.0 && y == 0.0) return 0.0;
  double degrees = std::atan2(y, x) / kDegToRad;
  if (degrees < 0.0) degrees += 360.0;
  return degrees >= 360.0 ? 0.0 : degrees;
}

}  // namespace tarvo::hopla
