// Our files in other programs and theirs in ours: gpsbabel reads the GPX,
// LOC and CSV we write with the same names and positions, we read the GPX
// 1.1 and LOC files gpsbabel writes from them, and xmllint finds our XML
// well-formed with the GPX 1.0 namespace on the root.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/poi/poi_file.h"
#include "tests/unit/poi/poi_test_util.h"

namespace tarvo {
namespace {

struct Row {
  double latitude = 0, longitude = 0;
  std::string name, description;
};

// gpsbabel's unicsv output: a header line, then No,Latitude,Longitude,Name,...,Description.
std::vector<Row> ParseUnicsv(const std::string& text) {
  std::vector<std::vector<std::string>> lines;
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') fields.back() += text[++i];
      else if (c == '"') quoted = false;
      else fields.back() += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '\n') {
      lines.push_back(fields);
      fields.assign(1, "");
    } else if (c != '\r') {
      fields.back() += c;
    }
  }
  std::vector<Row> rows;
  if (lines.empty()) return rows;
  const auto& header = lines[0];
  const auto column = [&](const std::string& name) {
    for (size_t k = 0; k < header.size(); ++k) if (header[k] == name) return k;
    return header.size();
  };
  const size_t lat = column("Latitude"), lon = column("Longitude"), nm = column("Name"), desc = column("Description");
  for (size_t i = 1; i < lines.size(); ++i) {
    const auto get = [&](size_t k) { return k < lines[i].size() ? lines[i][k] : std::string(); };
    rows.push_back({std::stod(get(lat)), std::stod(get(lon)), get(nm), get(desc)});
  }
  return rows;
}

class PoiPeers : public test::PoiTempDir {
 protected:
  void SetUp() override {
    PoiTempDir::SetUp();
    ASSERT_EQ(Run("command -v gpsbabel"), 0) << "gpsbabel (Debian gpsbabel) is needed";
    ASSERT_EQ(Run("command -v xmllint"), 0) << "xmllint (Debian libxml2-utils) is needed";
    const char* names[] = {"Fish & Chips", "a, b <c>", "Z\xC3\xBCrich \xE2\x82\xAC", "odd ]]> name", "Caf\xC3\xA9"};
    const char* abbreviations[] = {"FC", "AB", "ZH", "ODD", "CAFE"};
    for (int i = 0; i < 5; ++i) {
      records_.push_back(PoiRecord{i + 1, false, -40.123456 + 20.5 * i, 170.654321 - 80.25 * i, 0, 0, names[i],
                                   abbreviations[i]});
    }
  }

  std::string Write(PoiFileFormat format, const std::string& name) {
    const std::string path = Path(name);
    EXPECT_TRUE(WritePoiFile(path, records_, format).ok());
    return path;
  }

  std::vector<Row> Babel(const std::string& input, const std::string& path) {
    std::string out;
    EXPECT_EQ(Run("gpsbabel -i " + input + " -f " + path + " -o unicsv -F -", &out), 0) << lastError_;
    return ParseUnicsv(out);
  }

  void ExpectRows(const std::vector<Row>& rows, double tolerance) {
    ASSERT_EQ(rows.size(), records_.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].description, records_[i].name);
      EXPECT_EQ(rows[i].name, records_[i].abbreviation);
      EXPECT_NEAR(rows[i].latitude, records_[i].latitude, tolerance);
      EXPECT_NEAR(rows[i].longitude, records_[i].longitude, tolerance);
    }
  }

  void ExpectOurs(const PoiReadResult& read) {
    ASSERT_EQ(read.error, PoiError::None) << read.detail;
    ASSERT_EQ(read.records.size(), records_.size());
    for (size_t i = 0; i < records_.size(); ++i) {
      EXPECT_EQ(read.records[i].name, records_[i].name);
      EXPECT_NEAR(read.records[i].latitude, records_[i].latitude, 0.5e-6);
      EXPECT_NEAR(read.records[i].longitude, records_[i].longitude, 0.5e-6);
    }
  }

  std::vector<PoiRecord> records_;
};

TEST_F(PoiPeers, GpsbabelReadsOurGpxLocAndCsv) {
  ExpectRows(Babel("gpx", Write(PoiFileFormat::Gpx, "ours.gpx")), 0.5e-6);
  ExpectRows(Babel("geo", Write(PoiFileFormat::Loc, "ours.loc")), 0.5e-6);
  const std::string style = std::string(TARVO_SOURCE_DIR) + "/tests/unit/poi/tarvo-csv.style";
  ExpectRows(Babel("xcsv,style=" + style, Write(PoiFileFormat::Csv, "ours.csv")), 0.5e-5);
}

TEST_F(PoiPeers, WeReadTheGpx11AndLocThatGpsbabelWrites) {
  const std::string ours = Write(PoiFileFormat::Gpx, "ours.gpx");
  ASSERT_EQ(Run("gpsbabel -i gpx -f " + ours + " -o gpx,gpxver=1.1 -F " + Path("theirs.gpx")), 0) << lastError_;
  ASSERT_EQ(Run("gpsbabel -i gpx -f " + ours + " -o geo -F " + Path("theirs.loc")), 0) << lastError_;
  ASSERT_NE(Slurp(Path("theirs.gpx")).find("http://www.topografix.com/GPX/1/1"), std::string::npos);
  ExpectOurs(ReadPoiFile(Path("theirs.gpx"), PoiFileFormat::Gpx));
  ExpectOurs(ReadPoiFile(Path("theirs.loc"), PoiFileFormat::Loc));
}

TEST_F(PoiPeers, OurXmlIsWellFormedAndTheGpxIsInTheGpx10Namespace) {
  const std::string gpx = Write(PoiFileFormat::Gpx, "ours.gpx"), loc = Write(PoiFileFormat::Loc, "ours.loc");
  EXPECT_EQ(Run("xmllint --noout " + gpx + " " + loc), 0) << lastError_;
  std::string ns;
  EXPECT_EQ(Run("xmllint --xpath 'namespace-uri(/*)' " + gpx, &ns), 0) << lastError_;
  EXPECT_EQ(ns, "http://www.topografix.com/GPX/1/0\n");
  std::string version;
  EXPECT_EQ(Run("xmllint --xpath 'string(/*/@version)' " + gpx, &version), 0);
  EXPECT_EQ(version, "1.0\n");
}

}  // namespace
}  // namespace tarvo
