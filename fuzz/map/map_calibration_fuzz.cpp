// The calibration file readers: any text reads without a fault; what is read,
// written as an .ini and read again (lines that fit the reader), is the same points (degrees to the six
// decimals written) and writes the same text; the transforms built from any
// points give a pixel that fits or none, never an overflow.
//
// The first byte picks the reader: even for key=value text (.ini, .wcd), odd
// for .gmi lines; the rest is the file.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/map/calibration.h"
#include "core/map/map_files.h"

using namespace tarvo;

namespace {

bool SameDegrees(double a, double b) {
  return std::fabs(a - b) <= 5.000001e-7 + 1e-15 * std::fabs(a);
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const CalibrationData read = (data[0] & 1) != 0 ? ParseGmiCalibration(text) : ParseKeyValueCalibration(text);

  const std::string ini = FormatIniCalibration(read);
  // Degrees of 1e72 or more write lines longer than the 79 characters read
  // at a time; no place on Earth is there.
  size_t longest = 0;
  for (size_t start = 0, end = 0; start < ini.size(); start = end + 1) {
    end = ini.find('\n', start);
    longest = std::max(longest, end - start);
  }
  if (longest > 78) return 0;
  const CalibrationData again = ParseKeyValueCalibration(ini);
  Check(FormatIniCalibration(again) == ini);
  Check(again.scrollX == read.scrollX && again.scrollY == read.scrollY);
  for (size_t i = 0; i < kRefPointSlots; ++i) {
    const RefPoint& a = read.refPoints[i];
    const RefPoint& b = again.refPoints[i];
    Check(a.IsSet() == b.IsSet());
    if (!a.IsSet()) continue;
    Check(a.x == b.x && a.y == b.y);
    Check(std::isfinite(a.latitude) && std::isfinite(a.longitude));
    Check(SameDegrees(a.latitude, b.latitude) && SameDegrees(a.longitude, b.longitude));
  }

  MapCalibration c;
  for (int i = 0; i < kRefPointSlots; ++i) c.SetRefPoint(i, read.refPoints[static_cast<size_t>(i)]);
  c.RecomputeAffine();
  for (int i = 0; i < c.RefPointCount(); ++i) {
    const RefPoint p = c.RefPointAt(i);
    const MapPixel px = c.GeoToPixel(p.latitude, p.longitude);
    Check(px.IsSet() || (px.x == kNoPixel && px.y == kNoPixel));
    (void)c.PixelToGeo(p.x, p.y);
  }
  for (const double lat : {-90.0, 0.0, 45.5, 90.0})
    (void)c.GeoToPixel(lat, lat * 2);
  return 0;
}
