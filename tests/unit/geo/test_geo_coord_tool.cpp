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

#include "core/proj/accurate_datum.h"

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
    const fs::path in = dir_ / "in.txt";
    std::ofstream(in) << input;
    return RunWith(args + " < " + in.string());
  }

  // args and redirections of standard input (and output, when it is not
  // to be read back) as a shell takes them.
  Result RunWith(const std::string& argsAndRedirections, bool readOutput = true, const std::string& before = "") {
    const fs::path out = dir_ / "out.txt", err = dir_ / "err.txt";
    const std::string command = before + std::string(TARVO_BINARY_DIR) + "/tools/coord/tarvo-coord " +
                                argsAndRedirections + (readOutput ? " > " + out.string() : "") + " 2> " +
                                err.string();
    Result r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readOutput ? Slurp(out) : std::string();
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

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
  return fields;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(CoordTool, ForwardTextsAndNumbersWithBadLinesReported) {
  const Result r = Run("--format 3", "0 3\nthis is not a position\n52.0875, 5.1\n\n91 nan\n# a comment\n");
  EXPECT_EQ(r.status, 1);
  // Every input line has its output line: blank and comment lines pass through.
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "N\t0.00\tE\t500000.00\t31N\t0\t500000");
  EXPECT_EQ(lines[1], "*\t*");
  EXPECT_EQ(lines[2].substr(0, 20), "N\t5772850.91\tE\t64387");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "*\t*");
  EXPECT_EQ(lines[5], "# a comment");
  EXPECT_NE(r.err.find("line 2:"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("line 5:"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("line 4:"), std::string::npos) << r.err;  // a blank line is no error
}

TEST_F(CoordTool, InverseTakesTheDialogFields) {
  Result r = Run("--format 3 --inverse", "5772850.907323526 643877.0291392398 31U\n5772850.9 643877.0 31\n");
  EXPECT_EQ(r.status, 1);  // the second line has no band letter
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "*\t*");
  EXPECT_EQ(lines[0].substr(0, 10), "52.0875000");
  EXPECT_NE(r.err.find("line 2:"), std::string::npos);

  r = Run("--format 0 --inverse", "33 30 0 S 151 12 33.48 E\n33 30 0 -151 12 33.48\n");
  EXPECT_EQ(r.status, 0);
  lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "-33.5\t151.20929999999998");  // 151 + 12/60 + 33.48/3600 in doubles
  EXPECT_EQ(lines[1], "33.5\t-151.20929999999998");
  r = Run("--format 18 --inverse", "2510000 6023150\n2510000 9000000\n");
  EXPECT_EQ(Lines(r.out).size(), 2u);
  EXPECT_NE(r.err.find("line 2:"), std::string::npos);
}

