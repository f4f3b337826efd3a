// The bundled demo drive (data/demo/demo-drive.nmea): every sentence parses,
// each second carries the full set, and what it describes is a plausible
// drive with a plausible sky.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/gps/line_assembler.h"
#include "core/gps/nmea.h"

namespace tarvo {
namespace {

struct Second {
  std::vector<SentenceKind> kinds;
  GpsFix gga;
  RmcFix rmc;
  DopInfo dop;
  SatelliteView sky;
  bool skyComplete = false;
};

std::vector<Second> ReadDemo() {
  std::ifstream in(std::string(TARVO_SOURCE_DIR) + "/data/demo/demo-drive.nmea", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_FALSE(bytes.empty());
  std::vector<Second> seconds;
  ReceiverState state;
  ParseOptions raw;
  raw.raw = true;
  LineAssembler lines;
  lines.Feed(bytes, [&](std::string_view line) {
    const DispatchResult r = DispatchSentence(line, state, raw);
    ASSERT_EQ(r.status, SentenceStatus::Parsed) << line;
    if (r.kind == SentenceKind::Gga) seconds.emplace_back();
    ASSERT_FALSE(seconds.empty()) << "the drive starts with a GGA";
    Second& s = seconds.back();
    s.kinds.push_back(r.kind);
    s.gga = state.gpsFix;
    s.rmc = state.rmcFix;
    s.dop = state.dopInfo;
    if (r.kind == SentenceKind::Gsv && GsvCycleComplete(state.satelliteView)) {
      s.sky = state.satelliteView;
      s.skyComplete = true;
      ClearGsvCycle(state.satelliteView);
    }
  });
  return seconds;
}

double Metres(const RmcFix& a, const RmcFix& b) {
  const double north = (b.latitude - a.latitude) * 111150.0;
  const double east = (b.longitude - a.longitude) * 111320.0 * std::cos(a.latitude * 3.14159265358979 / 180.0);
  return std::hypot(north, east);
}

TEST(NmeaDemoDrive, EverySecondCarriesTheFullSetOfSentences) {
  const std::vector<Second> seconds = ReadDemo();
  ASSERT_GE(seconds.size(), 600u);  // 10 to 15 minutes
  ASSERT_LE(seconds.size(), 900u);
  const std::vector<SentenceKind> expected = {SentenceKind::Gga, SentenceKind::Rmc,   SentenceKind::Gsa,
                                              SentenceKind::Gsv, SentenceKind::Gsv,   SentenceKind::Gsv,
                                              SentenceKind::Pgrme, SentenceKind::Pgrmz};
  for (std::size_t i = 0; i < seconds.size(); ++i) {
    const Second& s = seconds[i];
    ASSERT_EQ(s.kinds, expected) << "second " << i;
    ASSERT_TRUE(s.skyComplete) << "second " << i;
    EXPECT_EQ(s.sky.messageCount, 3);
    // GGA comes first in each second and takes the date of the RMC before
    // it; the very first one has only the computer's clock.
    if (i > 0) {
      EXPECT_EQ(s.gga.fixTime, s.rmc.fixTime) << "second " << i;
    }
    if (i > 1) {
      EXPECT_EQ(s.gga.fixTime, seconds[i - 1].gga.fixTime + 1) << "second " << i;
    }
  }
  // The receiver needs a few seconds for its first fix.
  EXPECT_EQ(seconds.front().gga.fixQuality, 0);
  EXPECT_EQ(seconds.front().rmc.valid, 0);
  EXPECT_EQ(seconds.front().dop.fixMode, 1);
  int withoutFix = 0;
  for (const Second& s : seconds) withoutFix += s.gga.fixQuality == 0 ? 1 : 0;
  EXPECT_GT(withoutFix, 1);
  EXPECT_LT(withoutFix, 10);
}

TEST(NmeaDemoDrive, TheCarDrivesOnceRoundTheLakeWithStops) {
  const std::vector<Second> seconds = ReadDemo();
  std::vector<const Second*> fixed;
  for (const Second& s : seconds) {
    if (s.rmc.valid == 1) fixed.push_back(&s);
  }
  ASSERT_GT(fixed.size(), 500u);

  double distance = 0.0;
  std::set<int> octants;  // directions driven
  double fastest = 0.0;
  int stops = 0;
  int still = 0;
  for (std::size_t i = 1; i < fixed.size(); ++i) {
    const RmcFix& a = fixed[i - 1]->rmc;
    const RmcFix& b = fixed[i]->rmc;
    const double moved = Metres(a, b);
    distance += moved;
    // The position moves as fast as the speed says (metres per second, plus
    // the receiver's wander).
    const double speed = 0.5 * (a.speedKnots + b.speedKnots) * 1852.0 / 3600.0;
    EXPECT_NEAR(moved, speed, 2.5 + 0.15 * speed) << "second " << i;
    fastest = std::max(fastest, b.speedKnots * 1.852);
    if (b.speedKnots < 0.3) {
      if (++still == 5) ++stops;
    } else {
      still = 0;
      octants.insert(static_cast<int>(b.course / 45.0));
    }
    // The car stays near Lake Bled.
    EXPECT_NEAR(b.latitude, 46.364, 0.01);
    EXPECT_NEAR(b.longitude, 14.099, 0.02);
  }
  EXPECT_GT(distance, 4000.0);
  EXPECT_LT(distance, 8000.0);
  EXPECT_GT(fastest, 40.0);  // km/h
  EXPECT_LT(fastest, 60.0);
  EXPECT_GE(stops, 4);  // parked, crossing, photo stop, junction, hotels, parked
  // Round the lake: out of the car park heading south-west, back heading
  // north-east; every direction but north-north-west on the way.
  EXPECT_GE(octants.size(), 7u);
  EXPECT_LT(Metres(fixed.front()->rmc, fixed.back()->rmc), 30.0);
}

TEST(NmeaDemoDrive, SatellitesMoveAndSignalsFollowElevation) {
  const std::vector<Second> seconds = ReadDemo();
  std::map<int, std::pair<int, int>> firstLast;  // prn: first and last elevation seen
  double highSum = 0.0, lowSum = 0.0;
  int high = 0, low = 0;
  for (const Second& s : seconds) {
    std::set<int> tracked;
    for (const SatelliteSlot& slot : s.sky.satellites) {
      if (slot.prn == 0) continue;
      auto [it, inserted] = firstLast.emplace(slot.prn, std::pair{slot.elevation, slot.elevation});
      if (!inserted) it->second.second = slot.elevation;
      if (slot.snr > 0) tracked.insert(slot.prn);
      if (slot.elevation >= 50) {
        highSum += slot.snr;
        ++high;
      } else if (slot.elevation <= 15) {
        lowSum += slot.snr;
        ++low;
      }
    }
    // The fix uses tracked satellites only.
    if (s.dop.fixMode == 3) {
      int used = 0;
      for (int32_t prn : s.dop.usedPrns) {
        if (prn == 0) continue;
        ++used;
        EXPECT_TRUE(tracked.contains(prn)) << prn;
      }
      EXPECT_EQ(used, s.gga.satellitesUsed);
      EXPECT_GE(used, 4);
      EXPECT_GT(s.dop.pdop, s.dop.hdop);
      EXPECT_LT(s.dop.hdop, 5.0);
    }
  }
  int moving = 0;
  for (const auto& [prn, elevations] : firstLast) moving += elevations.first != elevations.second ? 1 : 0;
  EXPECT_GE(firstLast.size(), 10u);
  EXPECT_GE(moving, 8);
  ASSERT_GT(high, 0);
  ASSERT_GT(low, 0);
  EXPECT_GT(highSum / high, lowSum / low + 8.0);
}

}  // namespace
}  // namespace tarvo
