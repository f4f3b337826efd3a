#include "core/geo/datum.h"

#include <cmath>

#include "core/geo/ellipsoid.h"

namespace tarvo {

namespace {

bool Finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

// The Swiss seven-parameter sets. Rotations in gon, converted with pi/200.
constexpr double kGonToRad = kPi / 200.0;
constexpr double kChHeight = 600.0;  // assumed ellipsoidal height, metres

struct SevenParams {
  double r1, r2, r3;  // gon
  double scale;
  double tx, ty, tz;  // metres
};
constexpr SevenParams kWgsToCh{-0.0001783, -0.0002939, -0.0002485, 0.99999436,
                               -660.075,   -13.551,    -369.34};
constexpr SevenParams kChToWgs{+0.0001783, +0.0002939, +0.0002485, 1.00000566,
                               +660.075,   +13.551,    +369.34};

// Semi-major axes and e^2 of the two ends, with the digits each step uses.
constexpr double kWgsA = 6378137.0;
constexpr double kWgsE2 = 0.00669438;
constexpr double kWgsOneMinusE2 = 0.99330562;
constexpr double kBesselA = 6377397.155;
constexpr double kBesselE2Forward = 0.006674372231;
constexpr double kBesselE2Inverse = 0.006674372230614;
constexpr double kBesselOneMinusE2 = 0.993325627769386;
// Start of both latitude iterations: 46.952405555 degrees.
constexpr double kChLatitudeStart = 0.8194740686664255;
constexpr double kLatitudeTolerance = 1e-26;  // radians: "until it no longer changes"
constexpr int kMaxLatitudePasses = 100;

struct Xyz {
  double x, y, z;
};

Xyz Rotate(const SevenParams& p, const Xyz& v) {
  const double r1 = p.r1 * kGonToRad, r2 = p.r2 * kGonToRad, r3 = p.r3 * kGonToRad;
  const double c1 = std::cos(r1), s1 = std::sin(r1);
  const double c2 = std::cos(r2), s2 = std::sin(r2);
  const double c3 = std::cos(r3), s3 = std::sin(r3);
  Xyz out;
  out.x = p.scale * (v.x * c2 * c1 + v.y * (c2 * s1 * s3 + s2 * c3) + v.z * (s2 * s3 - c2 * s1 * c3)) +
          p.tx;
  out.y = p.scale * (-v.x * s2 * c1 + v.y * (c2 * c3 - s2 * s1 * s3) + v.z * (c2 * s3 - s2 * s1 * c3)) +
          p.ty;
  out.z = p.scale * (v.x * s1 - v.y * c1 * s3 + v.z * c1 * c3) + p.tz;
  return out;
}

// Geodetic latitude of a geocentric point by fixed-point iteration.
double IterateLatitude(const Xyz& v, double a, double e2) {
  const double p = std::sqrt(v.x * v.x + v.y * v.y);
  double lat = kChLatitudeStart;
  for (int pass = 0; pass < kMaxLatitudePasses; ++pass) {
    const double s = std::sin(lat);
    const double rn = a / std::sqrt(1.0 - e2 * s * s);
    const double h = p / std::cos(lat) - rn;
    const double next = std::atan(v.z / p / (1.0 - rn * e2 / (rn + h)));
    const double change = std::fabs(next - lat);
    lat = next;
    if (!(change > kLatitudeTolerance)) break;
  }
  return lat;
}

}  // namespace

MolodenskyResult MolodenskyShift(double a, double da, double f, double df, double dx, double dy,
                                 double dz, double lat, double lon, double h) {
  const double e2 = 2.0 * f - f * f;
  const double s = std::sin(lat), c = std::cos(lat);
  const double sl = std::sin(lon), cl = std::cos(lon);
  const double w = 1.0 - e2 * s * s;
  const double sw = std::sqrt(w);
  const double rn = a / sw;
  const double rm = a * (1.0 - e2) / (w * sw);

  MolodenskyResult r;
  r.lat = lat + (df * (1.0 - f) * s * c * (2.0 * rn + e2 / (1.0 - e2) * rm * s * s) +
                 (dz * c - dx * s * cl - dy * s * sl) + da * e2 * s * c / sw) /
                    (rm + h);
  r.lon = lon + (dy * cl - dx * sl) / (c * (rn + h));
  r.height = h + df * (1.0 - f) * a * s * s / sw - da * sw + dx * c * cl + dy * c * sl + dz * s;
  if (r.lon > kMolodenskyTwoPi) r.lon -= kMolodenskyTwoPi;
  if (r.lon < -kMolodenskyPi) r.lon += kMolodenskyTwoPi;
  return r;
}

GeoResult<GeoAngles> ShiftDegrees(const MolodenskyParams& params, double lat, double lon, bool radiansFlag) {
  const Ellipsoid* from = FindEllipsoid(params.sourceEllipsoid);
  const Ellipsoid* to = FindEllipsoid(params.targetEllipsoid);
  if (from == nullptr || to == nullptr || from->inverseFlattening == 0 || to->inverseFlattening == 0)
    return GeoFailure::UnusableEllipsoid;
  if (!Finite(lat, lon)) return GeoFailure::NotFinite;

  const bool intoAiry = params.targetEllipsoid == EllipsoidId::Airy1830;
  const bool outOfAiry = params.sourceEllipsoid == EllipsoidId::Airy1830;
  const bool inputRadians = outOfAiry && radiansFlag;
  // Forward shifts (out of WGS-84) hand radians to a projection when asked.
  const bool outputRadians = !outOfAiry && params.targetEllipsoid != EllipsoidId::Wgs84 && radiansFlag;
  const bool rounded = !intoAiry && !outOfAiry && !outputRadians;

  const double a = from->semiMajorAxis;
  const double da = to->semiMajorAxis - from->semiMajorAxis;
  const double f = 1.0 / from->inverseFlattening;
  const double df = 1.0 / to->inverseFlattening - f;
  const double latRad = inputRadians ? lat : lat * kDegToRad;
  const double lonRad = inputRadians ? lon : lon * kDegToRad;
  const MolodenskyResult m =
      MolodenskyShift(a, da, f, df, params.dx, params.dy, params.dz, latRad, lonRad, 0.0);
  if (!Finite(m.lat, m.lon)) return GeoFailure::NotFinite;

  GeoAngles out;
  if (outputRadians) {
    out = {m.lat, m.lon};
  } else {
    out = {m.lat * kRadToDeg, m.lon * kRadToDeg};
    if (rounded) out = {RoundToDecimals(out.lat, 5), RoundToDecimals(out.lon, 5)};
  }
  if (!Finite(out.lat, out.lon)) return GeoFailure::NotFinite;
  return out;
}

std::optional<GeoAngles> WgsToCh1903(double latDeg, double lonDeg) {
  const double lat = latDeg * kDegToRad, lon = lonDeg * kDegToRad;
  const double s = std::sin(lat);
  const double n = kWgsA / std::sqrt(1.0 - kWgsE2 * s * s);
  const Xyz v{(n + kChHeight) * std::cos(lat) * std::cos(lon), (n + kChHeight) * std::cos(lat) * std::sin(lon),
              (n * kWgsOneMinusE2 + kChHeight) * s};
  const Xyz b = Rotate(kWgsToCh, v);
  GeoAngles out{IterateLatitude(b, kBesselA, kBesselE2Forward), std::atan(b.y / b.x)};
  if (!Finite(out.lat, out.lon)) return std::nullopt;
  return out;
}

std::optional<GeoAngles> Ch1903ToWgs(double latRad, double lonRad) {
  const double s = std::sin(latRad);
  const double n = kBesselA / std::sqrt(1.0 - kBesselE2Inverse * s * s);
  const Xyz v{(n + kChHeight) * std::cos(latRad) * std::cos(lonRad),
              (n + kChHeight) * std::cos(latRad) * std::sin(lonRad), (n * kBesselOneMinusE2 + kChHeight) * s};
  const Xyz w = Rotate(kChToWgs, v);
  const double lat = IterateLatitude(w, kWgsA, kWgsE2);
  const double lon = std::atan(w.y / w.x);
  GeoAngles out{lat * 180.0 / kPi, lon * 180.0 / kPi};
  if (!Finite(out.lat, out.lon)) return std::nullopt;
  return out;
}

}  // namespace tarvo
