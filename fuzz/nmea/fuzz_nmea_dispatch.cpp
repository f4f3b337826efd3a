// The sentence parsers through the dispatch: the input is cut at line ends
// and every piece goes to DispatchSentence, on one receiver state per pass
// (values as read, smoothed with the filters on, and with GGA as the position
// source), so the smoothing rings and dates carry from line to line. The
// records must stay within their documented ranges.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/gps/nmea.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckState(const tarvo::ReceiverState& s, tarvo::SentenceKind kind) {
  using tarvo::SentenceKind;
  if (kind == SentenceKind::Rmc) {
    Check(std::isfinite(s.rmcFix.course) && s.rmcFix.course >= 0.0 && s.rmcFix.course < 360.0);
    Check(std::isfinite(s.rmcFix.latitude) && std::isfinite(s.rmcFix.longitude));
    Check(std::isfinite(s.rmcFix.speedKnots));
    Check(s.smoothing.speeds.filled >= 0 && s.smoothing.speeds.filled <= 4);
    Check(s.smoothing.courses.filled >= 0 && s.smoothing.courses.filled <= 4);
    Check(s.smoothing.speeds.next >= 0 && s.smoothing.speeds.next < 4);
    Check(s.smoothing.rmcPositions.next >= 0 && s.smoothing.rmcPositions.next < 4);
  }
  if (kind == SentenceKind::Gga) {
    Check(std::isfinite(s.gpsFix.latitude) && std::isfinite(s.gpsFix.longitude));
    Check(std::isfinite(s.gpsFix.hdop) && std::isfinite(s.gpsFix.altitude));
    Check(s.smoothing.ggaPositions.next >= 0 && s.smoothing.ggaPositions.next < 4);
  }
  if (kind == SentenceKind::Gsv) {
    const tarvo::SatelliteView& v = s.satelliteView;
    Check(v.messageCount >= 0 && v.messageCount <= 3);
    for (const tarvo::SatelliteSlot& slot : v.satellites) {
      Check(slot.prn >= 0);
      Check(slot.elevation >= 0 && slot.elevation <= 90);
      Check(slot.azimuth >= 0 && slot.azimuth <= 359);
      Check(slot.snr >= 0 && slot.snr <= 99);
    }
    if (tarvo::GsvCycleComplete(v)) {
      Check(v.messageCount > 0);
      // No satellite of an earlier, longer cycle is left behind.
      for (std::size_t i = 4 * static_cast<std::size_t>(v.messageCount); i < v.satellites.size(); ++i) {
        const tarvo::SatelliteSlot& slot = v.satellites[i];
        Check(slot.prn == 0 && slot.elevation == 0 && slot.azimuth == 0 && slot.snr == 0);
      }
    }
  }
}

}  // namespace

// The seeds are whole recordings of up to 180 KB; their first 16 KB hold every
// kind of sentence a log has, and shorter inputs keep the runs fast.
constexpr std::size_t kLongestInput = 1 << 14;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size < kLongestInput ? size : kLongestInput);
  for (int pass = 0; pass < 3; ++pass) {
    tarvo::ReceiverState state;
    tarvo::ParseOptions options;
    options.nowUtc = 1718440200;
    options.raw = pass == 0;
    options.filter.accuracyEnable = pass != 0;
    options.filter.speedMinimum = pass == 2 ? 1.5 : 0.0;
    state.smoothing.rmcUnsmoothed = pass == 2;
    std::size_t start = 0;
    while (start <= input.size()) {
      std::size_t end = input.find_first_of("\r\n", start);
      if (end == std::string_view::npos) end = input.size();
      const std::string_view line = input.substr(start, end - start);
      const tarvo::DispatchResult r = tarvo::DispatchSentence(line, state, options);
      if (r.status == tarvo::SentenceStatus::Parsed) {
        Check(r.kind != tarvo::SentenceKind::None);
        Check(r.changes != 0 || r.kind == tarvo::SentenceKind::Gsv);
        CheckState(state, r.kind);
        if (r.kind == tarvo::SentenceKind::Gsv && tarvo::GsvCycleComplete(state.satelliteView)) {
          tarvo::ClearGsvCycle(state.satelliteView);
        }
      } else if (r.status == tarvo::SentenceStatus::TooLong) {
        Check(line.size() > tarvo::kMaxSentenceLength);
      } else if (r.status == tarvo::SentenceStatus::BadBytes) {
        Check(line.size() <= tarvo::kMaxSentenceLength && line.find('\0') != std::string_view::npos);
      } else if (r.status == tarvo::SentenceStatus::BadChecksum) {
        Check(line.find('*') != std::string_view::npos);
      }
      start = end + 1;
    }
  }
  return 0;
}
