// The field decomposition of the location edit dialog: a position is shown
// as up to three numeric fields and a hemisphere per axis in the chosen
// format, and typed fields are read back into a position. Pure functions
// over a plain record, so the dialog only binds its widgets to it.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "core/geo/coordinates.h"

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

// Fills the fields of a WGS-84 position (degrees) in format 0..18:
//  0, 17: degrees, minutes (integers), seconds "%2.4f", hemisphere (17 on NZGD49);
//  1: degrees, minutes "%2.5f", hemisphere;  2: degrees "%3.6f", hemisphere;
//  3, 4: northing "%.2f" and the zone text, easting "%.2f";
//  5, 16, 18: X (east-counting), Y (north-counting) "%.1f"; 6-15: northing, easting "%.1f".
// Seconds and minutes that round to 60 carry. Captions and used flags are set
// for any format 0..18; the texts stay empty when the position has no value
// in the format. An index outside 0..18 gives an empty record.
EditFields FillEditFields(int format, double lat, double lon);

// Reads typed fields of format 0..18 back into a WGS-84 position (degrees).
// Each used field must be empty (reads as 0) or a plain decimal number
// ("12", "-3.5"; integers in the integer fields; no comma, no exponent);
// anything else gives no position. Formats 0-2 and 17: a negative degrees
// text makes the whole angle negative (minutes and seconds included); a
// hemisphere reading exactly "S" (latitude) or "W" (longitude) negates a
// value that is not already negative, any other text leaves the sign as
// typed; 17 is then moved from NZGD49 to WGS-84. Formats 3, 4: the zone must
// be a zone number 1..60 with a band letter C..X. Empty when the input gives
// no position: unreadable text, a bad zone, a New Zealand Map Grid value
// outside its range, a non-finite result. Out-of-range latitudes are
// returned as typed; the caller decides.
std::optional<LatLon> ReadEditFields(int format, const EditFields& fields);

}  // namespace tarvo
