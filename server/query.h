// Decoding of Hopla request queries: percent-decoding, the key=value list and
// the checks of every value, without any network or database code so that
// the fuzzer and the tests reach it directly. The rules are those of
// docs/hopla-protocol.md.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tarvo::hopla {

inline constexpr size_t kMaxUserBytes = 64;
inline constexpr size_t kMaxPasswordBytes = 1024;
inline constexpr size_t kMaxUrlBytes = 2048;
inline constexpr size_t kMaxTitleBytes = 255;
inline constexpr int64_t kMaxOffset = 1000000000;

// RFC 3986 percent-decoding: "%XX" becomes the byte XX, every other byte stays
// ("+" is a plus sign). Empty when a "%" is not followed by two hex digits.
std::optional<std::string> PercentDecode(std::string_view text);

// A raw query ("a=1&b=%20x", without the "?") split at "&" and "=" and
// decoded. Empty pieces ("a=1&&b=2") are skipped. Fails, naming the fault in
// error, on a bad escape, an empty key, a piece without "=" or a key given twice.
bool ParseQuery(std::string_view query, std::map<std::string, std::string>& values, std::string& error);

// A coordinate in decimal degrees: optional sign, digits, optionally a point
// and digits (at least one digit in all; no blanks, exponent, comma, "nan" or
// "inf"), at most 32 characters. Empty when not such a number.
std::optional<double> ParseDegrees(std::string_view text);

// True when text is valid UTF-8 (no overlong forms, surrogates or code points
// above U+10FFFF) and holds no control character (below 0x20, 0x7F) and no "|".
bool IsCleanFieldText(std::string_view text);

enum class RequestKind { Upload, Search, Link };

// One checked request.
struct Request {
  RequestKind kind = RequestKind::Upload;
  std::string user;
  std::string password;
  double latitude = 0.0;   // degrees, [-90, 90]
  double longitude = 0.0;  // degrees, [-180, 180]
  int64_t offset = 0;      // search only, [0, kMaxOffset]
  std::string url;         // link only
  std::string title;       // link only
};

// The request named name ("upload", "search" or "link") with its raw query.
// On a refusal returns false and sets error to the reply's first line, e.g.
// "error: lat out of range"; an empty user or password gives "access denied".
bool DecodeRequest(RequestKind kind, std::string_view query, Request& request, std::string& error);

// "upload", "search", "link" -> the kind; empty for another name.
std::optional<RequestKind> RequestKindFromName(std::string_view name);

}  // namespace tarvo::hopla
