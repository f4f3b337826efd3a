#include "core/geo/rd.h"

#include <cmath>

namespace tarvo {

namespace {

// Datum correction in degrees (times 1e-5) at a position in degrees.
double CorrectionLat(double lat, double lon) { return (-96.862 - 11.714 * (lat - 52.0) - 0.125 * (lon - 5.0)) * 0.00001; }
double CorrectionLon(double lat, double lon) { return (-37.902 + 0.329 * (lat - 52.0) - 14.667 * (lon - 5.0)) * 0.00001; }

constexpr double kForwardLat0 = 52.15616056;
constexpr double kForwardLon0 = 5.38763889;
constexpr double kInverseLat0 = 52.156160556;
constexpr double kInverseLon0 = 5.387638889;
constexpr double kSecondsToDegrees = 0.0002777777777777778;

}  // namespace

std::optional<GridCoord> RdFromLatLon(double lat, double lon) {
  const double phi = lat - CorrectionLat(lat, lon);
  const double lam = lon - CorrectionLon(lat, lon);
  const double dF = (phi - kForwardLat0) * 0.36;
  const double dL = (lam - kForwardLon0) * 0.36;
  const double dF2 = dF * dF, dF3 = dF2 * dF, dF4 = dF3 * dF;
  const double dL2 = dL * dL, dL3 = dL2 * dL, dL4 = dL3 * dL, dL5 = dL4 * dL;

  GridCoord out;
  out.easting = kRdFalseX + (190066.98903 - 11830.85831 * dF - 114.19754 * dF2) * dL - 32.3836 * dL3 -
                (2.34078 * dF3 + 0.60639 * dF) * dL + 0.15774 * dF2 * dL3 - 0.04158 * dF4 * dL -
                0.00661 * dL5;
  out.northing = kRdFalseY + (309020.3181 - 157.95222 * dL2) * dF + 3638.36193 * dL2 + 72.97141 * dF2 +
                 59.79734 * dF3 - 6.43481 * dF2 * dL2 - 0.03444 * dF4 - 0.05419 * dF * dL4 -
                 0.07379 * dF3 * dL2 - 0.0050673069;
  if (!std::isfinite(out.easting) || !std::isfinite(out.northing)) return std::nullopt;
  return out;
}

std::optional<LatLon> LatLonFromRd(double x, double y) {
  const double p = (x - kRdFalseX) * 1e-5;
  const double q = (y - kRdFalseY) * 1e-5;
  const double p2 = p * p, p3 = p2 * p, p4 = p3 * p, p5 = p4 * p;
  const double q2 = q * q, q3 = q2 * q, q4 = q3 * q, q5 = q4 * q;

  const double phi = kInverseLat0 + ((3236.0331637 - 0.8501341 * p2) * q - 0.0655238 * q3 - 32.5915821 * p2 -
                                     0.2472814 * q2 + (0.0003314 * q + 0.0052771) * p4 + 0.0000371 * q4 -
                                     0.0171137 * p2 * q2 - p2 * (0.000009 * q4 + 0.0003859 * q3) +
                                     0.0000143 * q2 * p4) *
                                        kSecondsToDegrees;
  const double lam = kInverseLon0 + (5261.3028966 * p + 105.9780241 * p * q + 2.4576469 * p * q2 -
                                     0.8192156 * p3 - 0.0560092 * p3 * q + 0.0560089 * p * q3 +
                                     0.001277 * p * q4 + 0.0002574 * p5 - 0.0025614 * p3 * q2 +
                                     0.0000293 * p5 * q - 0.0000973 * p3 * q3 + 0.0000291 * p * q5) *
                                        kSecondsToDegrees;
  LatLon out{phi + CorrectionLat(phi, lam), lam + CorrectionLon(phi, lam)};
  if (!std::isfinite(out.latitude) || !std::isfinite(out.longitude)) return std::nullopt;
  return out;
}

}  // namespace tarvo
