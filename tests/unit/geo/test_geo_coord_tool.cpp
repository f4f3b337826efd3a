// tarvo-coord as a user runs it: real process, real files in a temporary folder.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

struct Result {
  int status = -1;
  std::string out, err;
};

class CoordTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarvo-coord-test-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  Result Run(const std::string& args, const std::string& input) {
    const fs::path in = dir_ / "in.txt", out = dir_ / "out.txt", err = dir_ / "err.txt";
    std::ofstream(in) << input;
    const std::string command = std::string(TARVO_BINARY_DIR) + "/tools/coord/tarvo-coord " + args + " < " +
                                in.string() + " > " + out.string() + " 2> " + err.string();
    Result r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
  }

  static std::string Slurp(const fs::path& p) {
    std::ifstream f(p);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }

  fs::path dir_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(CoordTool, ForwardTextsAndNumbersWithBadLinesReported) {
  const Result r = Run("--format 3", "0 3\nthis is not a position\n52.0875, 5.1\n\n91 nan\n");
  EXPECT_EQ(r.status, 1);
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "N\t0.00\tE\t500000.00\t31N\t0\t500000");
  EXPECT_EQ(lines[1].substr(0, 20), "N\t5772850.91\tE\t64387");
  EXPECT_NE(r.err.find("line 2:"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("line 5:"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("line 4:"), std::string::npos) << r.err;  // blank lines are skipped
}

TEST_F(CoordTool, InverseTakesTheDialogFields) {
  Result r = Run("--format 3 --inverse", "5772850.907323526 643877.0291392398 31U\n5772850.9 643877.0 31\n");
  EXPECT_EQ(r.status, 1);  // the second line has no band letter
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(0, 10), "52.0875000");
  EXPECT_NE(r.err.find("line 2:"), std::string::npos);

  r = Run("--format 0 --inverse", "33 30 0 S 151 12 33.48 E\n33 30 0 -151 12 33.48\n");
  EXPECT_EQ(r.status, 0);
  lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "-33.5\t151.20929999999998");  // 151 + 12/60 + 33.48/3600 in doubles
  EXPECT_EQ(lines[1], "33.5\t-151.20929999999998");
  r = Run("--format 18 --inverse", "2510000 6023150\n2510000 9000000\n");
  EXPECT_EQ(Lines(r.out).size(), 1u);
  EXPECT_NE(r.err.find("line 2:"), std::string::npos);
}

TEST_F(CoordTool, ListAndUsageErrors) {
  Result r = Run("--list", "");
  EXPECT_EQ(r.status, 0);
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 19u);
  EXPECT_EQ(lines[0], "0\tWGS84 D\xC2\xB0MM'SS\"");
  EXPECT_EQ(lines[18], "18\tGrid: New Zealand Map Grid");
  EXPECT_EQ(Run("--format 19", "").status, 2);
  EXPECT_EQ(Run("--bogus", "").status, 2);
}

}  // namespace
