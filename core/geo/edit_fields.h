// The field decomposition of the location edit dialog: a position is shown
// as up to three numeric fields and a hemisphere per axis in the chosen
// format, and typed fields are read back into a position. Pure functions
// over a plain record, so the dialog only binds its widgets to it.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "core/geo/coord_format.h"
#include "core/geo/coordinates.h"
#include "core/geo/geo_result.h"

namespace tarvo {

// One axis of the dialog: fields left to right and the hemisphere button.
struct EditAxis {
  std::array<std::string, 3> fields;   // numeric field texts (UTM: the zone is fields[1] of axis 0)
  std::string hemisphere;              // "N"/"S" for the first axis, "E"/"W" for the second
  std::array<bool, 3> fieldUsed{};     // the format shows this field
  bool hemisphereUsed = false;         // the format shows the hemisphere button
};

struct EditFields {
  std::array<EditAxis, 2> axes;               // first axis (latitude, northing, X), second axis
  std::array<std::string, 3> columnCaptions;  // unit captions above the columns: "d°", "m'", "s\"", ...
  std::array<std::string, 2> axisCaptions;    // "Lat:"/"Lon:", "N:"/"E:" or "X:"/"Y:"
};

// Fills the fields of a WGS-84 position (degrees) in a format:
//  WgsDms, Nzgd49: degrees, minutes (integers), seconds "%2.4f", hemisphere
//  (Nzgd49 on the 1949 datum); WgsDm: degrees, minutes "%2.5f", hemisphere;
//  WgsDeg: degrees "%3.6f", hemisphere; UTM: northing "%.2f" and the zone
//  text, easting "%.2f"; Netherlands, Switzerland, Nzmg: X (east-counting),
//  Y (north-counting) "%.1f"; Transverse Mercator grids: northing, easting "%.1f".
// Seconds and minutes that round to 60 carry. Captions and used flags are set
// for every format; the texts stay empty when the position has no value in
// the format. A value that is no format gives an empty record.
EditFields FillEditFields(CoordFormat format, double lat, double lon);

// The same from the numbers PositionNumbers gives for the format (nullptr:
// the position has no value in it, so the texts stay empty), for callers
// that convert the position themselves.
EditFields FillEditFieldsFromNumbers(CoordFormat format, const FormatNumbers* numbers);

// Reads typed fields of a format back into a WGS-84 position (degrees).
// Each used field must be empty (reads as 0) or a plain decimal number
// ("12", "-3.5"; integers in the integer fields; no comma, no exponent);
// anything else gives no position. Degree formats: a negative degrees
// text makes the whole angle negative (minutes and seconds included); a
// hemisphere reading exactly "S" (latitude) or "W" (longitude) negates a
// value that is not already negative, any other text leaves the sign as
// typed; Nzgd49 is then moved from NZGD49 to WGS-84. UTM: the zone must
// be a zone number 1..60 with a band letter C..X. Fails with BadNumber for
// unreadable text, BadZone for a bad zone, OutsideGrid for a New Zealand Map
// Grid value outside its range, NotFinite for a non-finite result,
// UnknownFormat for a value that is no format. Out-of-range latitudes are
// returned as typed; the caller decides.
GeoResult<LatLon> ReadEditFields(CoordFormat format, const EditFields& fields);

// The first step of ReadEditFields alone: the numbers the fields hold, in
// PositionFromNumbers' order and units (Nzgd49 still on the 1949 datum, the
// UTM zone in its canonical form), for callers that convert them
// themselves. Fails as ReadEditFields does before its conversion.
GeoResult<FormatNumbers> ReadEditFieldNumbers(CoordFormat format, const EditFields& fields);

}  // namespace tarvo
