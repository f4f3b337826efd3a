#include "core/geo/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace tarvo {

namespace {

// Writes text at out after blanks that make it width long; returns the end.
char* PadLeft(char* out, const char* text, size_t length, int width) {
  for (int pad = width - static_cast<int>(length); pad > 0; --pad) *out++ = ' ';
  std::memcpy(out, text, length);
  return out + length;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

char* WriteFixed(char* out, double v, int precision, int width) {
  if (precision < 0) precision = 0;
  if (precision > 17) precision = 17;
  if (width > 32) width = 32;
  if (!std::isfinite(v)) {
    const char* text = std::isnan(v) ? "nan" : (v > 0 ? "inf" : "-inf");
    return PadLeft(out, text, std::strlen(text), width);
  }
  // Fast path: scale by 10^precision and round in doubles whenever that
  // rounding cannot differ from exact decimal rounding of v (the scaled value
  // is far from a tie and well inside the exact-integer range).
  static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  if (precision <= 9) {
    const double scaled = std::fabs(v) * kPowers[precision];
    if (scaled < 1e15) {
      const double whole = std::floor(scaled);
      const double fraction = scaled - whole;
      const double margin = 4 * std::numeric_limits<double>::epsilon() * (scaled > 1 ? scaled : 1);
      if (std::fabs(fraction - 0.5) > margin) {
        uint64_t digits = static_cast<uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
        // A value that rounds to zero shows no minus sign.
        const bool negative = v < 0 && digits != 0;
        char text[40];
        char* const end = text + sizeof text;
        char* q = end;
        for (int i = 0; i < precision; ++i) {
          *--q = static_cast<char>('0' + digits % 10);
          digits /= 10;
        }
        if (precision > 0) *--q = '.';
        while (digits >= 100) {
          const auto pair = static_cast<size_t>(digits % 100) * 2;
          digits /= 100;
          *--q = kPairs[pair + 1];
          *--q = kPairs[pair];
        }
        if (digits >= 10) {
          const auto pair = static_cast<size_t>(digits) * 2;
          *--q = kPairs[pair + 1];
          *--q = kPairs[pair];
        } else {
          *--q = static_cast<char>('0' + digits);
        }
        if (negative) *--q = '-';
        return PadLeft(out, q, static_cast<size_t>(end - q), width);
      }
    }
  }
  char buffer[kMaxNumberText];
  const std::to_chars_result r =
      std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, precision);
  size_t length = static_cast<size_t>(r.ptr - buffer);
  const char* start = buffer;
  if (buffer[0] == '-') {
    bool allZero = true;
    for (size_t i = 1; i < length; ++i)
      if (buffer[i] != '0' && buffer[i] != '.') allZero = false;
    if (allZero) {
      ++start;
      --length;
    }
  }
  return PadLeft(out, start, length, width);
}

void AppendFixed(std::string& out, double v, int precision, int width) {
  char buffer[kMaxNumberText];
  out.append(buffer, WriteFixed(buffer, v, precision, width));
}

void AppendInt(std::string& out, long long v, int width) {
  char buffer[32];
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, v);
  const auto length = static_cast<size_t>(r.ptr - buffer);
  if (width > static_cast<int>(length)) out.append(static_cast<size_t>(width) - length, ' ');
  out.append(buffer, length);
}

double RoundedAsPrinted(double v, int precision) {
  if (!std::isfinite(v)) return v;
  std::string text;
  AppendFixed(text, v, precision);
  double printed = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), printed);
  return printed;
}

char* WriteShortest(char* out, double v) {
  if (!std::isfinite(v)) {
    const char* text = std::isnan(v) ? "nan" : (v > 0 ? "inf" : "-inf");
    return PadLeft(out, text, std::strlen(text), 0);
  }
  return std::to_chars(out, out + kMaxNumberText, v, std::chars_format::fixed).ptr;
}

void AppendShortest(std::string& out, double v) {
  char buffer[kMaxNumberText];
  out.append(buffer, WriteShortest(buffer, v));
}

std::string ShortestText(double v) {
  std::string out;
  AppendShortest(out, v);
  return out;
}

std::optional<double> ParseDecimalField(std::string_view text) {
  text = Trim(text);
  if (text.empty()) return 0.0;
  bool negative = false;
  if (text.front() == '+' || text.front() == '-') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  size_t digits = 0, points = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9')
      ++digits;
    else if (c == '.')
      ++points;
    else
      return std::nullopt;
  }
  if (digits == 0 || points > 1) return std::nullopt;
  double value = 0.0;
  const std::from_chars_result r =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return negative ? -value : value;
}

std::optional<int> ParseIntegerField(std::string_view text, bool* isNegative) {
  if (isNegative != nullptr) *isNegative = false;
  text = Trim(text);
  if (text.empty()) return 0;
  bool negative = false;
  if (text.front() == '+' || text.front() == '-') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 10) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > 2147483647LL) return std::nullopt;
  if (isNegative != nullptr) *isNegative = negative;
  return static_cast<int>(negative ? -value : value);
}

}  // namespace tarvo
