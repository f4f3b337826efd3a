// Reply reading, the results page, request addresses and the links of the
// pages, without a network.
#include <gtest/gtest.h>

#include "core/geo/distance.h"
#include "core/service/results_page.h"
#include "core/service/service_text.h"

namespace tarvo {
namespace {

ResultsPageStyle Style() {
  ResultsPageStyle style;
  style.siteUrl = "http://127.0.0.1:8642/hopla/";
  style.siteName = "Hopla at home";
  style.logoTag = LogoTag("qrc:/hopla-logo.png");
  return style;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(HoplaReplies, FirstLinesAreReadAsTheServiceMeansThem) {
  EXPECT_EQ(ReadUploadReply("OK\n", 200), ReplyVerdict::Granted);
  EXPECT_EQ(ReadUploadReply("access granted\r\n", 200), ReplyVerdict::Granted);
  EXPECT_EQ(ReadUploadReply("access denied\n", 403), ReplyVerdict::Denied);
  EXPECT_EQ(ReadUploadReply("error: lat out of range\n", 400), ReplyVerdict::Other);
  EXPECT_EQ(ReadUploadReply("maybe\n", 200), ReplyVerdict::Other);
  // Only the first 15 characters of an upload reply count.
  EXPECT_EQ(ReadUploadReply("0123456789abcdefOK\n", 200), ReplyVerdict::Other);
  // A refusal status is never success, whatever its page says.
  EXPECT_EQ(ReadUploadReply("OK\n", 500), ReplyVerdict::Other);
  EXPECT_EQ(ReadUploadReply("", 200), ReplyVerdict::Empty);

  EXPECT_EQ(ReadSearchReply("", 200).verdict, ReplyVerdict::Empty);
  EXPECT_EQ(ReadSearchReply("access denied\n", 403).verdict, ReplyVerdict::Denied);
  EXPECT_EQ(ReadSearchReply("<html>Not Found</html>\n", 404).verdict, ReplyVerdict::Other);
  EXPECT_EQ(ReadSearchReply("OK\n", 404).verdict, ReplyVerdict::Other);

  const SearchReply r = ReadSearchReply(
      "OK\r\nhttp://a/|A|12.5|90.0|extra\r\n\n\nhttp://b/\nhttp://c/|C\n" + std::string(600, 'x') + "|T\n", 200);
  ASSERT_EQ(r.verdict, ReplyVerdict::Granted);
  ASSERT_EQ(r.results.size(), 4u);
  EXPECT_EQ(r.results[0].url, "http://a/");
  EXPECT_EQ(*r.results[0].title, "A");
  EXPECT_EQ(r.results[0].distance, "12.5");
  EXPECT_EQ(r.results[0].bearing, "90.0");
  EXPECT_FALSE(r.results[1].title.has_value());
  EXPECT_EQ(*r.results[2].title, "C");
  EXPECT_EQ(r.results[2].distance, "");
  // An over-long line is cut at 511 characters, not split into two results.
  EXPECT_EQ(r.results[3].url, std::string(511, 'x'));
  EXPECT_FALSE(r.results[3].title.has_value());
}

TEST(HoplaResultsPage, AnEmptyFirstPageHasThePositionBlockPageOneAndNext) {
  const std::string html = ResultsPageHtml(0, 46.37, -6.23, {}, Style());
  EXPECT_EQ(html.rfind("<html>\n<meta http-equiv=\"content-type\" content=\"text/html;charset=utf-8\">\n<body>\n"
                       "<a href=\"http://127.0.0.1:8642/hopla/\"><img border=\"0\" align=\"right\" "
                       "src=\"qrc:/hopla-logo.png\"></a>\n"
                       "<font face=\"Arial,Helvetica,Geneva\" size=\"2\">Lat: 46\xC2\xB0\x32\x32'12.0\" N<br>"
                       "Lon: 6\xC2\xB0\x31\x33'48.0\" W</font><br><br>\n",
                       0),
            0u)
      << html;
  EXPECT_NE(html.find("<font face=\"Arial,Helvetica,Geneva\" size=\"3\"><b>Search Results:</b></font><br>\n"
                      "<font face=\"Arial,Helvetica,Geneva\" size=\"2\">Page 1&nbsp;&nbsp;&nbsp;&nbsp;"
                      "<a href=\"gps:next?lat=46.3700&lon=-6.2300\">Next &gt;&gt;</a>"
                      "Page 1&nbsp;&nbsp;&nbsp;&nbsp;<a href=\"gps:next?lat=46.3700&lon=-6.2300\">Next &gt;&gt;</a>"
                      "<hr>\n"),
            std::string::npos)
      << html;
  EXPECT_EQ(Count(html, "Previous"), 0u);
  EXPECT_NE(html.find("</a>\nEnter your own links at <a href=\"http://127.0.0.1:8642/hopla/\">Hopla at home</a>"
                      "\n</font>\n</body>\n</html>\n"),
            std::string::npos);

  ResultsPageStyle style = Style();
  style.format = CoordFormat::WgsDm;
  EXPECT_NE(ResultsPageHtml(0, 46.37, -6.23, {}, style).find("Lat: 46\xC2\xB0\x32\x32.200' N<br>Lon: 6\xC2\xB0\x31\x33.800' W"),
            std::string::npos);
  style.format = CoordFormat::Britain;
  EXPECT_NE(ResultsPageHtml(0, -4.5, 6.23, {}, style).find("Lat: 4.50000\xC2\xB0 S<br>Lon: 6.23000\xC2\xB0 E"),
            std::string::npos);
}

TEST(HoplaResultsPage, OffsetTwentyIsPageThreeWithPrevious) {
  const std::string html = ResultsPageHtml(20, 1.0, 2.0, {}, Style());
  EXPECT_EQ(Count(html, "<a href=\"gps:prev?lat=1.0000&lon=2.0000\">&lt;&lt; Previous</a>&nbsp;&nbsp;&nbsp;&nbsp;"
                        "Page 3&nbsp;"),
            2u);
}

TEST(HoplaResultsPage, ResultsShowDistanceBearingAndTheirPlaceAndMissingFieldsSaySo) {
  std::vector<ResultLine> lines = {
      {"http://a.example/", std::string("Town Hall, old"), "1234.5", "90.0"},
      {"http://b.example/", std::nullopt, "", ""},
      {"http://c.example/", std::string("C"), "", ""},
      {"http://d.example/", std::string(""), "abc", "-90"},
  };
  ResultsPageStyle style = Style();
  const std::string html = ResultsPageHtml(0, 46.0, 6.0, lines, style);
  const LatLon a = DestinationPoint(46.0, 6.0, 1234.5, 270.0);
  std::string expected = "<p><b><a href=\"http://a.example/\">Town Hall, old</a></b><br>1.23 km, 90.0\xC2\xB0 (E), ";
  char place[128];
  std::snprintf(place, sizeof place, "<a href=\"gps:smap?lat=%.4f&lon=%.4f&label=Town%%20Hall%%2C%%20old\">Map</a>",
                a.latitude, a.longitude);
  EXPECT_NE(html.find(expected + place), std::string::npos) << html;
  EXPECT_NE(html.find("<p><b><a href=\"http://b.example/\">(no title)</a></b><br>(no distance), (no bearing), "
                      "<a href=\"gps:smap?lat=46.0000&lon=6.0000&label=\">Map</a>, "
                      "<a href=\"gps:takeme?lat=46.0000&lon=6.0000&label=\">TakeMe</a></p>\n"),
            std::string::npos);
  EXPECT_NE(html.find("<a href=\"http://c.example/\">C</a></b><br>(no distance), (no bearing), "
                      "<a href=\"gps:smap?lat=46.0000&lon=6.0000&label=C\">"),
            std::string::npos);
  // An empty title shows the url; a bearing of -90 is west; a distance that
  // is no number counts as none.
  EXPECT_NE(html.find("<a href=\"http://d.example/\">http://d.example/</a></b><br>(no distance), -90\xC2\xB0 (W)"),
            std::string::npos);

  style.unit = DistanceUnit::Nautical;
  EXPECT_NE(ResultsPageHtml(0, 46.0, 6.0, lines, style).find("<br>0.67 nm, "), std::string::npos);
  EXPECT_EQ(CompassPointName(11.25), "N");
  EXPECT_EQ(CompassPointName(11.26), "NNE");
  EXPECT_EQ(CompassPointName(348.75), "NNW");
  EXPECT_EQ(CompassPointName(348.76), "N");
}

TEST(HoplaResultsPage, HostileServiceTextsStayText) {
  const std::vector<ResultLine> lines = {
      {"http://x.example/\"><script>alert(1)</script>", std::string("<script>alert('t')</script> & \"q\""), "1", "2"},
      {"javascript:alert(1)", std::string("click <b>me</b>"), "1", "2"},
      {"JaVaScRiPt:alert(2)", std::nullopt, "1", "2\"><img src=x onerror=alert(3)>"},
      {"http://y.example/", std::string("\"&label=evil&lat=0"), "1", "2"},
      {"java\rscript:alert(4)", std::string("cr"), "1", "2"},
      {"htt\rp://z.example/", std::string("cr2"), "1", "2"},
  };
  const std::string html = ResultsPageHtml(0, 1.0, 2.0, lines, Style());
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_EQ(html.find("<img src"), std::string::npos);
  EXPECT_EQ(html.find("<b>me"), std::string::npos);
  EXPECT_EQ(html.find("href=\"javascript"), std::string::npos);
  EXPECT_EQ(html.find("href=\"JaVaScRiPt"), std::string::npos);
  EXPECT_NE(html.find("&lt;script&gt;alert(&#39;t&#39;)&lt;/script&gt; &amp; &quot;q&quot;"), std::string::npos);
  EXPECT_NE(html.find("<p><b>click &lt;b&gt;me&lt;/b&gt;</b><br>"), std::string::npos);
  EXPECT_NE(html.find("<p><b>cr</b><br>"), std::string::npos);
  EXPECT_NE(html.find("<p><b>cr2</b><br>"), std::string::npos);
  // A title cannot forge keys of a gps: link; it comes back whole.
  const size_t at = html.find("gps:smap?lat=1.0000&lon=2.0000&label=%22%26label%3Devil%26lat%3D0\"");
  ASSERT_NE(at, std::string::npos) << html;
  const std::optional<GpsLink> link = ParseGpsLink("gps:smap?lat=1.0000&lon=2.0000&label=%22%26label%3Devil%26lat%3D0");
  ASSERT_TRUE(link);
  EXPECT_EQ(link->label, "\"&label=evil&lat=0");
  EXPECT_EQ(link->latitude, 1.0);
}

TEST(HoplaLinks, OnlyWebAndGpsLinksAreFollowedAndGpsLinksDecode) {
  EXPECT_EQ(ClassifyLink("http://a/"), LinkKind::Web);
  EXPECT_EQ(ClassifyLink("HTTPS://a/"), LinkKind::Web);
  EXPECT_EQ(ClassifyLink("gps:next?lat=1&lon=2"), LinkKind::Gps);
  for (const char* other : {"javascript:alert(1)", " java\tscript:x", "file:///etc/passwd", "data:text/html,x",
                            "skype:someone", "httpx://a/", "hopla.html", "", "//evil/", "about:blank"}) {
    EXPECT_EQ(ClassifyLink(other), LinkKind::Ignored) << other;
  }

  const std::optional<GpsLink> smap = ParseGpsLink("gps:smap?lat=46.3700&lon=-6.2300&label=Town%20Hall%2C%20%C3%A4");
  ASSERT_TRUE(smap);
  EXPECT_EQ(smap->action, GpsAction::ShowOnMap);
  EXPECT_DOUBLE_EQ(smap->latitude, 46.37);
  EXPECT_DOUBLE_EQ(smap->longitude, -6.23);
  EXPECT_EQ(smap->label, "Town Hall, \xC3\xA4");
  EXPECT_EQ(ParseGpsLink("gps:takeme?lat=1&lon=2&label=")->action, GpsAction::TakeMe);
  EXPECT_EQ(ParseGpsLink("gps:prev?lat=1&lon=2")->action, GpsAction::Previous);
  EXPECT_EQ(ParseGpsLink("gps:apoi?lon=2&lat=1")->action, GpsAction::AddPoi);
  EXPECT_EQ(ParseGpsLink("gps:nextpage?lat=1&lon=2")->action, GpsAction::Next);
  for (const char* bad : {"gps:smap?lat=1", "gps:smap?lon=1", "gps:smap?lat=abc&lon=1", "gps:smap?lat=91&lon=1",
                          "gps:smap?lat=1&lon=181", "gps:zoom?lat=1&lon=1", "gps:smap", "http://a/?lat=1&lon=2",
                          "gps:smap?flat=1&lon=2"}) {
    EXPECT_FALSE(ParseGpsLink(bad)) << bad;
  }
  // The labels the page writes come back as they were.
  for (const std::string label : {"Town Hall", "a&b=c|d%20e", "\"<x>\"", "\xC3\xA4\xE2\x82\xAC", "+ 100%"}) {
    const std::optional<GpsLink> back = ParseGpsLink("gps:smap?lat=1&lon=2&label=" + PercentEncode(label));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->label, label);
  }
}

TEST(HoplaRequests, AddressesEncodeEveryValueAndWriteSixDecimals) {
  ServiceAccount account;
  account.user = "al ice";
  account.password = "p&ss=1?#%";
  EXPECT_EQ(UploadRequestUrl(account, 46.37, -6.2),
            "http://127.0.0.1:8642/hopla/upload?user=al%20ice&password=p%26ss%3D1%3F%23%25&lat=46.370000&lon=-6.200000");
  account.baseUrl = "https://example.org/svc";
  EXPECT_EQ(SearchRequestUrl(account, 20, -0.5, 180.0),
            "https://example.org/svc/search?user=al%20ice&password=p%26ss%3D1%3F%23%25&lat=-0.500000&lon=180.000000"
            "&offset=20");
  EXPECT_EQ(FormatServiceMessage(ServiceMessage::SearchUnreachable, "refused <now>"),
            "Searching - Cannot reach the service: refused &lt;now&gt;");
  EXPECT_EQ(FormatServiceMessage(ServiceMessage::UploadDone, "http://h/"),
            "OK - Your location has been uploaded to Hopla. You can now login at http://h/ and search for URLs from a "
            "regular web browser.");
}

}  // namespace
}  // namespace tarvo
