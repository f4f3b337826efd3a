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

// The value of a conversion whose only failure is a non-finite result.
GeoResult<LatLon> Finite(const std::optional<LatLon>& p) {
  if (!p) return GeoFailure::NotFinite;
  return *p;
}

// True when v printed with the given decimals reads 60 or more.
bool RoundsToSixty(double v, int decimals) { return RoundedAsPrinted(v, decimals) >= 60.0; }

}  // namespace

std::optional<CoordFormat> CoordFormatFromIndex(int index) {
  if (index < 0 || index >= kCoordFormatCount) return std::nullopt;
  return kAllCoordFormats[static_cast<size_t>(index)];
}

std::string_view CoordFormatName(CoordFormat format) {
  const auto index = static_cast<size_t>(format);
  if (index >= kNames.size()) return {};
  return kNames[index];
}

std::string_view CoordFormatMenuText(CoordFormat format) {
  const auto index = static_cast<size_t>(format);
  if (index < kMenuTexts.size()) return kMenuTexts[index];
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

GeoResult<FormatNumbers> PositionNumbers(CoordFormat format, double lat, double lon) {
  FormatNumbers out;
  switch (format) {
    case CoordFormat::WgsDms:
    case CoordFormat::WgsDm:
    case CoordFormat::WgsDeg:
      if (!std::isfinite(lat) || !std::isfinite(lon)) return GeoFailure::NotFinite;
      out.first = lat;
      out.second = lon;
      return out;
    case CoordFormat::UtmWgs84:
    case CoordFormat::UtmInternational: {
      GeoResult<GridCoord> g =
          UtmFromLatLon(format == CoordFormat::UtmWgs84 ? EllipsoidId::Wgs84 : EllipsoidId::International1924, lat, lon);
      if (!g) return g.error();
      out.first = g->northing;
      out.second = g->easting;
      out.zone = std::move(g->zone);
      return out;
    }
    case CoordFormat::Netherlands: {
      const std::optional<GridCoord> g = RdFromLatLon(lat, lon);
      if (!g) return GeoFailure::NotFinite;
      out.first = g->easting;
      out.second = g->northing;
      return out;
    }
    case CoordFormat::Switzerland: {
      const std::optional<GridCoord> g = SwissFromLatLon(lat, lon);
      if (!g) return GeoFailure::NotFinite;
      out.first = g->easting;
      out.second = g->northing;
      return out;
    }
    case CoordFormat::Nzgd49: {
      const std::optional<LatLon> nz = Nzgd49FromLatLon(lat, lon);
      if (!nz) return GeoFailure::NotFinite;
      out.first = nz->latitude;
      out.second = nz->longitude;
      return out;
    }
    case CoordFormat::Nzmg: {
      const std::optional<GridCoord> g = NzmgFromLatLon(lat, lon);
      if (!g) return GeoFailure::NotFinite;
      out.first = g->easting;
      out.second = g->northing;
      return out;
    }
    case CoordFormat::Britain:
    case CoordFormat::Finland1:
    case CoordFormat::Finland2:
    case CoordFormat::Finland3:
    case CoordFormat::Finland4:
    case CoordFormat::Ireland:
    case CoordFormat::Italy1:
    case CoordFormat::Italy2:
    case CoordFormat::SwedenRt90:
    case CoordFormat::SwedenSweref93: {
      const GeoResult<GridCoord> g = TmGridFromLatLon(format, lat, lon);
      if (!g) return g.error();
      out.first = g->northing;
      out.second = g->easting;
      return out;
    }
  }
  return GeoFailure::UnknownFormat;  // a value that is no format
}

GeoResult<LatLon> PositionFromNumbers(CoordFormat format, double first, double second, std::string_view zone) {
  switch (format) {
    case CoordFormat::WgsDms:
    case CoordFormat::WgsDm:
    case CoordFormat::WgsDeg:
      if (!std::isfinite(first) || !std::isfinite(second)) return GeoFailure::NotFinite;
      return LatLon{first, second};
    case CoordFormat::UtmWgs84:
      return LatLonFromUtm(EllipsoidId::Wgs84, first, second, zone);
    case CoordFormat::UtmInternational:
      return LatLonFromUtm(EllipsoidId::International1924, first, second, zone);
    case CoordFormat::Netherlands:
      return Finite(LatLonFromRd(first, second));
    case CoordFormat::Switzerland:
      return Finite(LatLonFromSwiss(second, first));
    case CoordFormat::Nzgd49:
      return Finite(LatLonFromNzgd49(first, second));
    case CoordFormat::Nzmg:
      return LatLonFromNzmg(second, first);
    case CoordFormat::Britain:
    case CoordFormat::Finland1:
    case CoordFormat::Finland2:
    case CoordFormat::Finland3:
    case CoordFormat::Finland4:
    case CoordFormat::Ireland:
    case CoordFormat::Italy1:
    case CoordFormat::Italy2:
    case CoordFormat::SwedenRt90:
    case CoordFormat::SwedenSweref93:
      return LatLonFromTmGrid(format, first, second);
  }
  return GeoFailure::UnknownFormat;  // a value that is no format
}

PositionText FormatPosition(CoordFormat format, double lat, double lon, PositionLayout layout) {
  const GeoResult<FormatNumbers> n = PositionNumbers(format, lat, lon);
  if (!n) return {};
  return FormatPositionNumbers(format, *n, layout);
}

PositionText FormatPositionNumbers(CoordFormat format, const FormatNumbers& numbers, PositionLayout layout) {
  PositionText t;
  FormatPositionNumbersInto(t, format, numbers, layout);
  return t;
}

void FormatPositionNumbersInto(PositionText& t, CoordFormat format, const FormatNumbers& numbers,
                               PositionLayout layout) {
  for (std::string* s : {&t.label1, &t.value1, &t.label2, &t.value2, &t.line1, &t.line2, &t.zone}) s->clear();
  const FormatNumbers* n = &numbers;
  switch (format) {
    case CoordFormat::WgsDms:
    case CoordFormat::Nzgd49:
      t.label1 = HemisphereText(SplitDms(n->first, false).hemisphere);
      t.value1 = DmsText(SplitDms(n->first, false));
      t.label2 = HemisphereText(SplitDms(n->second, true).hemisphere);
      t.value2 = DmsText(SplitDms(n->second, true));
      break;
    case CoordFormat::WgsDm: {
      const DegMinHemi a = SplitDm(n->first, false), b = SplitDm(n->second, true);
      t.label1 = HemisphereText(a.hemisphere);
      t.value1 = DmText(a);
      t.label2 = HemisphereText(b.hemisphere);
      t.value2 = DmText(b);
      break;
    }
    case CoordFormat::WgsDeg: {
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
    case CoordFormat::UtmWgs84:
    case CoordFormat::UtmInternational:
      t.label1.assign(1, 'N');
      AppendFixed(t.value1, n->first, 2);
      t.label2.assign(1, 'E');
      AppendFixed(t.value2, n->second, 2);
      t.zone = n->zone;
      break;
    case CoordFormat::Netherlands:
    case CoordFormat::Switzerland:
    case CoordFormat::Nzmg:
      t.label1.assign(1, 'X');
      AppendFixed(t.value1, n->first, 1, 7);
      t.label2.assign(1, 'Y');
      AppendFixed(t.value2, n->second, 1, 7);
      break;
    case CoordFormat::Britain:
    case CoordFormat::Finland1:
    case CoordFormat::Finland2:
    case CoordFormat::Finland3:
    case CoordFormat::Finland4:
    case CoordFormat::Ireland:
    case CoordFormat::Italy1:
    case CoordFormat::Italy2:
    case CoordFormat::SwedenRt90:
    case CoordFormat::SwedenSweref93:
      t.label1.assign(1, 'N');
      AppendFixed(t.value1, n->first, 1, 7);
      t.label2.assign(1, 'E');
      AppendFixed(t.value2, n->second, 1, 7);
      break;
    default:
      return;  // a value that is no format: no texts
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
