// CSV and ASC reading and writing.
#include <gtest/gtest.h>

#include <string>

#include "core/poi/poi_formats.h"

namespace tarvo {
namespace {

PoiReadResult Csv(const std::string& text) { return ReadCsv(text, CsvOrder::NameLatLon); }

TEST(PoiCsv, HeaderLinesSetTheFieldOrderAndMakeNoRecord) {
  auto r = Csv("name,long,lat\n\"A\",4.5,52.1\n");
  ASSERT_EQ(r.records.size(), 1u);
  EXPECT_EQ(r.records[0].name, "A");
  EXPECT_DOUBLE_EQ(r.records[0].latitude, 52.1);
  EXPECT_DOUBLE_EQ(r.records[0].longitude, 4.5);

  r = Csv("NAME\nB,1,2\n");  // only "name": name, latitude, longitude
  ASSERT_EQ(r.records.size(), 1u);
  EXPECT_DOUBLE_EQ(r.records[0].latitude, 1);
  EXPECT_DOUBLE_EQ(r.records[0].longitude, 2);

  r = Csv("Longitude,Latitude,Name\n4.5,52.1,C\n");
  ASSERT_EQ(r.records.size(), 1u);
  EXPECT_EQ(r.records[0].name, "C");
  EXPECT_DOUBLE_EQ(r.records[0].latitude, 52.1);

  r = Csv("lat,lon,name\n52.1,4.5,D\n");
  ASSERT_EQ(r.records.size(), 1u);
  EXPECT_DOUBLE_EQ(r.records[0].longitude, 4.5);

  // An unquoted first name beginning with "lat" is taken as a header: the
  // line is skipped and the order becomes latitude, longitude, name.
  r = Csv("Latvia,56.9,24.1\n1,2,E\n");
  ASSERT_EQ(r.records.size(), 1u);
  EXPECT_EQ(r.records[0].name, "E");
  EXPECT_DOUBLE_EQ(r.records[0].latitude, 1);

  // A header is recognised only before the first record.
  r = Csv("F,1,2\nname,long,lat\n");
  ASSERT_EQ(r.records.size(), 2u);
  EXPECT_EQ(r.records[1].name, "name");
}

TEST(PoiCsv, CommentsEmptyLinesAndSparseLines) {
  const auto r = Csv(";comment\n\n,\nG,1\nH,1,2,ABCDEFGHIJKL,extra\nI,x7,3.5e1 m\r\n");
  ASSERT_EQ(r.records.size(), 4u);
  EXPECT_EQ(r.records[0].name, "");  // a single comma: empty name at 0/0
  EXPECT_EQ(r.records[0].latitude, 0.0);
  EXPECT_EQ(r.records[0].longitude, 0.0);
  EXPECT_DOUBLE_EQ(r.records[1].latitude, 1);
  EXPECT_EQ(r.records[1].longitude, 0.0);
  EXPECT_EQ(r.records[2].abbreviation, "ABCDEFGHI");
  EXPECT_EQ(r.records[3].latitude, 0.0);  // no number
  EXPECT_DOUBLE_EQ(r.records[3].longitude, 35);  // longest leading number; CR LF line end
  EXPECT_EQ(r.records[3].number, 4);
  EXPECT_EQ(r.read, 4u);
}

TEST(PoiCsv, QuotesCommasAndLongLines) {
  auto r = Csv("\"a, b\",1,2\n\"He said \"\"hi\"\"\",3,4\n\"\",5,6\nx\"y\"z,7,8\n");
  ASSERT_EQ(r.records.size(), 4u);
  EXPECT_EQ(r.records[0].name, "a, b");
  EXPECT_EQ(r.records[1].name, "He said \"hi\"");
  EXPECT_EQ(r.records[2].name, "");
  EXPECT_EQ(r.records[3].name, "xyz");  // lone quotes are dropped

  // Names are cut to 254 bytes; a line above 511 bytes is read in pieces.
  r = Csv(std::string(600, 'n') + ",1,2\n");
  ASSERT_EQ(r.records.size(), 2u);
  EXPECT_EQ(r.records[0].name.size(), 254u);
  EXPECT_EQ(r.records[1].name, std::string(89, 'n'));
  EXPECT_DOUBLE_EQ(r.records[1].latitude, 1);
}

TEST(PoiCsv, RoundTripsKeepWhatEachFormatHolds) {
  std::vector<PoiRecord> in(3);
  in[0].name = "Fish \"&\" Chips, Ltd";
  in[0].abbreviation = "F\"C";
  in[0].latitude = 52.123456;
  in[0].longitude = -4.987654;
  in[1].name = "Latvia";
  in[1].latitude = 56.9;
  in[1].longitude = 24.1;
  in[2].name = ";not a comment";
  in[2].latitude = -33.5;
  in[2].longitude = 151.25;

  const std::string csv = WriteCsv(in, false);
  EXPECT_EQ(csv.substr(0, csv.find('\n')), "\"Fish \"\"&\"\" Chips, Ltd\",52.12346,-4.98765,\"F\"\"C\"");
  auto out = Csv(csv);
  ASSERT_EQ(out.records.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(out.records[i].name, in[i].name);
    EXPECT_EQ(out.records[i].abbreviation, in[i].abbreviation);
    EXPECT_NEAR(out.records[i].latitude, in[i].latitude, 0.5e-5);
    EXPECT_NEAR(out.records[i].longitude, in[i].longitude, 0.5e-5);
  }

  // Our writer quotes every name, so a first record named like a header
  // stays a record.
  for (const char* name : {"Name", "Latvia", "longitude"}) {
    std::vector<PoiRecord> one(1);
    one[0].name = name;
    one[0].latitude = 1;
    out = Csv(WriteCsv(one, false));
    ASSERT_EQ(out.records.size(), 1u) << name;
    EXPECT_EQ(out.records[0].name, name);
  }

  const std::string asc = WriteCsv(in, true);
  EXPECT_EQ(asc.substr(0, asc.find('\n')), "-4.98765,52.12346,\"Fish \"\"&\"\" Chips, Ltd\"");
  out = ReadAsc(asc);
  ASSERT_EQ(out.records.size(), 3u);
  EXPECT_EQ(out.records[0].name, in[0].name);
  EXPECT_EQ(out.records[0].abbreviation, "");  // ASC does not hold it
  EXPECT_NEAR(out.records[0].longitude, in[0].longitude, 0.5e-5);
  EXPECT_EQ(out.records[2].name, in[2].name);
}

TEST(PoiCsv, OlderFilesInWindows1252ReadAsUtf8) {
  const auto r = Csv("\"Caf\xE9 \x80\",1,2\n\"Z\xC3\xBCrich\",3,4\n");
  ASSERT_EQ(r.records.size(), 2u);
  EXPECT_EQ(r.records[0].name, "Caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(r.records[1].name, "Z\xC3\xBCrich");  // UTF-8 stays as it is
  // A byte Windows-1252 leaves unassigned reads as a blank, which cleaning
  // again keeps (the fuzzer found it read as a C1 control once).
  const auto unassigned = Csv("\"la\x8Ft\",1,2\n");
  ASSERT_EQ(unassigned.records.size(), 1u);
  EXPECT_EQ(unassigned.records[0].name, "la t");
  EXPECT_EQ(CleanPoiText(unassigned.records[0].name, kPoiNameMax), "la t");
}

}  // namespace
}  // namespace tarvo
