#include "core/geo/tm_grid.h"

#include <cmath>

#include "core/geo/datum.h"
#include "core/geo/ellipsoid.h"

namespace tarvo {

namespace {

// Meridian arc from phi0 to phi (OS series), metres.
double MeridianArc(double b, double n, double phi, double phi0) {
  const double n2 = n * n, n3 = n2 * n;
  const double dp = phi - phi0, sp = phi + phi0;
  // Multiple angles of dp and sp by the double- and triple-angle identities.
  const double s1 = std::sin(dp), c1 = std::cos(dp);
  const double cs1 = std::cos(sp), ss1 = std::sin(sp);
  const double s2 = 2.0 * s1 * c1, c2 = c1 * c1 - s1 * s1;
  const double cs2 = cs1 * cs1 - ss1 * ss1, ss2 = 2.0 * ss1 * cs1;
  const double s3 = s2 * c1 + c2 * s1;
  const double cs3 = cs2 * cs1 - ss2 * ss1;
  return b * ((1.0 + n + 5.0 / 4.0 * n2 + 5.0 / 4.0 * n3) * dp -
              (3.0 * n + 3.0 * n2 + 21.0 / 8.0 * n3) * s1 * cs1 +
              (15.0 / 8.0 * n2 + 15.0 / 8.0 * n3) * s2 * cs2 -
              35.0 / 24.0 * n3 * s3 * cs3);
}

}  // namespace

const TmGrid* FindTmGrid(CoordFormat format) {
  for (const TmGrid& grid : kTmGrids)
    if (grid.format == format) return &grid;
  return nullptr;
}

std::optional<GridCoord> TmProject(const TmGrid& g, double phi, double lambda) {
  const double a = g.aF0, b = g.bF0;
  const double n = (a - b) / (a + b);
  const double e2 = (a * a - b * b) / (a * a);
  const double phi0 = g.phi0Deg * kDegToRad, lambda0 = g.lambda0Deg * kDegToRad;
  const double s = std::sin(phi), c = std::cos(phi), t = s / c;
  const double t2 = t * t, t4 = t2 * t2;
  const double w = 1.0 - e2 * s * s;
  const double nu = a / std::sqrt(w);
  const double rho = a * (1.0 - e2) / (w * std::sqrt(w));  // (1 - e2 sin^2)^1.5
  const double eta2 = nu / rho - 1.0;
  const double m = MeridianArc(b, n, phi, phi0);
  const double c3 = c * c * c, c5 = c3 * c * c;

  const double i = m + g.n0;
  const double ii = nu / 2.0 * s * c;
  const double iii = nu / 24.0 * s * c3 * (5.0 - t2 + 9.0 * eta2);
  const double iiia = nu / 720.0 * s * c5 * (61.0 - 58.0 * t2 + t4);
  const double iv = nu * c;
  const double v = nu / 6.0 * c3 * (nu / rho - t2);
  const double vi = nu / 120.0 * c5 * (5.0 - 18.0 * t2 + t4 + 14.0 * eta2 - 58.0 * t2 * eta2);
  const double dl = lambda - lambda0;
  const double dl2 = dl * dl, dl3 = dl2 * dl, dl4 = dl3 * dl, dl5 = dl4 * dl, dl6 = dl5 * dl;

  GridCoord out;
  out.northing = i + ii * dl2 + iii * dl4 + iiia * dl6;
  out.easting = g.e0 + iv * dl + v * dl3 + vi * dl5;
  if (!std::isfinite(out.northing) || !std::isfinite(out.easting)) return std::nullopt;
  return out;
}

GeoResult<GeoAngles> TmUnproject(const TmGrid& g, double northing, double easting) {
  if (!std::isfinite(northing) || !std::isfinite(easting)) return GeoFailure::NotFinite;
  const double a = g.aF0, b = g.bF0;
  const double n = (a - b) / (a + b);
  const double e2 = (a * a - b * b) / (a * a);
  const double phi0 = g.phi0Deg * kDegToRad, lambda0 = g.lambda0Deg * kDegToRad;

  double phi = (northing - g.n0) / a + phi0;
  double m = MeridianArc(b, n, phi, phi0);
  bool settled = false;
  for (int pass = 0; pass < kTmMaxPasses; ++pass) {
    const double residual = northing - g.n0 - m;
    if (!(std::fabs(residual) >= kTmResidualLimit)) {
      settled = std::isfinite(residual);
      break;
    }
    phi += residual / a;
    m = MeridianArc(b, n, phi, phi0);
  }
  // A footpoint more than half a turn from the equator is nowhere on the globe.
  if (!settled || !(std::fabs(phi) <= kPi)) return GeoFailure::OutsideGrid;

  const double s = std::sin(phi), t = std::tan(phi), sec = 1.0 / std::cos(phi);
  const double w = 1.0 - e2 * s * s;
  const double nu = a / std::sqrt(w);
  const double rho = a * (1.0 - e2) / (w * std::sqrt(w));  // (1 - e2 sin^2)^1.5
  const double eta2 = nu / rho - 1.0;
  const double t2 = t * t, t4 = t2 * t2, t6 = t4 * t2;
  const double nu3 = nu * nu * nu, nu5 = nu3 * nu * nu, nu7 = nu5 * nu * nu;

  const double vii = t / (2.0 * rho * nu);
  const double viii = t / (24.0 * rho * nu3) * (5.0 + 3.0 * t2 + eta2 - 9.0 * t2 * eta2);
  const double ix = t / (720.0 * rho * nu5) * (61.0 + 90.0 * t2 + 45.0 * t4);
  const double x = sec / nu;
  const double xi = sec / (6.0 * nu3) * (nu / rho + 2.0 * t2);
  const double xii = sec / (120.0 * nu5) * (5.0 + 28.0 * t2 + 24.0 * t4);
  const double xiia = sec / (5040.0 * nu7) * (61.0 + 662.0 * t2 + 1320.0 * t4 + 720.0 * t6);
  const double de = easting - g.e0;
  const double de2 = de * de, de3 = de2 * de, de4 = de3 * de, de5 = de4 * de, de6 = de5 * de,
               de7 = de6 * de;

  GeoAngles out;
  out.lat = phi - vii * de2 + viii * de4 - ix * de6;
  out.lon = lambda0 + x * de - xi * de3 + xii * de5 - xiia * de7;
  if (!std::isfinite(out.lat) || !std::isfinite(out.lon)) return GeoFailure::NotFinite;
  return out;
}

GeoResult<GridCoord> TmGridFromLatLon(CoordFormat format, double lat, double lon) {
  const TmGrid* g = FindTmGrid(format);
  if (g == nullptr) return GeoFailure::UnknownFormat;
  double phi = lat * kDegToRad, lambda = lon * kDegToRad;
  if (g->airyShift) {
    const GeoResult<GeoAngles> airy = ShiftDegrees(kWgs84ToAiry, lat, lon, true);
    if (!airy) return airy.error();
    phi = airy->lat;
    lambda = airy->lon;
  }
  std::optional<GridCoord> grid = TmProject(*g, phi, lambda);
  if (!grid) return GeoFailure::NotFinite;
  return std::move(*grid);
}

GeoResult<LatLon> LatLonFromTmGrid(CoordFormat format, double northing, double easting) {
  const TmGrid* g = FindTmGrid(format);
  if (g == nullptr) return GeoFailure::UnknownFormat;
  const GeoResult<GeoAngles> grid = TmUnproject(*g, northing, easting);
  if (!grid) return grid.error();
  if (g->airyShift) {
    const GeoResult<GeoAngles> wgs = ShiftDegrees(kAiryToWgs84, grid->lat, grid->lon, true);
    if (!wgs) return wgs.error();
    return LatLon{wgs->lat, wgs->lon};
  }
  return LatLon{grid->lat * kRadToDeg, grid->lon * kRadToDeg};
}

}  // namespace tarvo
