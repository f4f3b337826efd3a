#include "core/geo/utm.h"

#include <cmath>
#include <charconv>

#include "core/geo/ellipsoid.h"

namespace tarvo {

namespace {

// Truncation toward zero of a double known to be small, as an int.
int TruncToInt(double v) {
  if (!(v > -1e9 && v < 1e9)) return 0;
  return static_cast<int>(v);
}

// "%d%c" of the zone number and band letter.
std::string ZoneText(int zone, char band) {
  char text[16];
  char* end = std::to_chars(text, text + sizeof text - 1, zone).ptr;
  *end++ = band;
  return std::string(text, end);
}

double NormaliseLongitude(double lon) {
  return (lon + 180.0) - std::trunc((lon + 180.0) / 360.0) * 360.0 - 180.0;
}

}  // namespace

int UtmZoneNumber(double lat, double lon) {
  const double l = NormaliseLongitude(lon);
  int zone = TruncToInt((l + 180.0) / 6.0) + 1;
  if (lat >= 56.0 && lat < 64.0 && l >= 3.0 && l < 12.0) zone = 32;
  if (lat >= 72.0 && lat < 84.0) {
    if (l >= 0.0 && l < 9.0)
      zone = 31;
    else if (l >= 9.0 && l < 21.0)
      zone = 33;
    else if (l >= 21.0 && l < 33.0)
      zone = 35;
    else if (l >= 33.0 && l < 42.0)
      zone = 37;
  }
  return zone;
}

char UtmBandLetter(double lat) {
  if (lat >= 72.0 && lat <= 84.0) return 'X';
  static constexpr char kBands[] = "CDEFGHJKLMNPQRSTUVW";  // from -80 upwards, 8 degrees each
  if (lat >= -80.0 && lat < 72.0) {
    const int band = static_cast<int>(std::floor((lat + 80.0) / 8.0));
    return kBands[band < 0 ? 0 : (band > 18 ? 18 : band)];
  }
  return 'Z';
}

GeoResult<GridCoord> UtmFromLatLon(EllipsoidId ellipsoid, double lat, double lon) {
  const Ellipsoid* ell = FindEllipsoid(ellipsoid);
  if (ell == nullptr) return GeoFailure::UnusableEllipsoid;
  if (!std::isfinite(lat) || !std::isfinite(lon)) return GeoFailure::NotFinite;
  const double a = ell->semiMajorAxis;
  const double e2 = ell->eccentricitySquared;
  const double e4 = e2 * e2, e6 = e4 * e2;

  const double l = NormaliseLongitude(lon);
  const int zone = UtmZoneNumber(lat, lon);
  const double lon0 = 6.0 * zone - 183.0;
  const double phi = lat * kDegToRad;
  const double ep2 = e2 / (1.0 - e2);
  const double sinPhi = std::sin(phi), cosPhi = std::cos(phi), tanPhi = sinPhi / cosPhi;
  // sin 2phi, sin 4phi, sin 6phi by the double- and triple-angle identities.
  const double sin2 = 2.0 * sinPhi * cosPhi, cos2 = cosPhi * cosPhi - sinPhi * sinPhi;
  const double sin4 = 2.0 * sin2 * cos2, cos4 = cos2 * cos2 - sin2 * sin2;
  const double sin6 = sin4 * cos2 + cos4 * sin2;
  const double n = a / std::sqrt(1.0 - e2 * sinPhi * sinPhi);
  const double t = tanPhi * tanPhi;
  const double c = ep2 * cosPhi * cosPhi;
  const double aa = cosPhi * (l - lon0) * kDegToRad;
  const double m =
      a * ((1.0 - e2 / 4.0 - 3.0 * e4 / 64.0 - 5.0 * e6 / 256.0) * phi -
           (3.0 * e2 / 8.0 + 3.0 * e4 / 32.0 + 45.0 * e6 / 1024.0) * sin2 +
           (15.0 * e4 / 256.0 + 45.0 * e6 / 1024.0) * sin4 - (35.0 * e6 / 3072.0) * sin6);
  const double a2 = aa * aa, a3 = a2 * aa, a4 = a3 * aa, a5 = a4 * aa, a6 = a5 * aa;

  GridCoord out;
  out.easting = kUtmScale * n *
                    (aa + (1.0 - t + c) * a3 / 6.0 +
                     (5.0 - 18.0 * t + t * t + 72.0 * c - 58.0 * ep2) * a5 / 120.0) +
                kUtmFalseEasting;
  out.northing = kUtmScale * (m + n * tanPhi *
                                      (a2 / 2.0 + (5.0 - t + 9.0 * c + 4.0 * c * c) * a4 / 24.0 +
                                       (61.0 - 58.0 * t + t * t + 600.0 * c - 330.0 * ep2) * a6 / 720.0));
  if (lat < 0.0) out.northing += kUtmFalseNorthingSouth;
  if (!std::isfinite(out.easting) || !std::isfinite(out.northing)) return GeoFailure::NotFinite;
  out.zone = ZoneText(zone, UtmBandLetter(lat));
  return out;
}

GeoResult<LatLon> LatLonFromUtm(EllipsoidId ellipsoid, double northing, double easting,
                                std::string_view zoneText) {
  const Ellipsoid* ell = FindEllipsoid(ellipsoid);
  if (ell == nullptr) return GeoFailure::UnusableEllipsoid;
  if (!std::isfinite(northing) || !std::isfinite(easting)) return GeoFailure::NotFinite;
  const double a = ell->semiMajorAxis;
  const double e2 = ell->eccentricitySquared;
  const double e4 = e2 * e2, e6 = e4 * e2;

  // Leading decimal number (blanks and a sign allowed, as a C integer
  // conversion reads it), then the band letter.
  size_t i = 0;
  while (i < zoneText.size() && (zoneText[i] == ' ' || zoneText[i] == '\t')) ++i;
  bool negative = false;
  if (i < zoneText.size() && (zoneText[i] == '+' || zoneText[i] == '-')) {
    negative = zoneText[i] == '-';
    ++i;
  }
  size_t digitsStart = i;
  long zone = 0;
  while (i < zoneText.size() && zoneText[i] >= '0' && zoneText[i] <= '9') {
    if (zone < 100000) zone = zone * 10 + (zoneText[i] - '0');
    ++i;
  }
  if (i == digitsStart) {
    zone = 0;
    i = 0;  // no number: the band letter is the first character
  } else if (negative) {
    zone = -zone;
  }
  const char band = i < zoneText.size() ? zoneText[i] : '\0';

  const double root = std::sqrt(1.0 - e2);
  const double e1 = (1.0 - root) / (1.0 + root);
  const double x = easting - kUtmFalseEasting;
  double y = northing;
  if (band < 'N') y -= kUtmFalseNorthingSouth;

  const double lon0 = 6.0 * static_cast<double>(zone) - 183.0;
  const double ep2 = e2 / (1.0 - e2);
  const double m = y * kUtmInverseScale;
  const double mu = m / (a * (1.0 - e2 / 4.0 - 3.0 * e4 / 64.0 - 5.0 * e6 / 256.0));
  const double e1_2 = e1 * e1, e1_3 = e1_2 * e1, e1_4 = e1_3 * e1;
  const double phi1 = mu + (3.0 * e1 / 2.0 - 27.0 * e1_3 / 32.0) * std::sin(2.0 * mu) +
                      (21.0 * e1_2 / 16.0 - 55.0 * e1_4 / 32.0) * std::sin(4.0 * mu) +
                      (151.0 * e1_3 / 96.0) * std::sin(6.0 * mu);
  const double s1 = std::sin(phi1), c1 = std::cos(phi1), tan1 = std::tan(phi1);
  const double w = 1.0 - e2 * s1 * s1;
  const double n1 = a / std::sqrt(w);
  const double t1 = tan1 * tan1;
  const double cc1 = ep2 * c1 * c1;
  const double r1 = a * (1.0 - e2) / (w * std::sqrt(w));  // (1 - e2 sin^2)^1.5
  const double d = x / (n1 * kUtmScale);
  const double d2 = d * d, d3 = d2 * d, d4 = d3 * d, d5 = d4 * d, d6 = d5 * d;

  LatLon out;
  out.latitude = (phi1 - (n1 * tan1 / r1) *
                             (d2 / 2.0 -
                              (5.0 + 3.0 * t1 + 10.0 * cc1 - 4.0 * cc1 * cc1 - 9.0 * ep2) * d4 / 24.0 +
                              (61.0 + 90.0 * t1 + 298.0 * cc1 + 45.0 * t1 * t1 - 252.0 * ep2 -
                               3.0 * cc1 * cc1) *
                                  d6 / 720.0)) *
                 kRadToDeg;
  out.longitude = lon0 + ((d - (1.0 + 2.0 * t1 + cc1) * d3 / 6.0 +
                           (5.0 - 2.0 * cc1 + 28.0 * t1 - 3.0 * cc1 * cc1 + 8.0 * ep2 + 24.0 * t1 * t1) *
                               d5 / 120.0) /
                          c1) *
                             kRadToDeg;
  if (!std::isfinite(out.latitude) || !std::isfinite(out.longitude)) return GeoFailure::NotFinite;
  return out;
}

std::optional<std::string> CanonicalUtmZone(std::string_view zone) {
  while (!zone.empty() && (zone.front() == ' ' || zone.front() == '\t')) zone.remove_prefix(1);
  while (!zone.empty() && (zone.back() == ' ' || zone.back() == '\t' || zone.back() == '\r'))
    zone.remove_suffix(1);
  size_t i = 0;
  int number = 0;
  while (i < zone.size() && i < 2 && zone[i] >= '0' && zone[i] <= '9') number = number * 10 + (zone[i++] - '0');
  if (i == 0 || number < 1 || number > 60 || i + 1 != zone.size()) return std::nullopt;
  char band = zone[i];
  if (band >= 'a' && band <= 'z') band = static_cast<char>(band - 'a' + 'A');
  if (band < 'C' || band > 'X' || band == 'I' || band == 'O') return std::nullopt;
  return ZoneText(number, band);
}

}  // namespace tarvo
