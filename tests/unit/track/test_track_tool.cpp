// tarvo-track as a user runs it: a real process on files in a temporary folder.
#include <string>

#include "tests/common/shared_data.h"
#include "tests/unit/track/track_test_util.h"

namespace {

using tarvo::test::Gga;
using tarvo::test::Rmc;

class TrackTool : public tarvo::test::TrackTempDir {
 protected:
  int Tool(const std::string& args, std::string* out = nullptr) {
    return Run(std::string(TARVO_BINARY_DIR) + "/tools/track/tarvo-track " + args, out);
  }
};

TEST_F(TrackTool, RecordsALogAsIfLive) {
  // GGA and RMC every second for 60 s, moving 11 m a second, plus other sentences.
  std::string log = "$GPGSA,A,3,01,02,03,04,,,,,,,,,1.5,0.9,1.2*3B\n";
  for (int s = 0; s < 60; ++s) {
    log += Gga(36000 + s, 46.0 + s * 0.0001, 14.0, 100.0 + s) + "\r\n";
    log += Rmc(36000 + s, 46.0 + s * 0.0001, 14.0) + "\r\n";
  }
  Write(Path("log.nmea"), log);
  std::string out;
  ASSERT_EQ(Tool(Path("log.nmea") + " --interval 10 --track " + Path("t.nmea") + " --gpx " + Path("t.gpx") + " --stats",
                 &out),
            0)
      << lastError_;
  EXPECT_EQ(out, "Items: 6\nDistance: 0.61 km\nTime: 00:00:55\nAvg. Speed: 40.0 km/h\nAltitude: 100 m - 159 m\n");
  const std::vector<std::string> lines = Lines(Slurp(Path("t.nmea")));
  EXPECT_EQ(lines.size(), 66u);  // every GGA, six RMC
  EXPECT_EQ(lines[1], Rmc(36000, 46.0, 14.0));
  const std::string gpx = Slurp(Path("t.gpx"));
  EXPECT_NE(gpx.find("<trkpt lat=\"46.0011000\" lon=\"14.0000000\"><ele>111.0</ele><time>2024-06-15T10:00:11Z</time>"),
            std::string::npos);

  // Without any RMC the GGA lines are the points.
  std::string ggaOnly;
  for (int s = 0; s < 30; ++s) ggaOnly += Gga(36000 + s, 46.0 + s * 0.0001, 14.0, 50.0) + "\n";
  Write(Path("gga.nmea"), ggaOnly);
  ASSERT_EQ(Tool(Path("gga.nmea") + " --interval 2 --min-distance 0 --stats", &out), 0) << lastError_;
  EXPECT_EQ(out.substr(0, 10), "Items: 10\n");
}

TEST_F(TrackTool, AVoidRmcDateNeverSendsTimesBack) {
  // A receiver without a fix reports 1980 in its void RMC between two fixes.
  Write(Path("log.nmea"), Rmc(36000, 46.0, 14.0, "150624") + "\n" + Gga(36001, 46.001, 14.0, 10.0) + "\n" +
                              Rmc(36002, 0.0, 0.0, "060180", false) + "\n" + Gga(36003, 46.002, 14.0, 20.0) + "\n" +
                              Rmc(36004, 46.003, 14.0, "150624") + "\n");
  ASSERT_EQ(Tool(Path("log.nmea") + " --interval 0 --min-distance 0 --track " + Path("t.nmea") + " --gpx " +
                 Path("t.gpx")),
            0)
      << lastError_;
  const std::string gpx = Slurp(Path("t.gpx"));
  EXPECT_EQ(gpx.find("1980"), std::string::npos) << gpx;
  EXPECT_EQ(gpx.find("<trkseg>", gpx.find("<trkseg>") + 1), std::string::npos) << "one session";
  EXPECT_EQ(Lines(Slurp(Path("t.nmea"))).size(), 4u);  // the void RMC is not kept
}

TEST_F(TrackTool, TheWindowsPositionSourceRuleAndTheDateOfUndatedGga) {
  // One RMC to 24 GGA: the window switches to GGA, and so does the tool,
  // for the whole log.
  std::string sparse = Rmc(36000, 46.0, 14.0) + "\n";
  for (int s = 0; s < 24; ++s) sparse += Gga(36000 + s, 46.0 + s * 0.0001, 14.0, 50.0) + "\n";
  Write(Path("sparse.nmea"), sparse);
  std::string out;
  ASSERT_EQ(Tool(Path("sparse.nmea") + " --interval 0 --min-distance 0 --stats", &out), 0) << lastError_;
  EXPECT_EQ(out.substr(0, 10), "Items: 24\n");

  // GGA only, across midnight: dated by --date, else by the log's
  // modification day (UTC), and running on into the next day.
  std::string ggaOnly;
  for (int s = 86390; s < 86400 + 2; ++s) ggaOnly += Gga(s % 86400, 46.0 + s * 1e-5, 14.0, 50.0) + "\n";
  Write(Path("gga.nmea"), ggaOnly);
  ASSERT_EQ(Tool(Path("gga.nmea") + " --interval 0 --min-distance 0 --date 2023-03-05 --gpx " + Path("d.gpx")), 0)
      << lastError_;
  std::string gpx = Slurp(Path("d.gpx"));
  EXPECT_NE(gpx.find("<time>2023-03-05T23:59:59Z</time>"), std::string::npos) << gpx;
  EXPECT_NE(gpx.find("<time>2023-03-06T00:00:01Z</time>"), std::string::npos) << gpx;
  ASSERT_EQ(Run("TZ=UTC touch -d '2021-07-01 18:00' " + Path("gga.nmea")), 0);
  ASSERT_EQ(Tool(Path("gga.nmea") + " --interval 0 --min-distance 0 --gpx " + Path("m.gpx")), 0) << lastError_;
  gpx = Slurp(Path("m.gpx"));
  EXPECT_NE(gpx.find("<time>2021-07-01T23:59:59Z</time>"), std::string::npos) << gpx;
  EXPECT_EQ(gpx.find("1970"), std::string::npos);

  EXPECT_EQ(Tool(Path("gga.nmea") + " --date 2023-02-30"), 2);
  EXPECT_EQ(Tool(Path("gga.nmea") + " --date 5.3.2023"), 2);
}

TEST_F(TrackTool, BadArgumentsAndFiles) {
  Write(Path("log.nmea"), Rmc(0, 46.0, 14.0) + "\n");
  EXPECT_EQ(Tool(""), 2);
  EXPECT_EQ(Tool(Path("log.nmea") + " --interval x"), 2);
  EXPECT_EQ(Tool(Path("log.nmea") + " --bogus"), 2);
  EXPECT_EQ(Tool(Path("missing.nmea") + " --stats"), 3);
  Write(Path("old.gpx"), "old");
  EXPECT_EQ(Tool(Path("log.nmea") + " --track " + Path("no/dir/t.nmea")), 3);
  EXPECT_EQ(Tool(Path("log.nmea") + " --gpx " + Path("no/dir/t.gpx")), 3);
  EXPECT_EQ(Slurp(Path("old.gpx")), "old");
}

TEST_F(TrackTool, CorpusLogsGiveValidGpxThatGpsbabelReads) {
  TARVO_NEEDS_SHARED(tarvo::test::SharedPath("corpus/nmea"));
  const std::string xsd = tarvo::test::SharedPath("schemas/gpx-1.1.xsd").string();
  for (const auto& entry : std::filesystem::directory_iterator(tarvo::test::SharedPath("corpus/nmea"))) {
    if (entry.path().extension() != ".log") continue;
    SCOPED_TRACE(entry.path().string());
    ASSERT_EQ(Tool(entry.path().string() + " --interval 0 --min-distance 0 --gpx " + Path("c.gpx")), 0) << lastError_;
    EXPECT_EQ(Run("xmllint --noout --schema " + xsd + " " + Path("c.gpx")), 0) << lastError_;
    std::string ours = Slurp(Path("c.gpx")), csv;
    size_t points = 0;
    for (size_t p = 0; (p = ours.find("<trkpt ", p)) != std::string::npos; ++p) ++points;
    ASSERT_EQ(Run("gpsbabel -t -i gpx -f " + Path("c.gpx") + " -o unicsv -F -", &csv), 0) << lastError_;
    EXPECT_EQ(Lines(csv).size(), points + 1);
  }
}

}  // namespace
