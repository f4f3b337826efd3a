// The sky of every satellite system, from the GSV and GSA sentences of real
// receiver layouts (NMEA 4.10 signal ids, "GN" talkers, one GSA per system).
#include <gtest/gtest.h>

#include "core/gps/nmea.h"
#include "tests/unit/gps/test_nmea_util.h"

namespace tarvo {
namespace {

using test::Sentence;

const SkySatellite* Find(const SkyTable& sky, GnssSystem system, int prn) {
  for (const SkySatellite& s : sky.satellites()) {
    if (s.system == system && s.prn == prn) return &s;
  }
  return nullptr;
}

void Feed(ReceiverState& state, const std::string& line, int64_t now = 100) {
  ParseOptions options;
  options.nowUtc = now;
  DispatchSentence(line, state, options);
}

TEST(Sky, EverySystemWithItsSignalsAndTheSatellitesInUse) {
  ReceiverState state;
  // GPS on L1 (signal 1) and L5 (signal 8): one entry, the strongest signal.
  Feed(state, Sentence("GPGSV,1,1,02,05,41,120,38,13,20,300,,1"));
  Feed(state, Sentence("GPGSV,1,1,02,05,41,120,44,13,20,300,22,8"));
  // GLONASS, Galileo and BeiDou, each its own talker.
  Feed(state, Sentence("GLGSV,1,1,01,70,45,100,40,1"));
  Feed(state, Sentence("GAGSV,1,1,01,07,60,200,,7"));
  Feed(state, Sentence("GBGSV,1,1,01,19,30,050,35,1"));
  // One GSA per system, told by the NMEA 4.10 system id.
  Feed(state, Sentence("GNGSA,A,3,05,13,,,,,,,,,,,1.5,0.9,1.2,1"));
  Feed(state, Sentence("GNGSA,A,3,70,,,,,,,,,,,,1.5,0.9,1.2,2"));
  Feed(state, Sentence("GNGSA,A,3,19,,,,,,,,,,,,1.5,0.9,1.2,4"));
  const SkyTable& sky = state.sky;
  ASSERT_EQ(sky.satellites().size(), 5u);
  EXPECT_EQ(Find(sky, GnssSystem::Gps, 5)->snr, 44);
  EXPECT_EQ(Find(sky, GnssSystem::Gps, 13)->snr, 22);  // heard on L5 only
  EXPECT_EQ(Find(sky, GnssSystem::Galileo, 7)->snr, -1);
  EXPECT_EQ(Find(sky, GnssSystem::Galileo, 7)->elevation, 60);
  EXPECT_TRUE(Find(sky, GnssSystem::Glonass, 70)->used);
  EXPECT_TRUE(Find(sky, GnssSystem::BeiDou, 19)->used);
  EXPECT_FALSE(Find(sky, GnssSystem::Galileo, 7)->used);
  EXPECT_EQ(sky.inView(), 4);
  EXPECT_EQ(sky.used(), 4);
  // GPS's twelve slots hold GPS only.
  EXPECT_EQ(state.satelliteView.satellites[0].prn, 5);
  EXPECT_EQ(state.satelliteView.satellites[2].prn, 0);

  // A new GSA of one system leaves the others' use alone.
  Feed(state, Sentence("GNGSA,A,3,05,,,,,,,,,,,,1.5,0.9,1.2,1"));
  EXPECT_FALSE(Find(sky, GnssSystem::Gps, 13)->used);
  EXPECT_TRUE(Find(sky, GnssSystem::Glonass, 70)->used);
}

TEST(Sky, GnTalkersByPrnRangesCyclesInAnyOrderAndAgeingOut) {
  ReceiverState state;
  // "GN" GSV and GSA without system ids: the PRN ranges tell.
  Feed(state, Sentence("GNGSV,2,2,05,200,30,030,31"));
  Feed(state, Sentence("GNGSV,2,1,05,02,10,010,30,40,20,020,31,66,30,030,32,303,40,040,33"));
  const SkyTable& sky = state.sky;
  ASSERT_EQ(sky.satellites().size(), 5u);
  EXPECT_NE(Find(sky, GnssSystem::Gps, 2), nullptr);
  EXPECT_NE(Find(sky, GnssSystem::Sbas, 40), nullptr);
  EXPECT_NE(Find(sky, GnssSystem::Glonass, 66), nullptr);
  EXPECT_NE(Find(sky, GnssSystem::Galileo, 303), nullptr);
  EXPECT_NE(Find(sky, GnssSystem::Qzss, 200), nullptr);
  Feed(state, Sentence("GNGSA,A,3,02,66,,,,,,,,,,,1.5,0.9,1.2"));
  EXPECT_TRUE(Find(sky, GnssSystem::Gps, 2)->used);
  EXPECT_TRUE(Find(sky, GnssSystem::Glonass, 66)->used);
  EXPECT_EQ(sky.used(), 2);

  // A satellite no longer reported leaves with its talker's next cycle; a
  // talker that stops altogether leaves after the age-out time.
  Feed(state, Sentence("GNGSV,1,1,01,02,10,010,30"), 101);
  EXPECT_EQ(sky.satellites().size(), 1u);
  Feed(state, Sentence("GLGSV,1,1,01,70,45,100,40"), 102);
  EXPECT_EQ(sky.satellites().size(), 2u);
  Feed(state, Sentence("GLGSV,1,1,01,70,45,100,40"), 102 + kSkyAgeOutSeconds + 1);
  EXPECT_EQ(sky.satellites().size(), 1u);
  EXPECT_EQ(sky.satellites()[0].system, GnssSystem::Glonass);

  // Room for a full modern sky: 64 satellites in four systems.
  ReceiverState big;
  for (const char* talker : {"GP", "GL", "GA", "GB"}) {
    for (int m = 1; m <= 4; ++m) {
      std::string body = std::string(talker) + "GSV,4," + std::to_string(m) + ",16";
      for (int k = 0; k < 4; ++k) body += "," + std::to_string(4 * (m - 1) + k + (std::string(talker) == "GL" ? 65 : 1)) + ",30,100,35";
      Feed(big, Sentence(body));
    }
  }
  EXPECT_EQ(big.sky.satellites().size(), 64u);
  EXPECT_EQ(big.sky.inView(), 64);
}

TEST(Sky, ACycleBegunBeforeListeningAndOneSatelliteNumberedTwoWays) {
  ReceiverState state;
  // The link opens during a cycle. The first cycle may come in any order,
  // so the tail and the next head make one; after it, message 1 begins a
  // cycle, and a tail is never joined to the next head again.
  Feed(state, Sentence("GLGSV,2,2,03,70,10,100,20"));
  Feed(state, Sentence("GLGSV,2,1,03,65,20,200,30,66,30,300,31"));
  EXPECT_EQ(state.sky.satellites().size(), 3u);
  Feed(state, Sentence("GLGSV,2,2,03,71,10,100,21"));
  Feed(state, Sentence("GLGSV,2,1,03,65,20,200,30,66,30,300,31"));
  EXPECT_NE(Find(state.sky, GnssSystem::Glonass, 70), nullptr);  // not complete yet
  Feed(state, Sentence("GLGSV,2,2,03,72,10,100,22"));
  EXPECT_EQ(state.sky.satellites().size(), 3u);
  EXPECT_EQ(Find(state.sky, GnssSystem::Glonass, 70), nullptr);
  EXPECT_EQ(Find(state.sky, GnssSystem::Glonass, 71), nullptr);
  EXPECT_NE(Find(state.sky, GnssSystem::Glonass, 72), nullptr);

  // BeiDou 8 in GSV and 208 in GSA, GLONASS 65 in GSV and 1 in GSA: the same satellites.
  Feed(state, Sentence("BDGSV,1,1,01,08,09,030,39,4"));
  Feed(state, Sentence("GNGSA,A,2,208,,,,,,,,,,,,1.6,1.3,0.9,4"));
  Feed(state, Sentence("GNGSA,A,2,01,,,,,,,,,,,,1.6,1.3,0.9,2"));
  EXPECT_TRUE(Find(state.sky, GnssSystem::BeiDou, 8)->used);
  EXPECT_TRUE(Find(state.sky, GnssSystem::Glonass, 65)->used);
  EXPECT_FALSE(Find(state.sky, GnssSystem::Glonass, 66)->used);
}

}  // namespace
}  // namespace tarvo
