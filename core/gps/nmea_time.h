// Times of NMEA sentences: time-of-day and date fields, the day a time of day
// belongs to, and the UTC calendar. Times are whole seconds since
// 1970-01-01 00:00 UTC in 64 bits, so they run past 2038.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvo {

inline constexpr int64_t kSecondsPerDay = 86400;
inline constexpr int32_t kHalfDay = 43200;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar
// (month 1..12, day 1..31); negative before 1970.
constexpr int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

struct CivilTime {
  int64_t year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The UTC calendar date and time of day of `t`.
CivilTime CivilFromTime(int64_t t);

// Writes `t` as ISO 8601 UTC, "2024-06-09T14:22:16Z", and returns its length
// (20 for years 0..9999). `out` must hold at least 32 characters.
std::size_t FormatUtcTime(int64_t t, char* out);

// The time of day of an NMEA time field hhmmss[.sss], in seconds. The field is
// taken when it has more than five characters; everything from a "." on is
// dropped and hours, minutes and seconds are the character pairs 1-2, 3-4 and
// 5-6 (a pair that is not a number reads as 0). False when the field is too short.
bool ReadTimeOfDay(std::string_view field, int32_t& secondOfDay);

// An NMEA date field ddmmyy as days since 1970-01-01. Years 80..99 are
// 1980..1999 and 00..79 are 2000..2079. False unless the field is six digits
// naming a real date.
bool ReadNmeaDate(std::string_view field, int32_t& day);

// The time at `secondOfDay` on the day that puts it nearest to the anchor
// (day `anchorDay`, `anchorSecond` seconds into it): the anchor's own day,
// unless the time of day lies more than half a day before the anchor's (then
// the next day: midnight has passed since) or more than half a day after it
// (then the day before).
int64_t TimeNearAnchor(int64_t anchorDay, int32_t anchorSecond, int32_t secondOfDay);

// The fixTime of a time of day, dated by the computer's clock `nowUtc`
// (seconds since 1970, UTC): today's UTC date, or the neighbouring day when
// that is nearer (a sentence from 23:59:59 handled just after midnight).
int64_t FixTimeFromHms(int hours, int minutes, int seconds, int64_t nowUtc);

}  // namespace tarvo
