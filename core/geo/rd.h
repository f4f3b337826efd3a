// Netherlands RD grid (coordinate format 5): approximation polynomials with a
// built-in linear datum correction, on WGS-84 degrees.
#pragma once

#include <optional>

#include "core/geo/utm.h"
#include "core/geo/coordinates.h"

namespace tarvo {

inline constexpr double kRdFalseX = 155000.0;
inline constexpr double kRdFalseY = 463000.0;

// WGS-84 degrees -> RD X (east-counting) in easting and Y (north-counting) in
// northing, metres. Good to about a metre inside the Netherlands. Empty when
// the result is not finite.
std::optional<GridCoord> RdFromLatLon(double lat, double lon);

// RD X, Y in metres -> WGS-84 degrees. Empty when the result is not finite.
std::optional<LatLon> LatLonFromRd(double x, double y);

}  // namespace tarvo
