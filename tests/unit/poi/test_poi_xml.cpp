// LOC and GPX reading and writing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/poi/poi_formats.h"

namespace tarvo {
namespace {

std::vector<PoiRecord> Sample() {
  std::vector<PoiRecord> v(3);
  v[0].name = "Fish & Chips <\"best\"> 'shop'";
  v[0].abbreviation = "F&C\"<>";
  v[0].latitude = 52.1234567;
  v[0].longitude = 4.5;
  v[1].name = "odd ]]> name ]]>";
  v[1].abbreviation = "ODD";
  v[1].latitude = -33.25;
  v[1].longitude = 151.125;
  v[2].name = "Z\xC3\xBCrich \xE2\x82\xAC";
  v[2].latitude = 47.37;
  v[2].longitude = 8.54;
  return v;
}

void ExpectSame(const std::vector<PoiRecord>& in, const PoiReadResult& out) {
  ASSERT_EQ(out.error, PoiError::None) << out.detail << " at " << out.line << ":" << out.column;
  ASSERT_EQ(out.records.size(), in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    EXPECT_EQ(out.records[i].name, in[i].name);
    EXPECT_EQ(out.records[i].abbreviation, in[i].abbreviation);
    EXPECT_NEAR(out.records[i].latitude, in[i].latitude, 0.5e-6);
    EXPECT_NEAR(out.records[i].longitude, in[i].longitude, 0.5e-6);
    EXPECT_EQ(out.records[i].number, static_cast<int>(i) + 1);
  }
}

TEST(PoiXml, RoundTripsKeepNameAbbreviationAndSixDecimals) {
  const auto in = Sample();
  const std::string loc = WriteLoc(in);
  EXPECT_EQ(loc.substr(0, 71), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<loc version=\"1.0\" src=\"Tarvo\">\n");
  EXPECT_NE(loc.find("\t<name id=\"F&amp;C&quot;&lt;&gt;\"><![CDATA[Fish & Chips <\"best\"> 'shop']]></name>\n"
                     "\t<coord lat=\"52.123457\" lon=\"4.500000\"/>\n"),
            std::string::npos);
  EXPECT_NE(loc.find("<![CDATA[odd ]]]]><![CDATA[> name ]]]]><![CDATA[>]]>"), std::string::npos);
  ExpectSame(in, ReadLoc(loc));

  const std::string gpx = WriteGpx(in);
  EXPECT_NE(gpx.find("<gpx xmlns=\"http://www.topografix.com/GPX/1/0\" "), std::string::npos);
  EXPECT_NE(gpx.find("<wpt lat=\"52.123457\" lon=\"4.500000\">\n\t<name>F&amp;C&quot;&lt;&gt;</name>\n"
                     "\t<desc>Fish &amp; Chips &lt;&quot;best&quot;&gt; &apos;shop&apos;</desc>\n</wpt>\n"),
            std::string::npos);
  ExpectSame(in, ReadGpx(gpx));

  // An empty list is a document without records.
  EXPECT_TRUE(ReadGpx(WriteGpx({})).records.empty());
  EXPECT_EQ(ReadLoc(WriteLoc({})).error, PoiError::None);
}

TEST(PoiXml, GpxFromOtherProgramsLoads) {
  // GPX 1.1 on one line, attributes in either order, CDATA, route points
  // loaded, track points not, desc naming the waypoint when it is not blank.
  const std::string gpx =
      "<?xml version='1.0' encoding='ISO-8859-1'?><gpx version='1.1' xmlns='http://www.topografix.com/GPX/1/1'>"
      "<metadata><name>header</name></metadata>"
      "<wpt lon='4.5' lat='52.1'><ele>3</ele><name>W1</name><desc><![CDATA[Caf\xE9 & bar]]></desc></wpt>"
      "<wpt lat=\"10\" lon=\"20\"><name>  Only name  </name><desc> </desc>"
      "<extensions><x:desc xmlns:x='urn:x'>not this</x:desc></extensions></wpt>"
      "<wpt lat='0' lon='0'><name>null island</name></wpt><wpt lat='1' lon='1'><desc></desc></wpt>"
      "<wpt lat='north' lon='1'><name>bad</name></wpt>"
      "<rte><rtept lat='-1.5' lon='-2.5'><name>R1</name></rtept></rte>"
      "<trk><trkseg><trkpt lat='5' lon='6'><name>T1</name></trkpt></trkseg></trk></gpx>";
  const auto r = ReadGpx(gpx);
  ASSERT_EQ(r.error, PoiError::None) << r.detail;
  EXPECT_EQ(r.read, 6u);
  ASSERT_EQ(r.records.size(), 3u);
  EXPECT_EQ(r.records[0].name, "Caf\xC3\xA9 & bar");
  EXPECT_EQ(r.records[0].abbreviation, "W1");
  EXPECT_DOUBLE_EQ(r.records[0].latitude, 52.1);
  EXPECT_EQ(r.records[1].name, "Only name");
  EXPECT_EQ(r.records[1].abbreviation, "Only name");
  EXPECT_EQ(r.records[2].name, "R1");
  EXPECT_DOUBLE_EQ(r.records[2].longitude, -2.5);

  // A long desc cut to 255 bytes loses the blank the cut ends on, so the
  // record reads back the same after a save.
  const auto cut = ReadGpx("<gpx><wpt lat='1' lon='1'><desc>" + std::string(254, 'a') + " bc</desc></wpt></gpx>");
  ASSERT_EQ(cut.records.size(), 1u);
  EXPECT_EQ(cut.records[0].name, std::string(254, 'a'));
  EXPECT_EQ(ReadGpx(WriteGpx(cut.records)).records[0].name, cut.records[0].name);

  // GPX 1.0 without a namespace, one element per line, as older versions wrote it.
  const auto old = ReadGpx(
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<gpx version=\"1.0\">\n<wpt lat=\"1.000000\" "
      "lon=\"2.000000\">\n\t<name>AB</name>\n\t<desc>A \xB0 B</desc>\n</wpt>\n</gpx>\n");
  ASSERT_EQ(old.records.size(), 1u);
  EXPECT_EQ(old.records[0].name, "A \xC2\xB0 B");

  // Declared ISO-8859-1 but written in Windows-1252: the euro sign and the
  // curly quotes come out as meant, not as C1 control characters.
  const auto cp = ReadGpx("<?xml version='1.0' encoding='ISO-8859-1'?><gpx><wpt lat='1' lon='1'>"
                          "<desc>\x80 \x93q\x94</desc></wpt></gpx>");
  ASSERT_EQ(cp.records.size(), 1u);
  EXPECT_EQ(cp.records[0].name, "\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D");
}

TEST(PoiXml, LocFromOtherProgramsLoads) {
  const std::string loc =
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?><loc version=\"1.0\" src=\"other\">"
      "<waypoint><coord lon=\"4.5\" lat=\"52.1\"/><name id=\"GC1\">Plain \x93text\x94</name></waypoint>"
      "<waypoint><name id=\"IDONLYLONGER\"><![CDATA[]]></name><coord lat=\"1\" lon=\"2\"/><type>x</type></waypoint>"
      "<waypoint><name id=\"Z\">zero</name><coord lat=\"0\" lon=\"0\"/></waypoint>"
      "<waypoint><name id=\"\"></name><coord lat=\"3\" lon=\"4\"/></waypoint>"
      "</loc>";
  const auto r = ReadLoc(loc);
  ASSERT_EQ(r.error, PoiError::None) << r.detail;
  EXPECT_EQ(r.read, 4u);
  ASSERT_EQ(r.records.size(), 2u);
  EXPECT_EQ(r.records[0].name, "Plain \xE2\x80\x9Ctext\xE2\x80\x9D");
  EXPECT_EQ(r.records[0].abbreviation, "GC1");
  EXPECT_DOUBLE_EQ(r.records[0].latitude, 52.1);
  EXPECT_EQ(r.records[1].name, "IDONLYLONGER");  // no name text: the id names it
  EXPECT_EQ(r.records[1].abbreviation, "IDONLYLON");
}

TEST(PoiXml, MalformedFileKeepsTheRecordsBeforeTheFaultAndSaysWhere) {
  std::string gpx = WriteGpx(Sample());
  const size_t third = gpx.find("<wpt", gpx.find("<wpt", gpx.find("<wpt") + 1) + 1);
  gpx.insert(gpx.find("<desc>", third), "<b>");  // the third waypoint never closes properly
  const auto r = ReadGpx(gpx);
  EXPECT_EQ(r.error, PoiError::Malformed);
  ASSERT_EQ(r.records.size(), 2u);
  EXPECT_EQ(r.records[1].name, "odd ]]> name ]]>");
  EXPECT_EQ(r.line, 18);  // the </wpt> that closes nothing
  EXPECT_GT(r.column, 1);
  EXPECT_FALSE(r.detail.empty());

  const auto truncated = ReadLoc(WriteLoc(Sample()).substr(0, 300));
  EXPECT_EQ(truncated.error, PoiError::Malformed);
  EXPECT_EQ(truncated.records.size(), 1u);

  EXPECT_EQ(ReadGpx("<kml><Placemark/></kml>").error, PoiError::NotPoiFile);
  EXPECT_EQ(ReadLoc("   \n").error, PoiError::None);  // an empty file is an empty list
  EXPECT_EQ(ReadGpx("<gpx>Caf\xE9</gpx>").error, PoiError::Malformed);  // not UTF-8, no declaration
}

}  // namespace
}  // namespace tarvo
