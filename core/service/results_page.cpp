#include "core/service/results_page.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "core/geo/distance.h"
#include "core/geo/number_text.h"
#include "core/service/service_text.h"

namespace tarvo {

namespace {

constexpr std::string_view kSmallFont = "<font face=\"Arial,Helvetica,Geneva\" size=\"2\">";

bool IsSuccessStatus(long status) { return status >= 200 && status < 300; }

// Splits body into lines without their line feed and carriage returns.
std::vector<std::string_view> Lines(std::string_view body) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < body.size()) {
    size_t end = body.find('\n', start);
    if (end == std::string_view::npos) end = body.size();
    std::string_view line = body.substr(start, end - start);
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// A distance or bearing field as a number: a decimal text (blanks allowed
// around it), finite. Empty for an empty field or any other text.
std::optional<double> FieldNumber(std::string_view text) {
  if (text.find_first_not_of(" \t") == std::string_view::npos) return std::nullopt;
  const std::optional<double> v = ParseDecimalField(text);
  if (!v || !std::isfinite(*v)) return std::nullopt;
  return v;
}

void AppendCoordinate(std::string& out, double value, bool isLongitude, CoordFormat format) {
  char hemisphere;
  switch (format) {
    case CoordFormat::WgsDms: {
      const DegMinSecHemi split = SplitDms(value, isLongitude);
      out += DmsText(split, 1);
      hemisphere = split.hemisphere;
      break;
    }
    case CoordFormat::WgsDm: {
      const DegMinHemi split = SplitDm(value, isLongitude);
      out += DmText(split, 3);
      hemisphere = split.hemisphere;
      break;
    }
    default: {
      const DegHemi split = SplitDeg(value, isLongitude);
      AppendFixed(out, split.value, 5, 3);
      out += kDegreeSign;
      hemisphere = split.hemisphere;
      break;
    }
  }
  out += ' ';
  out += hemisphere;
}

void AppendSiteLink(std::string& out, const ResultsPageStyle& style, std::string_view content) {
  out += "<a href=\"";
  out += HtmlEscape(style.siteUrl);
  out += "\">";
  out += content;
}

void AppendNavigation(std::string& out, int offset, double latitude, double longitude) {
  auto position = [&] {
    out += "lat=";
    AppendFixed(out, latitude, 4);
    out += "&lon=";
    AppendFixed(out, longitude, 4);
  };
  if (offset > 0) {
    out += "<a href=\"gps:prev?";
    position();
    out += "\">&lt;&lt; Previous</a>&nbsp;&nbsp;&nbsp;&nbsp;";
  }
  out += "Page ";
  AppendInt(out, offset / kResultsPerPage + 1);
  out += "&nbsp;&nbsp;&nbsp;&nbsp;<a href=\"gps:next?";
  position();
  out += "\">Next &gt;&gt;</a>";
}

void AppendResult(std::string& out, const ResultLine& r, double latitude, double longitude,
                  const ResultsPageStyle& style) {
  // A url with blanks or control characters is shown, never linked: the
  // escaped text would no longer be the address that was checked.
  const bool isLink = ClassifyLink(r.url) == LinkKind::Web &&
                      std::find_if(r.url.begin(), r.url.end(), [](char c) {
                        return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
                      }) == r.url.end();
  out += "<p><b>";
  if (isLink) {
    out += "<a href=\"";
    out += HtmlEscape(r.url);
    out += "\">";
  }
  if (!r.title) {
    out += "(no title)";
  } else if (r.title->empty()) {
    out += HtmlEscape(r.url);
  } else {
    out += HtmlEscape(*r.title);
  }
  if (isLink) out += "</a>";
  out += "</b><br>";

  double distance = 0.0;
  const std::optional<double> d = FieldNumber(r.distance);
  if (d && *d >= 0.0) {
    distance = *d;
    out += FormatDistance(distance, style.unit);
  } else {
    out += "(no distance)";
  }
  out += ", ";

  double bearing = 0.0;
  if (const std::optional<double> b = FieldNumber(r.bearing)) {
    bearing = std::fmod(*b, 360.0);
    if (bearing < 0.0) bearing += 360.0;
    out += HtmlEscape(r.bearing);
    out += kDegreeSign;
    out += " (";
    out += CompassPointName(bearing);
    out += ")";
  } else {
    out += "(no bearing)";
  }
  out += ", ";

  // The result's own position: DestinationPoint counts courses west-positive.
  const LatLon at = DestinationPoint(latitude, longitude, distance, 360.0 - bearing);
  const std::string label = PercentEncode(r.title ? *r.title : std::string());
  auto gpsLink = [&](std::string_view action, std::string_view text) {
    out += "<a href=\"gps:";
    out += action;
    out += "?lat=";
    AppendFixed(out, at.latitude, 4);
    out += "&lon=";
    AppendFixed(out, at.longitude, 4);
    out += "&label=";
    out += label;
    out += "\">";
    out += text;
    out += "</a>";
  };
  gpsLink("smap", "Map");
  out += ", ";
  gpsLink("takeme", "TakeMe");
  out += "</p>\n";
}

}  // namespace

ReplyVerdict ReadUploadReply(std::string_view body, long httpStatus) {
  if (body.empty()) return ReplyVerdict::Empty;
  const std::vector<std::string_view> lines = Lines(body);
  const std::string_view first = lines.empty() ? std::string_view() : lines[0].substr(0, kUploadFirstLineChars);
  if (Contains(first, "access denied")) return ReplyVerdict::Denied;
  if (IsSuccessStatus(httpStatus) && (Contains(first, "access granted") || Contains(first, "OK"))) {
    return ReplyVerdict::Granted;
  }
  return ReplyVerdict::Other;
}

SearchReply ReadSearchReply(std::string_view body, long httpStatus) {
  SearchReply reply;
  const std::vector<std::string_view> lines = Lines(body);
  if (lines.empty()) return reply;
  const std::string_view first = lines[0].substr(0, kReplyLineChars);
  if (Contains(first, "access denied")) {
    reply.verdict = ReplyVerdict::Denied;
    return reply;
  }
  if (!IsSuccessStatus(httpStatus) || !Contains(first, "OK")) {
    reply.verdict = ReplyVerdict::Other;
    return reply;
  }
  reply.verdict = ReplyVerdict::Granted;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i].substr(0, kReplyLineChars);
    if (line.empty()) continue;
    ResultLine r;
    size_t start = 0;
    for (int field = 0; field < 4; ++field) {
      const size_t bar = line.find('|', start);
      const std::string_view value = line.substr(start, bar == std::string_view::npos ? line.npos : bar - start);
      switch (field) {
        case 0: r.url = value; break;
        case 1: r.title = std::string(value); break;
        case 2: r.distance = value; break;
        case 3: r.bearing = value; break;
      }
      if (bar == std::string_view::npos) break;
      start = bar + 1;
    }
    reply.results.push_back(std::move(r));
  }
  return reply;
}

