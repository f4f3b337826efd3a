#include "server/query.h"

#include <charconv>
#include <cmath>
#include <set>

namespace tarvo::hopla {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexValue(text[i + 1]);
    const int low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

bool ParseQuery(std::string_view query, std::map<std::string, std::string>& values, std::string& error) {
  values.clear();
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string_view::npos) end = query.size();
    const std::string_view piece = query.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;
    const size_t equals = piece.find('=');
    if (equals == std::string_view::npos) {
      error = "error: malformed query";
      return false;
    }
    const std::optional<std::string> key = PercentDecode(piece.substr(0, equals));
    const std::optional<std::string> value = PercentDecode(piece.substr(equals + 1));
    if (!key || !value) {
      error = "error: bad percent escape";
      return false;
    }
    if (key->empty()) {
      error = "error: malformed query";
      return false;
    }
    if (!values.emplace(*key, *value).second) {
      // Keys are never echoed: a key holding "OK" would read as success.
      error = "error: a key given twice";
      return false;
    }
  }
  return true;
}

std::optional<double> ParseDegrees(std::string_view text) {
  if (text.empty() || text.size() > 32) return std::nullopt;
  size_t i = 0;
  if (text[0] == '+' || text[0] == '-') ++i;
  size_t digits = 0;
  bool point = false;
  for (size_t j = i; j < text.size(); ++j) {
    const char c = text[j];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0) return std::nullopt;
  // from_chars takes no "+" and is locale-free.
  const std::string_view number = text[0] == '+' ? text.substr(1) : text;
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec != std::errc() || result.ptr != number.data() + number.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

bool IsCleanFieldText(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7F || c == '|') return false;
      ++i;
      continue;
    }
    size_t length = 0;
    uint32_t code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      code = c & 0x07;
    } else {
      return false;
    }
    if (i + length > n) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      code = (code << 6) | (p[i + k] & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    if (code >= 0x80 && code < 0xA0) return false;  // C1 controls
    if (code == 0x2028 || code == 0x2029) return false;  // line and paragraph separators
    i += length;
  }
  return true;
}

std::optional<RequestKind> RequestKindFromName(std::string_view name) {
  if (name == "upload") return RequestKind::Upload;
  if (name == "search") return RequestKind::Search;
  if (name == "link") return RequestKind::Link;
  return std::nullopt;
}

bool DecodeRequest(RequestKind kind, std::string_view query, Request& request, std::string& error) {
  std::map<std::string, std::string> values;
  if (!ParseQuery(query, values, error)) return false;

  std::set<std::string> allowed = {"user", "password", "lat", "lon"};
  if (kind == RequestKind::Search) allowed.insert("offset");
  if (kind == RequestKind::Link) {
    allowed.insert("url");
    allowed.insert("title");
  }
  for (const auto& [key, value] : values) {
    if (!allowed.count(key)) {
      error = "error: unknown key";
      return false;
    }
  }

  request = Request{};
  request.kind = kind;
  const auto user = values.find("user");
  const auto password = values.find("password");
  if (user == values.end() || password == values.end() || user->second.empty() || password->second.empty()) {
    error = "access denied";
    return false;
  }
  if (user->second.size() > kMaxUserBytes || !IsCleanFieldText(user->second) ||
      password->second.size() > kMaxPasswordBytes) {
    error = "access denied";
    return false;
  }
  request.user = user->second;
  request.password = password->second;

  auto coordinate = [&](const char* key, double limit, double& out) {
    const auto it = values.find(key);
    if (it == values.end()) {
      error = std::string("error: missing ") + key;
      return false;
    }
    const std::optional<double> value = ParseDegrees(it->second);
    if (!value) {
      error = std::string("error: ") + key + " is not a decimal number";
      return false;
    }
    if (*value < -limit || *value > limit) {
      error = std::string("error: ") + key + " out of range";
      return false;
    }
    out = *value == 0.0 ? 0.0 : *value;  // no negative zero
    return true;
  };
  if (!coordinate("lat", 90.0, request.latitude) || !coordinate("lon", 180.0, request.longitude)) return false;

  if (kind == RequestKind::Search) {
    const auto it = values.find("offset");
    if (it == values.end()) {
      error = "error: missing offset";
      return false;
    }
    const std::string& text = it->second;
    int64_t offset = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), offset);
    const bool digitsOnly = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    if (!digitsOnly || result.ec != std::errc() || result.ptr != text.data() + text.size() || offset > kMaxOffset) {
      const bool negative = !text.empty() && text[0] == '-' &&
                            text.find_first_not_of("0123456789", 1) == std::string::npos && text.size() > 1;
      error = digitsOnly || negative ? "error: offset out of range" : "error: offset is not a whole number";
      return false;
    }
    request.offset = offset;
  }

  if (kind == RequestKind::Link) {
    const auto url = values.find("url");
    if (url == values.end() || url->second.empty()) {
      error = "error: missing url";
      return false;
    }
    if (url->second.size() > kMaxUrlBytes) {
      error = "error: url too long";
      return false;
    }
    if (!IsCleanFieldText(url->second) || url->second.find(' ') != std::string::npos ||
        !(StartsWithNoCase(url->second, "http://") || StartsWithNoCase(url->second, "https://"))) {
      error = "error: url must be an http or https address without blanks, control characters or |";
      return false;
    }
    request.url = url->second;
    const auto title = values.find("title");
    if (title != values.end()) {
      if (title->second.size() > kMaxTitleBytes) {
        error = "error: title too long";
        return false;
      }
      if (!IsCleanFieldText(title->second)) {
        error = "error: title must be UTF-8 text without control characters or |";
        return false;
      }
      request.title = title->second;
    }
  }
  return true;
}

}  // namespace tarvo::hopla
