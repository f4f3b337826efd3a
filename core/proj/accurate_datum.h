// The accurate datum mode: the national grids converted through PROJ with
// the published transformation of each grid's datum (EPSG Helmert sets,
// the NTv2 grid of New Zealand), instead of the built-in shifts of
// core/geo, which are good to a few metres up to a few hundred.
//
// Each format maps to one EPSG coordinate reference system; WGS-84 is
// EPSG:4326. PROJ picks, point by point, the best transformation whose area
// of use holds the point among those its installed files allow, exactly as
// cs2cs does for the same two codes. The network is never used: a grid file
// that is not installed rules its transformation out (Britain's OSTN15 is
// not in Debian's proj-data; Britain then uses the EPSG Helmert set).
//
// Threads: every thread gets its own PROJ context and transformations,
// made on the thread's first use of a format and kept until it ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/geo/coord_format.h"
#include "core/geo/coordinates.h"
#include "core/geo/edit_fields.h"
#include "core/geo/geo_result.h"

namespace tarvo {

// Setting "AccurateDatum": 0 the built-in shifts, 1 PROJ.
enum class DatumMode : uint8_t { BuiltIn = 0, Accurate = 1 };

// The EPSG code of the coordinate reference system a format's numbers are
// in under the accurate mode, e.g. 27700 for Britain, 4272 for Nzgd49; 0
// for the formats the mode leaves alone (the WGS-84 degrees, both UTM
// formats and SWEREF93, whose datums are WGS-84 within a metre).
int AccurateCrsCode(CoordFormat format);

// What PROJ uses for a format under the accurate mode, for the texts that
// say which mode is on.
struct AccurateOperation {
  bool available = false;    // PROJ has a transformation (false too for code 0)
  std::string operation;     // its name at the centre of the grid's area of use
  double accuracyMetres = -1;  // its stated accuracy; -1 unknown
  // Its area of use, WGS-84 degrees (west may exceed east across 180).
  // Outside it PROJ may pick another transformation, or a different one for
  // each direction, as cs2cs does.
  double west = 0, south = 0, east = 0, north = 0;
  // A grid file that a better transformation needs and that is not
  // installed, e.g. "uk_os_OSTN15_NTv2_OSGBtoETRS.tif"; empty when the best
  // one is in use.
  std::string missingGrid;
  std::string problem;       // why there is none, when not available
};
AccurateOperation DescribeAccurate(CoordFormat format);

// The PROJ release the program runs with, e.g. "9.1.1".
std::string_view ProjVersion();

// WGS-84 degrees -> the numbers of a format through PROJ, in the order and
// units PositionNumbers gives them (grids in metres, Nzgd49 in degrees on
// NZGD49), unrounded. Formats with code 0 give PositionNumbers' numbers;
// a New Zealand Map Grid position outside the grid gives 0 and 0 as there
// (the range is judged by the built-in shift, the same for both modes).
// Fails with UnknownFormat for a value that is no format, NotFinite for a
// non-finite input or when PROJ has no result (no transformation, or the
// point outside every area PROJ can serve).
GeoResult<FormatNumbers> AccuratePositionNumbers(CoordFormat format, double lat, double lon);

// The inverse: the numbers of a format -> WGS-84 degrees through PROJ.
// Formats with code 0 give PositionFromNumbers' result. Fails with
// OutsideGrid for New Zealand Map Grid numbers outside its range or numbers
// PROJ cannot place on the globe, NotFinite for a non-finite input,
// UnknownFormat for a value that is no format.
GeoResult<LatLon> AccuratePositionFromNumbers(CoordFormat format, double first, double second,
                                              std::string_view zone = {});

// The conversions of core/geo with the mode chosen: BuiltIn gives exactly
// what the core/geo function of the same name gives.
GeoResult<FormatNumbers> PositionNumbers(DatumMode mode, CoordFormat format, double lat, double lon);
GeoResult<LatLon> PositionFromNumbers(DatumMode mode, CoordFormat format, double first, double second,
                                      std::string_view zone = {});
PositionText FormatPosition(DatumMode mode, CoordFormat format, double lat, double lon, PositionLayout layout);
EditFields FillEditFields(DatumMode mode, CoordFormat format, double lat, double lon);
GeoResult<LatLon> ReadEditFields(DatumMode mode, CoordFormat format, const EditFields& fields);

}  // namespace tarvo
