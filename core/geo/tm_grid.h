// The ten national Transverse Mercator grids (coordinate formats 6..15):
// Ordnance Survey series on semi-axes that already carry the central scale
// factor. Only Britain changes datum (WGS-84 -> Airy by Molodensky).
#pragma once

#include <array>
#include <optional>

#include "core/geo/datum.h"
#include "core/geo/utm.h"
#include "core/geo/coordinates.h"

namespace tarvo {

// One grid: semi-axes times F0 (metres), true origin (degrees), false origin (metres).
struct TmGrid {
  int formatIndex;
  double aF0;
  double bF0;
  double phi0Deg;
  double lambda0Deg;
  double e0;
  double n0;
  bool airyShift;  // position moved WGS-84 -> Airy first (Britain only)
};

inline constexpr int kFirstTmFormat = 6;
inline constexpr int kLastTmFormat = 15;

inline constexpr std::array<TmGrid, 10> kTmGrids{{
    {6, 6375020.480988971, 6353722.490487913, 49.0, -2.0, 400000.0, -100000.0, true},  // Britain
    {7, 6378388.0, 6356911.946, 0.0, 21.0, 1500000.0, 0.0, false},                  // Finland 1
    {8, 6378388.0, 6356911.946, 0.0, 24.0, 2500000.0, 0.0, false},                  // Finland 2
    {9, 6378388.0, 6356911.946, 0.0, 27.0, 3500000.0, 0.0, false},                  // Finland 3
    {10, 6378388.0, 6356911.946, 0.0, 30.0, 4500000.0, 0.0, false},                 // Finland 4
    {11, 6377563.395906615, 6356256.9612075, 53.5, -8.0, 200000.0, 250000.0, false},  // Ireland
    {12, 6375836.6448, 6354369.181221601, 0.0, 9.0, 1500000.0, 0.0, false},          // Italy 1
    {13, 6375836.6448, 6354369.181221601, 0.0, 15.0, 2520000.0, 0.0, false},         // Italy 2
    {14, 6377397.155, 6356078.963, 0.0, 15.8082777778, 1500000.0, 0.0, false},       // RT90
    {15, 6378173.012938725, 6356788.192194079, 0.0, 15.8062819, 1500064.08, -667.968, false},  // SWEREF93
}};

// The row of a format index 6..15, or nullptr.
const TmGrid* FindTmGrid(int formatIndex);

inline constexpr double kTmResidualLimit = 0.001;  // metres, inverse meridian-arc loop
inline constexpr int kTmMaxPasses = 100;

// Projection step alone: latitude/longitude in radians on the grid's own
// ellipsoid -> northing, easting in metres (no datum step). Empty when the
// result is not finite.
std::optional<GridCoord> TmProject(const TmGrid& grid, double phi, double lambda);

// Inverse projection step: metres -> radians on the grid's ellipsoid. The
// meridian-arc loop stops after the first pass whose northing residual is
// below 1 mm; empty when it has not settled within 100 passes, the footpoint
// latitude lies beyond +-180 degrees (no place on the globe) or the result is
// not finite.
std::optional<GeoAngles> TmUnproject(const TmGrid& grid, double northing, double easting);

// WGS-84 degrees -> grid metres for format index 6..15 (Britain through the
// Molodensky shift to Airy). Empty for another index or a non-finite result.
std::optional<GridCoord> TmGridFromLatLon(int formatIndex, double lat, double lon);

// Grid metres -> WGS-84 degrees for format index 6..15 (Britain back through
// the Airy -> WGS-84 shift). Empty for another index or when TmUnproject or
// the shift gives no result.
std::optional<LatLon> LatLonFromTmGrid(int formatIndex, double northing, double easting);

}  // namespace tarvo
