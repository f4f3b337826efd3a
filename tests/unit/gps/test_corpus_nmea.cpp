// Real recordings: every log of the shared NMEA corpus goes through the built
// tarvo-nmea, and its --raw positions are compared with the reference
// decoder's output beside each log (NAME.gpsdecode.json, TPV objects).
//
// How a reference report is matched: the reference reports once per epoch
// with the position of the epoch's last position sentence, and its times
// carry fractions, ours whole seconds. A TPV is matched when a GGA or RMC
// record of ours has the same time of day (whole seconds) and the same
// position to 1e-6 degrees. Some receivers send GLL or GNS after GGA and RMC
// (sentences we do not parse), so the reference position may come from
// those: such a TPV counts as explained only when a GLL or GNS sentence with
// a valid checksum at that time of day carries that position, and the count
// of such TPVs per log is checked against what the logs hold (see kOtherSource).
//
// Dates: where an RMC with a date preceded the record, our full time must
// equal the reference time, less 1024 weeks for the logs the corpus index
// marks (the reference moves dates before 2017 forward by 1024 weeks).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/gps/line_assembler.h"
#include "core/gps/nmea.h"
#include "tests/common/shared_data.h"

#ifndef TARVO_NMEA_EXE
#error "TARVO_NMEA_EXE must name the built tarvo-nmea"
#endif

