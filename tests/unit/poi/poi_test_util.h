// Helpers of the POI tests: a real temporary folder, whole-file reads and
// writes, and running a command line.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace tarvo::test {

class PoiTempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("tarvo-poi-test-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }

  // Runs `command` through the shell; returns its exit status, its standard
  // output in `out`.
  int Run(const std::string& command, std::string* out = nullptr) {
    const std::string outFile = Path("stdout.txt");
    const int raw = std::system((command + " > " + outFile + " 2> " + Path("stderr.txt")).c_str());
    if (out != nullptr) *out = Slurp(outFile);
    lastError_ = Slurp(Path("stderr.txt"));
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

  std::filesystem::path dir_;
  std::string lastError_;
};

}  // namespace tarvo::test
