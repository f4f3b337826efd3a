// The ten national Transverse Mercator grids (coordinate formats Britain to
// SwedenSweref93): the Ordnance Survey series (terms I to XIIA of "A guide to
// coordinate systems in Great Britain") on semi-axes that already carry the
// central scale factor. Only Britain changes datum (WGS-84 -> Airy by
// Molodensky).
#pragma once

#include <array>
#include <optional>

#include "core/geo/coord_format.h"
#include "core/geo/coordinates.h"
#include "core/geo/datum.h"
#include "core/geo/geo_result.h"

namespace tarvo {

// One grid: semi-axes times F0 (metres), true origin (degrees), false origin (metres).
struct TmGrid {
  CoordFormat format;
  double aF0;
  double bF0;
  double phi0Deg;
  double lambda0Deg;
  double e0;
  double n0;
  bool airyShift;  // position moved WGS-84 -> Airy first (Britain only)
};

inline constexpr std::array<TmGrid, 10> kTmGrids{{
    {CoordFormat::Britain, 6375020.480988971, 6353722.490487913, 49.0, -2.0, 400000.0, -100000.0, true},
    {CoordFormat::Finland1, 6378388.0, 6356911.946, 0.0, 21.0, 1500000.0, 0.0, false},
    {CoordFormat::Finland2, 6378388.0, 6356911.946, 0.0, 24.0, 2500000.0, 0.0, false},
    {CoordFormat::Finland3, 6378388.0, 6356911.946, 0.0, 27.0, 3500000.0, 0.0, false},
    {CoordFormat::Finland4, 6378388.0, 6356911.946, 0.0, 30.0, 4500000.0, 0.0, false},
    {CoordFormat::Ireland, 6377563.395906615, 6356256.9612075, 53.5, -8.0, 200000.0, 250000.0, false},
    {CoordFormat::Italy1, 6375836.6448, 6354369.181221601, 0.0, 9.0, 1500000.0, 0.0, false},
    {CoordFormat::Italy2, 6375836.6448, 6354369.181221601, 0.0, 15.0, 2520000.0, 0.0, false},
    {CoordFormat::SwedenRt90, 6377397.155, 6356078.963, 0.0, 15.8082777778, 1500000.0, 0.0, false},
    {CoordFormat::SwedenSweref93, 6378173.012938725, 6356788.192194079, 0.0, 15.8062819, 1500064.08, -667.968,
     false},
}};

// The row of a Transverse Mercator grid format, or nullptr for another format.
const TmGrid* FindTmGrid(CoordFormat format);

inline constexpr double kTmResidualLimit = 0.001;  // metres, inverse meridian-arc loop
inline constexpr int kTmMaxPasses = 100;

// Projection step alone (OS series, terms I to VI): latitude/longitude in
// radians on the grid's own ellipsoid, meant within a few degrees of the
// central meridian -> northing, easting in metres (no datum step). Empty when
// the result is not finite.
std::optional<GridCoord> TmProject(const TmGrid& grid, double phi, double lambda);

// Inverse projection step (OS series, terms VII to XIIA): metres, any finite
// values -> radians on the grid's ellipsoid. The meridian-arc loop stops after the first pass whose northing residual is
// below 1 mm. Fails with OutsideGrid when it has not settled within 100
// passes or the footpoint latitude lies beyond +-180 degrees (no place on the
// globe), NotFinite when the input or the result is not finite.
GeoResult<GeoAngles> TmUnproject(const TmGrid& grid, double northing, double easting);

// WGS-84 degrees (latitude -90..90, longitude -180..180; the grid is meant
// for its country) -> grid metres in a Transverse Mercator grid format
// (Britain through the Molodensky shift to Airy), by TmProject. Fails with UnknownFormat for another
// format, NotFinite for a non-finite input or result.
GeoResult<GridCoord> TmGridFromLatLon(CoordFormat format, double lat, double lon);

// Grid metres (any finite values) -> WGS-84 degrees in a Transverse Mercator
// grid format (Britain back through the Airy -> WGS-84 shift), by
// TmUnproject. Fails with UnknownFormat for another
// format, else with the reason of TmUnproject or the shift.
GeoResult<LatLon> LatLonFromTmGrid(CoordFormat format, double northing, double easting);

}  // namespace tarvo
