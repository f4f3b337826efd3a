// The receiver records the parsers fill: position, course and speed,
// precision, and the satellites in view, and the parsers' own smoothing
// state. All angles in degrees (WGS-84, north and east positive), lengths in
// metres, speeds in knots. Consumers read the one Fix value of core/gps/fix.h
// instead.
#pragma once

#include <array>
#include <cstdint>

#include "core/geo/coordinates.h"
#include "core/gps/sky.h"

namespace tarvo {

// The current position; filled by GGA, and by RMC while RMC is the position source.
struct GpsFix {
  int64_t fixTime = 0;  // seconds since 1970-01-01 00:00 UTC; 0 = the last sentence had no time
  double latitude = 0.0;
  double longitude = 0.0;
  double altitude = 0.0;                 // metres above mean sea level
  double hdop = 0.0;
  int32_t fixQuality = 0;  // GGA quality; 0 = no fix (also set by the accuracy filter)
  int32_t satellitesUsed = 0;
  int32_t geoidSeparation = 0;  // metres, integer part
  double horizontalError = 0.0;  // receiver's estimated errors (PGRME), metres
  double verticalError = 0.0;
  double sphericalError = 0.0;
};

// Course and speed; filled by RMC.
struct RmcFix {
  int64_t fixTime = 0;
  bool valid = false;  // the status is "A" (and the accuracy filter let it pass)
  double latitude = 0.0;
  double longitude = 0.0;
  double speedKnots = 0.0;  // after smoothing and the minimum-speed threshold
  double course = 0.0;      // degrees true, 0 <= course < 360
  // Date of the latest RMC that carried one (days since 1970-01-01; -1 while
  // none has been seen) and that sentence's time of day in seconds. GGA takes
  // its date from here.
  int32_t dateDay = -1;
  int32_t dateSecondOfDay = 0;
};

// Dilution of precision; filled by GSA.
struct DopInfo {
  uint8_t fixMode = 0;      // 1 no fix, 2 = 2D, 3 = 3D
  char selectionMode = 0;   // 'A' automatic, 'M' manual
  std::array<int32_t, 12> usedPrns{};
  double pdop = 0.0;
  double hdop = 0.0;
  double vdop = 0.0;
};

// One satellite of a GSV message; a value outside its range is stored as 0.
struct SatelliteSlot {
  int16_t prn = 0;
  int16_t elevation = 0;  // 0..90
  int16_t azimuth = 0;    // 0..359
  int16_t snr = 0;        // 0..99 dB
};

// Satellites in view; room for three GSV messages of four satellites.
struct SatelliteView {
  std::array<SatelliteSlot, 12> satellites{};  // slot 4*(m-1)+k: k-th satellite of message m
  int32_t messageCount = 0;                    // total of the last message, 0..3
  std::array<bool, 3> messageSeen{};           // message m of the current cycle has arrived
};

// The inputs of the accuracy and speed filters (settings "AccuracyEnable",
// "AccuracyGPS", "AccuracyMinimum", "SpeedMinimum").
struct FilterSettings {
  bool accuracyEnable = false;
  double accuracyGps = 10.0;      // metres of error per unit of HDOP
  double accuracyMinimum = 50.0;  // largest acceptable estimated error, metres
  double speedMinimum = 0.0;      // knots; slower speeds read as 0

  friend bool operator==(const FilterSettings&, const FilterSettings&) = default;
};

// The last four positions put into a smoothing ring; `next` is the slot the
// next one overwrites.
struct PositionRing {
  std::array<LatLon, 4> values{};
  int32_t next = 0;
};

// The last values (speeds or courses) put into a smoothing ring, and how many
// of its slots were written since the connect (0..4).
struct ValueRing {
  std::array<double, 4> values{};
  int32_t next = 0;
  int32_t filled = 0;
};

// The parsers' state between sentences: GGA smooths its positions, RMC its
// positions, speeds and courses.
struct SmoothingState {
  PositionRing ggaPositions;
  PositionRing rmcPositions;
  ValueRing speeds;
  ValueRing courses;
  // No smoothing of RMC positions and speeds: GGA is the position source.
  bool rmcUnsmoothed = false;
};

// Everything the receiver told us, as held by the connection controller.
struct ReceiverState {
  GpsFix gpsFix;
  RmcFix rmcFix;
  DopInfo dopInfo;
  SatelliteView satelliteView;  // GPS only, as $GPGSV numbers its slots
  SkyTable sky;                 // every system
  SmoothingState smoothing;

  void Clear() { *this = ReceiverState{}; }
};

}  // namespace tarvo
