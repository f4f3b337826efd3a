#include "core/track/track_texts.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace tarvo {
namespace {

std::string Printf(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::string AltitudeValue(double value, DistanceUnit unit) {
  char buffer[64];
  switch (unit) {
    case DistanceUnit::Imperial:
      std::snprintf(buffer, sizeof buffer, "%lld ft", static_cast<long long>(std::trunc(value * kMetresToFeet + 0.5)));
      break;
    case DistanceUnit::Nautical:
      std::snprintf(buffer, sizeof buffer, "%.2f nm", value * kMetresToNauticalMiles);
      break;
    case DistanceUnit::Metric:
    default:
      std::snprintf(buffer, sizeof buffer, "%lld m", static_cast<long long>(std::trunc(value)));
      break;
  }
  return buffer;
}

}  // namespace

std::string TrackDistanceText(double metres, DistanceUnit unit) {
  switch (unit) {
    case DistanceUnit::Imperial:
      return Printf(metres < kMetresPerMile ? "%.2f mi" : "%.1f mi", metres * kMetresToMiles);
    case DistanceUnit::Nautical:
      return Printf(metres < kMetresPerNauticalMile ? "%.2f nm" : "%.1f nm", metres * kMetresToNauticalMiles);
    case DistanceUnit::Metric:
    default:
      return Printf(metres < 1000.0 ? "%.2f km" : "%.1f km", metres * kMetresToKm);
  }
}

std::string TrackSpeedText(double metresPerHour, SpeedUnit unit) {
  switch (unit) {
    case SpeedUnit::Mph: return Printf("%.1f mph", metresPerHour * kMetresToMiles);
    case SpeedUnit::Knot: return Printf("%.2f knot", metresPerHour * kMetresToNauticalMiles);
    case SpeedUnit::Kmh:
    default: return Printf("%.1f km/h", metresPerHour * kMetresToKm);
  }
}

std::string TrackTimeText(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%02" PRId64 ":%02d:%02d", seconds / 3600, static_cast<int>(seconds % 3600 / 60),
                static_cast<int>(seconds % 60));
  return buffer;
}

std::string TrackAltitudeText(double minAltitude, double maxAltitude, int offsetMetres, DistanceUnit unit) {
  const bool seen = minAltitude <= maxAltitude;
  const double low = seen ? minAltitude - offsetMetres : 0.0;
  const double high = seen ? maxAltitude - offsetMetres : 0.0;
  return AltitudeValue(low, unit) + " - " + AltitudeValue(high, unit);
}

}  // namespace tarvo
