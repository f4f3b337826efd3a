// The GPX export: its content, the schema, and GPSBabel reading it back.
#include <string>

#include "core/track/track_recorder.h"
#include "tests/common/shared_data.h"
#include "tests/unit/track/track_test_util.h"

namespace tarvo {
namespace {

using test::Gga;
using test::Rmc;

class Gpx : public test::TrackTempDir {
 protected:
  // RMC points at 0, 3, 6 s, then after a pause of two minutes at 126, 129 s,
  // each with the GGA of its second before it.
  std::unique_ptr<TrackRecorder> RecordTwoSessions() {
    TrackSettings settings;
    settings.path = Path("t.nmea");
    settings.active = true;
    settings.intervalSeconds = 2;
    settings.minDistance = 0;
    auto r = std::make_unique<TrackRecorder>(settings);
    EXPECT_TRUE(r->RebuildStatistics(false));
    for (int s : {0, 3, 6, 126, 129}) {
      const double lat = 46.0 + s * 0.0001;
      const int64_t t = int64_t{19889} * 86400 + 43200 + s;
      r->RecordSentence({Gga(43200 + s, lat, 14.0, 500.0 + s), true, true, t, {lat, 14.0}, 500.0 + s}, s * 1000);
      r->RecordSentence({Rmc(43200 + s, lat, 14.0), false, true, t, {lat, 14.0}, 0.0}, s * 1000);
    }
    return r;
  }
};

TEST_F(Gpx, OneSegmentPerSessionWithEveryValue) {
  auto r = RecordTwoSessions();
  ASSERT_TRUE(r->ExportGpx(Path("t.gpx"))) << r->lastError();
  const std::string gpx = Slurp(Path("t.gpx"));
  EXPECT_FALSE(std::filesystem::exists(Path("t.gpx.tmp")));
  size_t segments = 0, points = 0;
  for (size_t p = 0; (p = gpx.find("<trkseg>", p)) != std::string::npos; ++p) ++segments;
  for (size_t p = 0; (p = gpx.find("<trkpt ", p)) != std::string::npos; ++p) ++points;
  EXPECT_EQ(segments, 2u);
  EXPECT_EQ(points, 5u);
  EXPECT_NE(gpx.find("<trkpt lat=\"46.0003000\" lon=\"14.0000000\"><ele>503.0</ele>"
                     "<time>2024-06-15T12:00:03Z</time><fix>3d</fix><sat>8</sat><hdop>0.9</hdop>"
                     "<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>6.43</gpxtpx:speed>"
                     "<gpxtpx:course>87.0</gpxtpx:course></gpxtpx:TrackPointExtension></extensions></trkpt>"),
            std::string::npos)
      << gpx;

  // An altitude of 90 digits (the sentence has room for it) is written whole.
  const std::string huge = "1" + std::string(89, '0');
  const std::string line = test::WithChecksum("GPGGA,120500,,,,,1,,," + huge + ",M,,,,");
  r->SetPositionSourceRmc(false);
  r->RecordSentence({line, true, true, 1718453100, {46.0, 14.0}, 1e89}, 500000);
  ASSERT_TRUE(r->ExportGpx(Path("t.gpx")));
  const std::string withHuge = Slurp(Path("t.gpx"));
  const size_t ele = withHuge.rfind("<ele>");
  ASSERT_NE(ele, std::string::npos);
  EXPECT_GT(withHuge.find("</ele>", ele) - ele, 5u + 80);  // all digits and ".0", not cut at a buffer
  EXPECT_EQ(withHuge.substr(withHuge.size() - 7), "</gpx>\n");

  // An unwritable destination fails and leaves nothing behind.
  EXPECT_FALSE(r->ExportGpx(Path("no/folder/t.gpx")));
  EXPECT_FALSE(r->lastError().empty());
}

TEST_F(Gpx, ValidAndReadBackByPeers) {
  TARVO_NEEDS_SHARED(test::SharedPath("schemas/gpx-1.1.xsd"));
  auto r = RecordTwoSessions();
  ASSERT_TRUE(r->ExportGpx(Path("t.gpx")));
  EXPECT_EQ(Run("xmllint --noout --schema " + test::SharedPath("schemas/gpx-1.1.xsd").string() + " " + Path("t.gpx")),
            0)
      << lastError_;
  std::string csv;
  ASSERT_EQ(Run("gpsbabel -t -i gpx -f " + Path("t.gpx") + " -o unicsv,utc=0 -F -", &csv), 0) << lastError_;
  std::erase(csv, '\r');
  EXPECT_EQ(csv,
            "No,Latitude,Longitude,Altitude,FIX,HDOP,Satellites,Date,Time\n"
            "1,46.000000,14.000000,500.0,\"3d\",0.90,8,2024/06/15,12:00:00\n"
            "2,46.000300,14.000000,503.0,\"3d\",0.90,8,2024/06/15,12:00:03\n"
            "3,46.000600,14.000000,506.0,\"3d\",0.90,8,2024/06/15,12:00:06\n"
            "4,46.012600,14.000000,626.0,\"3d\",0.90,8,2024/06/15,12:02:06\n"
            "5,46.012900,14.000000,629.0,\"3d\",0.90,8,2024/06/15,12:02:09\n");
}

}  // namespace
}  // namespace tarvo
