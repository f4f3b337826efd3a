// Replay files: bounded lines, and the pace of the recorded times.
#include "core/gps/replay_file.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace tarvo {
namespace {

namespace fs = std::filesystem;

class ReplayFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarvo-replay-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return dir_ / name;
  }
  fs::path dir_;
};

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST_F(ReplayFileTest, LinesAreCutAtTheSerialLimitAndTheRestSkipped) {
  ReplayFile file;
  const std::string longLine(1000, 'x');
  ASSERT_TRUE(file.Open(Write("a.nmea", "$GPGGA,1\r\n" + longLine + "\n\n$GPRMC,2\rlast")));
  EXPECT_EQ(*file.Next(), "$GPGGA,1");
  EXPECT_EQ(*file.Next(), std::string(ReplayFile::kMaxLine, 'x'));
  EXPECT_EQ(*file.Next(), "");
  EXPECT_EQ(*file.Peek(), "$GPRMC,2\rlast");  // only LF ends a line of a file
  EXPECT_EQ(*file.Next(), "$GPRMC,2\rlast");
  EXPECT_TRUE(file.AtEnd());
  EXPECT_FALSE(file.Next());
  EXPECT_EQ(file.cutLines(), 1u);
}

TEST_F(ReplayFileTest, AGigabyteWithoutLineEndsCostsOneBoundedBuffer) {
  const fs::path path = dir_ / "huge.nmea";
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("$GPGGA,", f);
    ASSERT_EQ(::ftruncate(::fileno(f), 1L << 30), 0);  // a sparse gigabyte of NUL bytes
    std::fseek(f, 0, SEEK_END);
    std::fputs("\n$GPRMC,after\n", f);
    std::fclose(f);
  }
  const long before = PeakKilobytes();
  ReplayFile file;
  ASSERT_TRUE(file.Open(path));
  const auto first = file.Next();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->size(), ReplayFile::kMaxLine);
  EXPECT_EQ(*file.Next(), "$GPRMC,after");
  EXPECT_LT(PeakKilobytes() - before, 16 * 1024);  // well under the line's size
}

TEST_F(ReplayFileTest, AFolderOrAMissingFileIsRefusedWithItsReason) {
  ReplayFile file;
  EXPECT_FALSE(file.Open(dir_));
  EXPECT_EQ(errno, EISDIR);
  EXPECT_FALSE(file.Open(dir_ / "missing.nmea"));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(file.IsOpen());
}

TEST(ReplayPacer, TimesOfDayFromEveryTalkerAndThePaceThroughMidnight) {
  EXPECT_EQ(SentenceTimeOfDayMs("$GNGGA,123519.25,4807.038,N"), 45319250);
  EXPECT_EQ(SentenceTimeOfDayMs("$GPRMC,000001,A,"), 1000);
  EXPECT_EQ(SentenceTimeOfDayMs("$GPGLL,4916.45,N,12311.12,W,225444,A*1D"), 82484000);
  EXPECT_FALSE(SentenceTimeOfDayMs("$GPGSV,3,1,11"));
  EXPECT_FALSE(SentenceTimeOfDayMs("$GPGGA,,4807.038,N"));
  EXPECT_FALSE(SentenceTimeOfDayMs("$GPGGA,996161,"));

  ReplayPacer pacer(2);
  EXPECT_EQ(pacer.DueAt("$PGRMZ,1", 100), 100);          // before any time: now
  EXPECT_EQ(pacer.DueAt("$GPGGA,235959,", 100), 100);    // the first time anchors
  EXPECT_EQ(pacer.DueAt("$GPGSV,1,1,", 150), 100);       // untimed lines follow
  EXPECT_EQ(pacer.DueAt("$GPGGA,000001,", 150), 1100);   // 2 s past midnight at x2
  EXPECT_EQ(pacer.DueAt("$GPGGA,235000,", 1200), 1200);  // going back: starts again
  EXPECT_EQ(pacer.DueAt("$GPGGA,235900,", 1300), 1300);  // a 9-minute pause: starts again
  EXPECT_EQ(pacer.DueAt("$GPGGA,235901,", 1300), 1800);
}

}  // namespace
}  // namespace tarvo
