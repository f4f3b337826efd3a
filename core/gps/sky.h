// The sky of every satellite system: the satellites in view from the GSV
// sentences of every talker (GP, GL, GA, GB/BD, GQ/QZ, GI, GN), one entry per
// satellite whatever signals report it, and the ones in use from GSA.
//
// A GSV cycle is the run of messages 1..n of one talker. With NMEA 4.10 each
// message names its signal id: most receivers send one cycle per signal (L1
// C/A, then L5, ...), some mix signals within one cycle. When a cycle
// completes, its satellites of each signal replace those the same talker
// reported on that signal before; the sky is the union of the latest reports,
// a satellite reported on several signals showing its strongest. A report not
// repeated for kSkyAgeOutSeconds is dropped, so a satellite that set, or a
// signal the receiver stopped sending, goes away.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tarvo {

enum class GnssSystem : uint8_t { Gps, Sbas, Glonass, Galileo, BeiDou, Qzss, NavIC };
inline constexpr int kGnssSystemCount = 7;

// "GPS", "SBAS", "GLONASS", "Galileo", "BeiDou", "QZSS", "NavIC".
std::string_view GnssSystemName(GnssSystem system);

struct SkySatellite {
  GnssSystem system = GnssSystem::Gps;
  int16_t prn = 0;         // as the sentences number it (GPS 1..32, SBAS 33..64 or 120..158, GLONASS 65..96, ...)
  int16_t elevation = -1;  // degrees 0..90; -1 when the sentence left it empty
  int16_t azimuth = -1;    // degrees true 0..359; -1 when empty
  int16_t snr = -1;        // dB-Hz 0..99; -1 when not tracked
  bool used = false;       // in the solution (GSA)

  friend bool operator==(const SkySatellite&, const SkySatellite&) = default;
};

// Seconds after which a cycle not repeated leaves the sky.
inline constexpr int64_t kSkyAgeOutSeconds = 10;
// Most satellites the sky holds (more are not kept).
inline constexpr std::size_t kSkyCapacity = 128;

class SkyTable {
 public:
  // One framed GSV: `talker` is the address's first two letters, `fields` the
  // text after "GSV,". `now` is seconds of any clock (ages cycles). True when
  // the message completed its cycle and the sky changed.
  bool AddGsv(std::string_view talker, std::string_view fields, int64_t now);
  // One framed GSA: the satellites of its system (from the NMEA 4.10 system
  // id, else the talker, else the PRN ranges of "GN") become the ones in use.
  void AddGsa(std::string_view talker, std::string_view fields);

  // In view: every satellite of the latest cycles, by system and PRN.
  const std::vector<SkySatellite>& satellites() const { return sky_; }
  // Satellites with a signal, and those in use.
  int inView() const;
  int used() const;
  // Cycles completed so far (any talker): changes whenever the sky may have.
  uint64_t completedCycles() const { return completedCycles_; }
  void Clear() { *this = SkyTable{}; }

 private:
  // The messages of one talker's cycle so far.
  struct Cycle {
    char talker[2] = {};
    int messageCount = 0;
    uint32_t seenMask = 0;
    bool completedOnce = false;
    struct Entry {
      int message;  // 1..messageCount, for the order reported
      int signal;   // NMEA 4.10 signal id, 0 when none
      SkySatellite satellite;
    };
    std::vector<Entry> satellites;
  };
  // The satellites one talker last reported on one signal.
  struct Report {
    char talker[2] = {};
    int signal = 0;
    int64_t completedAt = 0;
    std::vector<SkySatellite> satellites;
  };
  Cycle* CycleOf(std::string_view talker);
  void Complete(Cycle& cycle, int64_t now);
  void Merge(int64_t now);
  bool IsUsed(GnssSystem system, int prn) const;

  std::vector<Cycle> cycles_;
  std::vector<Report> reports_;
  std::vector<SkySatellite> sky_;
  uint64_t completedCycles_ = 0;
  // The PRNs in use per system, from the latest GSA of that system.
  std::array<std::vector<int16_t>, kGnssSystemCount> usedPrns_{};
};

// The system a satellite of a "GN" (or unknown) talker belongs to, by the
// PRN ranges of NMEA 0183: 1..32 GPS, 33..64 and 120..158 SBAS, 65..96
// GLONASS, 193..202 QZSS, 201..264 BeiDou (u-blox), 301..336 Galileo.
GnssSystem SystemOfPrn(int prn);

// A satellite's number within its system, whichever NMEA numbering the
// sentence used: GLONASS 65..96 as 1..32, BeiDou 201..263 and 401..463 as
// 1..63, Galileo 301..336 as 1..36, QZSS 193..202 as 1..10, SBAS 33..64 as
// its PRN 120..151. Other numbers are returned as they are.
int SystemLocalNumber(GnssSystem system, int prn);

}  // namespace tarvo
