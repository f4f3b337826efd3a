// Reading the comma-separated fields of one NMEA sentence: the field reader
// and the number readers the sentence parsers share. Nothing here allocates
// or depends on the locale.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>
#include <system_error>

namespace tarvo {

// Hands out the fields of one sentence in order. Empty fields are kept: two
// adjacent commas yield an empty field, not a skip; the reader returns nothing
// only once the end is reached. A text with k commas has k + 1 fields; a
// default-made reader has none (a sentence with nothing after its address).
class NextField {
 public:
  NextField() = default;
  explicit NextField(std::string_view fields) : rest_(fields), more_(true) {}

  // The next field, or nothing at the end.
  std::optional<std::string_view> operator()() {
    if (!more_) return std::nullopt;
    const std::size_t comma = rest_.find(',');
    if (comma == std::string_view::npos) {
      more_ = false;
      return rest_;
    }
    const std::string_view field = rest_.substr(0, comma);
    rest_.remove_prefix(comma + 1);
    return field;
  }

  // Passes over `count` fields.
  void Skip(int count) {
    for (int i = 0; i < count && more_; ++i) (void)(*this)();
  }

 private:
  std::string_view rest_;
  bool more_ = false;
};

namespace nmea_detail {

// Drops leading blanks and a "+" sign, as C's number readers do.
inline std::string_view TrimNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  text.remove_prefix(i);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  return text;
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace nmea_detail

// The number at the start of a field, like C's atof: "545.4" is 545.4,
// "12.5abc" is 12.5. Non-numeric text, an empty field, "inf", "nan" and values
// beyond the range of a double read as 0.
inline double FieldDouble(std::string_view field) {
  std::string_view text = nmea_detail::TrimNumber(field);
  std::size_t start = 0;
  if (!text.empty() && text[0] == '-') start = 1;
  if (start >= text.size()) return 0.0;
  const char first = text[start];
  const bool digitNext = start + 1 < text.size() && nmea_detail::IsDigit(text[start + 1]);
  if (!nmea_detail::IsDigit(first) && !(first == '.' && digitNext)) return 0.0;
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)end;
  if (error != std::errc() || !std::isfinite(value)) return 0.0;
  return value;
}

// The integer at the start of a field, like C's atoi: "08" is 8, "46.9" is 46.
// Non-numeric text, an empty field and values beyond int32 read as 0.
inline int32_t FieldInt(std::string_view field) {
  const std::string_view text = nmea_detail::TrimNumber(field);
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)end;
  if (error != std::errc()) return 0;
  return value;
}

// An NMEA angle ddmm.mmmm (or dddmm.mmmm) read as the number v, in degrees:
// d = floor(v / 100), result = d + (v - 100 d) / 60.
inline double NmeaDegrees(double v) {
  const double d = std::floor(v * 0.01);
  return d + (v - 100.0 * d) * (1.0 / 60.0);
}

// True when the field is present and its first character is `c`.
inline bool FieldStartsWith(const std::optional<std::string_view>& field, char c) {
  return field && !field->empty() && (*field)[0] == c;
}

inline bool FieldPresent(const std::optional<std::string_view>& field) {
  return field && !field->empty();
}

}  // namespace tarvo
