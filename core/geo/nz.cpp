#include "core/geo/nz.h"

#include <cmath>
#include <complex>

#include "core/geo/ellipsoid.h"

namespace tarvo {

namespace {

using Complex = std::complex<double>;

constexpr double kA[10] = {0.6399175073, -0.1358797613, 0.063294409, -0.02526853, 0.0117879,
                           -0.0055161,   0.0026906,     -0.001333,   0.00067,     -0.00034};
const Complex kB[6] = {{0.7557853228, 0.0},         {0.249204646, 0.003371507},
                       {-0.001541739, 0.04105856},  {-0.10162907, 0.01727609},
                       {-0.26623489, -0.36249218},  {-0.6870983, -1.1651967}};
const Complex kC[6] = {{1.3231270439, 0.0},         {-0.577245789, -0.007809598},
                       {0.508307513, -0.112208952}, {-0.15094762, 0.18200602},
                       {1.01418179, 1.64497696},    {1.9660549, 2.5127645}};
constexpr double kD[9] = {1.5627014243, 0.5185406398, -0.03333098, -0.1052906, -0.0368594,
                          0.007317,     0.0122,       0.00394,     -0.0013};
constexpr double kRadiansTo1e5Seconds = 0.036;           // per degree
constexpr double k1e5SecondsToDegrees = 27.77777777777778;
constexpr double kOriginLatDeg = -41.0;

int LatLonStatus(double phi, double lambda) {
  int status = 0;
  if (phi < kNzmgMinLat || phi > kNzmgMaxLat) status += kNzmgLatitudeOut;
  if (lambda < kNzmgMinLon || lambda > kPi) status += kNzmgLongitudeOut;
  return status;
}

}  // namespace

std::optional<LatLon> Nzgd49FromLatLon(double lat, double lon) {
  const GeoResult<GeoAngles> r = ShiftDegrees(kWgs84ToNzgd49, lat, lon, false);
  if (!r) return std::nullopt;
  return LatLon{r->lat, r->lon};
}

std::optional<LatLon> LatLonFromNzgd49(double lat49, double lon49) {
  const GeoResult<GeoAngles> r = ShiftDegrees(kNzgd49ToWgs84, lat49, lon49, false);
  if (!r) return std::nullopt;
  return LatLon{r->lat, r->lon};
}

std::optional<GridCoord> NzmgProject(double phi, double lambda) {
  const double dPhi = (phi * kRadToDeg - kOriginLatDeg) * kRadiansTo1e5Seconds;
  double dPsi = 0.0;
  for (int n = 9; n >= 0; --n) dPsi = (dPsi + kA[n]) * dPhi;
  const Complex theta(dPsi, lambda - kNzmgLambda0);
  Complex z(0.0, 0.0);
  for (int n = 5; n >= 0; --n) z = (z + kB[n]) * theta;
  GridCoord out;
  out.northing = z.real() * kNzmgA + kNzmgFalseNorthing;
  out.easting = z.imag() * kNzmgA + kNzmgFalseEasting;
  if (!std::isfinite(out.northing) || !std::isfinite(out.easting)) return std::nullopt;
  return out;
}

std::optional<GeoAngles> NzmgUnproject(double northing, double easting) {
  const Complex z((northing - kNzmgFalseNorthing) / kNzmgA, (easting - kNzmgFalseEasting) / kNzmgA);
  Complex theta(0.0, 0.0);
  for (int n = 5; n >= 0; --n) theta = (theta + kC[n]) * z;
  for (int pass = 0; pass < 2; ++pass) {
    // theta <- (z + sum (n-1) B_n theta^n) / (sum n B_n theta^(n-1)), n = 1..6
    Complex num(0.0, 0.0), den(0.0, 0.0), power(1.0, 0.0);  // power = theta^(n-1)
    for (int n = 1; n <= 6; ++n) {
      den += static_cast<double>(n) * kB[n - 1] * power;
      power *= theta;
      num += static_cast<double>(n - 1) * kB[n - 1] * power;
    }
    theta = (z + num) / den;
  }
  const double dPsi = theta.real();
  double dPhi = 0.0;
  for (int n = 8; n >= 0; --n) dPhi = (dPhi + kD[n]) * dPsi;
  GeoAngles out;
  out.lat = (dPhi * k1e5SecondsToDegrees + kOriginLatDeg) * kDegToRad;
  out.lon = theta.imag() + kNzmgLambda0;
  if (!std::isfinite(out.lat) || !std::isfinite(out.lon)) return std::nullopt;
  return out;
}

std::optional<GridCoord> NzmgFromLatLon(double lat, double lon, int* status) {
  if (status != nullptr) *status = 0;
  const GeoResult<GeoAngles> nz = ShiftDegrees(kWgs84ToNzgd49, lat, lon, true);
  if (!nz) return std::nullopt;
  int code = LatLonStatus(nz->lat, nz->lon);
  GridCoord out;
  if (code == 0) {
    const std::optional<GridCoord> grid = NzmgProject(nz->lat, nz->lon);
    if (!grid) return std::nullopt;
    out = *grid;
    if (out.easting < kNzmgMinEasting || out.easting > kNzmgMaxEasting) code += kNzmgEastingOut;
    if (out.northing < kNzmgMinNorthing || out.northing > kNzmgMaxNorthing) code += kNzmgNorthingOut;
    out.northing = RoundHalfUp(out.northing);
    out.easting = RoundHalfUp(out.easting);
  }
  if (status != nullptr) *status = code;
  return out;
}

GeoResult<LatLon> LatLonFromNzmg(double northing, double easting, int* status) {
  int code = 0;
  if (!(easting >= kNzmgMinEasting && easting <= kNzmgMaxEasting)) code += kNzmgEastingOut;
  if (!(northing >= kNzmgMinNorthing && northing <= kNzmgMaxNorthing)) code += kNzmgNorthingOut;
  if (status != nullptr) *status = code;
  if (code != 0)
    return std::isfinite(easting) && std::isfinite(northing) ? GeoFailure::OutsideGrid : GeoFailure::NotFinite;
  std::optional<GeoAngles> nz = NzmgUnproject(northing, easting);
  if (!nz) return GeoFailure::NotFinite;
  if (nz->lon > kPi && nz->lon - kPi < 1e-6) nz->lon = kPi;
  code += LatLonStatus(nz->lat, nz->lon);
  if (status != nullptr) *status = code;
  const std::optional<LatLon> wgs = LatLonFromNzgd49(nz->lat * kRadToDeg, nz->lon * kRadToDeg);
  if (!wgs) return GeoFailure::NotFinite;
  return *wgs;
}

}  // namespace tarvo
