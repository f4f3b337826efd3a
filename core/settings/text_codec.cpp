#include "core/settings/text_codec.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tarvo {

double ParseDecimal(std::string_view text, int decimals) {
  if (decimals < 0) decimals = 0;
  // The digits read, as a decimal text for from_chars: exact and independent
  // of the locale.
  std::string intDigits;
  std::string fracDigits;
  bool negative = false;
  bool inFraction = false;
  bool roundUp = false;
  for (char c : text) {
    if (c == '-') {
      negative = true;
    } else if (c == '.') {
      if (inFraction) break;
      inFraction = true;
    } else if (c >= '0' && c <= '9') {
      if (!inFraction) {
        if (!(intDigits.empty() && c == '0')) intDigits.push_back(c);
      } else if (fracDigits.size() < static_cast<std::size_t>(decimals)) {
        fracDigits.push_back(c);
      } else {
        roundUp = c >= '5';
        break;
      }
    }
  }
  if (roundUp) {
    // Add one unit of the last used digit, carrying into the integer part.
    std::size_t i = fracDigits.size();
    bool carry = true;
    while (carry && i > 0) {
      --i;
      if (fracDigits[i] == '9') {
        fracDigits[i] = '0';
      } else {
        ++fracDigits[i];
        carry = false;
      }
    }
    for (std::size_t j = intDigits.size(); carry && j > 0;) {
      --j;
      if (intDigits[j] == '9') {
        intDigits[j] = '0';
      } else {
        ++intDigits[j];
        carry = false;
      }
    }
    if (carry) intDigits.insert(intDigits.begin(), '1');
  }
  std::string number = intDigits.empty() ? "0" : intDigits;
  if (!fracDigits.empty()) number += "." + fracDigits;
  double value = 0.0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  (void)end;
  if (ec == std::errc::result_out_of_range) value = std::numeric_limits<double>::infinity();
  if (value == 0.0) return 0.0;  // no "-0.0"
  return negative ? -value : value;
}

std::string FormatFixed(double value, int decimals) {
  if (!std::isfinite(value)) value = 0.0;
  if (decimals < 0) decimals = 0;
  char buffer[400];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                       std::chars_format::fixed, decimals);
  if (ec != std::errc()) return "0";
  return std::string(buffer, end);
}

int32_t ParseLeadingInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) return static_cast<int32_t>(-value);
  return value >= kLimit ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(value);
}

std::optional<double> ParseLeadingDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  // A digit or a point must follow: from_chars would also take "inf" and "nan".
  if (i >= text.size() || !((text[i] >= '0' && text[i] <= '9') || text[i] == '.')) return std::nullopt;
  double value = 0.0;
  const char* first = text.data() + i;
  const auto [end, ec] = std::from_chars(first, text.data() + text.size(), value, std::chars_format::general);
  if (ec != std::errc() || end == first || !std::isfinite(value)) return std::nullopt;
  return negative ? -value : value;
}

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  auto byte = [&](std::size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[k])); };
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    const uint32_t v = byte(i) << 16 | (rest == 2 ? byte(i + 1) << 8 : 0);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::string> Base64Decode(std::string_view code) {
  if (code.size() % 4 != 0) return std::nullopt;
  std::string out;
  out.reserve(code.size() / 4 * 3);
  for (std::size_t i = 0; i < code.size(); i += 4) {
    const bool last = i + 4 == code.size();
    const int pad = last ? (code[i + 3] == '=' ? (code[i + 2] == '=' ? 2 : 1) : 0) : 0;
    int s[4] = {0, 0, 0, 0};
    for (int k = 0; k < 4 - pad; ++k) {
      s[k] = Sextet(code[i + static_cast<std::size_t>(k)]);
      if (s[k] < 0) return std::nullopt;
    }
    const uint32_t v = static_cast<uint32_t>(s[0]) << 18 | static_cast<uint32_t>(s[1]) << 12 |
                       static_cast<uint32_t>(s[2]) << 6 | static_cast<uint32_t>(s[3]);
    if ((pad == 1 && (v & 0xFF) != 0) || (pad == 2 && (v & 0xFFFF) != 0)) return std::nullopt;
    out += static_cast<char>(v >> 16);
    if (pad < 2) out += static_cast<char>((v >> 8) & 0xFF);
    if (pad < 1) out += static_cast<char>(v & 0xFF);
  }
  return out;
}

}  // namespace tarvo
