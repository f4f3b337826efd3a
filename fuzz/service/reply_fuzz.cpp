// Any reply body: reading it never fails, and the results page made from it
// holds no markup of the service's and only web and gps: links.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/service/results_page.h"
#include "core/service/service_text.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  (void)tarvo::ReadUploadReply(body, 200);
  const tarvo::SearchReply reply = tarvo::ReadSearchReply(body, 200);
  if (reply.verdict != tarvo::ReplyVerdict::Granted) {
    Check(reply.results.empty());
    return 0;
  }
  tarvo::ResultsPageStyle style;
  style.siteUrl = "http://127.0.0.1:8642/hopla/";
  style.siteName = "Hopla";
  style.unit = static_cast<tarvo::DistanceUnit>(size % 3);
  style.format = static_cast<tarvo::CoordFormat>(size % 4);
  const std::string html = tarvo::ResultsPageHtml(static_cast<int>(size % 40), 46.5, -6.25, reply.results, style);
  // Every tag is one the page writes itself: service texts add none.
  static constexpr std::string_view kTags[] = {"<html>", "<meta ", "<body>", "</body>", "</html>", "<a href=\"",
                                               "</a>", "<font ", "</font>", "<br>", "<b>", "</b>", "<p>", "</p>",
                                               "<hr>"};
  for (size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
    bool known = false;
    for (std::string_view tag : kTags) known = known || html.compare(at, tag.size(), tag) == 0;
    Check(known);
  }
  for (size_t at = html.find("href=\""); at != std::string::npos; at = html.find("href=\"", at + 1)) {
    const std::string_view target(html.data() + at + 6, html.find('"', at + 6) - at - 6);
    Check(tarvo::ClassifyLink(target) != tarvo::LinkKind::Ignored);
    if (tarvo::ClassifyLink(target) == tarvo::LinkKind::Gps) Check(tarvo::ParseGpsLink(target).has_value());
  }
  // Each result's label comes back whole from its Map link.
  for (const tarvo::ResultLine& r : reply.results) {
    const std::string link = "gps:smap?lat=1&lon=2&label=" + tarvo::PercentEncode(r.title.value_or(""));
    Check(tarvo::ParseGpsLink(link)->label == r.title.value_or(""));
  }
  return 0;
}
