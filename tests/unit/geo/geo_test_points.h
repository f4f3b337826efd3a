// Grid areas and a deterministic spread of points inside them, shared by the
// round-trip and the PROJ comparison tests.
#pragma once

#include <cmath>
#include <vector>

#include "core/geo/coord_format.h"
#include "core/geo/coordinates.h"

namespace tarvo::testing {

struct GridArea {
  CoordFormat format;
  const char* name;
  double minLat, maxLat, minLon, maxLon;  // WGS-84 degrees
  double maxOffsetKm = 0;  // > 0: only points this close to the central meridian
  double centralMeridian = 15.8082777778;
};

// The area each format is meant for (land and near coast). Sweden's box is
// cut at 330 km from the central meridian, which leaves out only sea and the
// sliver of Norrbotten east of about 22.5 E (checked on its own).
inline const std::vector<GridArea>& GridAreas() {
  static const std::vector<GridArea> areas{
      {CoordFormat::UtmWgs84, "UTM (WGS84) zone 32", -79.5, 71.5, 6.2, 11.8},
      {CoordFormat::UtmInternational, "UTM (International) zone 33", -60.0, 70.0, 12.2, 17.8},
      {CoordFormat::Netherlands, "Netherlands RD", 51.25, 53.5, 3.4, 7.2},
      {CoordFormat::Netherlands, "Netherlands RD, Limburg", 50.75, 51.25, 5.6, 6.2},
      {CoordFormat::Britain, "Britain", 49.9, 58.6, -7.5, 1.7},
      {CoordFormat::Finland1, "Finland zone 1", 59.8, 69.0, 19.5, 22.5},
      {CoordFormat::Finland2, "Finland zone 2", 59.8, 69.5, 22.5, 25.5},
      {CoordFormat::Finland3, "Finland zone 3", 60.0, 70.0, 25.5, 28.5},
      {CoordFormat::Finland4, "Finland zone 4", 60.5, 68.0, 28.5, 31.5},
      {CoordFormat::Ireland, "Ireland", 51.4, 55.4, -10.5, -5.5},
      {CoordFormat::Italy1, "Italy zone 1", 36.6, 47.1, 6.6, 12.0},
      {CoordFormat::Italy2, "Italy zone 2", 36.5, 47.0, 12.0, 18.5},
      {CoordFormat::SwedenRt90, "Sweden (RT90)", 55.3, 69.0, 11.0, 24.17, 330.0},
      {CoordFormat::SwedenSweref93, "Sweden (SWEREF93)", 55.3, 69.0, 11.0, 24.17, 330.0},
      {CoordFormat::Switzerland, "Switzerland", 45.8, 47.8, 5.9, 10.5},
      {CoordFormat::Nzgd49, "New Zealand 1949", -47.3, -34.4, 166.5, 178.5},
      {CoordFormat::Nzmg, "New Zealand Map Grid", -47.3, -34.4, 166.5, 178.5},
  };
  return areas;
}

// An n x n lattice over the area, corners included, each point nudged by a
// fraction of a metre so that no coordinate is a round decimal.
inline std::vector<LatLon> LatticeOver(const GridArea& a, int n) {
  std::vector<LatLon> points;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      points.push_back({a.minLat + (a.maxLat - a.minLat) * i / (n - 1) - 3.7e-6 * ((i * 7 + j * 3) % 11) / 11,
                        a.minLon + (a.maxLon - a.minLon) * j / (n - 1) + 2.9e-6 * ((i * 5 + j * 2) % 13) / 13});
  return points;
}

// Distance on the ground between two nearby positions, metres.
inline double GroundMetres(const LatLon& a, const LatLon& b) {
  const double kMetresPerDegree = 111320.0;
  const double dn = (a.latitude - b.latitude) * kMetresPerDegree;
  const double de = (a.longitude - b.longitude) * kMetresPerDegree * std::cos(a.latitude * M_PI / 180.0);
  return std::hypot(dn, de);
}

}  // namespace tarvo::testing
