// The go-to display of the POI page: direction, distance, time to go and
// arrival time from the current position to a target, as texts.
#pragma once

#include <cstdint>
#include <string>

#include "core/geo/coordinates.h"
#include "core/geo/units.h"

namespace tarvo {

// Below this speed (knots) there is no time to go.
inline constexpr double kGoToMinKnots = 1.0;

// Seconds to cover `metres` at `speedKnots`: truncate(km / (knots x 1.852) x
// 3600); -1 below kGoToMinKnots or for a value that is not finite.
int64_t SecondsToGo(double metres, double speedKnots);

// "%02d:%02d": hours (not limited to 99) and minutes of `seconds`; "-" for a
// negative value.
std::string TimeToGoText(int64_t seconds);

// The local clock time `seconds` after `nowUtc` (seconds since 1970 UTC),
// 24-hour "HH:MM:SS", with " *" when it falls on another day than now's
// local day; "-" for a negative value.
std::string ArrivalText(int64_t nowUtc, int64_t seconds);

// Bearing text "%.0f°" (degrees, UTF-8 degree sign).
std::string BearingText(double bearingDegrees);

struct GoToTexts {
  double bearing = 0.0;         // degrees, 0 <= b < 360
  double distanceMetres = 0.0;
  std::string direction;        // "%.0f°"
  std::string distance;         // FormatDistance in the unit
  std::string timeToGo;         // "%02d:%02d" or "-"
  std::string arrival;          // "HH:MM:SS", " *" for another day, or "-"
};

// The go-to values from `here` to `target` (degrees, WGS-84) at `speedKnots`
// over ground, at `nowUtc`. A current position of exactly 0/0 (no position)
// gives bearing and distance 0.
GoToTexts GoToFor(LatLon here, LatLon target, double speedKnots, DistanceUnit unit, int64_t nowUtc);

}  // namespace tarvo
