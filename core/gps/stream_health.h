// How the receiver's stream is doing, for the status page: sound sentences
// per second, checksum errors, the age of the last fix, and whether the
// stream has gone stale (no sound sentence for kStaleAfterMs).
//
// The connection controller feeds it every line with the parser's verdict.
// Times are milliseconds of a monotonic clock the caller passes in (any
// origin), so the counters run on a test's clock as well as on the real one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/gps/line_source.h"
#include "core/gps/nmea.h"

namespace tarvo {

// No sound sentence for this long: the stream is stale.
inline constexpr int64_t kStaleAfterMs = 5000;
// The sentence rate is taken over this last stretch of time.
inline constexpr int64_t kRateWindowMs = 5000;

struct StreamHealthReport {
  uint64_t sentences = 0;       // sound sentences since the start
  uint64_t checksumErrors = 0;  // lines with a wrong or malformed "*hh"
  uint64_t brokenLines = 0;     // lines too long for a sentence, or holding a NUL byte
  double sentencesPerSecond = 0.0;  // sound sentences over the last kRateWindowMs
  std::optional<int64_t> fixAgeMs;  // since the last sentence that came with a fix; none yet: nullopt
  int64_t silentMs = 0;             // since the last sound sentence, or since the start
  bool stale = false;               // silentMs >= kStaleAfterMs
  // The source's line speed (serial ports), and whether it was set to "Auto".
  LineSource::LineSpeed lineSpeed;
  bool autoSpeed = false;
};

class StreamHealth {
 public:
  // A connection begins at `nowMs`: every counter starts again.
  void Start(int64_t nowMs);
  // One line as the parser judged it (DispatchSentence). Sound: parsed, or
  // of a type not parsed here but with a correct checksum. A line without a
  // checksum that the parser did not take proves nothing and only counts as
  // received.
  void Count(std::string_view line, SentenceStatus status, int64_t nowMs);
  // The line just counted came with a fix (the position source reports one).
  void FixSeen(int64_t nowMs) { lastFixMs_ = nowMs; }
  StreamHealthReport Report(int64_t nowMs) const;

 private:
  static constexpr int64_t kBucketMs = 250;
  static constexpr int kBuckets = static_cast<int>(kRateWindowMs / kBucketMs);
  static int64_t BucketOf(int64_t ms);
  static std::size_t Slot(int64_t bucket);  // its place in the ring

  int64_t startMs_ = 0;
  int64_t lastSoundMs_ = 0;
  std::optional<int64_t> lastFixMs_;
  uint64_t sentences_ = 0;
  uint64_t checksumErrors_ = 0;
  uint64_t brokenLines_ = 0;
  // Sound sentences per quarter second, a ring over the rate window; newest_
  // is the number of the latest bucket written.
  std::array<uint32_t, kBuckets> buckets_{};
  int64_t newest_ = 0;
};

// ---- The status page's texts ----

// "12.5/s".
std::string SentenceRateText(double perSecond);
// "0.4 s" below 10 s, "37 s" below two minutes, "5 min" after; "none" before the first fix.
std::string FixAgeText(const std::optional<int64_t>& ageMs);
// "Stale: no valid sentence for 7 s", or empty while the stream is sound.
std::string StaleText(const StreamHealthReport& report);
// "4800 baud", "9600 baud (auto)", "Auto: trying 19200 baud"; empty for a
// source without a line speed.
std::string LineSpeedText(const StreamHealthReport& report);

}  // namespace tarvo
