// The status page's texts and the NMEA log filter.
#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "core/geo/units.h"
#include "core/gps/fix_texts.h"
#include "core/gps/nmea_log.h"

namespace tarvo {
namespace {

TEST(FixTexts, TimeIsEmptyWithoutAFixAndMarkedUtc) {
  EXPECT_EQ(FixTimeText(0, false), "");
  EXPECT_EQ(FixTimeText(0, true), "");
  // 2023-11-14 22:13:20 UTC
  EXPECT_EQ(FixTimeText(1700000000, false), "22:13:20 UTC");
  setenv("TZ", "CET-1", 1);
  tzset();
  EXPECT_EQ(FixTimeText(1700000000, true), "23:13:20");
  unsetenv("TZ");
  tzset();
}

TEST(FixTexts, AltitudeOffsetCountsOnlyAwayFromZeroZero) {
  Fix fix;
  fix.altitude = 545.4;
  EXPECT_EQ(AltitudeText(fix, 40, DistanceUnit::Metric), "545 m");  // 0/0: no offset
  fix.position = {48.1, 11.5};
  EXPECT_EQ(AltitudeText(fix, 40, DistanceUnit::Metric), "505 m");
  EXPECT_EQ(AltitudeText(fix, 0, DistanceUnit::Imperial), "1789 ft");  // 545.4 * 3.2808, truncated
  EXPECT_EQ(AltitudeText(fix, 0, DistanceUnit::Nautical), "0.29 nm");
}

TEST(FixTexts, DopLineWithAccuracyAndReceiverError) {
  Fix fix;
  fix.hdop = 0.9;
  fix.vdop = 1.2;
  fix.pdop = 1.5;
  EXPECT_EQ(DopLineText(fix, 10.0, DistanceUnit::Metric), "hdop: 0.9 (9.0 m), vdop: 1.2, pdop: 1.5");
  fix.horizontalError = 3.44;
  EXPECT_EQ(DopLineText(fix, 10.0, DistanceUnit::Metric),
            "hdop: 0.9 (9.0 m), vdop: 1.2, pdop: 1.5, Err: 3.4 m");
  EXPECT_EQ(DopLineText(fix, 10.0, DistanceUnit::Imperial),
            "hdop: 0.9 (30 ft), vdop: 1.2, pdop: 1.5, Err: 11 ft");
}

TEST(FixTexts, FixModeAndCourse) {
  Fix dop;
  EXPECT_EQ(FixModeText(dop), "");
  dop.mode = 1;
  EXPECT_EQ(FixModeText(dop), "");
  dop.mode = 2;
  EXPECT_EQ(FixModeText(dop), "2D");
  dop.mode = 3;
  EXPECT_EQ(FixModeText(dop), "3D");
  EXPECT_EQ(CourseText(84.4), "84\u00B0");
  EXPECT_EQ(CourseText(359.6), "360\u00B0");
}

TEST(FixTexts, SignalBarsColoursAndLabels) {
  SatelliteView view;
  const int16_t snrs[] = {19, 20, 32, 33, 0};
  for (int i = 0; i < 5; ++i) {
    view.satellites[i].prn = static_cast<int16_t>(i + 1);
    view.satellites[i].snr = snrs[i];
  }
  view.satellites[6].prn = 0;  // signal without a PRN
  view.satellites[6].snr = 40;
  const SignalBars bars = SignalBarsOf(view);
  EXPECT_EQ(bars.bars[0].colour, BarColour::Red);
  EXPECT_EQ(bars.bars[1].colour, BarColour::Blue);
  EXPECT_EQ(bars.bars[2].colour, BarColour::Blue);
  EXPECT_EQ(bars.bars[3].colour, BarColour::Green);
  EXPECT_EQ(bars.bars[3].label, "4");
  EXPECT_EQ(bars.bars[4].value, 0);  // a PRN with signal 0: empty bar, no label
  EXPECT_EQ(bars.bars[4].label, "");
  EXPECT_EQ(bars.bars[6].value, 0);
  EXPECT_EQ(bars.inView, 4);
}

TEST(NmeaLogFilter, SentenceTypeWithAnyTalker) {
  EXPECT_EQ(LogCategoryBit("$GPGGA,1"), kLogGga);
  EXPECT_EQ(LogCategoryBit("$GNGGA,1"), kLogGga);
  EXPECT_EQ(LogCategoryBit("$BDGSV,1"), kLogGsv);
  EXPECT_EQ(LogCategoryBit("$GNRMC,1"), kLogRmc);
  EXPECT_EQ(LogCategoryBit("$GLGSA,1"), kLogGsa);
  EXPECT_EQ(LogCategoryBit("r$GPRMC,1"), kLogRmc);  // anywhere in the line
  EXPECT_EQ(LogCategoryBit("$PGRME,15.0,M"), kLogOthers);
  EXPECT_EQ(LogCategoryBit("$PGGA,1"), kLogOthers);  // no talker
  EXPECT_EQ(LogCategoryBit("$GPVTG,0.0,T"), kLogOthers);
  EXPECT_EQ(LogCategoryBit("# comment"), kLogOthers);
  // The first id in the order GGA, GSV, RMC, GSA wins, wherever it stands.
  EXPECT_EQ(LogCategoryBit("$GPRMC,1$GPGGA,2"), kLogGga);
}

}  // namespace
}  // namespace tarvo
