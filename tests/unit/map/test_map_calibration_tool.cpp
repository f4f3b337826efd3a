// tarvo-map as a user runs it: real process, real files in a temporary folder.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

struct Result {
  int status = -1;
  std::string out, err;
};

class MapTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarvo-map-test-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name) << text; }

  Result Run(const std::string& args, const std::string& input) {
    Write("in.txt", input);
    const fs::path out = dir_ / "out.txt", err = dir_ / "err.txt";
    const std::string command = std::string(TARVO_BINARY_DIR) + "/tools/map/tarvo-map " + args + " < " +
                                (dir_ / "in.txt").string() + " > " + out.string() + " 2> " + err.string();
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

TEST_F(MapTool, ConvertsLineByLineBothWaysWithRefusedLinesKeptInPlace) {
  Write("area.north.ini", "x1=10\ny1=20\nlat1=52\nlon1=4\nx2=110\ny2=220\nlat2=51\nlon2=5\n");
  const std::string map = (dir_ / "area.north.png").string();  // the picture itself is not needed

  Result r = Run(map + " --to-pixel", "51.5 4.5\n\n# comment\nnot a position\n52, 4\n91 4\n51.75 4.25\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "60\t120\n\n# comment\n*\t*\n10\t20\n*\t*\n35\t70\n");
  EXPECT_NE(r.err.find("line 4"), std::string::npos);
  EXPECT_NE(r.err.find("line 6"), std::string::npos);

  r = Run(map + " --to-geo", "60 120\n10.5 20\n-90 -180\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "51.5\t4.5\n*\t*\n53\t3\n");

  r = Run(map + " --to-geo", "35 70\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "51.75\t4.25\n");
}

TEST_F(MapTool, AnUncalibratedMapIsAnErrorNamingItsCalibrationFile) {
  Write("one.ini", "x1=10\ny1=20\nlat1=52\nlon1=4\n");
  Result r = Run((dir_ / "one.gif").string() + " --to-pixel", "51 4\n");
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find((dir_ / "one.ini").string()), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("only one reference point"), std::string::npos) << r.err;

  Write("same.gmi", "10\n20\n10\n220\n4\n52\n5\n51\n");
  r = Run((dir_ / "same.jpg").string() + " --to-geo", "1 1\n");
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find((dir_ / "same.gmi").string()), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("same x"), std::string::npos) << r.err;

  r = Run((dir_ / "none.bmp").string() + " --to-geo", "1 1\n");
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("no calibration file found"), std::string::npos) << r.err;

  EXPECT_EQ(Run((dir_ / "none.bmp").string(), "").status, 2);
  EXPECT_EQ(Run("--to-geo", "").status, 2);
}

}  // namespace
