// Datum shifts: the three-parameter Molodensky shift used by the British and
// New Zealand grids, and the seven-parameter similarity transformation
// through geocentric coordinates used by the Swiss grid.
#pragma once

#include <optional>

#include "core/geo/ellipsoid.h"
#include "core/geo/geo_result.h"

namespace tarvo {

// A latitude/longitude pair whose unit (degrees or radians) each function states.
struct GeoAngles {
  double lat = 0.0;
  double lon = 0.0;
};

// One Molodensky parameter set: source and target ellipsoid and the
// geocentric translation in metres.
struct MolodenskyParams {
  EllipsoidId sourceEllipsoid;
  EllipsoidId targetEllipsoid;
  double dx;
  double dy;
  double dz;
};

// WGS-84 -> Airy 1830: the British grid's forward step, and its inverse.
inline constexpr MolodenskyParams kWgs84ToAiry{EllipsoidId::Wgs84, EllipsoidId::Airy1830, -375, +111, -431};
inline constexpr MolodenskyParams kAiryToWgs84{EllipsoidId::Airy1830, EllipsoidId::Wgs84, +375, -111, +431};
// WGS-84 -> International 1924: New Zealand 1949 datum, and its inverse.
inline constexpr MolodenskyParams kWgs84ToNzgd49{EllipsoidId::Wgs84, EllipsoidId::International1924, -84, +22,
                                                 -209};
inline constexpr MolodenskyParams kNzgd49ToWgs84{EllipsoidId::International1924, EllipsoidId::Wgs84, +84, -22,
                                                 +209};

// Molodensky's own truncated values of pi and 2*pi for the longitude reduction.
inline constexpr double kMolodenskyPi = 3.14159265;
inline constexpr double kMolodenskyTwoPi = 6.2831853;

struct MolodenskyResult {
  double lat;     // radians
  double lon;     // radians
  double height;  // metres
};

// Standard (non-abridged) Molodensky shift. lat, lon in radians, h in metres;
// a and f = 1/inverse flattening of the source ellipsoid, da and df the target
// minus the source values, dx/dy/dz in metres. The shifted longitude is
// reduced by 6.2831853 above 6.2831853 and raised by it below -3.14159265.
// Undefined at the poles (cos lat = 0); see ShiftDegrees.
MolodenskyResult MolodenskyShift(double a, double da, double f, double df, double dx, double dy,
                                 double dz, double lat, double lon, double h);

// Molodensky shift (MolodenskyShift) of one position with height 0 between
// the two ellipsoids of a parameter set; latitude -90..90 exclusive of the
// poles, longitude -180..180, any finite value accepted. Units depend on the parameter set and the flag, as the four callers need:
//  - into Airy (British forward): takes degrees; returns radians when
//    radiansFlag is set, degrees otherwise;
//  - out of Airy (British inverse): takes radians when radiansFlag is set,
//    degrees otherwise; returns degrees;
//  - New Zealand (either way): takes degrees; returns degrees rounded to 5
//    decimals, or, for the forward shift with radiansFlag set (inside the
//    New Zealand Map Grid), unrounded radians.
// Fails with UnusableEllipsoid when an ellipsoid has no row or no
// flattening, NotFinite when the input or the result is not finite (poles).
GeoResult<GeoAngles> ShiftDegrees(const MolodenskyParams& params, double lat, double lon, bool radiansFlag);

// Seven-parameter transformation WGS-84 -> CH1903 with an assumed ellipsoidal
// height of 600 m. Takes degrees (WGS-84), returns radians on Bessel 1841.
// The latitude iteration stops when it no longer changes, after at most
// 100 passes. Empty when the result is not finite.
std::optional<GeoAngles> WgsToCh1903(double latDeg, double lonDeg);

// Inverse of WgsToCh1903 (its own parameter set with the opposite signs).
// Takes radians on Bessel 1841, returns degrees on WGS-84. Empty when the
// result is not finite.
std::optional<GeoAngles> Ch1903ToWgs(double latRad, double lonRad);

}  // namespace tarvo
