#include "core/poi/poi_goto.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "core/geo/distance.h"

namespace tarvo {

int64_t SecondsToGo(double metres, double speedKnots) {
  if (!(speedKnots >= kGoToMinKnots) || !std::isfinite(metres) || !std::isfinite(speedKnots)) return -1;
  const double seconds = metres * kMetresToKm / (speedKnots * kKnotsToKmh) * 3600.0;
  // A hundred years is more than any distance on the globe at one knot.
  constexpr double kLongestSeconds = 100.0 * 366 * 24 * 3600;
  if (!(seconds >= 0.0) || seconds > kLongestSeconds) return -1;
  return static_cast<int64_t>(seconds);
}

std::string TimeToGoText(int64_t seconds) {
  if (seconds < 0) return "-";
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds % 3600 / 60));
  return buffer;
}

std::string ArrivalText(int64_t nowUtc, int64_t seconds) {
  if (seconds < 0) return "-";
  const std::time_t now = static_cast<std::time_t>(nowUtc);
  const std::time_t then = static_cast<std::time_t>(nowUtc + seconds);
  std::tm today{}, arrival{};
  if (!localtime_r(&now, &today) || !localtime_r(&then, &arrival)) return "-";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", arrival.tm_hour, arrival.tm_min, arrival.tm_sec);
  std::string text = buffer;
  if (arrival.tm_yday != today.tm_yday || arrival.tm_year != today.tm_year) text += " *";
  return text;
}

std::string BearingText(double bearingDegrees) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.0f\xC2\xB0", bearingDegrees);
  return buffer;
}

GoToTexts GoToFor(LatLon here, LatLon target, double speedKnots, DistanceUnit unit, int64_t nowUtc) {
  GoToTexts t;
  t.bearing = InitialBearing(here.latitude, here.longitude, target.latitude, target.longitude);
  t.distanceMetres = GreatCircleDistance(here.latitude, here.longitude, target.latitude, target.longitude);
  t.direction = BearingText(t.bearing);
  t.distance = FormatDistance(t.distanceMetres, unit);
  const int64_t seconds = SecondsToGo(t.distanceMetres, speedKnots);
  t.timeToGo = TimeToGoText(seconds);
  t.arrival = ArrivalText(nowUtc, seconds);
  return t;
}

}  // namespace tarvo
