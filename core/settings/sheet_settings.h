// The settings the main window loads when it is made and saves when it is
// destroyed, as a plain record, and the account of the location service.
#pragma once

#include <string>

#include "core/settings/settings_store.h"

namespace tarvo {

struct SheetSettings {
  int32_t port = 1;
  std::string portName;  // device path; empty = the first port found
  int32_t speed = 4800;
  int32_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  int32_t databits = 8;
  int32_t stopbits = 0;  // 0 one, 1 one and a half, 2 two
  int32_t gpsType = 3;   // 0 NMEA, 1 DeLorme, 2 Garmin, 3 Bluetooth
  int32_t emulation = 0;
  int32_t emulationSpeed = 1;  // replayed lines per second
  int32_t replayRealTime = 0;  // 0, or pace the replay by its fix times at 1, 2, 4 or 8 x
  int32_t useRmc = 1;
  int32_t altitudeOffset = 0;  // metres, stored as a text
  int32_t autoStart = 0;
  int32_t accuracyEnable = 0;
  double accuracyGps = 10.0;      // metres per unit of HDOP
  double accuracyMinimum = 50.0;  // metres
  double speedMinimum = 0.0;      // knots
  int32_t fmtPos = 0;
  int32_t fmtSpeed = 0;
  int32_t fmtDist = 0;
  int32_t fmtTime = 0;
  int32_t update = 15;  // seconds
  int32_t upload = 0;
  double latDefault = 0.0;  // degrees; the start position of the fix records
  double lonDefault = 0.0;

  friend bool operator==(const SheetSettings&, const SheetSettings&) = default;
};

// Writes ProgramPath = `programPath` and TodayFix = 0 (for other programs to
// read), then reads every sheet key: the three accuracy and speed values as
// texts of capacity 16 through ParseDecimal with 2 decimals, LatDefault and
// LonDefault with 5, AltitudeOffset as the whole part of its leading number.
// A value outside its key's range loads as the key's default (which the next
// save then writes).
SheetSettings LoadSheetSettings(SettingsStore& store, const std::string& programPath);

// Saves every sheet key in one write: LatDefault/LonDefault as "%.5f", the
// accuracy and speed values as "%.1f", AltitudeOffset as a decimal text, the
// others as integers. ProgramPath and TodayFix are not written. False when
// the file could not be written.
bool SaveSheetSettings(SettingsStore& store, const SheetSettings& settings);

// The location service account. Each field holds at most 23 characters.
struct Account {
  static constexpr std::size_t kMaxField = 23;
  std::string username;
  std::string password;
};

// The password is stored as its Base64 code, never as plain text. A code that
// does not decode gives an empty password.
Account LoadAccount(const SettingsStore& store);
// Cuts each field to 23 characters and saves both in one write.
bool SaveAccount(SettingsStore& store, const Account& account);

}  // namespace tarvo
