// The sentence parsers: framing and checksum, talker rules, each sentence
// type's fields, smoothing and filters, and the dating of fixes.
#include <gtest/gtest.h>

#include <string>

#include "core/gps/fix.h"
#include "core/gps/nmea.h"
#include "tests/unit/gps/test_nmea_util.h"

namespace tarvo {
namespace {

using test::Sentence;
using test::Utc;

constexpr const char* kSampleGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
constexpr const char* kSampleRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";

DispatchResult Feed(ReceiverState& state, const std::string& line, const ParseOptions& options = {}) {
  return DispatchSentence(line, state, options);
}

// An RMC at `speed` knots and `course` degrees, position and date fixed.
std::string RmcAt(double speed, double course, const char* time = "120000", const char* date = "090624") {
  char body[128];
  std::snprintf(body, sizeof body, "GPRMC,%s,A,6000.000,N,02500.000,E,%.1f,%.1f,%s,,", time, speed, course, date);
  return Sentence(body);
}

std::string GgaAt(const char* time, double latitudeMinutes, double longitudeMinutes, const char* hdop = "1.0") {
  char body[128];
  std::snprintf(body, sizeof body, "GPGGA,%s,%09.4f,N,%010.4f,E,1,07,%s,12.0,M,18.0,M,,", time, latitudeMinutes,
                longitudeMinutes, hdop);
  return Sentence(body);
}

// ---------------------------------------------------------------------------

TEST(NmeaFields, EmptyFieldsAreKeptAndTheEndIsReportedOnce) {
  NextField next("a,,b,");
  EXPECT_EQ(next(), "a");
  EXPECT_EQ(next(), "");
  EXPECT_EQ(next(), "b");
  EXPECT_EQ(next(), "");
  EXPECT_FALSE(next().has_value());
  EXPECT_FALSE(next().has_value());

  NextField single("");
  EXPECT_EQ(single(), "");
  EXPECT_FALSE(single().has_value());
  NextField none;
  EXPECT_FALSE(none().has_value());
}

TEST(NmeaFields, NumbersReadLikeCButNeverAsInfinityOrNan) {
  EXPECT_DOUBLE_EQ(FieldDouble("545.4"), 545.4);
  EXPECT_DOUBLE_EQ(FieldDouble("12.5abc"), 12.5);
  EXPECT_DOUBLE_EQ(FieldDouble(" +7.25"), 7.25);
  EXPECT_DOUBLE_EQ(FieldDouble("-.5"), -0.5);
  EXPECT_DOUBLE_EQ(FieldDouble("1e3"), 1000.0);
  for (const char* text : {"", "abc", "-", ".", "inf", "nan", "-infinity", "1e999", "*47"}) {
    EXPECT_EQ(FieldDouble(text), 0.0) << text;
  }
  EXPECT_EQ(FieldInt("08"), 8);
  EXPECT_EQ(FieldInt("46.9"), 46);
  EXPECT_EQ(FieldInt("-3x"), -3);
  EXPECT_EQ(FieldInt("x3"), 0);
  EXPECT_EQ(FieldInt("99999999999"), 0);
}

// ---------------------------------------------------------------------------

TEST(NmeaFraming, ChecksumIsVerifiedInEitherCaseAndOptional) {
  GpsFix fix;
  SmoothingState fixRings;
  const RmcFix noDate;
  EXPECT_EQ(ParseGga(kSampleGga, fix, fixRings, noDate, {}), SentenceStatus::Parsed);

  // Lower-case hex digits are as good as upper-case ones.
  const std::string rmcLower = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6a";
  RmcFix rmc;
  SmoothingState rmcRings;
  EXPECT_EQ(ParseRmc(rmcLower, rmc, rmcRings, nullptr, {}), SentenceStatus::Parsed);
  EXPECT_TRUE(rmc.valid);

  // No "*" at all: accepted.
  GpsFix plain;
  SmoothingState plainRings;
  EXPECT_EQ(ParseGga("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", plain, plainRings, noDate, {}),
            SentenceStatus::Parsed);
  EXPECT_EQ(plain.satellitesUsed, 8);
}

TEST(NmeaFraming, BadOrMalformedChecksumLeavesTheRecordsUntouched) {
  const std::string good = kSampleGga;
  const std::string body = good.substr(0, good.size() - 2);
  for (const std::string& line : {body + "48", body + "4", body, body + "4G", body + "47 ", body + "470",
                                  good.substr(0, 20) + "X" + good.substr(21)}) {
    ReceiverState state;
    state.gpsFix.altitude = 99.0;
    const DispatchResult r = Feed(state, line);
    EXPECT_EQ(r.kind, SentenceKind::Gga) << line;
    EXPECT_EQ(r.status, SentenceStatus::BadChecksum) << line;
    EXPECT_EQ(state.gpsFix.altitude, 99.0) << line;
    EXPECT_EQ(state.gpsFix.latitude, 0.0) << line;
  }
}

TEST(NmeaFraming, OverlongSentencesAndNulBytesAreRejectedUnparsed) {
  // 127 characters are parsed, 128 are not.
  std::string body = "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
  body.append(127 - 4 - body.size(), '0');
  const std::string longest = Sentence(body);
  ASSERT_EQ(longest.size(), 127u);
  ReceiverState state;
  EXPECT_EQ(Feed(state, longest).status, SentenceStatus::Parsed);

  const std::string tooLong = Sentence(body + "0");
  ReceiverState untouched;
  EXPECT_EQ(Feed(untouched, tooLong).status, SentenceStatus::TooLong);
  EXPECT_EQ(untouched.gpsFix.latitude, 0.0);

  std::string withNul = kSampleGga;
  withNul[30] = '\0';
  EXPECT_EQ(Feed(untouched, withNul).status, SentenceStatus::BadBytes);
  EXPECT_EQ(untouched.gpsFix.latitude, 0.0);
}

TEST(NmeaFraming, NulByteIsReportedAsBadBytesNotAsTooLong) {
  // A byte received with a parity error reads as NUL: short lines, known type
  // or not, say so; a line that is also over-long is too long first.
  for (std::string line : {std::string(kSampleGga), std::string("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48")}) {
    line[10] = '\0';
    ReceiverState state;
    EXPECT_EQ(Feed(state, line).status, SentenceStatus::BadBytes);
    EXPECT_EQ(state.gpsFix.latitude, 0.0);
  }
  std::string both = Sentence("GPGGA," + std::string(130, '0'));
  both[10] = '\0';
  ReceiverState state;
  EXPECT_EQ(Feed(state, both).status, SentenceStatus::TooLong);
}

TEST(NmeaFraming, BadChecksumOnAnUnknownTypeIsABadChecksum) {
  ReceiverState state;
  for (const char* line : {"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*49", "$GPZDA,201530.00,04,07,2002,00,00*61",
                           "$GPTXT,01,01,02,hello*4", "$PGRMT,x*ZZ"}) {
    const DispatchResult r = Feed(state, line);
    EXPECT_EQ(r.kind, SentenceKind::None) << line;
    EXPECT_EQ(r.status, SentenceStatus::BadChecksum) << line;
  }
  // The same types with a good checksum, or none, are still ignored.
  EXPECT_EQ(Feed(state, "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48").status, SentenceStatus::Ignored);
  EXPECT_EQ(Feed(state, "$GPTXT,01,01,02,hello").status, SentenceStatus::Ignored);
}

TEST(NmeaFraming, TalkersOfEverySatelliteSystemForEverySentenceButGsvSlotsFromGpsOnly) {
  for (const char* talker : {"GP", "GN", "GL", "GA", "GB", "BD", "GQ", "QZ", "GI", "II", "IN"}) {
    const std::string t = talker;
    EXPECT_EQ(KindOfAddress(t + "GGA"), SentenceKind::Gga) << t;
    EXPECT_EQ(KindOfAddress(t + "RMC"), SentenceKind::Rmc) << t;
    EXPECT_EQ(KindOfAddress(t + "GSA"), SentenceKind::Gsa) << t;
    EXPECT_EQ(KindOfAddress(t + "GSV"), SentenceKind::Gsv) << t;
  }
  EXPECT_EQ(KindOfAddress("PGRME"), SentenceKind::Pgrme);
  EXPECT_EQ(KindOfAddress("PGRMZ"), SentenceKind::Pgrmz);
  for (const char* address : {"PGGGA", "PXRMC", "gpGGA", "G1GGA", "GPGGAX", "GPGG", "GYOACC", "GPVTG", "PGRMM", ""}) {
    EXPECT_EQ(KindOfAddress(address), SentenceKind::None) << address;
  }

  ReceiverState state;
  const DispatchResult gn = Feed(state, Sentence("GNRMC,101010,A,6000.000,N,02500.000,E,1.0,90.0,090624,,"));
  EXPECT_EQ(gn.kind, SentenceKind::Rmc);
  EXPECT_EQ(gn.status, SentenceStatus::Parsed);
  EXPECT_DOUBLE_EQ(state.rmcFix.latitude, 60.0);

  // GLONASS satellites join the sky, not the twelve GPS slots.
  const DispatchResult gl = Feed(state, Sentence("GLGSV,1,1,01,70,45,100,40"));
  EXPECT_EQ(gl.kind, SentenceKind::Gsv);
  EXPECT_EQ(gl.status, SentenceStatus::Parsed);
  EXPECT_EQ(state.satelliteView.satellites[0].prn, 0);
  ASSERT_EQ(state.sky.satellites().size(), 1u);
  EXPECT_EQ(state.sky.satellites()[0].system, GnssSystem::Glonass);

  EXPECT_EQ(Feed(state, "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48").status, SentenceStatus::Ignored);
  EXPECT_EQ(Feed(state, "GPGGA,1").status, SentenceStatus::Ignored);
}

// ---------------------------------------------------------------------------

TEST(NmeaDispatch, EachSentenceReportsWhatItChanged) {
  ReceiverState state;
  const ParseOptions options;
  const auto changes = [&](const std::string& line) { return DispatchSentence(line, state, options).changes; };
  EXPECT_EQ(changes(Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")),
            kFixPosition | kFixTime | kFixAltitude | kFixQuality);
  EXPECT_EQ(changes(Sentence("GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W")),
            kFixPosition | kFixTime | kFixMotion | kFixQuality);
  EXPECT_EQ(changes(Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1")), kFixPrecision);
  EXPECT_EQ(changes(Sentence("PGRMZ,1000,f,3")), kFixAltitude);
  EXPECT_EQ(changes(Sentence("PGRME,15.0,M,45.0,M,25.0,M")), kFixError);
  // The sky changes once per cycle, with the message that completes it.
  EXPECT_EQ(changes(Sentence("GPGSV,2,1,05,03,41,050,46,07,60,317,49,08,34,315,45,11,35,148,45")), 0u);
  EXPECT_EQ(changes(Sentence("GPGSV,2,2,05,28,09,271,36")), kFixSky);
  // Nothing changes when nothing was parsed.
  std::string bad = Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
  bad.back() = bad.back() == '0' ? '1' : '0';
  EXPECT_EQ(changes(bad), 0u);
  EXPECT_EQ(changes(Sentence("GPXTE,V,V,,,N,S")), 0u);
}

TEST(NmeaGga, SampleSentenceFillsEveryField) {
  ParseOptions options;
  options.nowUtc = Utc(2024, 6, 9, 13, 0, 0);
  ReceiverState state;
  ASSERT_EQ(Feed(state, kSampleGga, options).status, SentenceStatus::Parsed);
  const GpsFix& f = state.gpsFix;
  EXPECT_NEAR(f.latitude, 48.1173, 1e-12);
  EXPECT_NEAR(f.longitude, 11.0 + 31.0 / 60.0, 1e-12);
  EXPECT_EQ(f.fixQuality, 1);
  EXPECT_EQ(f.satellitesUsed, 8);
  EXPECT_DOUBLE_EQ(f.hdop, 0.9);
  EXPECT_DOUBLE_EQ(f.altitude, 545.4);
  EXPECT_EQ(f.geoidSeparation, 46);
  EXPECT_EQ(f.fixTime, Utc(2024, 6, 9, 12, 35, 19));
}

TEST(NmeaGga, FieldsAreClearedAndHemispheresNegate) {
  ParseOptions options;
  options.nowUtc = Utc(2024, 6, 9, 12, 0, 0);
  ReceiverState state;
  Feed(state, kSampleGga, options);
  // South and west; only time and position given: the other fields read 0.
  Feed(state, Sentence("GPGGA,120001.50,3348.452,S,11821.143,W"), options);
  const GpsFix& f = state.gpsFix;
  EXPECT_NEAR(f.latitude, (48.1173 - (33.0 + 48.452 / 60.0)) / 2.0, 1e-9);  // mean with the previous fix
  EXPECT_EQ(f.fixQuality, 0);
  EXPECT_EQ(f.satellitesUsed, 0);
  EXPECT_EQ(f.hdop, 0.0);
  EXPECT_EQ(f.altitude, 0.0);
  EXPECT_EQ(f.geoidSeparation, 0);
  EXPECT_EQ(f.fixTime, Utc(2024, 6, 9, 12, 0, 1));

  // An empty latitude leaves the position; the remaining fields still count.
  ReceiverState raw;
  ParseOptions asRead = options;
  asRead.raw = true;
  Feed(raw, kSampleGga, asRead);
  Feed(raw, Sentence("GPGGA,123520,,,,,0,00,,,M,,M,,"), asRead);
  EXPECT_NEAR(raw.gpsFix.latitude, 48.1173, 1e-12);
  EXPECT_EQ(raw.gpsFix.fixTime, Utc(2024, 6, 9, 12, 35, 20));
  EXPECT_EQ(raw.gpsFix.fixQuality, 0);
  // A latitude without longitude reads longitude 0.
  Feed(raw, Sentence("GPGGA,123521,4807.038,N,,,1,08,0.9,545.4,M,46.9,M,,"), asRead);
  EXPECT_EQ(raw.gpsFix.longitude, 0.0);
  // A short time field gives no time.
  Feed(raw, Sentence("GPGGA,12352,4807.038,N,01131.000,E,1"), asRead);
  EXPECT_EQ(raw.gpsFix.fixTime, 0);
}

TEST(NmeaSmoothing, PositionIsTheMeanOfTheLastFourNonZeroFixes) {
  ReceiverState state;
  Feed(state, GgaAt("120000", 6000.0, 2500.0));
  EXPECT_DOUBLE_EQ(state.gpsFix.latitude, 60.0);
  Feed(state, GgaAt("120001", 6001.2, 2500.0));
  EXPECT_NEAR(state.gpsFix.latitude, 60.01, 1e-12);
  // A fix at 0/0 does not enter the mean.
  Feed(state, Sentence("GPGGA,120002,0000.000,N,00000.000,E,0,00,,,M,,M,,"));
  EXPECT_NEAR(state.gpsFix.latitude, 60.01, 1e-12);
  Feed(state, GgaAt("120003", 6003.0, 2500.0));
  Feed(state, GgaAt("120004", 6006.0, 2500.0));  // pushes out the first fix
  EXPECT_NEAR(state.gpsFix.latitude, 60.0 + (1.2 + 3.0 + 6.0) / 3.0 / 60.0, 1e-12);

  // Raw options: as read.
  ParseOptions asRead;
  asRead.raw = true;
  Feed(state, GgaAt("120005", 6030.0, 2500.0), asRead);
  EXPECT_DOUBLE_EQ(state.gpsFix.latitude, 60.5);

  // A position off the globe (sent without a fix) stands as read but does not
  // enter the mean of later fixes.
  ReceiverState offGlobe;
  Feed(offGlobe, GgaAt("120000", 6000.0, 2500.0));
  Feed(offGlobe, Sentence("GPGGA,120001,36000.0000,N,72000.0000,E,0,00,,,M,,M,,"));
  EXPECT_DOUBLE_EQ(offGlobe.gpsFix.latitude, 360.0);
  Feed(offGlobe, GgaAt("120002", 6001.2, 2500.0));
  EXPECT_NEAR(offGlobe.gpsFix.latitude, 60.01, 1e-12);
  EXPECT_NEAR(offGlobe.gpsFix.longitude, 25.0, 1e-12);
}

TEST(NmeaSmoothing, LongitudesEitherSideOfTheDateLineAverageOnIt) {
  ReceiverState state;
  Feed(state, Sentence("GPGGA,120000,1700.000,S,17959.9994,E,1,08,1.0,5.0,M,,M,,"));
  Feed(state, Sentence("GPGGA,120001,1700.000,S,17959.9994,W,1,08,1.0,5.0,M,,M,,"));
  // 179.99999 E and 179.99999 W: on the meridian, not at 0.
  EXPECT_NEAR(std::abs(state.gpsFix.longitude), 180.0, 1e-9);
  Feed(state, Sentence("GPGGA,120002,1700.000,S,17959.9400,W,1,08,1.0,5.0,M,,M,,"));
  // Offsets +0.00001, -0.00001 and -0.001 from 180: mean 0.00033 degrees west of it.
  EXPECT_NEAR(state.gpsFix.longitude, -(180.0 - 0.001 / 3.0), 1e-9);
  EXPECT_DOUBLE_EQ(state.gpsFix.latitude, -17.0);
}

TEST(NmeaFilters, AccuracyFilterClearsTheFixAboveTheLimit) {
  ParseOptions options;
  options.filter.accuracyEnable = true;
  options.filter.accuracyGps = 10.0;
  options.filter.accuracyMinimum = 50.0;
  for (const auto& [hdop, quality] : {std::pair{"5.0", 1}, {"5.1", 0}, {"0", 1}, {"", 1}}) {
    ReceiverState state;
    Feed(state, GgaAt("120000", 6000.0, 2500.0, hdop), options);
    EXPECT_EQ(state.gpsFix.fixQuality, quality) << hdop;
  }
  // Disabled, or raw: never.
  ReceiverState off;
  Feed(off, GgaAt("120000", 6000.0, 2500.0, "9.9"));
  EXPECT_EQ(off.gpsFix.fixQuality, 1);
  ParseOptions raw = options;
  raw.raw = true;
  Feed(off, GgaAt("120000", 6000.0, 2500.0, "9.9"), raw);
  EXPECT_EQ(off.gpsFix.fixQuality, 1);

  // RMC uses the HDOP of the latest GSA.
  ReceiverState rmc;
  Feed(rmc, Sentence("GPGSA,A,3,04,05,,,,,,,,,,,6.0,5.1,3.0"), options);
  Feed(rmc, RmcAt(10.0, 90.0), options);
  EXPECT_FALSE(rmc.rmcFix.valid);
  Feed(rmc, Sentence("GPGSA,A,3,04,05,,,,,,,,,,,6.0,5.0,3.0"), options);
  Feed(rmc, RmcAt(10.0, 90.0), options);
  EXPECT_TRUE(rmc.rmcFix.valid);
  RmcFix alone;
  SmoothingState aloneRings;
  ParseRmc(RmcAt(10.0, 90.0), alone, aloneRings, nullptr, options);
  EXPECT_TRUE(alone.valid);
}

// ---------------------------------------------------------------------------

TEST(NmeaRmc, SampleSentenceAndItsDate) {
  RmcFix fix;
  SmoothingState fixRings;
  ParseOptions options;
  options.nowUtc = Utc(2024, 6, 9, 13, 0, 0);
  ASSERT_EQ(ParseRmc(kSampleRmc, fix, fixRings, nullptr, options), SentenceStatus::Parsed);
  EXPECT_TRUE(fix.valid);
  EXPECT_NEAR(fix.latitude, 48.1173, 1e-12);
  EXPECT_NEAR(fix.longitude, 11.516666666666667, 1e-12);
  EXPECT_DOUBLE_EQ(fix.speedKnots, 22.4);
  EXPECT_DOUBLE_EQ(fix.course, 84.4);
  // The sentence's own date, not the computer's.
  EXPECT_EQ(fix.fixTime, Utc(1994, 3, 23, 12, 35, 19));
  EXPECT_EQ(fix.dateDay, DaysFromCivil(1994, 3, 23));
}

TEST(NmeaRmc, StatusVoidStillUpdatesPositionAndSpeed) {
  RmcFix fix;
  SmoothingState fixRings;
  ParseRmc(Sentence("GPRMC,120000,V,6000.000,S,02500.000,W,12.0,45.0,090624,,"), fix, fixRings, nullptr, {});
  EXPECT_FALSE(fix.valid);
  EXPECT_DOUBLE_EQ(fix.latitude, -60.0);
  EXPECT_DOUBLE_EQ(fix.longitude, -25.0);
  EXPECT_DOUBLE_EQ(fix.speedKnots, 12.0);
  // A missing status field leaves `valid` as it was.
  fix.valid = true;
  ParseRmc(Sentence("GPRMC,120001"), fix, fixRings, nullptr, {});
  EXPECT_TRUE(fix.valid);
  EXPECT_EQ(fix.speedKnots, 0.0);
  EXPECT_DOUBLE_EQ(fix.course, 45.0);
  // Only one of latitude and longitude: it is set, nothing is smoothed.
  ParseRmc(Sentence("GPRMC,120002,A,6030.000,N,,,,,090624,,"), fix, fixRings, nullptr, {});
  EXPECT_DOUBLE_EQ(fix.latitude, 60.5);
  EXPECT_DOUBLE_EQ(fix.longitude, -25.0);
}

TEST(NmeaRmc, SpeedIsTheMeanOfTheSpeedsSinceTheConnect) {
  RmcFix fix;
  SmoothingState fixRings;
  ParseRmc(RmcAt(8.0, 0.0), fix, fixRings, nullptr, {});
  EXPECT_DOUBLE_EQ(fix.speedKnots, 8.0);  // not 8 / 4
  ParseRmc(RmcAt(4.0, 0.0), fix, fixRings, nullptr, {});
  EXPECT_DOUBLE_EQ(fix.speedKnots, 6.0);
  ParseRmc(RmcAt(6.0, 0.0), fix, fixRings, nullptr, {});
  ParseRmc(RmcAt(2.0, 0.0), fix, fixRings, nullptr, {});
  EXPECT_DOUBLE_EQ(fix.speedKnots, 5.0);
  ParseRmc(RmcAt(12.0, 0.0), fix, fixRings, nullptr, {});  // the first 8 leaves the ring
  EXPECT_DOUBLE_EQ(fix.speedKnots, 6.0);
  // An empty speed field reads 0 and does not enter the ring.
  ParseRmc(Sentence("GPRMC,120000,A,6000.000,N,02500.000,E,,,090624,,"), fix, fixRings, nullptr, {});
  EXPECT_EQ(fix.speedKnots, 0.0);
  ParseRmc(RmcAt(12.0, 0.0), fix, fixRings, nullptr, {});
  EXPECT_DOUBLE_EQ(fix.speedKnots, 8.0);  // 6, 2, 12, 12

  ParseOptions slow;
  slow.filter.speedMinimum = 3.0;
  RmcFix threshold;
  SmoothingState thresholdRings;
  ParseRmc(RmcAt(2.9, 0.0), threshold, thresholdRings, nullptr, slow);
  EXPECT_EQ(threshold.speedKnots, 0.0);
  ParseRmc(RmcAt(8.0, 0.0), threshold, thresholdRings, nullptr, slow);
  EXPECT_DOUBLE_EQ(threshold.speedKnots, 5.45);

  // With GGA as the position source: as read, and the threshold still applies.
  RmcFix rawMode;
  SmoothingState rawModeRings;
  rawModeRings.rmcUnsmoothed = true;
  ParseRmc(RmcAt(8.0, 0.0), rawMode, rawModeRings, nullptr, slow);
  ParseRmc(RmcAt(4.0, 0.0), rawMode, rawModeRings, nullptr, slow);
  EXPECT_DOUBLE_EQ(rawMode.speedKnots, 4.0);
  ParseRmc(RmcAt(2.0, 0.0), rawMode, rawModeRings, nullptr, slow);
  EXPECT_EQ(rawMode.speedKnots, 0.0);
  EXPECT_EQ(rawModeRings.speeds.filled, 0);
}

TEST(NmeaRmc, RawModeDoesNotSmoothThePosition) {
  RmcFix fix;
  SmoothingState fixRings;
  fixRings.rmcUnsmoothed = true;
  ParseRmc(RmcAt(1.0, 0.0), fix, fixRings, nullptr, {});
  ParseRmc(Sentence("GPRMC,120001,A,6030.000,N,02530.000,E,1.0,0.0,090624,,"), fix, fixRings, nullptr, {});
  EXPECT_DOUBLE_EQ(fix.latitude, 60.5);
  EXPECT_DOUBLE_EQ(fix.longitude, 25.5);

  RmcFix smoothed;

  SmoothingState smoothedRings;
  ParseRmc(RmcAt(1.0, 0.0), smoothed, smoothedRings, nullptr, {});
  ParseRmc(Sentence("GPRMC,120001,A,6030.000,N,02530.000,E,1.0,0.0,090624,,"), smoothed, smoothedRings, nullptr, {});
  EXPECT_DOUBLE_EQ(smoothed.latitude, 60.25);
  EXPECT_DOUBLE_EQ(smoothed.longitude, 25.25);
}

TEST(NmeaRmc, CourseAtSpeedIsTakenAsSentAndBroughtIntoRange) {
  for (const auto& [sent, expected] : {std::pair{-5.0, 355.0}, {365.0, 5.0}, {0.0, 0.0}, {359.9, 359.9}, {720.0, 0.0}}) {
    RmcFix fix;
    SmoothingState fixRings;
    ParseRmc(RmcAt(10.0, sent), fix, fixRings, nullptr, {});
    EXPECT_NEAR(fix.course, expected, 1e-9) << sent;
    EXPECT_EQ(fixRings.courses.filled, 0);
  }
}

TEST(NmeaRmc, LowSpeedCourseIsTheCircularMeanSinceTheConnect) {
  RmcFix fix;
  SmoothingState fixRings;
  ParseRmc(RmcAt(5.0, 80.0), fix, fixRings, nullptr, {});
  EXPECT_NEAR(fix.course, 80.0, 1e-9);  // not 80 / 4
  ParseRmc(RmcAt(5.0, 100.0), fix, fixRings, nullptr, {});
  EXPECT_NEAR(fix.course, 90.0, 1e-9);

  RmcFix north;

  SmoothingState northRings;
  for (double c : {350.0, 10.0, 350.0, 10.0}) ParseRmc(RmcAt(5.0, c), north, northRings, nullptr, {});
  EXPECT_NEAR(north.course, 0.0, 1e-9);  // not 180
  EXPECT_LT(north.course, 360.0);
  ParseRmc(RmcAt(5.0, 20.0), north, northRings, nullptr, {});  // 20 replaces the first 350
  EXPECT_NEAR(north.course, 7.543358461654833, 1e-9);

  // Opposite courses cancel: the newest stands.
  RmcFix opposite;
  SmoothingState oppositeRings;
  ParseRmc(RmcAt(5.0, 90.0), opposite, oppositeRings, nullptr, {});
  ParseRmc(RmcAt(5.0, 270.0), opposite, oppositeRings, nullptr, {});
  EXPECT_NEAR(opposite.course, 270.0, 1e-9);
}

TEST(NmeaRmc, CourseStaysAtAStandstillOrWhenNotSent) {
  ParseOptions options;
  options.filter.speedMinimum = 1.0;
  RmcFix fix;
  SmoothingState fixRings;
  fixRings.rmcUnsmoothed = true;  // speeds as read
  ParseRmc(RmcAt(5.0, 40.0), fix, fixRings, nullptr, options);
  ParseRmc(RmcAt(0.0, 123.0), fix, fixRings, nullptr, options);
  EXPECT_EQ(fix.speedKnots, 0.0);
  EXPECT_DOUBLE_EQ(fix.course, 40.0);
  ParseRmc(RmcAt(0.5, 123.0), fix, fixRings, nullptr, options);  // below the minimum speed
  EXPECT_DOUBLE_EQ(fix.course, 40.0);
  ParseRmc(Sentence("GPRMC,120000,A,6000.000,N,02500.000,E,12.0,,090624,,"), fix, fixRings, nullptr, options);
  EXPECT_DOUBLE_EQ(fix.course, 40.0);
  EXPECT_EQ(fixRings.courses.filled, 1);

  // Raw options: the course as sent, at any speed.
  ParseOptions raw;
  raw.raw = true;
  ParseRmc(RmcAt(0.0, 123.0), fix, fixRings, nullptr, raw);
  EXPECT_DOUBLE_EQ(fix.course, 123.0);
}

// ---------------------------------------------------------------------------

TEST(NmeaDates, GgaTakesTheDateOfTheLatestRmc) {
  ParseOptions options;
  options.nowUtc = Utc(2030, 1, 1, 6, 0, 0);  // a clock far from the data
  ReceiverState state;
  // Before any RMC date: the computer's date.
  Feed(state, GgaAt("055959", 6000.0, 2500.0), options);
  EXPECT_EQ(state.gpsFix.fixTime, Utc(2030, 1, 1, 5, 59, 59));

  Feed(state, RmcAt(1.0, 0.0, "235958", "311224"), options);
  EXPECT_EQ(state.rmcFix.fixTime, Utc(2024, 12, 31, 23, 59, 58));
  Feed(state, GgaAt("235958", 6000.0, 2500.0), options);
  EXPECT_EQ(state.gpsFix.fixTime, Utc(2024, 12, 31, 23, 59, 58));
  // Past midnight before the next RMC: the next day.
  Feed(state, GgaAt("000001", 6000.0, 2500.0), options);
  EXPECT_EQ(state.gpsFix.fixTime, Utc(2025, 1, 1, 0, 0, 1));

  // RMC of the new day first, GGA of the same epoch a second earlier: the day before.
  Feed(state, RmcAt(1.0, 0.0, "000000", "010125"), options);
  Feed(state, GgaAt("235959", 6000.0, 2500.0), options);
  EXPECT_EQ(state.gpsFix.fixTime, Utc(2024, 12, 31, 23, 59, 59));
  // GGA arriving a second before the RMC of its epoch stays on the RMC's day.
  Feed(state, RmcAt(1.0, 0.0, "120000", "150625"), options);
  Feed(state, GgaAt("115959", 6000.0, 2500.0), options);
  EXPECT_EQ(state.gpsFix.fixTime, Utc(2025, 6, 15, 11, 59, 59));

  // An RMC without a usable date is dated like a GGA.
  for (const char* date : {"", "000000", "320125", "311325", "290225", "15062", "15062x"}) {
    Feed(state, RmcAt(1.0, 0.0, "120005", date), options);
    EXPECT_EQ(state.rmcFix.fixTime, Utc(2025, 6, 15, 12, 0, 5)) << date;
  }
}

TEST(NmeaDates, TwoDigitYearsAndTimesBeyond2038) {
  RmcFix fix;
  SmoothingState fixRings;
  ParseRmc(RmcAt(1.0, 0.0, "031407", "190138"), fix, fixRings, nullptr, {});
  EXPECT_EQ(fix.fixTime, 2147483647);
  ParseRmc(RmcAt(1.0, 0.0, "031408", "190138"), fix, fixRings, nullptr, {});
  EXPECT_EQ(fix.fixTime, int64_t{2147483648});
  ParseRmc(RmcAt(1.0, 0.0, "120000", "290279"), fix, fixRings, nullptr, {});  // 29 February 2079 does not exist
  EXPECT_EQ(fix.dateDay, DaysFromCivil(2038, 1, 19));
  ParseRmc(RmcAt(1.0, 0.0, "120000", "310179"), fix, fixRings, nullptr, {});
  EXPECT_EQ(fix.fixTime, Utc(2079, 1, 31, 12));
  ParseRmc(RmcAt(1.0, 0.0, "120000", "050180"), fix, fixRings, nullptr, {});
  EXPECT_EQ(fix.fixTime, Utc(1980, 1, 5, 12));
  ParseRmc(RmcAt(1.0, 0.0, "120000", "290200"), fix, fixRings, nullptr, {});
  EXPECT_EQ(fix.fixTime, Utc(2000, 2, 29, 12));
}

TEST(NmeaDates, ComputerClockDatesTheNearestDay) {
  const int64_t now = Utc(2024, 6, 9, 12, 40, 0);
  EXPECT_EQ(FixTimeFromHms(12, 35, 19, now), Utc(2024, 6, 9, 12, 35, 19));
  EXPECT_EQ(FixTimeFromHms(1, 0, 0, now), Utc(2024, 6, 9, 1));    // 11 h 40 min before
  EXPECT_EQ(FixTimeFromHms(0, 0, 0, now), Utc(2024, 6, 10));      // 11 h 20 min ahead
  // Just after midnight, a sentence from just before it belongs to yesterday...
  EXPECT_EQ(FixTimeFromHms(23, 59, 59, Utc(2024, 6, 10, 0, 0, 1)), Utc(2024, 6, 9, 23, 59, 59));
  // ... and just before it, one from just after it to tomorrow.
  EXPECT_EQ(FixTimeFromHms(0, 0, 1, Utc(2024, 6, 9, 23, 59, 59)), Utc(2024, 6, 10, 0, 0, 1));
  // Clocks before 1970 work as well.
  EXPECT_EQ(FixTimeFromHms(12, 0, 0, Utc(1969, 12, 31, 12)), Utc(1969, 12, 31, 12));

  int32_t second = -1;
  EXPECT_TRUE(ReadTimeOfDay("123519.875", second));
  EXPECT_EQ(second, 12 * 3600 + 35 * 60 + 19);
  EXPECT_TRUE(ReadTimeOfDay("1235x9", second));
  EXPECT_EQ(second, 12 * 3600 + 35 * 60);
  EXPECT_FALSE(ReadTimeOfDay("12351", second));
}

TEST(NmeaDates, CalendarAndIsoText) {
  char text[32];
  EXPECT_EQ(FormatUtcTime(0, text), 20u);
  EXPECT_STREQ(text, "1970-01-01T00:00:00Z");
  FormatUtcTime(Utc(2024, 2, 29, 23, 59, 59), text);
  EXPECT_STREQ(text, "2024-02-29T23:59:59Z");
  FormatUtcTime(-1, text);
  EXPECT_STREQ(text, "1969-12-31T23:59:59Z");
  FormatUtcTime(Utc(2100, 3, 1, 1, 2, 3), text);
  EXPECT_STREQ(text, "2100-03-01T01:02:03Z");
  for (int64_t day = -800000; day < 800000; day += 997) {
    const CivilTime c = CivilFromTime(day * kSecondsPerDay + 3723);
    EXPECT_EQ(DaysFromCivil(c.year, c.month, c.day), day);
    EXPECT_EQ(c.hour * 3600 + c.minute * 60 + c.second, 3723);
  }
}

// ---------------------------------------------------------------------------

TEST(NmeaGsa, PrecisionAndUsedSatellites) {
  DopInfo dop;
  ASSERT_EQ(ParseGsa("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39", dop), SentenceStatus::Parsed);
  EXPECT_EQ(dop.selectionMode, 'A');
  EXPECT_EQ(dop.fixMode, 3);
  EXPECT_EQ(dop.usedPrns, (std::array<int32_t, 12>{4, 5, 0, 9, 12, 0, 0, 24, 0, 0, 0, 0}));
  EXPECT_DOUBLE_EQ(dop.pdop, 2.5);
  EXPECT_DOUBLE_EQ(dop.hdop, 1.3);
  EXPECT_DOUBLE_EQ(dop.vdop, 2.1);

  // A short GSA clears what it does not carry; one without "*" clears everything.
  ParseGsa(Sentence("GPGSA,M,2,07"), dop);
  EXPECT_EQ(dop.selectionMode, 'M');
  EXPECT_EQ(dop.fixMode, 2);
  EXPECT_EQ(dop.usedPrns[0], 7);
  EXPECT_EQ(dop.usedPrns[1], 0);
  EXPECT_EQ(dop.pdop, 0.0);
  ParseGsa("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1", dop);
  EXPECT_EQ(dop.selectionMode, 0);
  EXPECT_EQ(dop.fixMode, 0);
  EXPECT_EQ(dop.usedPrns[0], 0);
  EXPECT_EQ(dop.hdop, 0.0);
}

TEST(NmeaGsv, CycleCompletesWhenEveryMessageHasArrivedInAnyOrder) {
  ReceiverState state;
  SatelliteView& view = state.satelliteView;
  Feed(state, Sentence("GPGSV,3,3,10,27,05,300,,31,75,120,44"));
  EXPECT_FALSE(GsvCycleComplete(view));
  Feed(state, Sentence("GPGSV,3,1,10,01,10,010,30,02,20,020,31,03,30,030,32,04,40,040,33"));
  EXPECT_FALSE(GsvCycleComplete(view));
  Feed(state, Sentence("GPGSV,3,2,10,05,50,050,34,06,60,060,35,07,70,070,36,08,80,080,37"));
  EXPECT_TRUE(GsvCycleComplete(view));
  EXPECT_EQ(view.messageCount, 3);
  EXPECT_EQ(view.satellites[0].prn, 1);
  EXPECT_EQ(view.satellites[7].snr, 37);
  EXPECT_EQ(view.satellites[8].prn, 27);
  EXPECT_EQ(view.satellites[8].snr, 0);  // empty: not tracked
  EXPECT_EQ(view.satellites[9].elevation, 75);
  ClearGsvCycle(view);
  EXPECT_FALSE(GsvCycleComplete(view));

  // A last message with two satellites zeroes slots 10 and 11.
  view.satellites[10] = {12, 34, 56, 78};
  view.satellites[11] = {12, 34, 56, 78};
  Feed(state, Sentence("GPGSV,3,3,10,27,05,300,,31,75,120,44"));
  EXPECT_EQ(view.satellites[10].prn, 0);
  EXPECT_EQ(view.satellites[11].azimuth, 0);

  // A single-message cycle.
  ReceiverState one;
  Feed(one, Sentence("GPGSV,1,1,01,09,45,180,40"));
  EXPECT_TRUE(GsvCycleComplete(one.satelliteView));
}

TEST(NmeaGsv, ShorterGsvCycleClearsTheSlotsItNoLongerFills) {
  ReceiverState state;
  SatelliteView& view = state.satelliteView;
  Feed(state, Sentence("GPGSV,3,1,10,01,10,010,30,02,20,020,31,03,30,030,32,04,40,040,33"));
  Feed(state, Sentence("GPGSV,3,2,10,05,50,050,34,06,60,060,35,07,70,070,36,08,80,080,37"));
  Feed(state, Sentence("GPGSV,3,3,10,09,05,300,20,10,75,120,44"));
  ASSERT_TRUE(GsvCycleComplete(view));
  ClearGsvCycle(view);

  // Five satellites in two messages, the second holding one, in either
  // order: once the cycle is complete, neither that message's unused slots
  // nor the third message's slots of the cycle before hold a satellite.
  Feed(state, Sentence("GPGSV,2,2,05,31,75,120,44"));
  Feed(state, Sentence("GPGSV,2,1,05,01,10,010,30,02,20,020,31,03,30,030,32,04,40,040,33"));
  ASSERT_TRUE(GsvCycleComplete(view));
  EXPECT_EQ(view.messageCount, 2);
  EXPECT_EQ(view.satellites[4].prn, 31);
  for (int slot = 5; slot < 12; ++slot) {
    const SatelliteSlot& s = view.satellites[slot];
    EXPECT_TRUE(s.prn == 0 && s.elevation == 0 && s.azimuth == 0 && s.snr == 0) << "slot " << slot;
  }
  ClearGsvCycle(view);

  // Down to one message.
  view.satellites[4] = {99, 1, 2, 3};
  Feed(state, Sentence("GPGSV,1,1,03,11,10,010,30,12,20,020,31,13,30,030,32"));
  ASSERT_TRUE(GsvCycleComplete(view));
  EXPECT_EQ(view.satellites[2].prn, 13);
  for (int slot = 3; slot < 12; ++slot) EXPECT_EQ(view.satellites[slot].prn, 0) << "slot " << slot;
}

TEST(NmeaGsv, OutOfRangeValuesAndBrokenMessages) {
  ReceiverState state;
  SatelliteView& view = state.satelliteView;
  Feed(state, Sentence("GPGSV,1,1,04,05,91,360,100,-3,-1,-1,-1,70000,45,359,99,12,,,"));
  EXPECT_EQ(view.satellites[0].prn, 5);
  EXPECT_EQ(view.satellites[0].elevation, 0);
  EXPECT_EQ(view.satellites[0].azimuth, 0);
  EXPECT_EQ(view.satellites[0].snr, 0);
  EXPECT_EQ(view.satellites[1].prn, 0);
  EXPECT_EQ(view.satellites[1].elevation, 0);
  EXPECT_EQ(view.satellites[2].prn, 0);  // beyond 16 bits
  EXPECT_EQ(view.satellites[2].azimuth, 359);
  EXPECT_EQ(view.satellites[2].snr, 99);
  EXPECT_EQ(view.satellites[3].prn, 12);

  // A message number outside 1..3 and a GSV without "*" change nothing.
  const SatelliteView before = view;
  for (const std::string& line : {Sentence("GPGSV,4,4,14,01,10,010,30"), Sentence("GPGSV,3,0,10,01,10,010,30"),
                                  Sentence("GPGSV,3,,10,01,10,010,30"), std::string("$GPGSV,1,1,01,09,45,180,40")}) {
    EXPECT_EQ(Feed(state, line).status, SentenceStatus::Ignored) << line;
    EXPECT_EQ(view.satellites[0].prn, before.satellites[0].prn);
    EXPECT_EQ(view.messageCount, before.messageCount);
  }
  // A negative total stores 0: the cycle cannot complete.
  Feed(state, Sentence("GPGSV,-1,1,14,01,10,010,30,02,20,020,31,03,30,030,32,04,40,040,33"));
  EXPECT_EQ(view.messageCount, 0);
  EXPECT_EQ(view.satellites[0].prn, 1);
  EXPECT_FALSE(GsvCycleComplete(view));
}

TEST(NmeaGsv, MoreThanTwelveSatellitesStillCompleteACycle) {
  // Fourteen satellites in four messages: the first three fill the table.
  ReceiverState state;
  SatelliteView& view = state.satelliteView;
  Feed(state, Sentence("GPGSV,4,1,14,01,10,010,30,02,20,020,31,03,30,030,32,04,40,040,33"));
  EXPECT_EQ(view.messageCount, 3);
  Feed(state, Sentence("GPGSV,4,2,14,05,10,010,30,06,20,020,31,07,30,030,32,08,40,040,33"));
  EXPECT_FALSE(GsvCycleComplete(view));
  Feed(state, Sentence("GPGSV,4,3,14,09,10,010,30,10,20,020,31,11,30,030,32,12,40,040,33"));
  EXPECT_TRUE(GsvCycleComplete(view));
  EXPECT_EQ(view.satellites[11].prn, 12);
  ClearGsvCycle(view);
  EXPECT_EQ(Feed(state, Sentence("GPGSV,4,4,14,13,10,010,30,14,20,020,31")).status, SentenceStatus::Ignored);
  EXPECT_EQ(view.satellites[0].prn, 1);
  // The sky of every system holds all fourteen.
  EXPECT_EQ(state.sky.satellites().size(), 14u);
  EXPECT_EQ(state.sky.inView(), 14);
}

TEST(NmeaGsv, SignalIdOfNewerReceiversIsNotASatellite) {
  ReceiverState state;
  SatelliteView& view = state.satelliteView;
  // NMEA 4.1: two satellites and the signal id "1".
  Feed(state, Sentence("GPGSV,1,1,02,10,45,100,40,12,30,200,35,1"));
  EXPECT_EQ(view.satellites[1].prn, 12);
  EXPECT_EQ(view.satellites[2].prn, 0);
  // Four satellites and a signal id.
  Feed(state, Sentence("GPGSV,1,1,04,10,45,100,40,12,30,200,35,14,20,300,30,16,10,010,25,8"));
  EXPECT_EQ(view.satellites[3].prn, 16);
  EXPECT_EQ(view.satellites[3].snr, 25);
  // A group cut short is still read as far as it goes.
  Feed(state, Sentence("GPGSV,1,1,02,10,45,100,40,12,30"));
  EXPECT_EQ(view.satellites[1].prn, 12);
  EXPECT_EQ(view.satellites[1].elevation, 30);
  EXPECT_EQ(view.satellites[1].azimuth, 0);
}

// ---------------------------------------------------------------------------

TEST(NmeaGarmin, AltitudeAndErrorsInFeetOrMetres) {
  ReceiverState state;
  Feed(state, "$PGRMZ,1000,f,3");
  EXPECT_NEAR(state.gpsFix.altitude, 304.78512648582745, 1e-9);
  EXPECT_EQ(Feed(state, Sentence("PGRMZ,1000,F,3")).status, SentenceStatus::Parsed);
  EXPECT_NEAR(state.gpsFix.altitude, 304.78512648582745, 1e-9);
  Feed(state, Sentence("PGRMZ,93,M,3"));
  EXPECT_DOUBLE_EQ(state.gpsFix.altitude, 93.0);
  // The next GGA clears and replaces it.
  Feed(state, Sentence("GPGGA,120000,6000.000,N,02500.000,E,1,08,1.0"));
  EXPECT_EQ(state.gpsFix.altitude, 0.0);

  Feed(state, Sentence("PGRME,15.0,M,45.0,f,25.0,M"));
  EXPECT_DOUBLE_EQ(state.gpsFix.horizontalError, 15.0);
  EXPECT_NEAR(state.gpsFix.verticalError, 45.0 * kPgrmFeetToMetres, 1e-12);
  EXPECT_DOUBLE_EQ(state.gpsFix.sphericalError, 25.0);
  Feed(state, Sentence("PGRME,7.5,M"));
  EXPECT_DOUBLE_EQ(state.gpsFix.horizontalError, 7.5);
  EXPECT_EQ(state.gpsFix.verticalError, 0.0);
  EXPECT_EQ(state.gpsFix.sphericalError, 0.0);
}

}  // namespace
}  // namespace tarvo
