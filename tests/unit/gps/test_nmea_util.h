// Helpers for the NMEA tests: sentences with their checksum, and fixed clocks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/gps/nmea_time.h"

namespace tarvo::test {

// "$" + body + "*hh" with the right checksum.
inline std::string Sentence(std::string_view body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum);
  std::string sentence = "$";  // appended, not "$" + ...: GCC 12 warns falsely on that at -O3
  sentence += body;
  sentence += tail;
  return sentence;
}

// Seconds since 1970 of a UTC date and time.
inline int64_t Utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return DaysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

}  // namespace tarvo::test
