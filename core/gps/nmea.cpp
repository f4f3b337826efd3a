#include "core/gps/nmea.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "core/gps/fix.h"

namespace tarvo {
namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kRadToDeg = 180.0 / std::numbers::pi;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Degrees into [0, 360); a value a hair below 360 (rounding of a mean) is 0.
double Normalize360(double degrees) {
  double r = std::fmod(degrees, 360.0);
  if (r < 0.0) r += 360.0;
  if (r >= 360.0 - 1e-9) r = 0.0;
  return r;
}

// A ring index from a record; anything outside 0..3 restarts at 0.
int32_t RingIndex(int32_t index) { return index >= 0 && index < 4 ? index : 0; }

// Stores the new position in the ring and replaces it by the mean of the ring
// slots holding a position (latitude and longitude both non-zero, and on the
// globe: a receiver without a fix may send 36000.0000,N), when there are at
// least two. Longitudes are averaged as offsets from the newest of
// those slots, so that positions either side of the 180 degree meridian
// average to a point on it, not to the far side of the earth.
void StoreAndSmooth(PositionRing& positions, double& latitude, double& longitude) {
  std::array<LatLon, 4>& ring = positions.values;
  const int32_t slot = RingIndex(positions.next);
  ring[slot] = {latitude, longitude};
  positions.next = (slot + 1) % 4;

  int count = 0;
  double latitudeSum = 0.0;
  double offsetSum = 0.0;
  double reference = 0.0;
  for (int back = 0; back < 4; ++back) {  // newest first
    const LatLon& p = ring[(slot + 4 - back) % 4];
    if (p.latitude == 0.0 || p.longitude == 0.0 || std::abs(p.latitude) > 90.0 || std::abs(p.longitude) > 180.0) {
      continue;
    }
    if (count == 0) reference = p.longitude;
    double offset = p.longitude - reference;
    if (offset > 180.0) {
      offset -= 360.0;
    } else if (offset < -180.0) {
      offset += 360.0;
    }
    latitudeSum += p.latitude;
    offsetSum += offset;
    ++count;
  }
  if (count < 2) return;
  latitude = latitudeSum / count;
  longitude = reference + offsetSum / count;
  if (longitude > 180.0) {
    longitude -= 360.0;
  } else if (longitude < -180.0) {
    longitude += 360.0;
  }
}

// Puts `value` into the ring and counts the slot as filled (at most 4).
void PushRing(ValueRing& ring, double value) {
  const int32_t slot = RingIndex(ring.next);
  ring.values[slot] = value;
  ring.next = (slot + 1) % 4;
  ring.filled = ring.filled < 0 ? 1 : (ring.filled < 4 ? ring.filled + 1 : 4);
}

// The arithmetic mean of the last `filled` values put into the ring.
double MeanOfLast(const ValueRing& values) {
  const std::array<double, 4>& ring = values.values;
  const int32_t nextIndex = values.next;
  const int32_t filled = values.filled;
  const int32_t n = filled < 1 ? 1 : (filled > 4 ? 4 : filled);
  double sum = 0.0;  // of the shares, so that no sum of huge values overflows
  for (int back = 1; back <= n; ++back) sum += ring[(RingIndex(nextIndex) + 4 - back) % 4] / n;
  return sum;
}

// The circular mean of the last `filled` courses put into the ring, degrees in
// [0, 360): 350 and 10 average to 0. Computed as offsets from the newest
// course, which also stands when the courses cancel out (90 and 270).
double CircularMeanOfLast(const ValueRing& values) {
  const std::array<double, 4>& ring = values.values;
  const int32_t nextIndex = values.next;
  const int32_t filled = values.filled;
  const int32_t n = filled < 1 ? 1 : (filled > 4 ? 4 : filled);
  const int32_t next = RingIndex(nextIndex);
  const double newest = ring[(next + 3) % 4];
  double sumSin = 0.0;
  double sumCos = 0.0;
  for (int back = 1; back <= n; ++back) {
    const double offset = (ring[(next + 4 - back) % 4] - newest) * kDegToRad;
    sumSin += std::sin(offset);
    sumCos += std::cos(offset);
  }
  if (std::hypot(sumSin, sumCos) < 1e-9 * n) return Normalize360(newest);
  return Normalize360(newest + std::atan2(sumSin, sumCos) * kRadToDeg);
}

// The fixTime of a time of day without a date of its own: on the date of the
// latest RMC that carried one, else on the computer's date.
int64_t DateTimeOfDay(int32_t secondOfDay, const RmcFix& dateSource, int64_t nowUtc) {
  if (dateSource.dateDay >= 0) {
    return TimeNearAnchor(dateSource.dateDay, dateSource.dateSecondOfDay, secondOfDay);
  }
  return FixTimeFromHms(0, 0, secondOfDay, nowUtc);
}

// Reads a latitude or longitude field and its hemisphere field.
double ReadAngle(const std::optional<std::string_view>& value, const std::optional<std::string_view>& hemisphere,
                 char negative) {
  const double degrees = value ? NmeaDegrees(FieldDouble(*value)) : 0.0;
  return FieldStartsWith(hemisphere, negative) ? -degrees : degrees;
}

bool AccuracyRejects(double hdop, const FilterSettings& filter) {
  return filter.accuracyEnable && hdop != 0.0 && hdop * filter.accuracyGps > filter.accuracyMinimum;
}

double ReadFeetOrMetres(const std::optional<std::string_view>& value, const std::optional<std::string_view>& unit) {
  const double v = value ? FieldDouble(*value) : 0.0;
  return FieldStartsWith(unit, 'f') || FieldStartsWith(unit, 'F') ? v * kPgrmFeetToMetres : v;
}

int16_t SlotValue(const std::optional<std::string_view>& field, int32_t lowest, int32_t highest) {
  if (!FieldPresent(field)) return 0;
  const int32_t v = FieldInt(*field);
  return v >= lowest && v <= highest ? static_cast<int16_t>(v) : int16_t{0};
}

NextField FieldsOf(const SentenceFrame& frame) { return frame.hasFields ? NextField(frame.fields) : NextField(); }

// ---------------------------------------------------------------------------
// The sentence parsers, on the fields after the address.

// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
// Fields: 1 UTC time hhmmss.ss, 2 latitude ddmm.mmmm, 3 N/S, 4 longitude
// dddmm.mmmm, 5 E/W, 6 fix quality (0 no fix, 1 GPS, 2 DGPS, 4/5 RTK, ...),
// 7 satellites used, 8 HDOP, 9 altitude above mean sea level, 10 "M",
// 11 geoid separation, 12 "M", 13 age of differential data, 14 station id.
SentenceStatus ReadGga(const SentenceFrame& frame, GpsFix& fix, SmoothingState& smoothing, const RmcFix& dateSource,
                       const ParseOptions& options) {
  NextField next = FieldsOf(frame);
  fix.fixTime = 0;
  fix.altitude = 0.0;
  fix.hdop = 0.0;
  fix.fixQuality = 0;
  fix.satellitesUsed = 0;
  fix.geoidSeparation = 0;

  int32_t secondOfDay = 0;
  if (const auto time = next(); time && ReadTimeOfDay(*time, secondOfDay)) {
    fix.fixTime = DateTimeOfDay(secondOfDay, dateSource, options.nowUtc);
  }
  const auto latitude = next();
  const auto northSouth = next();
  const auto longitude = next();
  const auto eastWest = next();
  if (FieldPresent(latitude)) {
    fix.latitude = ReadAngle(latitude, northSouth, 'S');
    fix.longitude = ReadAngle(longitude, eastWest, 'W');
    if (!options.raw) StoreAndSmooth(smoothing.ggaPositions, fix.latitude, fix.longitude);
  }
  if (const auto f = next()) fix.fixQuality = FieldInt(*f);
  if (const auto f = next()) fix.satellitesUsed = FieldInt(*f);
  if (const auto f = next()) fix.hdop = FieldDouble(*f);
  if (const auto f = next()) fix.altitude = FieldDouble(*f);
  next.Skip(1);
  if (const auto f = next()) fix.geoidSeparation = FieldInt(*f);

  if (!options.raw && AccuracyRejects(fix.hdop, options.filter)) fix.fixQuality = 0;
  return SentenceStatus::Parsed;
}

// $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A
// Fields: 1 UTC time hhmmss.ss, 2 status (A valid, V warning), 3 latitude,
// 4 N/S, 5 longitude, 6 E/W, 7 speed over ground in knots, 8 course over
// ground in degrees true, 9 date ddmmyy, 10 magnetic variation, 11 E/W,
// 12 mode (NMEA 2.3), 13 navigational status (NMEA 4.1).
SentenceStatus ReadRmc(const SentenceFrame& frame, RmcFix& fix, SmoothingState& smoothing, const DopInfo* dop,
                       const ParseOptions& options) {
  NextField next = FieldsOf(frame);
  fix.fixTime = 0;
  fix.speedKnots = 0.0;

  int32_t secondOfDay = 0;
  const auto time = next();
  const bool hasTime = time && ReadTimeOfDay(*time, secondOfDay);
  if (const auto status = next()) fix.valid = FieldStartsWith(status, 'A');

  const auto latitude = next();
  const auto northSouth = next();
  const auto longitude = next();
  const auto eastWest = next();
  if (FieldPresent(latitude)) fix.latitude = ReadAngle(latitude, northSouth, 'S');
  if (FieldPresent(longitude)) fix.longitude = ReadAngle(longitude, eastWest, 'W');
  const bool smooth = !options.raw && !smoothing.rmcUnsmoothed;
  if (smooth && FieldPresent(latitude) && FieldPresent(longitude)) {
    StoreAndSmooth(smoothing.rmcPositions, fix.latitude, fix.longitude);
  }

  if (const auto speed = next(); FieldPresent(speed)) {
    fix.speedKnots = FieldDouble(*speed);
    if (smooth) {
      PushRing(smoothing.speeds, fix.speedKnots);
      fix.speedKnots = MeanOfLast(smoothing.speeds);
    }
    if (!options.raw && fix.speedKnots < options.filter.speedMinimum) fix.speedKnots = 0.0;
  }

  if (const auto courseField = next(); FieldPresent(courseField)) {
    const double course = Normalize360(FieldDouble(*courseField));
    if (options.raw || fix.speedKnots >= kCourseSmoothingSpeed) {
      fix.course = course;
    } else if (fix.speedKnots > 0.0) {
      PushRing(smoothing.courses, course);
      fix.course = CircularMeanOfLast(smoothing.courses);
    }
    // At a standstill the last course stays.
  }

  if (hasTime) {
    int32_t day = 0;
    if (const auto date = next(); date && ReadNmeaDate(*date, day)) {
      fix.dateDay = day;
      fix.dateSecondOfDay = secondOfDay;
      fix.fixTime = static_cast<int64_t>(day) * kSecondsPerDay + secondOfDay;
    } else {
      fix.fixTime = DateTimeOfDay(secondOfDay, fix, options.nowUtc);
    }
  }

  if (!options.raw && dop != nullptr && AccuracyRejects(dop->hdop, options.filter)) fix.valid = false;
  return SentenceStatus::Parsed;
}

// $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39
// Fields: 1 selection mode (A automatic, M manual), 2 fix mode (1 none, 2 2D,
// 3 3D), 3..14 PRNs of the satellites used, 15 PDOP, 16 HDOP, 17 VDOP,
// 18 system id (NMEA 4.1).
SentenceStatus ReadGsa(const SentenceFrame& frame, DopInfo& dop) {
  dop = DopInfo{};
  // A GSA without checksum leaves the precision cleared.
  if (!frame.hasChecksum) return SentenceStatus::Parsed;
  NextField next = FieldsOf(frame);
  if (const auto f = next(); FieldPresent(f)) dop.selectionMode = (*f)[0];
  if (const auto f = next()) {
    const int32_t mode = FieldInt(*f);
    dop.fixMode = mode >= 0 && mode <= 255 ? static_cast<uint8_t>(mode) : uint8_t{0};
  }
  for (int32_t& prn : dop.usedPrns) {
    if (const auto f = next()) prn = FieldInt(*f);
  }
  if (const auto f = next()) dop.pdop = FieldDouble(*f);
  if (const auto f = next()) dop.hdop = FieldDouble(*f);
  if (const auto f = next()) dop.vdop = FieldDouble(*f);
  return SentenceStatus::Parsed;
}

// $GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74
// Fields: 1 number of messages, 2 message number, 3 satellites in view, then
// for up to four satellites: PRN, elevation (degrees), azimuth (degrees true),
// SNR (dB, empty when not tracked); NMEA 4.1 adds a signal id as last field.
SentenceStatus ReadGsv(const SentenceFrame& frame, SatelliteView& view) {
  if (!frame.hasChecksum || !frame.hasFields) return SentenceStatus::Ignored;
  std::string_view fields = frame.fields;
  // 3 + 4k + 1 fields: the last one is the signal id, not a satellite.
  const std::size_t fieldCount = 1 + static_cast<std::size_t>(std::count(fields.begin(), fields.end(), ','));
  if (fieldCount > 3 && (fieldCount - 3) % 4 == 1) fields = fields.substr(0, fields.rfind(','));

  NextField next(fields);
  const auto total = next();
  const auto number = next();
  const int32_t message = number ? FieldInt(*number) : 0;
  if (message < 1 || message > 3) return SentenceStatus::Ignored;
  const int32_t count = total ? FieldInt(*total) : 0;
  // A receiver with more than twelve satellites in view sends a fourth
  // message or more; the first three fill the table and make the cycle, so
  // its sky is still shown instead of never completing.
  view.messageCount = count < 0 ? 0 : count > 3 ? 3 : count;
  view.messageSeen[message - 1] = true;
  next.Skip(1);

  for (int k = 0; k < 4; ++k) {
    SatelliteSlot& slot = view.satellites[4 * (message - 1) + k];
    const auto prn = next();
    const auto elevation = next();
    const auto azimuth = next();
    const auto snr = next();
    slot = SatelliteSlot{};
    if (!FieldPresent(prn)) continue;
    slot.prn = SlotValue(prn, 0, INT16_MAX);
    slot.elevation = SlotValue(elevation, 0, 90);
    slot.azimuth = SlotValue(azimuth, 0, 359);
    slot.snr = SlotValue(snr, 0, 99);
  }
  // The cycle is complete: slots past its last message belong to a longer
  // cycle before it and hold satellites that are no longer in view.
  if (GsvCycleComplete(view)) {
    std::fill(view.satellites.begin() + 4 * view.messageCount, view.satellites.end(), SatelliteSlot{});
  }
  return SentenceStatus::Parsed;
}

// $PGRMZ,1000,f,3*XX
// Fields: 1 altitude, 2 unit (f feet, M metres), 3 fix dimension (2 user
// altitude, 3 GPS altitude).
SentenceStatus ReadPgrmz(const SentenceFrame& frame, GpsFix& fix) {
  NextField next = FieldsOf(frame);
  const auto altitude = next();
  const auto unit = next();
  if (altitude) fix.altitude = ReadFeetOrMetres(altitude, unit);
  return SentenceStatus::Parsed;
}

// $PGRME,15.0,M,45.0,M,25.0,M*1C
// Fields: 1 estimated horizontal position error, 2 unit, 3 estimated vertical
// error, 4 unit, 5 estimated spherical error, 6 unit (M metres, f feet).
SentenceStatus ReadPgrme(const SentenceFrame& frame, GpsFix& fix) {
  NextField next = FieldsOf(frame);
  fix.horizontalError = 0.0;
  fix.verticalError = 0.0;
  fix.sphericalError = 0.0;
  for (double* error : {&fix.horizontalError, &fix.verticalError, &fix.sphericalError}) {
    const auto value = next();
    const auto unit = next();
    *error = ReadFeetOrMetres(value, unit);
  }
  return SentenceStatus::Parsed;
}

// ---------------------------------------------------------------------------
// The dispatch table.

// A parser run from the table: its status and what it changed.
struct Read {
  SentenceStatus status;
  FixChanges changes;
};
using Handler = Read (*)(const SentenceFrame&, ReceiverState&, const ParseOptions&);

enum class Talkers : uint8_t {
  Any,          // any two-letter talker that does not begin with "P"
  Proprietary,  // the address is the whole name
};

struct SentenceType {
  std::string_view name;  // sentence id ("GGA") or proprietary address ("PGRME")
  SentenceKind kind;
  Talkers talkers;
  Handler handler;
};

Read Reported(SentenceStatus status, FixChanges changes) {
  return {status, status == SentenceStatus::Parsed ? changes : 0u};
}

constexpr SentenceType kSentenceTypes[] = {
    {"GGA", SentenceKind::Gga, Talkers::Any,
     [](const SentenceFrame& f, ReceiverState& s, const ParseOptions& o) {
       return Reported(ReadGga(f, s.gpsFix, s.smoothing, s.rmcFix, o),
                       kFixPosition | kFixTime | kFixAltitude | kFixQuality);
     }},
    {"RMC", SentenceKind::Rmc, Talkers::Any,
     [](const SentenceFrame& f, ReceiverState& s, const ParseOptions& o) {
       return Reported(ReadRmc(f, s.rmcFix, s.smoothing, &s.dopInfo, o),
                       kFixPosition | kFixTime | kFixMotion | kFixQuality);
     }},
    {"GSA", SentenceKind::Gsa, Talkers::Any,
     [](const SentenceFrame& f, ReceiverState& s, const ParseOptions&) {
       if (f.hasChecksum && f.hasFields) s.sky.AddGsa(f.address.substr(0, 2), f.fields);
       return Reported(ReadGsa(f, s.dopInfo), kFixPrecision);
     }},
    // Every talker's satellites go into the sky of all systems; GPS's also
    // into the twelve slots of the GPS record.
    {"GSV", SentenceKind::Gsv, Talkers::Any,
     [](const SentenceFrame& f, ReceiverState& s, const ParseOptions& o) {
       if (!f.hasChecksum || !f.hasFields) return Read{SentenceStatus::Ignored, 0u};
       const std::string_view talker = f.address.substr(0, 2);
       const bool skyChanged = s.sky.AddGsv(talker, f.fields, o.nowUtc);
       SentenceStatus status = SentenceStatus::Parsed;
       bool gpsCycle = false;
       if (talker == "GP") {
         status = ReadGsv(f, s.satelliteView);
         gpsCycle = status == SentenceStatus::Parsed && GsvCycleComplete(s.satelliteView);
       }
       return Reported(status, skyChanged || gpsCycle ? kFixSky : 0u);
     }},
    {"PGRME", SentenceKind::Pgrme, Talkers::Proprietary,
     [](const SentenceFrame& f, ReceiverState& s, const ParseOptions&) {
       return Reported(ReadPgrme(f, s.gpsFix), kFixError);
     }},
    {"PGRMZ", SentenceKind::Pgrmz, Talkers::Proprietary,
     [](const SentenceFrame& f, ReceiverState& s, const ParseOptions&) {
       return Reported(ReadPgrmz(f, s.gpsFix), kFixAltitude);
     }},
};

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }

