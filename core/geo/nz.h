// New Zealand: latitude/longitude on the 1949 datum (format 17) and the New
// Zealand Map Grid (format 18), both reached from WGS-84 by the Molodensky
// shift to International 1924 (dx -84, dy +22, dz -209).
#pragma once

#include <optional>

#include "core/geo/coordinates.h"
#include "core/geo/datum.h"
#include "core/geo/geo_result.h"

namespace tarvo {

inline constexpr double kNzmgA = 6378388.0;          // International 1924, metres
inline constexpr double kNzmgFalseNorthing = 6023150.0;
inline constexpr double kNzmgFalseEasting = 2510000.0;
inline constexpr double kNzmgLambda0 = 3.01941960595019;  // 173 degrees, radians
inline constexpr double kNzmgMinLat = -0.8464846872172498;  // 48.5 S, radians
inline constexpr double kNzmgMaxLat = -0.5846852994181003;  // 33.5 S
inline constexpr double kNzmgMinLon = 2.8885199120506155;   // 165.5 E
inline constexpr double kNzmgMinEasting = 1810000.0;
inline constexpr double kNzmgMaxEasting = 3170000.0;
inline constexpr double kNzmgMinNorthing = 5160000.0;
inline constexpr double kNzmgMaxNorthing = 6900000.0;

// Status bits of the map-grid conversions: latitude or longitude outside the
// grid's range (1, 2), easting or northing outside it (4, 8).
inline constexpr int kNzmgLatitudeOut = 1;
inline constexpr int kNzmgLongitudeOut = 2;
inline constexpr int kNzmgEastingOut = 4;
inline constexpr int kNzmgNorthingOut = 8;

// WGS-84 degrees -> NZGD49 degrees, rounded to 5 decimals. Empty when not finite.
std::optional<LatLon> Nzgd49FromLatLon(double lat, double lon);

// NZGD49 degrees -> WGS-84 degrees, rounded to 5 decimals. Empty when not finite.
std::optional<LatLon> LatLonFromNzgd49(double lat49, double lon49);

// Projection step alone: NZGD49 latitude/longitude in radians -> map-grid
// northing and easting, metres, unrounded, with no range checks.
std::optional<GridCoord> NzmgProject(double phi, double lambda);

// Inverse projection step: metres -> NZGD49 radians (two Newton-Raphson
// passes), with no range checks.
std::optional<GeoAngles> NzmgUnproject(double northing, double easting);

// WGS-84 degrees -> New Zealand Map Grid northing and easting, rounded to
// whole metres. A position outside 48.5 S..33.5 S, 165.5 E..180 gives 0 and 0
// (status 1 and/or 2). *status (if given) receives the status bits. Empty
// only for non-finite input.
std::optional<GridCoord> NzmgFromLatLon(double lat, double lon, int* status = nullptr);

// New Zealand Map Grid metres -> WGS-84 degrees, rounded to 5 decimals:
// NzmgUnproject, then the Molodensky shift back from NZGD49.
// Fails with OutsideGrid (status 4 and/or 8) when the easting is outside
// 1810000..3170000 or the northing outside 5160000..6900000, NotFinite
// (status bits set as well) for a non-finite input or result.
GeoResult<LatLon> LatLonFromNzmg(double northing, double easting, int* status = nullptr);

}  // namespace tarvo
