// Helpers of the track tests: a real temporary folder, NMEA sentences with
// their checksums, whole-file reads and writes, and running a command line.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tarvo::test {

inline std::string WithChecksum(const std::string& body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum);
  return "$" + body + tail;
}

// NMEA "ddmm.mmmm,N" of degrees.
inline std::string NmeaAngle(double degrees, bool latitude) {
  const double a = std::fabs(degrees);
  const int whole = static_cast<int>(a);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, latitude ? "%02d%07.4f,%c" : "%03d%07.4f,%c", whole, (a - whole) * 60.0,
                latitude ? (degrees < 0 ? 'S' : 'N') : (degrees < 0 ? 'W' : 'E'));
  return buffer;
}

// Seconds of day as hhmmss.
inline std::string NmeaTime(int secondOfDay) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d%02d%02d", secondOfDay / 3600 % 24, secondOfDay / 60 % 60, secondOfDay % 60);
  return buffer;
}

inline std::string Gga(int secondOfDay, double lat, double lon, double altitude, int quality = 1,
                       const std::string& talker = "GP") {
  char alt[32];
  std::snprintf(alt, sizeof alt, "%.1f", altitude);
  return WithChecksum(talker + "GGA," + NmeaTime(secondOfDay) + "," + NmeaAngle(lat, true) + "," +
                      NmeaAngle(lon, false) + "," + std::to_string(quality) + ",08,0.9," + alt + ",M,47.0,M,,");
}

inline std::string Rmc(int secondOfDay, double lat, double lon, const std::string& date = "150624", bool valid = true,
                       const std::string& talker = "GP") {
  return WithChecksum(talker + "RMC," + NmeaTime(secondOfDay) + "," + (valid ? "A" : "V") + "," +
                      NmeaAngle(lat, true) + "," + NmeaAngle(lon, false) + ",12.5,87.0," + date + ",,");
}

class TrackTempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("tarvo-track-test-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  static void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
  static std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }
  // Runs `command` through the shell; its standard output into *out, its
  // standard error into lastError_. Returns the exit status.
  int Run(const std::string& command, std::string* out = nullptr) {
    const std::string errFile = Path("stderr.txt");
    const std::string outFile = Path("stdout.txt");
    const int status = std::system((command + " >" + outFile + " 2>" + errFile).c_str());
    lastError_ = Slurp(errFile);
    if (out != nullptr) *out = Slurp(outFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::filesystem::path dir_;
  std::string lastError_;
};

}  // namespace tarvo::test
