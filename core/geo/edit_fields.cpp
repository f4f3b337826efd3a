#include "core/geo/edit_fields.h"

#include <cmath>

#include "core/geo/coord_format.h"
#include "core/geo/number_text.h"
#include "core/geo/tm_grid.h"
#include "core/geo/utm.h"

namespace tarvo {

namespace {

void SetCaptions(EditFields& f, const char* c0, const char* c1, const char* c2, const char* axis0,
                 const char* axis1) {
  f.columnCaptions = {c0, c1, c2};
  f.axisCaptions = {axis0, axis1};
}

void SetUsed(EditAxis& axis, bool f0, bool f1, bool f2, bool hemisphere) {
  axis.fieldUsed = {f0, f1, f2};
  axis.hemisphereUsed = hemisphere;
}

// Degrees, minutes, seconds "%2.4f" with the carry of 60 seconds and 60 minutes.
void FillDms(EditAxis& axis, double value, bool isLongitude) {
  const DegMinSecHemi s = SplitDms(value, isLongitude);
  long long degrees = s.degrees;
  long long minutes = s.minutes;
  double seconds = s.seconds > 0 ? s.seconds : 0.0;
  if (RoundedAsPrinted(seconds, 4) >= 60.0) {
    seconds = 0.0;
    ++minutes;
  }
  if (minutes >= 60) {
    minutes -= 60;
    ++degrees;
  }
  axis.fields[0].clear();
  AppendInt(axis.fields[0], degrees);
  axis.fields[1].clear();
  AppendInt(axis.fields[1], minutes);
  axis.fields[2].clear();
  AppendFixed(axis.fields[2], seconds, 4, 2);
  axis.hemisphere = HemisphereText(s.hemisphere);
}

void FillDm(EditAxis& axis, double value, bool isLongitude) {
  const DegMinHemi s = SplitDm(value, isLongitude);
  long long degrees = s.degrees;
  double minutes = s.minutes > 0 ? s.minutes : 0.0;
  if (RoundedAsPrinted(minutes, 5) >= 60.0) {
    minutes = 0.0;
    ++degrees;
  }
  AppendInt(axis.fields[0], degrees);
  AppendFixed(axis.fields[1], minutes, 5, 2);
  axis.hemisphere = HemisphereText(s.hemisphere);
}

void FillDeg(EditAxis& axis, double value, bool isLongitude) {
  const DegHemi s = SplitDeg(value, isLongitude);
  AppendFixed(axis.fields[0], s.value, 6, 3);
  axis.hemisphere = HemisphereText(s.hemisphere);
}

// One angle of the degree formats from its fields; fieldCount 3, 2 or 1.
std::optional<double> ReadAngle(const EditAxis& axis, int fieldCount, const char* negativeHemisphere) {
  double value = 0.0;
  if (fieldCount == 1) {
    const std::optional<double> d = ParseDecimalField(axis.fields[0]);
    if (!d) return std::nullopt;
    value = *d;
  } else {
    bool negative = false;
    const std::optional<int> degrees = ParseIntegerField(axis.fields[0], &negative);
    if (!degrees) return std::nullopt;
    const double magnitude = std::fabs(static_cast<double>(*degrees));
    if (fieldCount == 2) {
      const std::optional<double> minutes = ParseDecimalField(axis.fields[1]);
      if (!minutes) return std::nullopt;
      value = JoinDm(magnitude, *minutes);
    } else {
      const std::optional<int> minutes = ParseIntegerField(axis.fields[1]);
      const std::optional<double> seconds = ParseDecimalField(axis.fields[2]);
      if (!minutes || !seconds) return std::nullopt;
      value = JoinDms(magnitude, *minutes, *seconds);
    }
    if (negative) value = -value;
  }
  if (axis.hemisphere == negativeHemisphere && !(value < 0)) value = -value;
  return value;
}

}  // namespace

EditFields FillEditFields(CoordFormat format, double lat, double lon) {
  if (CoordFormatName(format).empty()) return {};  // a value that is no format
  const GeoResult<FormatNumbers> n = PositionNumbers(format, lat, lon);
  return FillEditFieldsFromNumbers(format, n ? &*n : nullptr);
}

EditFields FillEditFieldsFromNumbers(CoordFormat format, const FormatNumbers* n) {
  EditFields f;
  if (CoordFormatName(format).empty()) return f;  // a value that is no format
  EditAxis& a0 = f.axes[0];
  EditAxis& a1 = f.axes[1];
  switch (format) {
    case CoordFormat::WgsDms:
    case CoordFormat::Nzgd49:
      SetCaptions(f, "d\xC2\xB0", "m'", "s\"", "Lat:", "Lon:");
      SetUsed(a0, true, true, true, true);
      SetUsed(a1, true, true, true, true);
      if (n) {
        FillDms(a0, n->first, false);
        FillDms(a1, n->second, true);
      }
      break;
    case CoordFormat::WgsDm:
      SetCaptions(f, "d\xC2\xB0", "m.m'", "", "Lat:", "Lon:");
      SetUsed(a0, true, true, false, true);
      SetUsed(a1, true, true, false, true);
      if (n) {
        FillDm(a0, n->first, false);
        FillDm(a1, n->second, true);
      }
      break;
    case CoordFormat::WgsDeg:
      SetCaptions(f, "d.d\xC2\xB0", "", "", "Lat:", "Lon:");
      SetUsed(a0, true, false, false, true);
      SetUsed(a1, true, false, false, true);
      if (n) {
        FillDeg(a0, n->first, false);
        FillDeg(a1, n->second, true);
      }
      break;
    case CoordFormat::UtmWgs84:
    case CoordFormat::UtmInternational:
      SetCaptions(f, "m", "", "", "Lat:", "Lon:");
      SetUsed(a0, true, true, false, false);
      SetUsed(a1, true, false, false, false);
      if (n) {
        AppendFixed(a0.fields[0], n->first, 2);
        a0.fields[1] = n->zone;
        AppendFixed(a1.fields[0], n->second, 2);
      }
      break;
    default: {  // the X/Y and the Transverse Mercator grids
      const bool northEast = FindTmGrid(format) != nullptr;
      SetCaptions(f, "", "", "", northEast ? "N:" : "X:", northEast ? "E:" : "Y:");
      SetUsed(a0, true, false, false, false);
      SetUsed(a1, true, false, false, false);
      if (n) {
        AppendFixed(a0.fields[0], n->first, 1);
        AppendFixed(a1.fields[0], n->second, 1);
      }
      break;
    }
  }
  return f;
}

GeoResult<LatLon> ReadEditFields(CoordFormat format, const EditFields& f) {
  const GeoResult<FormatNumbers> n = ReadEditFieldNumbers(format, f);
  if (!n) return n.error();
  return PositionFromNumbers(format, n->first, n->second, n->zone);
}

GeoResult<FormatNumbers> ReadEditFieldNumbers(CoordFormat format, const EditFields& f) {
  if (CoordFormatName(format).empty()) return GeoFailure::UnknownFormat;
  const EditAxis& a0 = f.axes[0];
  const EditAxis& a1 = f.axes[1];
  switch (format) {
    case CoordFormat::WgsDms:
    case CoordFormat::WgsDm:
    case CoordFormat::WgsDeg:
    case CoordFormat::Nzgd49: {
      const int count = format == CoordFormat::WgsDm ? 2 : (format == CoordFormat::WgsDeg ? 1 : 3);
      const std::optional<double> lat = ReadAngle(a0, count, "S");
      const std::optional<double> lon = ReadAngle(a1, count, "W");
      if (!lat || !lon) return GeoFailure::BadNumber;
      return FormatNumbers{*lat, *lon, {}};
    }
    case CoordFormat::UtmWgs84:
    case CoordFormat::UtmInternational: {
      const std::optional<double> northing = ParseDecimalField(a0.fields[0]);
      const std::optional<double> easting = ParseDecimalField(a1.fields[0]);
      std::optional<std::string> zone = CanonicalUtmZone(a0.fields[1]);
      if (!northing || !easting) return GeoFailure::BadNumber;
      if (!zone) return GeoFailure::BadZone;
      return FormatNumbers{*northing, *easting, std::move(*zone)};
    }
    default: {  // the X/Y and the Transverse Mercator grids
      const std::optional<double> first = ParseDecimalField(a0.fields[0]);
      const std::optional<double> second = ParseDecimalField(a1.fields[0]);
      if (!first || !second) return GeoFailure::BadNumber;
      return FormatNumbers{*first, *second, {}};
    }
  }
}

}  // namespace tarvo
