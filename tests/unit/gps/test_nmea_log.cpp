// The NMEA log file: earlier logs are kept as generations, written lines
// reach the disk within the flush interval.
#include "core/gps/nmea_log.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace tarvo {
namespace {

namespace fs = std::filesystem;

class NmeaLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarvo-nmealog-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    log_ = dir_ / "Tarvo_Log.nmea";
  }
  void TearDown() override { fs::remove_all(dir_); }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path dir_;
  fs::path log_;
};

TEST_F(NmeaLogTest, OpeningKeepsEarlierLogsAsGenerationsAndDropsOnlyTheOldest) {
  EXPECT_EQ(LogGenerationPath(log_, 2), dir_ / "Tarvo_Log.2.nmea");
  NmeaLogFile file;
  // Runs 0..6, each writing its own line.
  for (int run = 0; run <= kLogGenerations + 1; ++run) {
    ASSERT_TRUE(file.Open(log_)) << run;
    file.Write("run " + std::to_string(run));
    file.Close();
  }
  EXPECT_EQ(Read(log_), "run 6\n");
  for (int g = 1; g <= kLogGenerations; ++g) {
    EXPECT_EQ(Read(LogGenerationPath(log_, g)), "run " + std::to_string(6 - g) + "\n") << g;
  }
  EXPECT_FALSE(fs::exists(LogGenerationPath(log_, kLogGenerations + 1)));

  // An empty log (a run without lines) pushes no recording out.
  ASSERT_TRUE(file.Open(log_));
  file.Close();
  ASSERT_TRUE(file.Open(log_));
  file.Close();
  EXPECT_EQ(Read(LogGenerationPath(log_, 1)), "run 6\n");

  // A log that cannot be moved aside is not emptied.
  const fs::path blocked = dir_ / "blocked" / "Tarvo_Log.nmea";
  // Non-empty folders where every generation goes.
  for (int g = 1; g <= kLogGenerations; ++g) fs::create_directories(LogGenerationPath(blocked, g) / "x");
  std::ofstream(blocked) << "kept\n";
  EXPECT_FALSE(file.Open(blocked));
  EXPECT_TRUE(file.lastError());
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(Read(blocked), "kept\n");
}

TEST_F(NmeaLogTest, WrittenLinesReachTheFileWithinTheFlushInterval) {
  NmeaLogFile file;
  ASSERT_TRUE(file.Open(log_));
  const auto t0 = NmeaLogFile::Clock::now();
  file.Write("$GPGGA,1", t0);
  file.Write("$GPGGA,2", t0 + kLogFlushInterval / 2);
  EXPECT_EQ(Read(log_), "");  // buffered: a flush per line would cost a write per line
  file.Write("$GPGGA,3", t0 + kLogFlushInterval + std::chrono::milliseconds(10));
  EXPECT_EQ(Read(log_), "$GPGGA,1\n$GPGGA,2\n$GPGGA,3\n");
  // Lines followed by silence go out at the next due check.
  file.Write("$GPGGA,4", t0 + kLogFlushInterval + std::chrono::milliseconds(20));
  file.FlushIfDue(t0 + kLogFlushInterval + std::chrono::milliseconds(30));
  EXPECT_EQ(Read(log_), "$GPGGA,1\n$GPGGA,2\n$GPGGA,3\n");
  file.FlushIfDue(t0 + 2 * kLogFlushInterval + std::chrono::milliseconds(20));
  EXPECT_EQ(Read(log_), "$GPGGA,1\n$GPGGA,2\n$GPGGA,3\n$GPGGA,4\n");
}

}  // namespace
}  // namespace tarvo
