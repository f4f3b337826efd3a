// Swiss grid (coordinate format 16): oblique conformal cylindrical projection
// on Bessel 1841, reached from WGS-84 through the seven-parameter
// transformation (WgsToCh1903 / Ch1903ToWgs).
#pragma once

#include <optional>

#include "core/geo/datum.h"
#include "core/geo/utm.h"
#include "core/geo/coordinates.h"

namespace tarvo {

inline constexpr double kSwissE2 = 0.006674372230614;
inline constexpr double kSwissAlpha = 1.00072913843038;
inline constexpr double kSwissB0 = 0.81869435858167;       // radians
inline constexpr double kSwissK = 0.0030667323772751;
inline constexpr double kSwissLambda0 = 0.1298452241431;   // radians (7.4395833 degrees)
inline constexpr double kSwissRadius = 6378815.90365;      // metres
inline constexpr double kSwissFalseEast = 600000.0;
inline constexpr double kSwissFalseNorth = 200000.0;
inline constexpr double kSwissInverseAlphaTerm = 0.9992713928251118;
inline constexpr double kSwissLatitudeStart = 0.81947406867611;  // 46.952405555555 degrees
inline constexpr int kSwissMaxPasses = 100;

// Projection step alone: Bessel latitude/longitude in radians -> east (in
// easting) and north (in northing), metres, unrounded. Empty when not finite.
std::optional<GridCoord> SwissProject(double phi, double lambda);

// Inverse projection step: north, east in metres -> Bessel radians. The
// latitude iteration stops when it no longer changes, after at most 100
// passes. Empty when not finite.
std::optional<GeoAngles> SwissUnproject(double north, double east);

// WGS-84 degrees -> Swiss east value (counted from 600000, in easting) and
// north value (counted from 200000, in northing), each rounded to 0.1 m.
std::optional<GridCoord> SwissFromLatLon(double lat, double lon);

// Swiss north and east values in metres -> WGS-84 degrees.
std::optional<LatLon> LatLonFromSwiss(double north, double east);

}  // namespace tarvo
