#include "core/gps/nmea_time.h"

#include <cstdio>

namespace tarvo {
namespace {

constexpr int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

constexpr bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

constexpr int DaysInMonth(int64_t year, int month) {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number of a two-character pair, read like atoi: "07" is 7, "7x" is 7, "x7" is 0.
int ReadPair(std::string_view text, std::size_t at) {
  if (at >= text.size() || !IsDigit(text[at])) return 0;
  const int first = text[at] - '0';
  if (at + 1 >= text.size() || !IsDigit(text[at + 1])) return first;
  return first * 10 + (text[at + 1] - '0');
}

static_assert(DaysFromCivil(1970, 1, 1) == 0);
static_assert(DaysFromCivil(2000, 3, 1) == 11017);
static_assert(DaysFromCivil(1969, 12, 31) == -1);

}  // namespace

CivilTime CivilFromTime(int64_t t) {
  const int64_t days = FloorDiv(t, kSecondsPerDay);
  const int64_t secondOfDay = t - days * kSecondsPerDay;
  // H. Hinnant's civil_from_days.
  const int64_t z = days + 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  CivilTime c;
  c.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  c.year = yearOfEra + era * 400 + (c.month <= 2 ? 1 : 0);
  c.hour = static_cast<int>(secondOfDay / 3600);
  c.minute = static_cast<int>(secondOfDay / 60 % 60);
  c.second = static_cast<int>(secondOfDay % 60);
  return c;
}

std::size_t FormatUtcTime(int64_t t, char* out) {
  const CivilTime c = CivilFromTime(t);
  if (c.year < 0 || c.year > 9999) {
    const int n = std::snprintf(out, 32, "%lld-%02d-%02dT%02d:%02d:%02dZ", static_cast<long long>(c.year), c.month,
                                c.day, c.hour, c.minute, c.second);
    return n < 0 ? 0 : (n < 32 ? static_cast<std::size_t>(n) : 31);
  }
  auto two = [](char* p, int v) {
    p[0] = static_cast<char>('0' + v / 10);
    p[1] = static_cast<char>('0' + v % 10);
  };
  const int year = static_cast<int>(c.year);
  two(out, year / 100);
  two(out + 2, year % 100);
  out[4] = '-';
  two(out + 5, c.month);
  out[7] = '-';
  two(out + 8, c.day);
  out[10] = 'T';
  two(out + 11, c.hour);
  out[13] = ':';
  two(out + 14, c.minute);
  out[16] = ':';
  two(out + 17, c.second);
  out[19] = 'Z';
  out[20] = '\0';
  return 20;
}

bool ReadTimeOfDay(std::string_view field, int32_t& secondOfDay) {
  if (field.size() <= 5) return false;
  const std::size_t dot = field.find('.');
  if (dot != std::string_view::npos) field = field.substr(0, dot);
  secondOfDay = ReadPair(field, 0) * 3600 + ReadPair(field, 2) * 60 + ReadPair(field, 4);
  return true;
}

bool ReadNmeaDate(std::string_view field, int32_t& day) {
  if (field.size() != 6) return false;
  for (char c : field) {
    if (!IsDigit(c)) return false;
  }
  const int dd = ReadPair(field, 0);
  const int mm = ReadPair(field, 2);
  const int yy = ReadPair(field, 4);
  const int year = yy >= 80 ? 1900 + yy : 2000 + yy;
  if (mm < 1 || mm > 12 || dd < 1 || dd > DaysInMonth(year, mm)) return false;
  day = static_cast<int32_t>(DaysFromCivil(year, mm, dd));
  return true;
}

int64_t TimeNearAnchor(int64_t anchorDay, int32_t anchorSecond, int32_t secondOfDay) {
  int64_t day = anchorDay;
  const int64_t ahead = static_cast<int64_t>(secondOfDay) - anchorSecond;
  if (ahead < -kHalfDay) {
    ++day;
  } else if (ahead > kHalfDay) {
    --day;
  }
  return day * kSecondsPerDay + secondOfDay;
}

int64_t FixTimeFromHms(int hours, int minutes, int seconds, int64_t nowUtc) {
  const int64_t today = FloorDiv(nowUtc, kSecondsPerDay);
  const auto nowSecond = static_cast<int32_t>(nowUtc - today * kSecondsPerDay);
  return TimeNearAnchor(today, nowSecond, hours * 3600 + minutes * 60 + seconds);
}

}  // namespace tarvo
