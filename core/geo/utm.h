// Universal Transverse Mercator on any row of the ellipsoid table, with the
// Norway and Svalbard zone exceptions and the latitude band letters.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/geo/coordinates.h"
#include "core/geo/ellipsoid.h"
#include "core/geo/geo_result.h"

namespace tarvo {

inline constexpr double kUtmScale = 0.9996;                    // k0
inline constexpr double kUtmInverseScale = 1.0004001600640255;  // 1/k0
inline constexpr double kUtmFalseEasting = 500000.0;
inline constexpr double kUtmFalseNorthingSouth = 10000000.0;

// UTM zone number 1..60 of a position in degrees, with the exceptions for
// southern Norway (zone 32) and Svalbard (31, 33, 35, 37). The longitude is
// normalised as (lon + 180) - trunc((lon + 180) / 360) * 360 - 180 first,
// which maps [-180, 180] and anything above into range.
int UtmZoneNumber(double lat, double lon);

// Latitude band letter: 'C'..'X' in 8-degree bands (X covers 72..84
// inclusive, C starts at -80 inclusive), 'Z' above 84, below -80 or NaN.
char UtmBandLetter(double lat);

// Forward UTM (USGS series of Snyder's "Map Projections: A Working Manual",
// k0 = 0.9996) of a WGS-84 latitude/longitude in degrees (latitude -80..84
// is the UTM range; any finite value converts), projected on the given ellipsoid (WGS-84 or International 1924
// for the two UTM formats) with no datum shift. Metres; northing has 10000000
// added south of the equator. Fails with UnusableEllipsoid for a value with
// no table row, NotFinite for a non-finite input or result.
GeoResult<GridCoord> UtmFromLatLon(EllipsoidId ellipsoid, double lat, double lon);

// Inverse UTM (the same USGS series with the footpoint latitude series):
// northing 0..10000000 and easting in metres and the zone text (leading
// decimal number, then the band letter; a letter sorting before 'N' means the
// southern hemisphere; no leading number gives zone 0). Returns degrees.
// Fails as UtmFromLatLon does.
GeoResult<LatLon> LatLonFromUtm(EllipsoidId ellipsoid, double northing, double easting, std::string_view zone);

// Zone text check for typed input: "<1..60><band letter C..X but not I or O>",
// blanks around it allowed, lower-case letters accepted. Returns the text in
// its canonical form ("32U"), or empty when the text is not such a zone.
std::optional<std::string> CanonicalUtmZone(std::string_view zone);

}  // namespace tarvo
