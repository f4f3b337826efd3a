// Every inverse conversion (and the forward ones, the datum shifts and the
// distance routines) on arbitrary doubles, NaN and infinities included: no
// crash, no endless loop, and no NaN handed back as a position.
//
// Input: first byte selects the format (mod 19), then doubles, 8 bytes each.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/geo/coord_format.h"
#include "core/geo/datum.h"
#include "core/geo/distance.h"
#include "core/geo/ellipsoid.h"
#include "core/geo/edit_fields.h"
#include "core/geo/nz.h"
#include "core/geo/rd.h"
#include "core/geo/swiss.h"
#include "core/geo/tm_grid.h"
#include "core/geo/units.h"
#include "core/geo/utm.h"

namespace {

double Take(const uint8_t*& data, size_t& size) {
  double v = 0;
  if (size >= sizeof v) {
    std::memcpy(&v, data, sizeof v);
    data += sizeof v;
    size -= sizeof v;
  }
  return v;
}

void Check(const std::optional<tarvo::LatLon>& p) {
  if (p && (!std::isfinite(p->latitude) || !std::isfinite(p->longitude))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0];
  const int index = selector % tarvo::kCoordFormatCount;
  const tarvo::CoordFormat format = *tarvo::CoordFormatFromIndex(index);
  const tarvo::CoordFormat tmFormat = *tarvo::CoordFormatFromIndex(6 + index % 10);  // Britain..SWEREF93
  const char zoneByte = size > 1 ? static_cast<char>(data[1]) : 'U';
  data += 2 <= size ? 2 : size;
  size -= 2 <= size ? 2 : size;
  const double a = Take(data, size), b = Take(data, size), c = Take(data, size), d = Take(data, size);

  const std::string zone = std::to_string(static_cast<int>(std::fmod(std::fabs(std::isfinite(c) ? c : 0), 100))) + zoneByte;
  Check(tarvo::PositionFromNumbers(format, a, b, zone));
  Check(tarvo::LatLonFromUtm(tarvo::EllipsoidId::Wgs84, a, b, zone));
  Check(tarvo::LatLonFromUtm(static_cast<tarvo::EllipsoidId>(selector % 30 - 3), a, b, zone));
  Check(tarvo::LatLonFromTmGrid(tmFormat, a, b));
  Check(tarvo::LatLonFromRd(a, b));
  Check(tarvo::LatLonFromSwiss(a, b));
  Check(tarvo::LatLonFromNzmg(a, b));
  Check(tarvo::LatLonFromNzgd49(a, b));
  (void)tarvo::Ch1903ToWgs(a, b);
  (void)tarvo::TmUnproject(*tarvo::FindTmGrid(tmFormat), a, b);
  (void)tarvo::SwissUnproject(a, b);
  (void)tarvo::NzmgUnproject(a, b);

  // Forward conversions and texts on the same numbers read as a position.
  (void)tarvo::PositionNumbers(format, a, b);
  (void)tarvo::FormatPosition(format, a, b, tarvo::PositionLayout::TwoField);
  (void)tarvo::FillEditFields(format, a, b);
  (void)tarvo::ShiftDegrees(tarvo::kAiryToWgs84, a, b, (selector & 1) != 0);
  (void)tarvo::GreatCircleDistance(a, b, c, d);
  (void)tarvo::InitialBearing(a, b, c, d);
  (void)tarvo::DestinationPoint(a, b, c, d);
  (void)tarvo::FormatDistance(a, static_cast<tarvo::DistanceUnit>(index % 3));
  (void)tarvo::FormatSpeed(a, static_cast<tarvo::SpeedUnit>(index % 3));
  (void)tarvo::FormatAltitude(a, static_cast<tarvo::DistanceUnit>(index % 3));
  (void)tarvo::FormatError(a, static_cast<tarvo::DistanceUnit>(index % 3));
  return 0;
}
