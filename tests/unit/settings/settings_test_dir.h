// A fresh temporary folder per test, with the XDG folders pointed into it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tarvo::test {

class SettingsDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvo-settings-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    file = dir / "Pathlet.ini";
    const char* home = std::getenv("HOME");
    home_ = home != nullptr ? home : "";
  }
  void TearDown() override {
    ::setenv("HOME", home_.c_str(), 1);
    std::error_code ec;
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(dir, ec);
  }

  static std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static void Write(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  // Names in the folder of `path` other than `path` itself and its lock file
  // (left-over temp files).
  static int Strays(const std::filesystem::path& path) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(path.parent_path())) {
      if (e.path() != path && e.path().string() != path.string() + ".lock") ++n;
    }
    return n;
  }

  std::filesystem::path dir;
  std::filesystem::path file;

 private:
  std::string home_;
};

}  // namespace tarvo::test
