// The four receiver-state records that every page reads: position, course and
// speed, precision, and the satellites in view. All angles in degrees
// (WGS-84, north and east positive), lengths in metres, speeds in knots.
#pragma once

#include <array>
#include <cstdint>

#include "core/geo/coordinates.h"

namespace tarvo {

// The current position; filled by GGA, and by RMC while RMC is the position source.
struct GpsFix {
  int64_t fixTime = 0;  // seconds since 1970-01-01 00:00 UTC; 0 = the last sentence had no time
  double latitude = 0.0;
  double longitude = 0.0;
  std::array<LatLon, 4> positionRing{};  // the last four positions, for smoothing
  int32_t positionRingIndex = 0;         // slot the next position overwrites
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
  int32_t valid = 0;    // 1 when the status is "A"; 0 also after the accuracy filter
  int32_t rawMode = 0;  // 1 = no smoothing of RMC position and speed (GGA is the position source)
  double latitude = 0.0;
  double longitude = 0.0;
  std::array<LatLon, 4> positionRing{};
  int32_t positionRingIndex = 0;
  double speedKnots = 0.0;  // after smoothing and the minimum-speed threshold
  std::array<double, 4> speedRing{};
  int32_t speedRingIndex = 0;
  int32_t speedRingFilled = 0;  // slots written since the connect, 0..4
  double course = 0.0;          // degrees true, 0 <= course < 360
  std::array<double, 4> courseRing{};
  int32_t courseRingIndex = 0;
  int32_t courseRingFilled = 0;  // slots written since the connect, 0..4
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
  std::array<uint8_t, 3> messageSeen{};        // message m of the current cycle has arrived
};

// The inputs of the accuracy and speed filters (settings "AccuracyEnable",
// "AccuracyGPS", "AccuracyMinimum", "SpeedMinimum").
struct FilterSettings {
  bool accuracyEnable = false;
  double accuracyGps = 10.0;      // metres of error per unit of HDOP
  double accuracyMinimum = 50.0;  // largest acceptable estimated error, metres
  double speedMinimum = 0.0;      // knots; slower speeds read as 0
};

// Everything the receiver told us, as held by the connection controller.
struct ReceiverState {
  GpsFix gpsFix;
  RmcFix rmcFix;
  DopInfo dopInfo;
  SatelliteView satelliteView;

  void Clear() { *this = ReceiverState{}; }
};

}  // namespace tarvo