std::string LogoTag(std::string_view source) {
  return "<img border=\"0\" align=\"right\" src=\"" + HtmlEscape(source) + "\">";
}

std::string_view CompassPointName(double bearing) {
  static constexpr struct {
    double upTo;
    std::string_view name;
  } kPoints[] = {{11.25, "N"},    {33.75, "NNE"}, {56.25, "NE"},  {78.75, "ENE"},  {101.25, "E"},  {123.75, "ESE"},
                 {146.25, "SE"},  {168.75, "SSE"}, {191.25, "S"},  {213.75, "SSW"}, {236.25, "SW"}, {258.75, "WSW"},
                 {281.25, "W"},   {303.75, "WNW"}, {326.25, "NW"}, {348.75, "NNW"}};
  for (const auto& p : kPoints) {
    if (bearing <= p.upTo) return p.name;
  }
  return "N";
}

std::string ResultsPageHtml(int offset, double latitude, double longitude, const std::vector<ResultLine>& results,
                            const ResultsPageStyle& style) {
  std::string out;
  out += "<html>\n<meta http-equiv=\"content-type\" content=\"text/html;charset=utf-8\">\n<body>\n";
  AppendSiteLink(out, style, style.logoTag);
  out += "</a>\n";
  out += kSmallFont;
  out += "Lat: ";
  AppendCoordinate(out, latitude, false, style.format);
  out += "<br>Lon: ";
  AppendCoordinate(out, longitude, true, style.format);
  out += "</font><br><br>\n";
  out += "<font face=\"Arial,Helvetica,Geneva\" size=\"3\"><b>Search Results:</b></font><br>\n";
  out += kSmallFont;
  AppendNavigation(out, offset, latitude, longitude);
  for (const ResultLine& r : results) AppendResult(out, r, latitude, longitude, style);
  AppendNavigation(out, offset, latitude, longitude);
  out += "<hr>\n";
  AppendSiteLink(out, style, style.logoTag);
  out += "</a>\nEnter your own links at ";
  AppendSiteLink(out, style, HtmlEscape(style.siteName));
  out += "</a>";
  out += "\n</font>\n</body>\n</html>\n";
  return out;
}

bool WriteFileReplacing(const std::string& path, std::string_view text, std::string& error) {
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  int failure = 0;  // errno of the first step that failed
  for (size_t done = 0; failure == 0 && done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) failure = n < 0 ? errno : EIO;
    else done += static_cast<size_t>(n);
  }
  if (failure == 0 && (::fchmod(fd, 0644) != 0 || ::fsync(fd) != 0)) failure = errno;
  if (::close(fd) != 0 && failure == 0) failure = errno;
  if (failure == 0 && ::rename(temp.c_str(), path.c_str()) != 0) failure = errno;
  if (failure != 0) {
    error = std::strerror(failure);
    ::unlink(temp.c_str());
  }
  const bool ok = failure == 0;
  return ok;
}

}  // namespace tarvo
