#include "core/geo/swiss.h"

#include <cmath>

#include "core/geo/ellipsoid.h"

namespace tarvo {

namespace {

const double kSwissE = std::sqrt(kSwissE2);

double IsometricTerm(double phi) {
  const double es = kSwissE * std::sin(phi);
  return std::log((1.0 + es) / (1.0 - es));
}

}  // namespace

std::optional<GridCoord> SwissProject(double phi, double lambda) {
  const double s = kSwissAlpha * std::log(std::tan(kQuarterPi + phi / 2.0)) -
                   kSwissAlpha * kSwissE / 2.0 * IsometricTerm(phi) + kSwissK;
  const double b = 2.0 * (std::atan(std::exp(s)) - kQuarterPi);
  const double l = kSwissAlpha * (lambda - kSwissLambda0);
  const double lBar = std::atan(std::sin(l) / (std::sin(kSwissB0) * std::tan(b) + std::cos(kSwissB0) * std::cos(l)));
  const double bBar = std::asin(std::cos(kSwissB0) * std::sin(b) - std::sin(kSwissB0) * std::cos(b) * std::cos(l));
  GridCoord out;
  out.easting = kSwissRadius * lBar + kSwissFalseEast;
  out.northing = kSwissRadius / 2.0 * std::log((1.0 + std::sin(bBar)) / (1.0 - std::sin(bBar))) + kSwissFalseNorth;
  if (!std::isfinite(out.easting) || !std::isfinite(out.northing)) return std::nullopt;
  return out;
}

std::optional<GeoAngles> SwissUnproject(double north, double east) {
  const double bBar = 2.0 * (std::atan(std::exp((north - kSwissFalseNorth) / kSwissRadius)) - kQuarterPi);
  const double lBar = (east - kSwissFalseEast) / kSwissRadius;
  const double b = std::asin(std::cos(kSwissB0) * std::sin(bBar) + std::sin(kSwissB0) * std::cos(bBar) * std::cos(lBar));
  const double l = std::atan(std::sin(lBar) / (std::cos(kSwissB0) * std::cos(lBar) - std::sin(kSwissB0) * std::tan(bBar)));
  const double lambda = kSwissLambda0 + l / kSwissAlpha;
  const double fixedPart = (std::log(std::tan(kQuarterPi + b / 2.0)) - kSwissK) * kSwissInverseAlphaTerm;
  double phi = kSwissLatitudeStart;
  for (int pass = 0; pass < kSwissMaxPasses; ++pass) {
    const double next = 2.0 * (std::atan(std::exp(fixedPart + kSwissE / 2.0 * IsometricTerm(phi))) - kQuarterPi);
    const double change = std::fabs(next - phi);
    phi = next;
    if (!(change > 1e-26)) break;
  }
  if (!std::isfinite(phi) || !std::isfinite(lambda)) return std::nullopt;
  return GeoAngles{phi, lambda};
}

std::optional<GridCoord> SwissFromLatLon(double lat, double lon) {
  const std::optional<GeoAngles> bessel = WgsToCh1903(lat, lon);
  if (!bessel) return std::nullopt;
  std::optional<GridCoord> grid = SwissProject(bessel->lat, bessel->lon);
  if (!grid) return std::nullopt;
  grid->easting = RoundHalfUp(grid->easting * 10.0) / 10.0;
  grid->northing = RoundHalfUp(grid->northing * 10.0) / 10.0;
  return grid;
}

std::optional<LatLon> LatLonFromSwiss(double north, double east) {
  const std::optional<GeoAngles> bessel = SwissUnproject(north, east);
  if (!bessel) return std::nullopt;
  const std::optional<GeoAngles> wgs = Ch1903ToWgs(bessel->lat, bessel->lon);
  if (!wgs) return std::nullopt;
  return LatLon{wgs->lat, wgs->lon};
}

}  // namespace tarvo
