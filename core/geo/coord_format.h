// The nineteen coordinate formats: their names, the split of a signed angle
// into degrees, minutes and seconds, the numbers each format shows, and the
// position texts of the status page's two layouts.
//
// Texts are UTF-8; the degree sign is "\xC2\xB0". Numbers are printed
// locale-free (number_text.h), so "%.1f" never shows a comma.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/geo/coordinates.h"
#include "core/geo/geo_result.h"

namespace tarvo {

inline constexpr int kCoordFormatCount = 19;
inline constexpr char kDegreeSign[] = "\xC2\xB0";

// A coordinate format. The values are the stored setting "FmtPos" (default
// 0) and the positions in the "Coord" menu; CoordFormatFromIndex turns such a
// number into a format.
enum class CoordFormat : uint8_t {
  WgsDms = 0,        // D°MM'SS"
  WgsDm = 1,         // D°MM.MMM'
  WgsDeg = 2,        // D.DDDDD°
  UtmWgs84 = 3,
  UtmInternational = 4,
  Netherlands = 5,   // RD, X/Y
  Britain = 6,       // 6..15: N/E Transverse Mercator grids
  Finland1 = 7,
  Finland2 = 8,
  Finland3 = 9,
  Finland4 = 10,
  Ireland = 11,
  Italy1 = 12,
  Italy2 = 13,
  SwedenRt90 = 14,
  SwedenSweref93 = 15,
  Switzerland = 16,  // X/Y
  Nzgd49 = 17,       // D°MM'SS" on the New Zealand 1949 datum
  Nzmg = 18,         // New Zealand Map Grid, X/Y
};

// Every format, in menu order, for loops.
inline constexpr std::array<CoordFormat, kCoordFormatCount> kAllCoordFormats{
    CoordFormat::WgsDms,      CoordFormat::WgsDm,          CoordFormat::WgsDeg,   CoordFormat::UtmWgs84,
    CoordFormat::UtmInternational, CoordFormat::Netherlands, CoordFormat::Britain, CoordFormat::Finland1,
    CoordFormat::Finland2,    CoordFormat::Finland3,       CoordFormat::Finland4, CoordFormat::Ireland,
    CoordFormat::Italy1,      CoordFormat::Italy2,         CoordFormat::SwedenRt90, CoordFormat::SwedenSweref93,
    CoordFormat::Switzerland, CoordFormat::Nzgd49,         CoordFormat::Nzmg,
};

// The format of a stored number or menu position 0..18; empty for another number.
std::optional<CoordFormat> CoordFormatFromIndex(int index);

// The name of a format, e.g. "WGS84 D°MM'SS\"", "Grid: Britain"; empty for a
// value that is none of the nineteen.
std::string_view CoordFormatName(CoordFormat format);

// The "Coord" popup menu text of a format: "D°MM'SS\" (WGS84)",
// "D°MM.MMM' (WGS84)", "D.DDDDD° (WGS84)", then the names; empty otherwise.
std::string_view CoordFormatMenuText(CoordFormat format);

// Absolute degrees and the hemisphere ('N'/'S' or 'E'/'W'; zero is N/E).
struct DegHemi {
  double value;
  char hemisphere;
};
struct DegMinHemi {
  int32_t degrees;
  double minutes;
  char hemisphere;
};
struct DegMinSecHemi {
  int32_t degrees;
  int32_t minutes;
  double seconds;
  char hemisphere;
};

// Splits of a signed angle in degrees (|value| below 2^31; NaN reads as 0).
DegHemi SplitDeg(double value, bool isLongitude);
// degrees = floor(|v|), minutes = (|v| - degrees) * 60.
DegMinHemi SplitDm(double value, bool isLongitude);
// degrees = floor(|v|), minutes = floor((|v| - degrees) * 60),
// seconds = (|v| - degrees - minutes * 0.016666666666666666) * 3600.
DegMinSecHemi SplitDms(double value, bool isLongitude);

// degrees + minutes * 0.016666666666666666.
double JoinDm(double degrees, double minutes);
// degrees + minutes * 0.016666666666666666 + seconds * 0.0002777777777777778.
double JoinDms(double degrees, double minutes, double seconds);

// A one-character text holding c.
std::string HemisphereText(char c);

// Degrees-minutes-seconds text "%d°%2d'%<decimals>f\"" (seconds width 2) of a
// split, carrying a seconds value that rounds to 60 into the minutes and 60
// minutes into the degrees ("52° 6'0.0\"", never "52° 5'60.0\"").
std::string DmsText(const DegMinSecHemi& split, int secondsDecimals = 1);
// Degrees-decimal-minutes text "%d°%2.<decimals>f'" with the same carry.
std::string DmText(const DegMinHemi& split, int minutesDecimals = 3);

// The two numbers a format shows, in field order: the three WGS-84 formats
// latitude and longitude (degrees), Nzgd49 the NZGD49 latitude and longitude
// (rounded to 5 decimals); the UTM and Transverse Mercator grids northing
// and easting (metres); Netherlands, Switzerland and Nzmg the east-counting X
// and the north-counting Y (metres). zone: UTM only.
struct FormatNumbers {
  double first = 0.0;
  double second = 0.0;
  std::string zone;
};

// The numbers of a WGS-84 position (degrees: latitude -90..90, longitude
// -180..180; any finite value converts) in a format, through the format's
// grid (utm.h, tm_grid.h, rd.h, swiss.h, nz.h),
// unrounded beyond what the grid itself rounds (Swiss 0.1 m, NZ map grid
// whole metres, NZGD49 5 decimals). A New Zealand Map Grid position outside
// New Zealand gives 0 and 0. Fails with UnknownFormat for a value that is no
// format, NotFinite when the conversion has no finite result.
GeoResult<FormatNumbers> PositionNumbers(CoordFormat format, double lat, double lon);

// The inverse: the numbers of a format in field order (degrees or metres as
// PositionNumbers gives them, and the UTM zone text) -> WGS-84 degrees,
// through the inverse of the format's grid. Fails with UnknownFormat for a value that is no format,
// OutsideGrid for New Zealand Map Grid numbers outside its range or grid
// numbers at no place on the globe, NotFinite for a non-finite result.
GeoResult<LatLon> PositionFromNumbers(CoordFormat format, double first, double second, std::string_view zone = {});

enum class PositionLayout { TwoField, OneLine };

// Texts of one position. TwoField fills label1/value1, label2/value2 and
// zone; OneLine fills line1, line2 and zone ("label value"). Members a layout
// does not use are empty; zone is the UTM zone text of the two UTM formats.
struct PositionText {
  std::string label1, value1, label2, value2, line1, line2, zone;
};

// The position texts of a WGS-84 position (degrees) in a format:
//  WgsDms, Nzgd49: hemisphere, "%d°%2d'%2.1f\""; WgsDm: "%d°%2.3f'";
//  WgsDeg: "%3.5f°"; UTM: "N"/"E", "%.2f"; Netherlands, Switzerland, Nzmg:
//  "X"/"Y", "%7.1f"; the Transverse Mercator grids: "N"/"E", "%7.1f".
// All empty for a value that is no format or a position with no value in it.
PositionText FormatPosition(CoordFormat format, double lat, double lon, PositionLayout layout);

// The same texts from numbers already computed by PositionNumbers(format, ...).
PositionText FormatPositionNumbers(CoordFormat format, const FormatNumbers& numbers, PositionLayout layout);
// The same into an existing record (its strings keep their storage; for
// converting millions of positions).
void FormatPositionNumbersInto(PositionText& t, CoordFormat format, const FormatNumbers& numbers,
                               PositionLayout layout);

}  // namespace tarvo
