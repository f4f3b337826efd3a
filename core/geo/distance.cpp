#include "core/geo/distance.h"

#include <algorithm>
#include <cmath>

namespace tarvo {

namespace {

bool IsNoPosition(double lat, double lon) { return lat == 0.0 && lon == 0.0; }

// The haversine term, kept within [0, 1] so that rounding never leaves the
// square roots' domain (antipodal points).
double Haversine(double lat1, double lon1, double lat2, double lon2) {
  const double sdLon = std::sin((lon2 - lon1) / 2.0);
  const double sdLat = std::sin((lat2 - lat1) / 2.0);
  const double h = sdLon * sdLon * std::cos(lat1) * std::cos(lat2) + sdLat * sdLat;
  return std::clamp(h, 0.0, 1.0);
}

}  // namespace

double GreatCircleDistance(double lat1, double lon1, double lat2, double lon2) {
  if (IsNoPosition(lat1, lon1) || IsNoPosition(lat2, lon2)) return 0.0;
  lat1 *= kGcDegToRad;
  lon1 *= kGcDegToRad;
  lat2 *= kGcDegToRad;
  lon2 *= kGcDegToRad;
  const double h = Haversine(lat1, lon1, lat2, lon2);
  const double s1 = std::sin(lat1), s2 = std::sin(lat2);
  const double r = ((1.0 - kGcFlattening * s1 * s1) * kGcEquatorRadius +
                    (1.0 - kGcFlattening * s2 * s2) * kGcEquatorRadius) /
                   2.0;
  return r * 2.0 * std::atan2(std::sqrt(h), std::sqrt(1.0 - h));
}

double InitialBearing(double lat1, double lon1, double lat2, double lon2) {
  if (IsNoPosition(lat1, lon1) || IsNoPosition(lat2, lon2)) return 0.0;
  lat1 *= kGcDegToRad;
  lon1 *= kGcDegToRad;
  lat2 *= kGcDegToRad;
  lon2 *= kGcDegToRad;
  const double dLon = lon2 - lon1;
  const double h = Haversine(lat1, lon1, lat2, lon2);
  const double c = 2.0 * std::atan2(std::sqrt(h), std::sqrt(1.0 - h));
  const double denominator = std::sin(c) * std::cos(lat1);
  if (denominator == 0.0) return 0.0;  // coincident points (or a start exactly at a pole)
  const double quotient = (std::sin(lat2) - std::cos(c) * std::sin(lat1)) / denominator;
  if (std::isnan(quotient)) return 0.0;
  double theta = std::acos(std::clamp(quotient, -1.0, 1.0));
  if (std::sin(dLon) < 0.0) theta = kGcTwoPi - theta;
  const double degrees = theta * kGcRadToDeg;
  return degrees >= 360.0 ? 0.0 : degrees;
}

LatLon DestinationPoint(double lat, double lon, double distanceMetres, double course) {
  lat *= kGcDegToRad;
  lon *= kGcDegToRad;
  course *= kGcDegToRad;
  const double d = distanceMetres * kGcMetresToRadians;
  const double lat2 =
      std::asin(std::clamp(std::sin(lat) * std::cos(d) + std::cos(lat) * std::sin(d) * std::cos(course), -1.0, 1.0));
  const double x = lon - std::atan2(std::sin(course) * std::sin(d) * std::cos(lat),
                                    std::cos(d) - std::sin(lat) * std::sin(lat2));
  // wrap(x) = fmod(x + pi, 2 pi) - pi, with the remainder brought to [0, 2 pi)
  // so that a longitude below -pi comes back into range too.
  double r = std::fmod(x + kGcPi, kGcTwoPi);
  if (r < 0.0) r += kGcTwoPi;
  double lon2 = (r - kGcPi) * kGcRadToDeg;
  if (lon2 >= 180.0) lon2 -= 360.0;
  if (lon2 < -180.0) lon2 += 360.0;
  return LatLon{lat2 * kGcRadToDeg, lon2};
}

}  // namespace tarvo
