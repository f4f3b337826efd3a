// The texts of the status page, from the fix and the display settings. Plain functions, so every rule is tested without a window.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/gps/fix.h"

namespace tarvo {

enum class SpeedUnit : uint8_t;
enum class DistanceUnit : uint8_t;

// "14:03:27 UTC" (UTC) or "16:03:27" (local time, when `localTime`); empty
// when fixTime is 0.
std::string FixTimeText(int64_t fixTime, bool localTime);

// "%.0f°" of the course.
std::string CourseText(double course);

// The altitude less the offset; the offset counts only when the position is
// not exactly 0/0.
std::string AltitudeText(const Fix& fix, int altitudeOffset, DistanceUnit unit);

// "hdop: %.1f (%s), vdop: %.1f, pdop: %.1f" with the accuracy estimate
// (hdop × metres per HDOP unit) and, when the receiver reports one, ", Err: ...".
std::string DopLineText(const Fix& fix, double accuracyGps, DistanceUnit unit);

// "2D", "3D" or empty.
std::string FixModeText(const Fix& fix);

// One signal bar: value 0..99 (0 = empty), its colour class and PRN label.
enum class BarColour : uint8_t { None, Red, Blue, Green };
struct SignalBar {
  int value = 0;
  BarColour colour = BarColour::None;
  std::string label;
  GnssSystem system = GnssSystem::Gps;
};
struct SignalBars {
  std::array<SignalBar, 12> bars;
  int inView = 0;  // slots with a PRN and a signal
};
// Red below 20, green above 32, blue from 20 to 32. From the twelve GPS
// slots, bar i shows slot i.
SignalBars SignalBarsOf(const SatelliteView& view);
// From the sky of every system: bar i shows satellite i as reported (empty
// when it is not heard); with more than twelve, the twelve strongest heard.
// inView counts every satellite heard.
SignalBars SignalBarsOf(const std::vector<SkySatellite>& sky);

// The twelve GPS slots as a sky, slot order kept (empty slots left out).
std::vector<SkySatellite> SkyOfGpsSlots(const SatelliteView& view);

// "Sat Use": the satellites in use of every system (GSA), or the GGA count
// when no GSA named any.
int SatellitesUsed(const Fix& fix);

}  // namespace tarvo
