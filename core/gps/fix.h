// The one fix value every consumer reads: the pages, the track recorder, the
// map and the location service. The connection controller publishes it after
// every sentence that changed something, with a mask of what changed.
//
// Angles in degrees (WGS-84, north and east positive), lengths in metres,
// speeds in knots, times in seconds since 1970-01-01 00:00 UTC.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/geo/coordinates.h"
#include "core/gps/nmea.h"
#include "core/gps/records.h"
#include "core/gps/sky.h"

namespace tarvo {

// What a sentence changed, as a bit mask.
enum FixChange : uint32_t {
  kFixPosition = 1u << 0,   // position (and which sentence brought it)
  kFixTime = 1u << 1,       // time of the fix
  kFixMotion = 1u << 2,     // speed and course
  kFixAltitude = 1u << 3,   // altitude (GGA, or the Garmin altitude)
  kFixQuality = 1u << 4,    // fix flag, quality and satellites used
  kFixPrecision = 1u << 5,  // dilutions of precision and the 2D/3D mode
  kFixError = 1u << 6,      // the receiver's own error estimates
  kFixSky = 1u << 7,        // a full cycle of satellites in view arrived
  kFixAll = (1u << 8) - 1,
};
// FixChanges, the mask of these bits, is declared in nmea.h.

struct Fix {
  // The position source reports a fix: RMC status "A", or a GGA quality
  // above 0, after the accuracy filter.
  bool valid = false;
  // Smoothed; the last known position while there is no fix.
  LatLon position;
  int64_t time = 0;  // date included; 0 = the last position sentence had no time
  double speedKnots = 0.0;
  double course = 0.0;    // degrees true, 0 <= course < 360
  double altitude = 0.0;  // above mean sea level
  int32_t geoidSeparation = 0;  // whole metres
  int32_t quality = 0;    // GGA quality (0 none, 1 GPS, 2 DGPS, ...); 1 or 0 from RMC
  int32_t satellitesUsed = 0;
  uint8_t mode = 0;       // GSA fix mode: 1 none, 2 = 2D, 3 = 3D; 0 = not reported
  double hdop = 0.0;      // GSA; 0 = not reported
  double vdop = 0.0;
  double pdop = 0.0;
  double positionHdop = 0.0;  // HDOP of the latest GGA
  double horizontalError = 0.0;  // receiver's estimates (PGRME); 0 = not reported
  double verticalError = 0.0;
  double sphericalError = 0.0;
  // The latest GGA or RMC and its text as received (the track recorder
  // writes them); whether it moved the position says kFixPosition.
  SentenceKind source = SentenceKind::None;
  std::string sentence;
  // The controller's position source when it published: RMC, or GGA (chosen
  // by the user or by the receiver's sentence counts, PreferGgaPositions).
  bool positionFromRmc = true;
  // The lines come from a replayed file, not a receiver.
  bool replay = false;
  // The satellites in view of every system, as of the latest complete GSV
  // cycles, with the ones in use (GSA).
  std::vector<SkySatellite> sky;
};

// Told of every published fix, on the main thread, in registration order.
class FixListener {
 public:
  virtual ~FixListener() = default;
  virtual void OnFix(const Fix& /*fix*/, FixChanges /*changes*/) {}
  virtual void OnConnectionChanged(bool /*connected*/) {}
};

}  // namespace tarvo
