#include "core/geo/coord_format.h"

#include <array>
#include <cmath>

#include "core/geo/ellipsoid.h"
#include "core/geo/nz.h"
#include "core/geo/number_text.h"
#include "core/geo/rd.h"
#include "core/geo/swiss.h"
#include "core/geo/tm_grid.h"
#include "core/geo/utm.h"

namespace tarvo {

namespace {

constexpr double kMinuteInDegrees = 0.016666666666666666;
constexpr double kSecondInDegrees = 0.0002777777777777778;

constexpr std::array<std::string_view, kCoordFormatCount> kNames{
    "WGS84 D\xC2\xB0MM'SS\"",
    "WGS84 D\xC2\xB0MM.MMM'",
    "WGS84 D.DDDDD\xC2\xB0",
    "UTM (WGS84)",
    "UTM (International)",
    "Grid: Netherlands RD",
    "Grid: Britain",
    "Grid: Finland Zone 1",
    "Grid: Finland Zone 2",
    "Grid: Finland Zone 3",
    "Grid: Finland Zone 4",
    "Grid: Ireland",
    "Grid: Italy Zone 1",
    "Grid: Italy Zone 2",
    "Grid: Sweden (RT90)",
    "Grid: Sweden (SWEREF93)",
    "Grid: Switzerland",
    "Grid: New Zealand 1949 Datum",
    "Grid: New Zealand Map Grid",
};

constexpr std::array<std::string_view, 3> kMenuTexts{
    "D\xC2\xB0MM'SS\" (WGS84)",
    "D\xC2\xB0MM.MMM' (WGS84)",
    "D.DDDDD\xC2\xB0 (WGS84)",
};

// floor of a non-negative magnitude as int32, saturating.
int32_t FloorToInt(double v) {
  const double f = std::floor(v);
  if (!(f >= 0.0)) return 0;
  if (f >= 2147483647.0) return 2147483647;
  return static_cast<int32_t>(f);
}

char Hemisphere(double value, bool isLongitude) {
  if (value < 0) return isLongitude ? 'W' : 'S';
  return isLongitude ? 'E' : 'N';
}

double Magnitude(double value) {
  if (std::isnan(value)) return 0.0;
  return value < 0 ? -value : value;
}

// True when v printed with the given decimals reads 60 or more.
bool RoundsToSixty(double v, int decimals) { return RoundedAsPrinted(v, decimals) >= 60.0; }

}  // namespace

std::string_view CoordFormatName(int format) {
  if (format < 0 || format >= kCoordFormatCount) return {};
  return kNames[static_cast<size_t>(format)];
}

std::string_view CoordFormatMenuText(int format) {
  if (format >= 0 && format < 3) return kMenuTexts[static_cast<size_t>(format)];
  return CoordFormatName(format);
}

DegHemi SplitDeg(double value, bool isLongitude) { return {Magnitude(value), Hemisphere(value, isLongitude)}; }

DegMinHemi SplitDm(double value, bool isLongitude) {
  const double v = Magnitude(value);
  DegMinHemi out;
  out.hemisphere = Hemisphere(value, isLongitude);
  out.degrees = FloorToInt(v);
  out.minutes = (v - out.degrees) * 60.0;
  return out;
}

DegMinSecHemi SplitDms(double value, bool isLongitude) {
  const double v = Magnitude(value);
  DegMinSecHemi out;
  out.hemisphere = Hemisphere(value, isLongitude);
  out.degrees = FloorToInt(v);
  out.minutes = FloorToInt((v - out.degrees) * 60.0);
  out.seconds = (v - out.degrees - out.minutes * kMinuteInDegrees) * 3600.0;
  return out;
}

double JoinDm(double degrees, double minutes) { return degrees + minutes * kMinuteInDegrees; }

double JoinDms(double degrees, double minutes, double seconds) {
  return degrees + minutes * kMinuteInDegrees + seconds * kSecondInDegrees;
}

std::string HemisphereText(char c) { return std::string(1, c); }

std::string DmsText(const DegMinSecHemi& split, int secondsDecimals) {
  long long degrees = split.degrees;
  long long minutes = split.minutes;
  double seconds = split.seconds > 0 ? split.seconds : 0.0;  // rounding noise below 0, and -0
  if (RoundsToSixty(seconds, secondsDecimals)) {
    seconds = 0.0;
    ++minutes;
  }
  if (minutes >= 60) {
    minutes -= 60;
    ++degrees;
  }
  std::string out;
  AppendInt(out, degrees);
  out += kDegreeSign;
  AppendInt(out, minutes, 2);
  out += '\'';
  AppendFixed(out, seconds, secondsDecimals, 2);
  out += '"';
  return out;
}

std::string DmText(const DegMinHemi& split, int minutesDecimals) {
  long long degrees = split.degrees;
  double minutes = split.minutes > 0 ? split.minutes : 0.0;
  if (RoundsToSixty(minutes, minutesDecimals)) {
    minutes = 0.0;
    ++degrees;
  }
  std::string out;
  AppendInt(out, degrees);
  out += kDegreeSign;
  AppendFixed(out, minutes, minutesDecimals, 2);
  out += '\'';
  return out;
}

std::optional<FormatNumbers> PositionNumbers(int format, double lat, double lon) {
  FormatNumbers out;
  switch (format) {
    case 0:
    case 1:
    case 2:
      if (!std::isfinite(lat) || !std::isfinite(lon)) return std::nullopt;
      out.first = lat;
      out.second = lon;
      return out;
    case 3:
    case 4: {
      std::optional<GridCoord> g =
          UtmFromLatLon(format == 3 ? EllipsoidId::Wgs84 : EllipsoidId::International1924, lat, lon);
      if (!g) return std::nullopt;
      out.first = g->northing;
      out.second = g->easting;
      out.zone = std::move(g->zone);
      return out;
    }
    case 5: {
      const std::optional<GridCoord> g = RdFromLatLon(lat, lon);
      if (!g) return std::nullopt;
      out.first = g->easting;
      out.second = g->northing;
      return out;
    }
    case 16: {
      const std::optional<GridCoord> g = SwissFromLatLon(lat, lon);
      if (!g) return std::nullopt;
      out.first = g->easting;
      out.second = g->northing;
      return out;
    }
    case 17: {
      const std::optional<LatLon> nz = Nzgd49FromLatLon(lat, lon);
      if (!nz) return std::nullopt;
      out.first = nz->latitude;
      out.second = nz->longitude;
      return out;
    }
    case 18: {
      const std::optional<GridCoord> g = NzmgFromLatLon(lat, lon);
      if (!g) return std::nullopt;
      out.first = g->easting;
      out.second = g->northing;
      return out;
    }
    default: {
      const std::optional<GridCoord> g = TmGridFromLatLon(format, lat, lon);
      if (!g) return std::nullopt;
      out.first = g->northing;
      out.second = g->easting;
      return out;
    }
  }
}

std::optional<LatLon> PositionFromNumbers(int format, double first, double second, std::string_view zone) {
  switch (format) {
    case 0:
    case 1:
    case 2:
      if (!std::isfinite(first) || !std::isfinite(second)) return std::nullopt;
      return LatLon{first, second};
    case 3:
      return LatLonFromUtm(EllipsoidId::Wgs84, first, second, zone);
    case 4:
      return LatLonFromUtm(EllipsoidId::International1924, first, second, zone);
    case 5:
      return LatLonFromRd(first, second);
    case 16:
      return LatLonFromSwiss(second, first);
    case 17:
      return LatLonFromNzgd49(first, second);
    case 18:
      return LatLonFromNzmg(second, first);
    default:
      return LatLonFromTmGrid(format, first, second);
  }
}

PositionText FormatPosition(int format, double lat, double lon, PositionLayout layout) {
  const std::optional<FormatNumbers> n = PositionNumbers(format, lat, lon);
  if (!n) return {};
  return FormatPositionNumbers(format, *n, layout);
}

PositionText FormatPositionNumbers(int format, const FormatNumbers& numbers, PositionLayout layout) {
  PositionText t;
  FormatPositionNumbersInto(t, format, numbers, layout);
  return t;
}

void FormatPositionNumbersInto(PositionText& t, int format, const FormatNumbers& numbers, PositionLayout layout) {
  for (std::string* s : {&t.label1, &t.value1, &t.label2, &t.value2, &t.line1, &t.line2, &t.zone}) s->clear();
  if (format < 0 || format >= kCoordFormatCount) return;
  const FormatNumbers* n = &numbers;
  switch (format) {
    case 0:
    case 17:
      t.label1 = HemisphereText(SplitDms(n->first, false).hemisphere);
      t.value1 = DmsText(SplitDms(n->first, false));
      t.label2 = HemisphereText(SplitDms(n->second, true).hemisphere);
      t.value2 = DmsText(SplitDms(n->second, true));
      break;
    case 1: {
      const DegMinHemi a = SplitDm(n->first, false), b = SplitDm(n->second, true);
      t.label1 = HemisphereText(a.hemisphere);
      t.value1 = DmText(a);
      t.label2 = HemisphereText(b.hemisphere);
      t.value2 = DmText(b);
      break;
    }
    case 2: {
      const DegHemi a = SplitDeg(n->first, false), b = SplitDeg(n->second, true);
      t.label1 = HemisphereText(a.hemisphere);
      AppendFixed(t.value1, a.value, 5, 3);
      t.value1 += kDegreeSign;
      t.label2 = HemisphereText(b.hemisphere);
      AppendFixed(t.value2, b.value, 5, 3);
      t.value2 += kDegreeSign;
      break;
    }
    // One-letter labels are assigned as characters: GCC 12 warns falsely
    // (-Wrestrict) on assigning the literals at -O3.
    case 3:
    case 4:
      t.label1.assign(1, 'N');
      AppendFixed(t.value1, n->first, 2);
      t.label2.assign(1, 'E');
      AppendFixed(t.value2, n->second, 2);
      t.zone = n->zone;
      break;
    case 5:
    case 16:
    case 18:
      t.label1.assign(1, 'X');
      AppendFixed(t.value1, n->first, 1, 7);
      t.label2.assign(1, 'Y');
      AppendFixed(t.value2, n->second, 1, 7);
      break;
    default:
      t.label1.assign(1, 'N');
      AppendFixed(t.value1, n->first, 1, 7);
      t.label2.assign(1, 'E');
      AppendFixed(t.value2, n->second, 1, 7);
      break;
  }
  if (layout == PositionLayout::OneLine) {
    t.line1.append(t.label1).append(1, ' ').append(t.value1);
    t.line2.append(t.label2).append(1, ' ').append(t.value2);
    t.label1.clear();
    t.value1.clear();
    t.label2.clear();
    t.value2.clear();
  }
}

}  // namespace tarvo
