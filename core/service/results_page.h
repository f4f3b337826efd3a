// The replies of the Hopla service and the results page "hopla.html" made
// from a search reply.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/geo/coord_format.h"
#include "core/geo/units.h"

namespace tarvo {

inline constexpr size_t kUploadFirstLineChars = 15;
inline constexpr size_t kReplyLineChars = 511;
inline constexpr int kResultsPerPage = 10;

// What the first line of a reply says. Granted needs an HTTP 2xx status; a
// refusal status (4xx, 5xx) is never read as success, whatever its text.
enum class ReplyVerdict { Granted, Denied, Other, Empty };

// Upload reply: the first line (at most 15 characters) holding "access
// denied" is Denied, else holding "access granted" or "OK" Granted; Empty for
// an empty reply.
ReplyVerdict ReadUploadReply(std::string_view body, long httpStatus);

// One result line "url|title|distance|bearing", fields as received; further
// fields are ignored.
struct ResultLine {
  std::string url;
  std::optional<std::string> title;  // empty when the line has no title field
  std::string distance;              // metres, decimal text; may be empty
  std::string bearing;               // degrees true, decimal text; may be empty
};

struct SearchReply {
  ReplyVerdict verdict = ReplyVerdict::Empty;
  std::vector<ResultLine> results;  // when Granted
};

// Search reply: first line (at most 511 characters) holding "access denied"
// is Denied, else "OK" Granted with the result lines after it: line feeds
// and carriage returns removed, empty lines skipped, a line longer than 511
// characters cut there (its rest is not another result).
SearchReply ReadSearchReply(std::string_view body, long httpStatus);

// How the results page looks: settings "FmtPos" and "FmtDist", the
// service's web site (address and the name shown for it) and the logo tag.
struct ResultsPageStyle {
  CoordFormat format = CoordFormat::WgsDms;
  DistanceUnit unit = DistanceUnit::Metric;
  std::string siteUrl;
  std::string siteName;
  std::string logoTag;  // e.g. LogoTag("qrc:/hopla-logo.png")
};

// "<img border=\"0\" align=\"right\" src=\"SRC\">" with SRC HTML-escaped.
std::string LogoTag(std::string_view source);

// The whole results page of a search at (latitude, longitude), degrees,
// starting at result offset. UTF-8; every service text is HTML-escaped, only
// http and https urls become links, labels of gps: links are percent-encoded.
std::string ResultsPageHtml(int offset, double latitude, double longitude, const std::vector<ResultLine>& results,
                            const ResultsPageStyle& style);

// The 16-point compass name of a bearing in degrees (N for <= 11.25 or
// > 348.75, NNE <= 33.75, ...).
std::string_view CompassPointName(double bearing);

// Writes text to path through a temporary file in the same folder, flushed
// to disk and renamed over path: a reader sees the old or the new file,
// never a part. False, with the reason in error, when that fails (the old
// file then stays).
bool WriteFileReplacing(const std::string& path, std::string_view text, std::string& error);

}  // namespace tarvo
