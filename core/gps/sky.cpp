#include "core/gps/sky.h"

#include <algorithm>

#include "core/gps/nmea_fields.h"

namespace tarvo {

namespace {

constexpr int kMaxMessages = 32;  // a GSV cycle of more messages is not kept

std::optional<GnssSystem> SystemOfTalker(std::string_view talker) {
  if (talker == "GP") return GnssSystem::Gps;
  if (talker == "GL") return GnssSystem::Glonass;
  if (talker == "GA") return GnssSystem::Galileo;
  if (talker == "GB" || talker == "BD") return GnssSystem::BeiDou;
  if (talker == "GQ" || talker == "QZ") return GnssSystem::Qzss;
  if (talker == "GI") return GnssSystem::NavIC;
  return std::nullopt;  // "GN" and others: by PRN
}

// The system of a satellite reported by `talker`: GPS talkers also report
// SBAS satellites (PRN 33..64).
GnssSystem SystemOf(std::string_view talker, int prn) {
  const std::optional<GnssSystem> system = SystemOfTalker(talker);
  if (!system) return SystemOfPrn(prn);
  if (*system == GnssSystem::Gps && (prn > 32)) return SystemOfPrn(prn);
  return *system;
}

// NMEA 4.10 GSA system ids.
std::optional<GnssSystem> SystemOfId(int id) {
  switch (id) {
    case 1: return GnssSystem::Gps;
    case 2: return GnssSystem::Glonass;
    case 3: return GnssSystem::Galileo;
    case 4: return GnssSystem::BeiDou;
    case 5: return GnssSystem::Qzss;
    case 6: return GnssSystem::NavIC;
    default: return std::nullopt;
  }
}

int16_t Value(const std::optional<std::string_view>& field, int lowest, int highest) {
  if (!FieldPresent(field)) return -1;
  const int32_t v = FieldInt(*field);
  return v >= lowest && v <= highest ? static_cast<int16_t>(v) : int16_t{-1};
}

}  // namespace

std::string_view GnssSystemName(GnssSystem system) {
  switch (system) {
    case GnssSystem::Gps: return "GPS";
    case GnssSystem::Sbas: return "SBAS";
    case GnssSystem::Glonass: return "GLONASS";
    case GnssSystem::Galileo: return "Galileo";
    case GnssSystem::BeiDou: return "BeiDou";
    case GnssSystem::Qzss: return "QZSS";
    case GnssSystem::NavIC: return "NavIC";
  }
  return "GPS";
}

GnssSystem SystemOfPrn(int prn) {
  if (prn >= 1 && prn <= 32) return GnssSystem::Gps;
  if ((prn >= 33 && prn <= 64) || (prn >= 120 && prn <= 158)) return GnssSystem::Sbas;
  if (prn >= 65 && prn <= 96) return GnssSystem::Glonass;
  if (prn >= 193 && prn <= 200) return GnssSystem::Qzss;
  if (prn >= 201 && prn <= 264) return GnssSystem::BeiDou;
  if (prn >= 301 && prn <= 336) return GnssSystem::Galileo;
  return GnssSystem::Gps;
}

SkyTable::Cycle* SkyTable::CycleOf(std::string_view talker) {
  for (Cycle& c : cycles_) {
    if (c.talker[0] == talker[0] && c.talker[1] == talker[1]) return &c;
  }
  if (cycles_.size() >= 32) return nullptr;  // far more talkers than exist
  Cycle& c = cycles_.emplace_back();
  c.talker[0] = talker[0];
  c.talker[1] = talker[1];
  return &c;
}

bool SkyTable::AddGsv(std::string_view talker, std::string_view fields, int64_t now) {
  if (talker.size() != 2) return false;
  // 3 + 4k + 1 fields: the last one is the NMEA 4.10 signal id.
  const std::size_t fieldCount = 1 + static_cast<std::size_t>(std::count(fields.begin(), fields.end(), ','));
  int signal = 0;
  if (fieldCount > 3 && (fieldCount - 3) % 4 == 1) {
    const std::size_t comma = fields.rfind(',');
    signal = FieldInt(fields.substr(comma + 1));
    fields = fields.substr(0, comma);
  }
  NextField next(fields);
  const auto total = next();
  const auto number = next();
  const int count = total ? FieldInt(*total) : 0;
  const int message = number ? FieldInt(*number) : 0;
  if (count < 1 || count > kMaxMessages || message < 1 || message > count) return false;
  next.Skip(1);

  Cycle* cycle = CycleOf(talker);
  if (cycle == nullptr) return false;
  // A message seen already in this cycle, or a different total, starts the
  // cycle again; the messages of a talker's first cycle may come in any
  // order. After it, message 1 begins a cycle: otherwise a log or link that
  // began mid-cycle would complete every later cycle at its message 1,
  // joining the previous cycle's tail to the new head.
  const uint32_t bit = 1u << (message - 1);
  if ((message == 1 && cycle->completedOnce) || (cycle->seenMask & bit) != 0 || cycle->messageCount != count) {
    cycle->messageCount = count;
    cycle->seenMask = 0;
    cycle->satellites.clear();
  }
  cycle->seenMask |= bit;
  for (int k = 0; k < 4; ++k) {
    const auto prn = next();
    const auto elevation = next();
    const auto azimuth = next();
    const auto snr = next();
    if (!FieldPresent(prn)) continue;
    const int p = FieldInt(*prn);
    if (p <= 0 || p > 999) continue;
    SkySatellite s;
    s.system = SystemOf(talker, p);
    s.prn = static_cast<int16_t>(p);
    s.elevation = Value(elevation, 0, 90);
    s.azimuth = Value(azimuth, 0, 359);
    s.snr = Value(snr, 0, 99);
    cycle->satellites.push_back({message, signal, s});
  }
  const uint32_t all = count == 32 ? 0xFFFFFFFFu : (1u << count) - 1;
  if (cycle->seenMask != all) return false;
  Complete(*cycle, now);
  return true;
}

void SkyTable::Complete(Cycle& cycle, int64_t now) {
  // In message order, as the receiver numbered them.
  std::stable_sort(cycle.satellites.begin(), cycle.satellites.end(),
                   [](const Cycle::Entry& a, const Cycle::Entry& b) { return a.message < b.message; });
  // Each signal of the cycle replaces what the talker last said on it.
  std::vector<int> signals;
  for (const Cycle::Entry& e : cycle.satellites) {
    if (std::find(signals.begin(), signals.end(), e.signal) == signals.end()) signals.push_back(e.signal);
  }
  if (signals.empty()) signals.push_back(0);  // a cycle of no satellites empties the default signal
  for (int signal : signals) {
    auto it = std::find_if(reports_.begin(), reports_.end(), [&](const Report& r) {
      return r.talker[0] == cycle.talker[0] && r.talker[1] == cycle.talker[1] && r.signal == signal;
    });
    if (it == reports_.end()) {
      if (reports_.size() >= 64) continue;  // no receiver sends this many signal kinds
      it = reports_.insert(reports_.end(), Report{{cycle.talker[0], cycle.talker[1]}, signal, 0, {}});
    }
    it->completedAt = now;
    it->satellites.clear();
    for (const Cycle::Entry& e : cycle.satellites) {
      if (e.signal == signal) it->satellites.push_back(e.satellite);
    }
  }
  cycle.satellites.clear();
  cycle.seenMask = 0;
  cycle.completedOnce = true;
  ++completedCycles_;
  Merge(now);
}

void SkyTable::AddGsa(std::string_view talker, std::string_view fields) {
  NextField next(fields);
  next.Skip(2);  // selection mode, fix mode
  std::vector<int16_t> prns;
  for (int i = 0; i < 12; ++i) {
    const auto f = next();
    if (!FieldPresent(f)) continue;
    const int p = FieldInt(*f);
    if (p > 0 && p <= 999) prns.push_back(static_cast<int16_t>(p));
  }
  next.Skip(3);  // PDOP, HDOP, VDOP
  std::optional<GnssSystem> system;
  if (const auto id = next(); FieldPresent(id)) system = SystemOfId(FieldInt(*id));
  if (!system) system = SystemOfTalker(talker.size() == 2 ? talker : std::string_view());
  if (system) {
    // A GPS GSA may list SBAS satellites too.
    std::vector<int16_t>& gps = usedPrns_[static_cast<int>(*system)];
    gps.clear();
    std::vector<int16_t>& sbas = usedPrns_[static_cast<int>(GnssSystem::Sbas)];
    if (*system == GnssSystem::Gps) sbas.clear();
    for (int16_t p : prns) {
      if (*system == GnssSystem::Gps && p > 32) {
        usedPrns_[static_cast<int>(SystemOfPrn(p))].push_back(p);
      } else {
        gps.push_back(p);
      }
    }
  } else {
    // "GN" without a system id: one GSA per system, each told by its PRNs.
    std::array<bool, kGnssSystemCount> cleared{};
    for (int16_t p : prns) {
      const int s = static_cast<int>(SystemOfPrn(p));
      if (!cleared[s]) usedPrns_[s].clear();
      cleared[s] = true;
      usedPrns_[s].push_back(p);
    }
  }
  for (SkySatellite& s : sky_) s.used = IsUsed(s.system, s.prn);
}

int SystemLocalNumber(GnssSystem system, int prn) {
  switch (system) {
    case GnssSystem::Sbas: return prn >= 33 && prn <= 64 ? prn + 87 : prn;
    case GnssSystem::Glonass: return prn >= 65 && prn <= 96 ? prn - 64 : prn;
    case GnssSystem::Galileo: return prn >= 301 && prn <= 336 ? prn - 300 : prn;
    case GnssSystem::BeiDou: return prn >= 401 && prn <= 463 ? prn - 400 : prn >= 201 && prn <= 263 ? prn - 200 : prn;
    case GnssSystem::Qzss: return prn >= 193 && prn <= 202 ? prn - 192 : prn;
    default: return prn;
  }
}

bool SkyTable::IsUsed(GnssSystem system, int prn) const {
  // Some receivers number one satellite differently in GSV and GSA (BeiDou
  // 8 in GSV, 208 in GSA).
  const int number = SystemLocalNumber(system, prn);
  const std::vector<int16_t>& used = usedPrns_[static_cast<int>(system)];
  return std::any_of(used.begin(), used.end(), [&](int16_t p) { return SystemLocalNumber(system, p) == number; });
}

void SkyTable::Merge(int64_t now) {
  std::erase_if(reports_, [now](const Report& r) { return now - r.completedAt > kSkyAgeOutSeconds; });
  sky_.clear();
  for (const Report& r : reports_) {
    for (const SkySatellite& s : r.satellites) {
      auto it = std::find_if(sky_.begin(), sky_.end(),
                             [&](const SkySatellite& t) { return t.system == s.system && t.prn == s.prn; });
      if (it == sky_.end()) {
        if (sky_.size() < kSkyCapacity) sky_.push_back(s);
        continue;
      }
      // The strongest signal; a position from whichever signal has one.
      if (s.snr > it->snr) it->snr = s.snr;
      if (it->elevation < 0) it->elevation = s.elevation;
      if (it->azimuth < 0) it->azimuth = s.azimuth;
    }
  }
  for (SkySatellite& s : sky_) s.used = IsUsed(s.system, s.prn);
}

int SkyTable::inView() const {
  return static_cast<int>(std::count_if(sky_.begin(), sky_.end(), [](const SkySatellite& s) { return s.snr > 0; }));
}

int SkyTable::used() const {
  return static_cast<int>(std::count_if(sky_.begin(), sky_.end(), [](const SkySatellite& s) { return s.used; }));
}

}  // namespace tarvo