namespace tarvo {
namespace {

namespace fs = std::filesystem;

constexpr int64_t k1024Weeks = 619315200;
constexpr double kTolerance = 1e-6;

const fs::path& CorpusDir() {
  static const fs::path dir = fs::path(TARVO_SHARED_DIR) / "corpus" / "nmea";
  return dir;
}

// Logs whose reference positions partly come from GLL or GNS, with the number
// of TPVs that only those sentences explain. Evidence (from the logs):
// - bundg_zeus_9: GGA and GLL at t, then RMC stamped t+1 with the GLL's
//   position; the reference reports t with the GLL position.
// - ericsson-gru04-02-70sec: a timing receiver sending GNGNS and GNGLL every
//   second but GPGGA only once a minute, and no RMC.
// - humminbird-M37: RMC, GLL and GGA take turns, one position sentence per
//   second; the GLL seconds have no GGA or RMC.
const std::map<std::string, int> kOtherSource = {
    {"bundg_zeus_9.log", 191},
    {"ericsson-gru04-02-70sec.log", 68},
    {"humminbird-M37.log", 7},
};

// Logs for which the reference reports no position at all (every TPV has
// mode 1 and no lat/lon): GPSmap-76S and garmin-geko201 send simulator fixes
// (GGA quality 8, RMC status V), eXplorist110 and tn200-all have no fix (GGA
// quality 0, RMC V), and furuno_gl_ga's GNGSA (invalid Galileo encoding, per
// its header) keeps the reference in mode 1 although GGA and RMC hold a fix.
// They are decoded, and checked to hold no reference position.
const std::set<std::string> kNoReferencePosition = {
    "GPSmap-76S.log", "eXplorist110.log", "furuno_gl_ga.log", "garmin-geko201.log", "tn200-all.log",
};

// bt451 splices two sessions of one day (15:25 back to 14:33). The reference
// takes the time going back for a midnight and reports the first two epochs
// after the splice a day later, until the next RMC and ZDA date it again; the
// sentences keep saying 2009-12-09 throughout, and so do we. The number of
// reports dated a day late when the time has gone back:
const std::map<std::string, int> kReferenceDayLate = {{"bt451.log", 2}};

// ---------------------------------------------------------------------------
// Small readers for the two JSON dialects (flat objects, known keys).

std::optional<double> JsonNumber(const std::string& line, const std::string& key) {
  const std::string pattern = "\"" + key + "\":";
  const std::size_t at = line.find(pattern);
  if (at == std::string::npos) return std::nullopt;
  const char* start = line.c_str() + at + pattern.size();
  char* end = nullptr;
  const double v = std::strtod(start, &end);
  if (end == start) return std::nullopt;
  return v;
}

std::optional<std::string> JsonText(const std::string& line, const std::string& key) {
  const std::string pattern = "\"" + key + "\":\"";
  const std::size_t at = line.find(pattern);
  if (at == std::string::npos) return std::nullopt;
  const std::size_t from = at + pattern.size();
  const std::size_t to = line.find('"', from);
  if (to == std::string::npos) return std::nullopt;
  return line.substr(from, to - from);
}

// "2002-10-08T14:22:16.500Z" to whole seconds since 1970.
std::optional<int64_t> IsoSeconds(const std::string& text) {
  int y, mo, d, h, mi, s;
  if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) return std::nullopt;
  return DaysFromCivil(y, mo, d) * kSecondsPerDay + h * 3600 + mi * 60 + s;
}

int32_t TimeOfDay(int64_t t) { return static_cast<int32_t>(((t % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay); }

struct Position {
  double latitude;
  double longitude;
  bool Near(double lat, double lon) const {
    return std::abs(latitude - lat) <= kTolerance && std::abs(longitude - lon) <= kTolerance;
  }
};

struct OurRecord {
  Position position;
  int64_t fixTime;
  bool dated;  // an RMC with a date came before it
};

struct ToolRun {
  int status = -1;
  std::vector<std::string> lines;
};

ToolRun RunTool(const fs::path& log, const char* options) {
  ToolRun run;
  const std::string command = std::string("'") + TARVO_NMEA_EXE + "' " + options + " '" + log.string() + "' 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::string line;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    line += buffer;
    if (!line.empty() && line.back() == '\n') {
      line.pop_back();
      run.lines.push_back(line);
      line.clear();
    }
  }
  run.status = ::pclose(pipe);
  return run;
}

// GLL and GNS positions by time of day, from sentences with a valid checksum.
std::multimap<int32_t, Position> OtherPositions(const fs::path& log) {
  std::multimap<int32_t, Position> positions;
  std::ifstream in(log, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LineAssembler assembler;
  assembler.Feed(bytes, [&](std::string_view line) {
    SentenceFrame frame;
    if (FrameSentence(line, frame) != SentenceStatus::Parsed || !frame.hasChecksum || frame.address.size() != 5) return;
    const std::string_view type = frame.address.substr(2);
    if (type != "GLL" && type != "GNS") return;
    NextField next(frame.fields);
    std::optional<std::string_view> f[6];
    for (auto& field : f) field = next();
    // GLL: lat, N/S, lon, E/W, time. GNS: time, lat, N/S, lon, E/W.
    const int base = type == "GLL" ? 0 : 1;
    const auto& time = type == "GLL" ? f[4] : f[0];
    int32_t secondOfDay = 0;
    if (!time || !f[base] || !f[base + 2] || !ReadTimeOfDay(*time, secondOfDay)) return;
    double lat = NmeaDegrees(FieldDouble(*f[base]));
    double lon = NmeaDegrees(FieldDouble(*f[base + 2]));
    if (FieldStartsWith(f[base + 1], 'S')) lat = -lat;
    if (FieldStartsWith(f[base + 3], 'W')) lon = -lon;
    positions.emplace(secondOfDay, Position{lat, lon});
  });
  return positions;
}

bool ShiftedBy1024Weeks(const std::string& logName) {
  std::ifstream index(CorpusDir() / "index.tsv");
  std::string line;
  std::getline(index, line);
  std::vector<std::string> header;
  for (std::size_t from = 0;;) {
    const std::size_t tab = line.find('\t', from);
    header.push_back(line.substr(from, tab - from));
    if (tab == std::string::npos) break;
    from = tab + 1;
  }
  std::size_t column = 0;
  while (column < header.size() && header[column] != "gpsdecode_1024wk_shift") ++column;
  while (std::getline(index, line)) {
    std::vector<std::string> cells;
    for (std::size_t from = 0;;) {
      const std::size_t tab = line.find('\t', from);
      cells.push_back(line.substr(from, tab - from));
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    if (!cells.empty() && cells[0] == logName && column < cells.size()) return cells[column] == "yes";
  }
  ADD_FAILURE() << logName << " is not in index.tsv";
  return false;
}

std::vector<std::string> CorpusLogs() {
  std::vector<std::string> logs;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(CorpusDir(), error)) {
    if (entry.path().extension() == ".log") logs.push_back(entry.path().filename().string());
  }
  std::sort(logs.begin(), logs.end());
  return logs;
}

// ---------------------------------------------------------------------------

TEST(NmeaCorpus, HoldsTheRecordings) {
  TARVO_NEEDS_SHARED(CorpusDir());
  EXPECT_GE(CorpusLogs().size(), 48u) << CorpusDir();
}

// Without the corpus there is nothing to instantiate; HoldsTheRecordings says so.
class NmeaCorpusLog : public ::testing::TestWithParam<std::string> {};
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(NmeaCorpusLog);

TEST_P(NmeaCorpusLog, DecodesAndAgreesWithTheReferencePositions) {
  const std::string name = GetParam();
  const fs::path log = CorpusDir() / name;

  // Smoothed output: decodes without a crash, one JSON object per line.
  const ToolRun smoothed = RunTool(log, "--stats");
  ASSERT_EQ(smoothed.status, 0) << name;

  const ToolRun raw = RunTool(log, "--raw");
  ASSERT_EQ(raw.status, 0) << name;
  std::multimap<int32_t, OurRecord> ours;
  bool dated = false;
  for (const std::string& line : raw.lines) {
    ASSERT_TRUE(line.starts_with("{\"type\":\"") && line.ends_with("}")) << line;
    const std::string type = *JsonText(line, "type");
    if (type != "GGA" && type != "RMC") continue;
    const auto fixTime = JsonNumber(line, "fixTime");
    ASSERT_TRUE(fixTime.has_value()) << line;
    if (*fixTime == 0) continue;
    if (type == "RMC") dated = true;
    const auto t = static_cast<int64_t>(*fixTime);
    ours.emplace(TimeOfDay(t), OurRecord{{*JsonNumber(line, "latitude"), *JsonNumber(line, "longitude")}, t, dated});
  }

  const bool shifted = ShiftedBy1024Weeks(name);
  const std::multimap<int32_t, Position> other = OtherPositions(log);
  std::ifstream reference(CorpusDir() / (log.stem().string() + ".gpsdecode.json"));
  ASSERT_TRUE(reference.good()) << name;

  int references = 0;
  int matched = 0;
  int explained = 0;
  int failures = 0;
  int dateChecks = 0;
  int dayLate = 0;
  int32_t previousTimeOfDay = -1;
  bool timeWentBack = false;
  std::string line;
  while (std::getline(reference, line)) {
    if (!JsonText(line, "class") || *JsonText(line, "class") != "TPV") continue;
    const auto lat = JsonNumber(line, "lat");
    const auto lon = JsonNumber(line, "lon");
    const auto timeText = JsonText(line, "time");
    if (!lat || !lon || !timeText) continue;
    ++references;
    int64_t t = *IsoSeconds(*timeText);
    if (shifted) t -= k1024Weeks;
    const int32_t timeOfDay = TimeOfDay(t);
    if (previousTimeOfDay >= 0 && timeOfDay < previousTimeOfDay) timeWentBack = true;
    previousTimeOfDay = timeOfDay;

    bool found = false;
    bool dateChecked = false;
    bool dateAgrees = false;
    bool dateDayLate = false;
    for (auto [it, end] = ours.equal_range(timeOfDay); it != end; ++it) {
      if (!it->second.position.Near(*lat, *lon)) continue;
      found = true;
      if (it->second.dated) {
        dateChecked = true;
        dateAgrees = dateAgrees || it->second.fixTime == t;
        dateDayLate = dateDayLate || (timeWentBack && it->second.fixTime == t - kSecondsPerDay);
      }
    }
    if (found) {
      ++matched;
      if (dateChecked) {
        ++dateChecks;
        if (!dateAgrees && dateDayLate) {
          ++dayLate;
        } else {
          EXPECT_TRUE(dateAgrees) << name << ": reference time " << *timeText << " has another date in our output";
        }
      }
      continue;
    }
    bool fromOther = false;
    for (auto [it, end] = other.equal_range(timeOfDay); it != end; ++it) fromOther = fromOther || it->second.Near(*lat, *lon);
    if (fromOther) {
      ++explained;
    } else if (++failures <= 5) {
      ADD_FAILURE() << name << ": no GGA or RMC at " << *timeText << " with " << *lat << ", " << *lon;
    }
  }

  EXPECT_EQ(failures, 0) << name;
  const auto late = kReferenceDayLate.find(name);
  EXPECT_EQ(dayLate, late == kReferenceDayLate.end() ? 0 : late->second) << name;
  const auto otherSource = kOtherSource.find(name);
  EXPECT_EQ(explained, otherSource == kOtherSource.end() ? 0 : otherSource->second) << name;
  if (kNoReferencePosition.contains(name)) {
    EXPECT_EQ(references, 0) << name;
  } else {
    EXPECT_GT(matched, 0) << name << ": no reference position was compared";
  }
  RecordProperty("references", references);
  RecordProperty("matched", matched);
  RecordProperty("dateChecks", dateChecks);
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param.substr(0, info.param.size() - 4);
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Logs, NmeaCorpusLog, ::testing::ValuesIn(CorpusLogs()), TestName);

}  // namespace
}  // namespace tarvo
