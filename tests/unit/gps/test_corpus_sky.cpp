// Real recordings: for every log of the shared NMEA corpus, the satellites in
// view and in use per system, fed through the sentence dispatcher into the
// sky table, agree with the SKY objects of the reference decoder beside each
// log (NAME.gpsdecode.json, gpsdecode 3.22).
//
// Compared: the union over the whole log of the satellites in view, and of
// those in use, each as (system, number within its system). The reference
// has rules of its own; each is applied here exactly, and described in
// docs/sky-vs-gpsd.md:
// - Numbering: it numbers a satellite within its system (GLONASS 65 is 1,
//   BeiDou 201 is 1, Galileo 301 and 101 are 1, QZSS 193 is 1, SBAS 33 is 120).
// - A completed sky in which no satellite has an azimuth is discarded.
// - A satellite with no signal is never in use, whatever GSA says.
// - GSA numbers are read by the NMEA number ranges only, not by the NMEA 4.10
//   system id: Galileo 7 in a Galileo GSA is taken as GPS 7.
// - Once another talker's GSV has been seen, the end of a GPGSV cycle is not
//   reported, and each epoch starts a new sky: a receiver that sends GPGSV
//   last in every epoch has its GPS satellites never reported.
// - The sky of an epoch is reported when its last talker's cycle completes; a
//   log that ends inside a cycle loses the skies since that talker's last one.
// - Two receivers' Galileo/BeiDou satellites numbered 33..64 are reported as
//   SBAS (see kSbasNumbered); one satellite of one log is a reference glitch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/gps/line_assembler.h"
#include "core/gps/nmea.h"
#include "core/gps/nmea_fields.h"
#include "core/gps/sky.h"
#include "tests/common/shared_data.h"