TEST_F(CoordTool, ImpossiblePositionsAreRefusedAsBadLines) {
  // Forward: out-of-range or absurd degrees, and a map-grid point outside New Zealand.
  Result r = Run("--format 3", "91 5\n-29 -200\n1e308 5\n52 inf\n52 5\n");
  EXPECT_EQ(r.status, 1);
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 5u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(lines[i], "*\t*") << i;
  EXPECT_EQ(lines[4], "N\t5762926.81\tE\t637294.37\t31U\t5762926.813352735\t637294.365895606");
  for (const char* n : {"line 1:", "line 2:", "line 3:", "line 4:"}) EXPECT_NE(r.err.find(n), std::string::npos) << n;
  r = Run("--format 18", "52 5\n-41 174\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"*\t*", "X\t2594115.0\tY\t6022475.0\t\t2594115\t6022475"}));

  // Inverse: minutes or seconds of 60 and more, degrees beyond range, a grid
  // point so far off that its latitude passes 90.
  r = Run("--format 0 --inverse", "52 61 0 N 5 0 0 E\n52 0 60 N 5 0 0 E\n91 0 0 N 5 0 0 E\n52 30 0 N 5 0 0 E\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"*\t*", "*\t*", "*\t*", "52.5\t5"}));
  EXPECT_EQ(Run("--format 1 --inverse", "52 60.0 N 5 0 E\n").out, "*\t*\n");
  EXPECT_EQ(Run("--format 2 --inverse", "12 N 181 E\n").out, "*\t*\n");
  r = Run("--format 6 --inverse", "9000000 9000000\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "*\t*\n");

  // A UTM zone 1 point just west of the 180th meridian is a real place: its
  // longitude comes back on the eastern side, never as -180.05.
  r = Run("--format 3 --inverse", "0 160000 1N\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, 8), "0\t179.94");
}

TEST_F(CoordTool, OverlongLineIsSkippedToItsEndAndQuotedShortAndEscaped) {
  // A 64 MB line under a 100 MB address-space limit: the tool reads at most a
  // line's first 4096 bytes and goes on with the next line.
  const fs::path in = dir_ / "long.txt";
  {
    std::ofstream f(in, std::ios::binary);
    f << "52 5\n\x1b[31m";
    const std::string block(1 << 20, '7');
    for (int i = 0; i < 64; ++i) f << block;
    f << "\n52 5\n";
  }
  // AddressSanitizer reserves far more address space than any limit allows.
#if defined(__SANITIZE_ADDRESS__)
  const std::string limit;
#else
  const std::string limit = "ulimit -v 100000; ";
#endif
  const Result r = RunWith("--format 3 < " + in.string(), true, limit);
  EXPECT_EQ(r.status, 1);
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "*\t*");
  EXPECT_EQ(lines[0], lines[2]);
  EXPECT_NE(r.err.find("line 2: longer than 4096 bytes: \"\\x1B[31m" + std::string(35, '7') + "...\""),
            std::string::npos)
      << r.err;
  EXPECT_LT(r.err.size(), 200u);
}

TEST_F(CoordTool, WriteAndReadErrorsExitNonZeroWithAMessage) {
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "52 5\n";
  std::ofstream(dir_ / "many.txt") << many;
  Result r = RunWith("--format 3 < " + (dir_ / "many.txt").string() + " > /dev/full", false);
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("cannot write standard output"), std::string::npos) << r.err;
  r = RunWith("--list > /dev/full", false);
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("cannot write standard output"), std::string::npos) << r.err;

  r = RunWith("--format 3 < " + dir_.string());  // a folder as standard input
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("cannot read standard input"), std::string::npos) << r.err;
}

// --accurate: the library's accurate numbers both ways, the transformation
// named on standard error (and the grid file Britain lacks), UTM unchanged;
// without it nothing new is said.
TEST_F(CoordTool, AccurateModeConvertsThroughProjAndSaysSo) {
  const std::vector<std::string> builtIn = Split(Lines(Run("--format 6", "52.5 -1.5\n").out).at(0));
  Result r = Run("--format 6 --accurate", "52.5 -1.5\n");
  EXPECT_EQ(r.status, 0);
  const std::vector<std::string> accurate = Split(Lines(r.out).at(0));
  ASSERT_EQ(accurate.size(), 7u);
  const auto n = tarvo::AccuratePositionNumbers(tarvo::CoordFormat::Britain, 52.5, -1.5);
  ASSERT_TRUE(n.has_value());
  EXPECT_EQ(std::stod(accurate[5]), n->first);  // shortest texts read back exactly
  EXPECT_EQ(std::stod(accurate[6]), n->second);
  EXPECT_NE(accurate[5], builtIn.at(5));
  EXPECT_NE(r.err.find("EPSG:4326 -> EPSG:27700, Inverse of OSGB36 to WGS 84 (6)"), std::string::npos) << r.err;
  if (!fs::exists("/usr/share/proj/uk_os_OSTN15_NTv2_OSGBtoETRS.tif")) {
    EXPECT_NE(r.err.find("OSTN15"), std::string::npos) << r.err;
  }
  EXPECT_EQ(Run("--format 6", "52.5 -1.5\n").err, "");

  r = Run("--format 6 --accurate --inverse", "289239.3 434039.5\n");
  EXPECT_EQ(r.status, 0);
  const std::vector<std::string> back = Split(Lines(r.out).at(0));
  const auto p = tarvo::AccuratePositionFromNumbers(tarvo::CoordFormat::Britain, 289239.3, 434039.5);
  ASSERT_TRUE(p.has_value() && back.size() == 2u);
  EXPECT_EQ(std::stod(back[0]), p->latitude);
  EXPECT_EQ(std::stod(back[1]), p->longitude);

  r = Run("--format 3 --accurate", "52.5 -1.5\n");
  EXPECT_EQ(r.out, Run("--format 3", "52.5 -1.5\n").out);
  EXPECT_NE(r.err.find("keeps its WGS-84 numbers"), std::string::npos) << r.err;
  const std::vector<std::string> list = Lines(Run("--list --accurate", "").out);
  ASSERT_EQ(list.size(), 19u);
  EXPECT_EQ(list[6], "6\tGrid: Britain\tEPSG:27700");
  EXPECT_EQ(list[3], "3\tUTM (WGS84)");
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
