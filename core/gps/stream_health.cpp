#include "core/gps/stream_health.h"

#include <algorithm>
#include <cstdio>

namespace tarvo {

int64_t StreamHealth::BucketOf(int64_t ms) { return ms >= 0 ? ms / kBucketMs : -((-ms + kBucketMs - 1) / kBucketMs); }

std::size_t StreamHealth::Slot(int64_t bucket) { return static_cast<std::size_t>(((bucket % kBuckets) + kBuckets) % kBuckets); }

void StreamHealth::Start(int64_t nowMs) {
  *this = StreamHealth();
  startMs_ = nowMs;
  lastSoundMs_ = nowMs;
  newest_ = BucketOf(nowMs);
}

void StreamHealth::Count(std::string_view line, SentenceStatus status, int64_t nowMs) {
  bool sound = false;
  switch (status) {
    case SentenceStatus::Parsed:
      sound = true;
      break;
    case SentenceStatus::BadChecksum:
      ++checksumErrors_;
      break;
    case SentenceStatus::TooLong:
    case SentenceStatus::BadBytes:
      ++brokenLines_;
      break;
    case SentenceStatus::Ignored: {
      SentenceFrame frame;
      sound = FrameSentence(line, frame) == SentenceStatus::Parsed && frame.hasChecksum;
      break;
    }
  }
  if (!sound) return;
  ++sentences_;
  lastSoundMs_ = std::max(lastSoundMs_, nowMs);
  const int64_t bucket = BucketOf(nowMs);
  if (bucket > newest_) {
    // The buckets passed over since the last sentence held none.
    const int64_t cleared = std::min<int64_t>(bucket - newest_, kBuckets);
    for (int64_t n = bucket - cleared + 1; n <= bucket; ++n) buckets_[Slot(n)] = 0;
    newest_ = bucket;
  }
  // A clock that went back counts in the newest bucket.
  ++buckets_[Slot(bucket > newest_ - kBuckets ? bucket : newest_)];
}

StreamHealthReport StreamHealth::Report(int64_t nowMs) const {
  StreamHealthReport r;
  r.sentences = sentences_;
  r.checksumErrors = checksumErrors_;
  r.brokenLines = brokenLines_;
  r.silentMs = std::max<int64_t>(0, nowMs - lastSoundMs_);
  r.stale = r.silentMs >= kStaleAfterMs;
  if (lastFixMs_) r.fixAgeMs = std::max<int64_t>(0, nowMs - *lastFixMs_);

  // The window: the buckets of the last kRateWindowMs, or since the start.
  const int64_t first = BucketOf(nowMs) - kBuckets + 1;
  uint64_t inWindow = 0;
  for (int64_t n = std::max(first, newest_ - kBuckets + 1); n <= newest_; ++n) {
    inWindow += buckets_[Slot(n)];
  }
  const int64_t from = std::max(first * kBucketMs, startMs_);
  // At least a second, so the first sentences do not read as a burst.
  const int64_t spanMs = std::max<int64_t>(nowMs - from, 1000);
  r.sentencesPerSecond = static_cast<double>(inWindow) * 1000.0 / static_cast<double>(spanMs);
  return r;
}

std::string SentenceRateText(double perSecond) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f/s", perSecond);
  return text;
}

std::string FixAgeText(const std::optional<int64_t>& ageMs) {
  if (!ageMs) return "none";
  char text[32];
  const int64_t ms = std::max<int64_t>(0, *ageMs);
  if (ms < 10000) {
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
  } else if (ms < 120000) {
    std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(ms / 1000));
  } else {
    std::snprintf(text, sizeof text, "%lld min", static_cast<long long>(ms / 60000));
  }
  return text;
}

std::string StaleText(const StreamHealthReport& report) {
  if (!report.stale) return {};
  return "Stale: no valid sentence for " + std::to_string(report.silentMs / 1000) + " s";
}

std::string LineSpeedText(const StreamHealthReport& report) {
  const int bps = report.lineSpeed.bitsPerSecond;
  if (bps <= 0) return {};
  const std::string baud = std::to_string(bps) + " baud";
  if (report.lineSpeed.searching) return "Auto: trying " + baud;
  return report.autoSpeed ? baud + " (auto)" : baud;
}

}  // namespace tarvo