namespace tarvo {
namespace {

namespace fs = std::filesystem;

// The reference's system ids (gnssid).
enum : int { kGps = 0, kSbas = 1, kGalileo = 2, kBeiDou = 3, kQzss = 5, kGlonass = 6, kNavIC = 7 };
using SatId = std::pair<int, int>;  // gnssid, number within the system
using SatSet = std::set<SatId>;

// Logs whose Galileo and BeiDou satellites numbered 33..64 the reference
// lists as SBAS satellites (number + 87). The Telit PLS83-W log has Galileo
// 33 too, and there the reference keeps it as Galileo.
const std::set<std::string> kSbasNumbered = {"ublox-zed-f9p-nmea.log", "unicore-um621.log"};

// Satellites the reference lists that no sentence of the log reports:
// quectel-eg25-g's reference once shows an SBAS "PRN 56" with azimuth 0 and
// signal 1 in place of the GLONASS 69 its GLGSV carries.
const std::map<std::string, SatSet> kReferenceGlitch = {{"quectel-eg25-g.log", {{kSbas, 143}}}};

const fs::path& CorpusDir() {
  static const fs::path dir = test::SharedPath("corpus/nmea");
  return dir;
}

int GnssId(GnssSystem system) {
  switch (system) {
    case GnssSystem::Gps: return kGps;
    case GnssSystem::Sbas: return kSbas;
    case GnssSystem::Glonass: return kGlonass;
    case GnssSystem::Galileo: return kGalileo;
    case GnssSystem::BeiDou: return kBeiDou;
    case GnssSystem::Qzss: return kQzss;
    case GnssSystem::NavIC: return kNavIC;
  }
  return -1;
}

// Our (system, number as sent) as the reference numbers it.
SatId Reference(int gnssid, int prn, bool sbasNumbered) {
  if (sbasNumbered && (gnssid == kGalileo || gnssid == kBeiDou) && prn >= 33 && prn <= 64) return {kSbas, prn + 87};
  switch (gnssid) {
    case kSbas: return {kSbas, prn <= 64 ? prn + 87 : prn};
    case kGlonass: return {kGlonass, prn >= 65 ? prn - 64 : prn};
    case kGalileo: return {kGalileo, prn > 300 ? prn - 300 : prn > 100 ? prn - 100 : prn};
    case kBeiDou: return {kBeiDou, prn > 400 ? prn - 400 : prn > 200 ? prn - 200 : prn};
    case kQzss: return {kQzss, prn > 192 ? prn - 192 : prn};
    default: return {gnssid, prn};
  }
}

// A GSA number read by the NMEA ranges alone, as the reference reads it.
std::optional<SatId> ByRanges(int prn) {
  if (prn >= 1 && prn <= 32) return SatId{kGps, prn};
  if (prn >= 33 && prn <= 64) return SatId{kSbas, prn + 87};
  if (prn >= 65 && prn <= 96) return SatId{kGlonass, prn - 64};
  if (prn >= 120 && prn <= 158) return SatId{kSbas, prn};
  if (prn >= 193 && prn <= 200) return SatId{kQzss, prn - 192};
  if (prn >= 201 && prn <= 237) return SatId{kBeiDou, prn - 200};
  if (prn >= 301 && prn <= 336) return SatId{kGalileo, prn - 300};
  return std::nullopt;
}

// A GSA number as we place it: by the NMEA 4.10 system id, else the talker.
std::optional<int> GnssIdOfGsa(std::string_view talker, int systemId, int prn) {
  switch (systemId) {
    case 1: return prn > 32 ? kSbas : kGps;
    case 2: return kGlonass;
    case 3: return kGalileo;
    case 4: return kBeiDou;
    case 5: return kQzss;
    case 6: return kNavIC;
    default: break;
  }
  if (talker == "GL") return kGlonass;
  if (talker == "GA") return kGalileo;
  if (talker == "GB" || talker == "BD") return kBeiDou;
  return std::nullopt;  // GP, GN: by the ranges, as the reference
}

struct Sky {
  SatSet view;
  SatSet used;
};

Sky ReferenceSky(const fs::path& json) {
  Sky sky;
  std::ifstream in(json);
  std::string line;
  while (std::getline(in, line)) {
    if (line.find("\"class\":\"SKY\"") == std::string::npos) continue;
    for (std::size_t at = line.find("{\"PRN\":"); at != std::string::npos; at = line.find("{\"PRN\":", at + 1)) {
      const std::string object = line.substr(at, line.find('}', at) - at);
      const auto number = [&](const char* key) {
        const std::size_t k = object.find(key);
        return k == std::string::npos ? -1 : std::atoi(object.c_str() + k + std::strlen(key));
      };
      const SatId id{number("\"gnssid\":"), number("\"svid\":")};
      sky.view.insert(id);
      if (object.find("\"used\":true") != std::string::npos) sky.used.insert(id);
    }
  }
  return sky;
}

struct OurRun {
  Sky sky;
  // GSA numbers that our placing and the reference's ranges put on different
  // satellites: ours may be in use here only, theirs in the reference only.
  SatSet oursByGsaSystem;
  SatSet theirsByRanges;
  bool gpsNeverReported = false;
  int skies = 0;
};

OurRun OurSky(const fs::path& log) {
  const std::string name = log.filename().string();
  const bool sbasNumbered = kSbasNumbered.contains(name);
  std::ifstream in(log, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  ReceiverState state;
  ParseOptions options;
  std::vector<Sky> skies;  // one per completed cycle
  uint64_t cycles = 0;
  OurRun run;

  // Per talker: the message of its cycle last seen, and the sky index after
  // its last completed cycle.
  struct TalkerCycle {
    int message = 0;
    int total = 0;
    std::size_t skiesAtCompletion = 0;
  };
  std::map<std::string, TalkerCycle> talkers;
  // Epochs (a new time of day in GGA, RMC, GNS or GLL), for the GPGSV rule.
  std::string epochTime;
  bool otherTalkerThisEpoch = false;
  bool otherTalkerSeen = false;
  bool gpsCycleSeen = false;
  bool gpsAlwaysAfterOthers = true;
  bool gpsPendingLast = false;  // a GPGSV cycle completed; is it the epoch's last?
  bool gpsAlwaysLast = true;

  LineAssembler assembler;
  assembler.Feed(bytes, [&](std::string_view line) {
    SentenceFrame frame;
    const bool framed = FrameSentence(line, frame) == SentenceStatus::Parsed && frame.hasChecksum &&
                        frame.address.size() == 5;
    const std::string talker = framed ? std::string(frame.address.substr(0, 2)) : std::string();
    const std::string_view type = framed ? frame.address.substr(2) : std::string_view();
    if (framed && (type == "GGA" || type == "RMC" || type == "GNS" || type == "GLL")) {
      NextField next(frame.fields);
      std::optional<std::string_view> time = next();
      if (type == "GLL") {
        for (int i = 0; i < 4; ++i) time = next();
      }
      if (FieldPresent(time) && std::string(*time) != epochTime) {
        epochTime = std::string(*time);
        otherTalkerThisEpoch = false;
        gpsPendingLast = false;
      }
    }
    if (framed && type == "GSA") {
      NextField next(frame.fields);
      next.Skip(2);
      std::vector<int> prns;
      for (int i = 0; i < 12; ++i) {
        const auto f = next();
        if (FieldPresent(f) && FieldInt(*f) > 0) prns.push_back(FieldInt(*f));
      }
      next.Skip(3);
      const auto id = next();
      const int systemId = FieldPresent(id) ? FieldInt(*id) : 0;
      for (int prn : prns) {
        const std::optional<int> ours = GnssIdOfGsa(talker, systemId, prn);
        const std::optional<SatId> theirs = ByRanges(prn);
        if (!ours) continue;
        const SatId mine = Reference(*ours, prn, sbasNumbered);
        if (theirs && *theirs == mine) continue;
        run.oursByGsaSystem.insert(mine);
        if (theirs) run.theirsByRanges.insert(*theirs);
      }
    }
    if (framed && type == "GSV") {
      NextField next(frame.fields);
      const auto total = next();
      const auto message = next();
      TalkerCycle& cycle = talkers[talker];
      cycle.total = total ? FieldInt(*total) : 0;
      cycle.message = message ? FieldInt(*message) : 0;
    }

    DispatchSentence(line, state, options);
    if (state.sky.completedCycles() == cycles) return;
    cycles = state.sky.completedCycles();
    talkers[talker].skiesAtCompletion = skies.size() + 1;
    if (talker == "GP") {
      gpsCycleSeen = true;
      if (!otherTalkerThisEpoch || !otherTalkerSeen) gpsAlwaysAfterOthers = false;
      gpsPendingLast = true;
    } else {
      otherTalkerThisEpoch = otherTalkerSeen = true;
      if (gpsPendingLast) gpsAlwaysLast = false;
      gpsPendingLast = false;
    }
    Sky sky;
    bool anyAzimuth = false;
    for (const SkySatellite& s : state.sky.satellites()) {
      const SatId id = Reference(GnssId(s.system), s.prn, sbasNumbered);
      sky.view.insert(id);
      if (s.used && s.snr > 0) sky.used.insert(id);
      anyAzimuth = anyAzimuth || s.azimuth > 0;
    }
    skies.push_back(anyAzimuth ? std::move(sky) : Sky{});
  });

  // A log that ends inside a cycle: the skies since that talker's last one
  // are never reported.
  std::size_t reported = skies.size();
  for (const auto& [talker, cycle] : talkers) {
    if (cycle.message > 0 && cycle.message < cycle.total) reported = std::min(reported, cycle.skiesAtCompletion);
  }
  skies.resize(reported);
  run.gpsNeverReported = gpsCycleSeen && gpsAlwaysAfterOthers && gpsAlwaysLast;
  run.skies = static_cast<int>(skies.size());
  for (const Sky& sky : skies) {
    run.sky.view.insert(sky.view.begin(), sky.view.end());
    run.sky.used.insert(sky.used.begin(), sky.used.end());
  }
  return run;
}

std::string Describe(const SatSet& set) {
  std::ostringstream out;
  for (const auto& [gnssid, svid] : set) out << " " << gnssid << ":" << svid;
  return out.str();
}

SatSet Minus(const SatSet& a, const SatSet& b) {
  SatSet d;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::inserter(d, d.end()));
  return d;
}

std::vector<std::string> LogsWithReference() {
  std::vector<std::string> logs;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(CorpusDir(), error)) {
    if (entry.path().extension() != ".log") continue;
    if (fs::exists(CorpusDir() / (entry.path().stem().string() + ".gpsdecode.json"))) {
      logs.push_back(entry.path().filename().string());
    }
  }
  std::sort(logs.begin(), logs.end());
  return logs;
}

TEST(NmeaCorpusSky, HoldsTheRecordingsWithReferences) {
  TARVO_NEEDS_SHARED(CorpusDir());
  EXPECT_GE(LogsWithReference().size(), 48u) << CorpusDir();
}

// Without the corpus there is nothing to instantiate; the test above says so.
class NmeaCorpusSkyLog : public ::testing::TestWithParam<std::string> {};
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(NmeaCorpusSkyLog);

TEST_P(NmeaCorpusSkyLog, SatellitesInViewAndInUsePerSystemAgreeWithTheReference) {
  const std::string name = GetParam();
  const fs::path log = CorpusDir() / name;
  OurRun ours = OurSky(log);
  Sky theirs = ReferenceSky(CorpusDir() / (log.stem().string() + ".gpsdecode.json"));

  if (ours.gpsNeverReported) {
    const auto isGps = [](const SatId& id) { return id.first == kGps; };
    EXPECT_EQ(std::count_if(theirs.view.begin(), theirs.view.end(), isGps), 0)
        << name << ": GPGSV comes last in every epoch, yet the reference reports GPS satellites";
    std::erase_if(ours.sky.view, isGps);
    std::erase_if(ours.sky.used, isGps);
  }
  if (const auto glitch = kReferenceGlitch.find(name); glitch != kReferenceGlitch.end()) {
    for (const SatId& id : glitch->second) {
      EXPECT_EQ(theirs.view.erase(id), 1u) << name << ": the reference no longer lists " << Describe({id});
      theirs.used.erase(id);
    }
  }

  EXPECT_EQ(Describe(ours.sky.view), Describe(theirs.view)) << name << " in view (" << ours.skies << " skies)";
  EXPECT_EQ(Describe(Minus(Minus(ours.sky.used, theirs.used), ours.oursByGsaSystem)), "")
      << name << ": in use here only";
  EXPECT_EQ(Describe(Minus(Minus(theirs.used, ours.sky.used), ours.theirsByRanges)), "")
      << name << ": in use in the reference only";
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param.substr(0, info.param.size() - 4);
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Logs, NmeaCorpusSkyLog, ::testing::ValuesIn(LogsWithReference()), TestName);

}  // namespace
}  // namespace tarvo