const SentenceType* FindType(std::string_view address) {
  if (address.size() != 5) return nullptr;
  const bool satelliteTalker = IsUpper(address[0]) && IsUpper(address[1]) && address[0] != 'P';
  for (const SentenceType& type : kSentenceTypes) {
    switch (type.talkers) {
      case Talkers::Proprietary:
        if (address == type.name) return &type;
        break;
      case Talkers::Any:
        if (address.substr(2) == type.name && satelliteTalker) return &type;
        break;
    }
  }
  return nullptr;
}

// The address of a line as received: after "$", up to the first "," or "*".
std::string_view AddressOfLine(std::string_view line) {
  if (line.empty() || line[0] != '$') return {};
  line.remove_prefix(1);
  return line.substr(0, line.find_first_of(",*"));
}

template <class Read>
SentenceStatus FrameAndRead(std::string_view sentence, Read&& read) {
  SentenceFrame frame;
  const SentenceStatus status = FrameSentence(sentence, frame);
  if (status != SentenceStatus::Parsed) return status;
  return read(frame);
}

}  // namespace

SentenceStatus FrameSentence(std::string_view sentence, SentenceFrame& frame) {
  frame = SentenceFrame{};
  const std::size_t n = sentence.size();
  if (n > kMaxSentenceLength) return SentenceStatus::TooLong;
  if (n > 0 && std::memchr(sentence.data(), '\0', n) != nullptr) return SentenceStatus::BadBytes;
  if (n == 0 || sentence[0] != '$') return SentenceStatus::Ignored;

  std::size_t end = n;
  unsigned sum = 0;
  for (std::size_t i = 1; i < n; ++i) {
    if (sentence[i] == '*') {
      end = i;
      break;
    }
    sum ^= static_cast<unsigned char>(sentence[i]);
  }
  if (end < n) {
    if (end + 3 != n) return SentenceStatus::BadChecksum;
    const int high = HexValue(sentence[end + 1]);
    const int low = HexValue(sentence[end + 2]);
    if (high < 0 || low < 0 || static_cast<unsigned>(high * 16 + low) != sum) return SentenceStatus::BadChecksum;
    frame.hasChecksum = true;
  }
  const std::string_view body = sentence.substr(1, end - 1);
  const std::size_t comma = body.find(',');
  frame.address = body.substr(0, comma);
  if (comma != std::string_view::npos) {
    frame.fields = body.substr(comma + 1);
    frame.hasFields = true;
  }
  return SentenceStatus::Parsed;
}

