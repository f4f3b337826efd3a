// The two kinds of position the geodesy works with: a latitude/longitude pair
// and a grid coordinate. The bottom of the layers: includes nothing of ours.
#pragma once

#include <string>

namespace tarvo {

// Degrees, north and east positive; WGS-84 unless a function says otherwise.
struct LatLon {
  double latitude = 0.0;
  double longitude = 0.0;

  friend bool operator==(const LatLon&, const LatLon&) = default;
};

// A grid position in metres, and the grid's zone text where it has zones
// ("32U" for UTM; empty for the national grids).
struct GridCoord {
  double northing = 0.0;
  double easting = 0.0;
  std::string zone;
};

}  // namespace tarvo
