// The stream's health counters on a test clock.
#include <gtest/gtest.h>

#include "core/gps/stream_health.h"
#include "tests/unit/gps/test_nmea_util.h"

namespace tarvo {
namespace {

using test::Sentence;

// Counts `line` as the controller does: the parser's verdict first.
void Feed(StreamHealth& health, ReceiverState& state, std::string_view line, int64_t nowMs) {
  health.Count(line, DispatchSentence(line, state, ParseOptions{}).status, nowMs);
}

TEST(StreamHealth, SoundSentencesCountAndBrokenOnesAreToldApart) {
  StreamHealth health;
  ReceiverState state;
  health.Start(0);
  Feed(health, state, Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), 10);
  Feed(health, state, "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1", 20);  // parsed without a checksum
  Feed(health, state, Sentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"), 30);  // not parsed here, but sound
  Feed(health, state, "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K", 40);           // proves nothing
  Feed(health, state, "$GPGGA,123519,4807.038,N*00", 50);                      // wrong checksum
  Feed(health, state, "$GPRMC,1*4", 60);                                       // malformed checksum
  Feed(health, state, "$GPGGA," + std::string(200, '1'), 70);                  // too long for a sentence
  Feed(health, state, std::string("$GPGGA,1\0,2", 11), 80);                    // a byte lost on the line
  const StreamHealthReport r = health.Report(100);
  EXPECT_EQ(r.sentences, 3u);
  EXPECT_EQ(r.checksumErrors, 2u);
  EXPECT_EQ(r.brokenLines, 2u);
  EXPECT_EQ(r.silentMs, 70);  // since the sound VTG

  // A new connection starts from nothing.
  health.Start(5000);
  const StreamHealthReport fresh = health.Report(5000);
  EXPECT_EQ(fresh.sentences + fresh.checksumErrors + fresh.brokenLines, 0u);
  EXPECT_EQ(fresh.sentencesPerSecond, 0.0);
  EXPECT_FALSE(fresh.fixAgeMs.has_value());
}

TEST(StreamHealth, RateFollowsTheLastFiveSecondsAndSilenceTurnsStaleAtFive) {
  StreamHealth health;
  const std::string gsa = Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
  health.Start(-700);  // any origin, negative included
  EXPECT_FALSE(health.Report(4299).stale);
  EXPECT_TRUE(health.Report(4300).stale);  // nothing at all for 5 s

  health.Start(-700);
  // Two sentences in the first 100 ms are not a rate of 20 a second.
  health.Count(gsa, SentenceStatus::Parsed, -650);
  health.Count(gsa, SentenceStatus::Parsed, -600);
  EXPECT_DOUBLE_EQ(health.Report(-600).sentencesPerSecond, 2.0);
  // Ten a second for 20 s.
  int64_t t = -600;
  for (int i = 0; i < 200; ++i) health.Count(gsa, SentenceStatus::Parsed, t += 100);
  EXPECT_NEAR(health.Report(t).sentencesPerSecond, 10.0, 0.25);
  // Then two a second for 6 s: the rate forgets the old pace.
  for (int i = 0; i < 12; ++i) health.Count(gsa, SentenceStatus::Parsed, t += 500);
  EXPECT_NEAR(health.Report(t).sentencesPerSecond, 2.0, 0.25);
  // Checksum errors keep the stream neither alive nor its rate up.
  const int64_t lastSound = t;
  for (int i = 0; i < 60; ++i) health.Count("$GPGGA,1*00", SentenceStatus::BadChecksum, t += 100);
  StreamHealthReport r = health.Report(lastSound + kStaleAfterMs - 1);
  EXPECT_FALSE(r.stale);
  r = health.Report(lastSound + kStaleAfterMs + 2000);
  EXPECT_TRUE(r.stale);
  EXPECT_EQ(r.silentMs, kStaleAfterMs + 2000);
  EXPECT_EQ(r.sentencesPerSecond, 0.0);
  EXPECT_EQ(r.checksumErrors, 60u);
  EXPECT_EQ(StaleText(r), "Stale: no valid sentence for 7 s");
  // One sound sentence ends it.
  health.Count(gsa, SentenceStatus::Parsed, lastSound + 8000);
  r = health.Report(lastSound + 8000);
  EXPECT_FALSE(r.stale);
  EXPECT_EQ(StaleText(r), "");
  // A clock that steps back does not break the counts.
  health.Count(gsa, SentenceStatus::Parsed, lastSound);
  EXPECT_EQ(health.Report(lastSound + 8000).sentences, 216u);
}

TEST(StreamHealth, FixAgeRunsFromTheLastSentenceWithAFix) {
  StreamHealth health;
  health.Start(1000);
  EXPECT_FALSE(health.Report(9000).fixAgeMs.has_value());
  EXPECT_EQ(FixAgeText(health.Report(9000).fixAgeMs), "none");
  health.FixSeen(9000);
  EXPECT_EQ(health.Report(9400).fixAgeMs, 400);
  EXPECT_EQ(FixAgeText(400), "0.4 s");
  EXPECT_EQ(FixAgeText(37999), "37 s");
  EXPECT_EQ(FixAgeText(5 * 60000 + 10), "5 min");
}

TEST(StreamHealth, LineSpeedTextSaysHowTheSpeedCame) {
  StreamHealthReport r;
  EXPECT_EQ(LineSpeedText(r), "");  // a network source
  r.lineSpeed = {4800, false};
  EXPECT_EQ(LineSpeedText(r), "4800 baud");
  r.autoSpeed = true;
  EXPECT_EQ(LineSpeedText(r), "4800 baud (auto)");
  r.lineSpeed = {19200, true};
  EXPECT_EQ(LineSpeedText(r), "Auto: trying 19200 baud");
  EXPECT_EQ(SentenceRateText(12.46), "12.5/s");
}

}  // namespace
}  // namespace tarvo