SentenceKind KindOfAddress(std::string_view address) {
  const SentenceType* type = FindType(address);
  return type != nullptr ? type->kind : SentenceKind::None;
}

DispatchResult DispatchSentence(std::string_view sentence, ReceiverState& state, const ParseOptions& options) {
  const SentenceType* type = FindType(AddressOfLine(sentence));
  DispatchResult result;
  result.kind = type != nullptr ? type->kind : SentenceKind::None;
  SentenceFrame frame;
  result.status = FrameSentence(sentence, frame);
  // A line that is broken is reported as such, whether or not its type is
  // one we parse.
  if (result.status != SentenceStatus::Parsed) return result;
  if (type == nullptr) {
    result.status = SentenceStatus::Ignored;
    return result;
  }
  const Read read = type->handler(frame, state, options);
  result.status = read.status;
  result.changes = read.changes;
  return result;
}

SentenceStatus ParseGga(std::string_view sentence, GpsFix& fix, SmoothingState& smoothing, const RmcFix& dateSource,
                        const ParseOptions& options) {
  return FrameAndRead(sentence,
                      [&](const SentenceFrame& f) { return ReadGga(f, fix, smoothing, dateSource, options); });
}

SentenceStatus ParseRmc(std::string_view sentence, RmcFix& fix, SmoothingState& smoothing, const DopInfo* dop,
                        const ParseOptions& options) {
  return FrameAndRead(sentence, [&](const SentenceFrame& f) { return ReadRmc(f, fix, smoothing, dop, options); });
}

SentenceStatus ParseGsa(std::string_view sentence, DopInfo& dop) {
  return FrameAndRead(sentence, [&](const SentenceFrame& f) { return ReadGsa(f, dop); });
}

SentenceStatus ParseGsv(std::string_view sentence, SatelliteView& view) {
  return FrameAndRead(sentence, [&](const SentenceFrame& f) { return ReadGsv(f, view); });
}

SentenceStatus ParsePgrmz(std::string_view sentence, GpsFix& fix) {
  return FrameAndRead(sentence, [&](const SentenceFrame& f) { return ReadPgrmz(f, fix); });
}

SentenceStatus ParsePgrme(std::string_view sentence, GpsFix& fix) {
  return FrameAndRead(sentence, [&](const SentenceFrame& f) { return ReadPgrme(f, fix); });
}

bool GsvCycleComplete(const SatelliteView& view) {
  if (view.messageCount <= 0 || view.messageCount > 3) return false;
  for (int m = 0; m < view.messageCount; ++m) {
    if (!view.messageSeen[m]) return false;
  }
  return true;
}

void ClearGsvCycle(SatelliteView& view) { view.messageSeen = {}; }

}  // namespace tarvo
