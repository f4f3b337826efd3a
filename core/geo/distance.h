// Great-circle distance, initial bearing and destination point on a sphere
// whose radius follows the latitude. These routines keep their own shorter
// angle constants (below), not those of the grid code.
#pragma once

#include "core/geo/coordinates.h"

namespace tarvo {

inline constexpr double kGcDegToRad = 0.0174532925;
inline constexpr double kGcRadToDeg = 57.2957795785523;  // 1 / 0.0174532925
inline constexpr double kGcPi = 3.14159265;
inline constexpr double kGcTwoPi = 6.2831853;
inline constexpr double kGcEquatorRadius = 6378137.0;     // metres
inline constexpr double kGcFlattening = 0.0033493;
inline constexpr double kGcMetresToRadians = 1.5706706713462923e-7;  // one arc-minute per 1852 m

// Haversine distance in metres between two positions in degrees, with the
// mean of the two latitudes' radii (1 - 0.0033493 sin^2 lat) * 6378137. A
// position of exactly 0/0 means "no position": the distance is then 0.
double GreatCircleDistance(double lat1, double lon1, double lat2, double lon2);

// Initial great-circle bearing from point 1 to point 2 in degrees, 0 <= b < 360
// (north 0, east 90). 0 when either point is exactly 0/0 or the points
// coincide.
double InitialBearing(double lat1, double lon1, double lat2, double lon2);

// The point distanceMetres away along course (degrees, counted west-positive:
// callers working east-positive pass 360 - course), on a sphere of one
// arc-minute per 1852 m. Returns degrees; the longitude is in [-180, 180).
LatLon DestinationPoint(double lat, double lon, double distanceMetres, double course);

}  // namespace tarvo
