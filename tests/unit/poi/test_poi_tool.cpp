// tarvo-poi as a user runs it: a real process on files in a temporary folder.
#include <gtest/gtest.h>

#include <string>

#include "tests/unit/poi/poi_test_util.h"

namespace {

class PoiTool : public tarvo::test::PoiTempDir {
 protected:
  int Tool(const std::string& args, std::string* out = nullptr) {
    return Run(std::string(TARVO_BINARY_DIR) + "/tools/poi/tarvo-poi " + args, out);
  }
};

TEST_F(PoiTool, ConvertsThroughEveryFormatAndCounts) {
  Write(Path("in.csv"), "name,long,lat\n\"Fish & Chips\",4.5,52.1\n,\n\"B\",1,2,\"b\"\n");
  std::string out;
  ASSERT_EQ(Tool(Path("in.csv") + " " + Path("a.gpx"), &out), 0) << lastError_;
  EXPECT_EQ(out, "read 3, kept 3, written 3\n");
  ASSERT_EQ(Tool(Path("a.gpx") + " " + Path("b.loc"), &out), 0) << lastError_;
  EXPECT_EQ(out, "read 3, kept 2, written 2\n");  // the empty name at 0/0 is dropped
  ASSERT_EQ(Tool(Path("b.loc") + " " + Path("c.txt") + " --to asc", &out), 0) << lastError_;
  EXPECT_EQ(Slurp(Path("c.txt")), "4.50000,52.10000,\"Fish & Chips\"\n1.00000,2.00000,\"B\"\n");
  ASSERT_EQ(Tool("--from asc " + Path("c.txt") + " " + Path("d.csv"), &out), 0) << lastError_;

  ASSERT_EQ(Tool("--list " + Path("b.loc"), &out), 0);
  EXPECT_EQ(out, "Fish & Chips\t52.100000\t4.500000\t\nB\t2.000000\t1.000000\tb\n");
  ASSERT_EQ(Tool("--list " + Path("d.csv"), &out), 0);
  EXPECT_EQ(out, "Fish & Chips\t52.100000\t4.500000\t\nB\t2.000000\t1.000000\t\n");
}

TEST_F(PoiTool, BadInputIsReportedAndTheOutputLeftAlone) {
  Write(Path("bad.gpx"), "<gpx><wpt lat=\"1\" lon=\"2\"><name>A</name></wpt>\n<wpt lat=\"3\" lon=\"4\"><name>B</nam></wpt>");
  Write(Path("out.csv"), "old\n");
  std::string out;
  EXPECT_EQ(Tool(Path("bad.gpx") + " " + Path("out.csv"), &out), 1);
  EXPECT_NE(lastError_.find("bad.gpx:2:"), std::string::npos) << lastError_;
  EXPECT_NE(lastError_.find("stopped after 1 records"), std::string::npos) << lastError_;
  EXPECT_EQ(Slurp(Path("out.csv")), "old\n");
  EXPECT_EQ(Tool("--list " + Path("bad.gpx"), &out), 1);
  EXPECT_EQ(out, "A\t1.000000\t2.000000\tA\n");  // what was read before the fault

  EXPECT_EQ(Tool(Path("missing.csv") + " " + Path("x.csv")), 3);
  EXPECT_FALSE(std::filesystem::exists(Path("missing.csv")));  // not made by the tool
  EXPECT_EQ(Tool(Path("out.csv") + " " + Path("no/folder/x.gpx")), 3);
  EXPECT_EQ(Tool(Path("out.csv")), 2);
  EXPECT_EQ(Tool("--to kml " + Path("out.csv") + " " + Path("x.kml")), 2);
}

}  // namespace
