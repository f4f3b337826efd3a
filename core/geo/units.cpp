#include "core/geo/units.h"

#include <cmath>

#include "core/geo/number_text.h"

namespace tarvo {

namespace {

std::string Fixed(double v, int precision, std::string_view suffix) {
  std::string out;
  AppendFixed(out, v, precision);
  out += suffix;
  return out;
}

// Truncation toward zero as the "%d" texts need it, saturating; NaN reads as 0.
long long Truncate(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483648LL;
  return static_cast<long long>(v);
}

}  // namespace

std::string_view SpeedUnitName(SpeedUnit unit) {
  switch (unit) {
    case SpeedUnit::Mph: return "mph";
    case SpeedUnit::Knot: return "knot";
    default: return "km/h";
  }
}

std::string_view DistanceUnitName(DistanceUnit unit) {
  switch (unit) {
    case DistanceUnit::Imperial: return "mi";
    case DistanceUnit::Nautical: return "nm";
    default: return "km";
  }
}

std::string_view LengthUnitName(DistanceUnit unit) {
  switch (unit) {
    case DistanceUnit::Imperial: return "ft";
    case DistanceUnit::Nautical: return "nm";
    default: return "m";
  }
}

double SpeedFromKnots(double knots, SpeedUnit unit) {
  switch (unit) {
    case SpeedUnit::Mph: return knots * kKnotsToMph;
    case SpeedUnit::Knot: return knots;
    default: return knots * kKnotsToKmh;
  }
}

double KnotsFromSpeed(double value, SpeedUnit unit) {
  switch (unit) {
    case SpeedUnit::Mph: return value * kMphToKnots;
    case SpeedUnit::Knot: return value;
    default: return value * kKmhToKnots;
  }
}

double LengthFromMetres(double metres, DistanceUnit unit) {
  switch (unit) {
    case DistanceUnit::Imperial: return metres * kMetresToFeet;
    case DistanceUnit::Nautical: return metres * kMetresToNauticalMiles;
    default: return metres;
  }
}

double MetresFromLength(double value, DistanceUnit unit) {
  switch (unit) {
    case DistanceUnit::Imperial: return value * kFeetToMetres;
    case DistanceUnit::Nautical: return value * kNauticalMilesToMetres;
    default: return value;
  }
}

std::string FormatSpeed(double knots, SpeedUnit unit) {
  switch (unit) {
    case SpeedUnit::Mph: {
      const double v = knots * kKnotsToMph;
      return Fixed(v, v < 10.0 ? 1 : 0, " mph");
    }
    case SpeedUnit::Knot:
      return Fixed(knots, knots < 20.0 ? 2 : 0, " knot");
    default: {
      const double v = knots * kKnotsToKmh;
      return Fixed(v, v < 10.0 ? 1 : 0, " km/h");
    }
  }
}

std::string FormatAltitude(double metres, DistanceUnit unit) {
  std::string out;
  switch (unit) {
    case DistanceUnit::Imperial:
      AppendInt(out, Truncate(metres * kMetresToFeet));
      out += " ft";
      return out;
    case DistanceUnit::Nautical:
      return Fixed(metres * kMetresToNauticalMiles, 2, " nm");
    default:
      AppendInt(out, Truncate(metres));
      out += " m";
      return out;
  }
}

AccuracyText FormatAccuracy(double metres, DistanceUnit unit) {
  AccuracyText t;
  switch (unit) {
    case DistanceUnit::Imperial:
      AppendFixed(t.number, metres * kMetresToFeet, 0);
      break;
    case DistanceUnit::Nautical:
      AppendFixed(t.number, metres * kMetresToNauticalMiles, 2);
      break;
    default:
      AppendFixed(t.number, metres, 1);
      break;
  }
  t.unit = LengthUnitName(unit);
  return t;
}

std::string FormatError(double metres, DistanceUnit unit) {
  if (!(metres > 0.0)) return {};
  const AccuracyText t = FormatAccuracy(metres, unit);
  return ", Err: " + t.number + " " + t.unit;
}

std::string FormatDistance(double metres, DistanceUnit unit) {
  switch (unit) {
    case DistanceUnit::Imperial: {
      const double feet = metres * kMetresToFeet;
      if (feet < 1000.0) return Fixed(feet, 0, " ft");
      const double miles = feet * kFeetToMiles;
      return Fixed(miles, feet < 5280.0 ? 2 : (feet < 105600.0 ? 1 : 0), " mi");
    }
    case DistanceUnit::Nautical: {
      const double nm = metres * kMetresToNauticalMiles;
      return Fixed(nm, metres < 5000.0 ? 2 : (metres < 20000.0 ? 1 : 0), " nm");
    }
    default: {
      if (metres < 1000.0) return Fixed(metres, 0, " m");
      const double km = metres * kMetresToKm;
      return Fixed(km, metres < 5000.0 ? 2 : (metres < 20000.0 ? 1 : 0), " km");
    }
  }
}

}  // namespace tarvo
