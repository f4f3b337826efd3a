// The statistics texts of the track page: distance, average speed, elapsed
// time and altitude range, in the program's three unit systems.
#pragma once

#include <cstdint>
#include <string>

#include "core/geo/units.h"

namespace tarvo {

inline constexpr double kMetresToMiles = 0.0006213711922373339;  // 1 / 1609.344
inline constexpr double kMetresPerMile = 1609.344;
inline constexpr double kMetresPerNauticalMile = 1852.0;
// Start values of the altitude range, meaning "no altitude seen" (metres).
inline constexpr double kNoMinAltitude = 50000.0;
inline constexpr double kNoMaxAltitude = -50000.0;

// Metres: metric "%.2f km" below 1000 m, else "%.1f km"; imperial "%.2f mi"
// below 1609.344 m, else "%.1f mi"; nautical "%.2f nm" below 1852 m, else "%.1f nm".
std::string TrackDistanceText(double metres, DistanceUnit unit);
// Metres per hour: "%.1f km/h", "%.1f mph", "%.2f knot".
std::string TrackSpeedText(double metresPerHour, SpeedUnit unit);
// Seconds as "%02d:%02d:%02d" (hours may exceed 99).
std::string TrackTimeText(int64_t seconds);
// "low - high", each the altitude (metres) minus the whole-metre offset, or 0
// when no altitude was seen (min above max); metric "%d m" truncated,
// imperial "%d ft" (trunc(value * 3.2808 + 0.5)), nautical "%.2f nm".
std::string TrackAltitudeText(double minAltitude, double maxAltitude, int offsetMetres, DistanceUnit unit);

}  // namespace tarvo
