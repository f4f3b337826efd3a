// Speed, altitude, accuracy and distance texts in the three unit systems.
// Speeds are held in knots, lengths in metres.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo {

// Setting "FmtSpeed" (default 0).
enum class SpeedUnit : uint8_t { Kmh = 0, Mph = 1, Knot = 2 };
// Setting "FmtDist" (default 0); altitude and accuracy follow it (m, ft, nm).
enum class DistanceUnit : uint8_t { Metric = 0, Imperial = 1, Nautical = 2 };

inline constexpr double kKnotsToKmh = 1.852;
inline constexpr double kKnotsToMph = 1.15;
inline constexpr double kKmhToKnots = 0.5399568034557235;
inline constexpr double kMphToKnots = 0.8695652173913044;
inline constexpr double kMetresToFeet = 3.2808;
inline constexpr double kFeetToMetres = 0.30480370641307;
inline constexpr double kMetresToNauticalMiles = 0.0005399568034557236;  // 1/1852
inline constexpr double kNauticalMilesToMetres = 1852.0;
inline constexpr double kMetresToKm = 0.001;
inline constexpr double kFeetToMiles = 0.0001893939393939394;  // 1/5280

// "km/h", "mph", "knot" (as offered in the settings, in index order).
std::string_view SpeedUnitName(SpeedUnit unit);
// "km", "mi", "nm".
std::string_view DistanceUnitName(DistanceUnit unit);
// The unit of altitudes and accuracies: "m", "ft", "nm".
std::string_view LengthUnitName(DistanceUnit unit);

// Knots -> the unit's value (x 1.852, x 1.15, unchanged) and back for typed
// input (x 0.5399568034557235, x 0.8695652173913044, unchanged).
double SpeedFromKnots(double knots, SpeedUnit unit);
double KnotsFromSpeed(double value, SpeedUnit unit);
// Metres -> m, ft (x 3.2808) or nm (x 1/1852), and back for typed input
// (x 1, x 0.30480370641307, x 1852).
double LengthFromMetres(double metres, DistanceUnit unit);
double MetresFromLength(double value, DistanceUnit unit);

// Speed text: "%.1f km/h" below 10 km/h else "%.0f km/h"; "%.1f mph" below 10
// mph else "%.0f mph"; "%.2f knot" below 20 knots else "%.0f knot". The switch
// uses the unrounded value. An unknown unit reads as km/h.
std::string FormatSpeed(double knots, SpeedUnit unit);

// Altitude text of metres (the caller has subtracted the offset): "%d m" and
// "%d ft" of the truncated value, or "%.2f nm".
std::string FormatAltitude(double metres, DistanceUnit unit);

struct AccuracyText {
  std::string number, unit;
};
// Estimated accuracy: "%.1f" "m", "%.0f" "ft" or "%.2f" "nm".
AccuracyText FormatAccuracy(double metres, DistanceUnit unit);

// Receiver-reported error: ", Err: %.1f m", ", Err: %.0f ft", ", Err: %.2f nm";
// empty when metres is not above 0.
std::string FormatError(double metres, DistanceUnit unit);

// Distance text: metric "%.0f m" below 1000 m, then km "%.2f" below 5000 m,
// "%.1f" below 20000 m, "%.0f"; imperial "%.0f ft" below 1000 ft, then mi
// "%.2f" below 5280 ft, "%.1f" below 105600 ft, "%.0f"; nautical nm "%.2f"
// below 5000 m, "%.1f" below 20000 m, "%.0f".
std::string FormatDistance(double metres, DistanceUnit unit);

}  // namespace tarvo
