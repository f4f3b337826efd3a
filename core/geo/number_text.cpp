#include "core/geo/number_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace tarvo {

namespace {

void PadLeft(std::string& out, const char* text, size_t length, int width) {
  for (int pad = width - static_cast<int>(length); pad > 0; --pad) out.push_back(' ');
  out.append(text, length);
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

void AppendFixed(std::string& out, double v, int precision, int width) {
  if (precision < 0) precision = 0;
  if (precision > 17) precision = 17;
  if (width > 32) width = 32;
  char buffer[400];
  if (!std::isfinite(v)) {
    const char* text = std::isnan(v) ? "nan" : (v > 0 ? "inf" : "-inf");
    PadLeft(out, text, std::strlen(text), width);
    return;
  }
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
  PadLeft(out, start, length, width);
}

void AppendInt(std::string& out, long long v, int width) {
  char buffer[32];
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, v);
  PadLeft(out, buffer, static_cast<size_t>(r.ptr - buffer), width);
}

double RoundedAsPrinted(double v, int precision) {
  if (!std::isfinite(v)) return v;
  std::string text;
  AppendFixed(text, v, precision);
  double printed = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), printed);
  return printed;
}

std::string ShortestText(double v) {
  if (!std::isfinite(v)) return std::isnan(v) ? "nan" : (v > 0 ? "inf" : "-inf");
  char buffer[512];  // the longest fixed text of a double has 309 digits before the point
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed);
  return std::string(buffer, r.ptr);
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
