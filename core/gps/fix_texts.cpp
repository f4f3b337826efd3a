#include "core/gps/fix_texts.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "core/geo/units.h"

namespace tarvo {

std::string FixTimeText(int64_t fixTime, bool localTime) {
  if (fixTime == 0) return {};
  const std::time_t t = static_cast<std::time_t>(fixTime);
  std::tm tm{};
  if (localTime) {
    localtime_r(&t, &tm);
  } else {
    gmtime_r(&t, &tm);
  }
  char buf[32];
  std::strftime(buf, sizeof buf, "%H:%M:%S", &tm);
  std::string text(buf);
  if (!localTime) text += " UTC";
  return text;
}

std::string CourseText(double course) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.0f\u00B0", course);
  return buf;
}

std::string AltitudeText(const Fix& fix, int altitudeOffset, DistanceUnit unit) {
  const int offset = (fix.position.latitude == 0.0 && fix.position.longitude == 0.0) ? 0 : altitudeOffset;
  return FormatAltitude(fix.altitude - offset, unit);
}

std::string DopLineText(const Fix& fix, double accuracyGps, DistanceUnit unit) {
  const AccuracyText accuracy = FormatAccuracy(fix.hdop * accuracyGps, unit);
  const std::string estimate = accuracy.number + " " + accuracy.unit;
  char buf[160];
  std::snprintf(buf, sizeof buf, "hdop: %.1f (%s), vdop: %.1f, pdop: %.1f", fix.hdop, estimate.c_str(), fix.vdop,
                fix.pdop);
  std::string line(buf);
  if (fix.horizontalError > 0) line += FormatError(fix.horizontalError, unit);
  return line;
}

std::string FixModeText(const Fix& fix) {
  if (fix.mode == 2) return "2D";
  if (fix.mode == 3) return "3D";
  return {};
}

SignalBars SignalBarsOf(const SatelliteView& view) {
  SignalBars out;
  for (std::size_t i = 0; i < view.satellites.size(); ++i) {
    const SatelliteSlot& s = view.satellites[i];
    SignalBar& bar = out.bars[i];
    if (s.prn < 1 || s.snr < 1) continue;
    bar.value = s.snr;
    bar.colour = s.snr < 20 ? BarColour::Red : s.snr > 32 ? BarColour::Green : BarColour::Blue;
    bar.label = std::to_string(s.prn);
    ++out.inView;
  }
  return out;
}

SignalBars SignalBarsOf(const std::vector<SkySatellite>& sky) {
  SignalBars out;
  std::vector<const SkySatellite*> shown;
  for (const SkySatellite& s : sky) {
    if (s.prn < 1) continue;
    shown.push_back(&s);
    if (s.snr >= 1) ++out.inView;
  }
  // More than twelve: the twelve strongest heard, still in the order reported.
  if (shown.size() > out.bars.size()) {
    std::erase_if(shown, [](const SkySatellite* s) { return s->snr < 1; });
    std::vector<const SkySatellite*> strongest = shown;
    std::stable_sort(strongest.begin(), strongest.end(),
                     [](const SkySatellite* a, const SkySatellite* b) { return a->snr > b->snr; });
    if (strongest.size() > out.bars.size()) strongest.resize(out.bars.size());
    std::erase_if(shown, [&](const SkySatellite* s) {
      return std::find(strongest.begin(), strongest.end(), s) == strongest.end();
    });
  }
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const SkySatellite& s = *shown[i];
    if (s.snr < 1) continue;  // an empty bar
    SignalBar& bar = out.bars[i];
    bar.value = s.snr;
    bar.colour = s.snr < 20 ? BarColour::Red : s.snr > 32 ? BarColour::Green : BarColour::Blue;
    bar.label = std::to_string(s.prn);
    bar.system = s.system;
  }
  return out;
}

std::vector<SkySatellite> SkyOfGpsSlots(const SatelliteView& view) {
  std::vector<SkySatellite> sky;
  for (const SatelliteSlot& slot : view.satellites) {
    if (slot.prn < 1) continue;
    sky.push_back({GnssSystem::Gps, slot.prn, slot.elevation, slot.azimuth, slot.snr, false});
  }
  return sky;
}

int SatellitesUsed(const Fix& fix) {
  const int inSky = static_cast<int>(
      std::count_if(fix.sky.begin(), fix.sky.end(), [](const SkySatellite& s) { return s.used; }));
  return inSky > 0 ? inSky : fix.satellitesUsed;
}

}  // namespace tarvo
