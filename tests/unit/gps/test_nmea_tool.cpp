// tarvo-nmea as a user runs it: sources (file, standard input, a serial
// device on a real pseudo-terminal), the JSON it prints, --raw, --stats and
// the error messages.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/unit/gps/test_net_peers.h"
#include "tests/unit/gps/test_nmea_util.h"

#ifndef TARVO_NMEA_EXE
#error "TARVO_NMEA_EXE must name the built tarvo-nmea"
#endif

extern char** environ;

namespace tarvo {
namespace {

namespace fs = std::filesystem;
using test::Sentence;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tarvo-nmea-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  fs::path Write(const std::string& name, const std::string& bytes) const {
    const fs::path p = path_ / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the tool with `arguments` (already quoted for the shell), standard input from `input`.
Result RunTool(const TempDir& dir, const std::string& arguments, const fs::path& input = "/dev/null") {
  const fs::path out = dir.path() / "stdout";
  const fs::path err = dir.path() / "stderr";
  const std::string command = std::string("'") + TARVO_NMEA_EXE + "' " + arguments + " < '" + input.string() +
                              "' > '" + out.string() + "' 2> '" + err.string() + "'";
  const int raw = std::system(command.c_str());
  Result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadAll(out);
  r.err = ReadAll(err);
  return r;
}

const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";

// ---------------------------------------------------------------------------

TEST(NmeaTool, PrintsOneObjectPerSentenceWithTheRecordFields) {
  TempDir dir;
  const std::string input = kRmc + "\r\n" + kGga + "\r\n" + "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n" +
                            Sentence("GPGSV,2,2,05,31,75,120,44") + "\r\n" +
                            Sentence("GPGSV,2,1,05,01,10,010,30,02,20,020,31,03,30,030,,04,40,040,33") + "\r\n" +
                            Sentence("PGRME,15.0,M,45.0,M,25.0,M") + "\r\n" + Sentence("PGRMZ,1000,f,3") + "\r\n";
  const Result r = RunTool(dir, "--raw '" + dir.Write("in.nmea", input).string() + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 6u) << r.out;  // the GSV cycle once, when complete
  EXPECT_EQ(lines[0],
            "{\"type\":\"RMC\",\"time\":\"1994-03-23T12:35:19Z\",\"fixTime\":764426119,\"valid\":1,"
            "\"latitude\":48.11729999999999,\"longitude\":11.516666666666666,\"speedKnots\":22.4,\"course\":84.4}");
  EXPECT_EQ(lines[1],
            "{\"type\":\"GGA\",\"time\":\"1994-03-23T12:35:19Z\",\"fixTime\":764426119,\"latitude\":48.11729999999999,"
            "\"longitude\":11.516666666666666,\"altitude\":545.4,\"hdop\":0.9,\"fixQuality\":1,\"satellitesUsed\":8,"
            "\"geoidSeparation\":46}");
  EXPECT_EQ(lines[2],
            "{\"type\":\"GSA\",\"fixMode\":3,\"selectionMode\":\"A\",\"usedPrns\":[4,5,9,12,24],\"pdop\":2.5,"
            "\"hdop\":1.3,\"vdop\":2.1}");
  EXPECT_EQ(lines[3],
            "{\"type\":\"GSV\",\"messageCount\":2,\"satellites\":[{\"prn\":1,\"elevation\":10,\"azimuth\":10,"
            "\"snr\":30},{\"prn\":2,\"elevation\":20,\"azimuth\":20,\"snr\":31},{\"prn\":3,\"elevation\":30,"
            "\"azimuth\":30,\"snr\":0},{\"prn\":4,\"elevation\":40,\"azimuth\":40,\"snr\":33},{\"prn\":31,"
            "\"elevation\":75,\"azimuth\":120,\"snr\":44}]}");
  EXPECT_EQ(lines[4], "{\"type\":\"PGRME\",\"horizontalError\":15,\"verticalError\":45,\"sphericalError\":25}");
  EXPECT_EQ(lines[5], "{\"type\":\"PGRMZ\",\"altitude\":304.78512648582745}");
}

TEST(NmeaTool, SkyPrintsEveryCompletedSkyOfAllSystems) {
  TempDir dir;
  const std::string input = kRmc + "\r\n" + Sentence("GPGSV,1,1,02,05,41,120,38,13,20,,,1") + "\r\n" +
                            Sentence("GNGSA,A,3,05,,,,,,,,,,,,1.5,0.9,1.2,1") + "\r\n" +
                            Sentence("GLGSV,1,1,01,70,45,100,40,1") + "\r\n";
  const Result r = RunTool(dir, "--sky '" + dir.Write("in.nmea", input).string() + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out;
  EXPECT_EQ(lines[0],
            "{\"class\":\"SKY\",\"time\":\"1994-03-23T12:35:19Z\",\"satellites\":[{\"system\":\"GPS\",\"prn\":5,"
            "\"el\":41,\"az\":120,\"snr\":38,\"used\":false},{\"system\":\"GPS\",\"prn\":13,\"el\":20,\"az\":null,"
            "\"snr\":null,\"used\":false}]}");
  EXPECT_NE(lines[1].find("{\"system\":\"GPS\",\"prn\":5,\"el\":41,\"az\":120,\"snr\":38,\"used\":true}"),
            std::string::npos);
  EXPECT_NE(lines[1].find("{\"system\":\"GLONASS\",\"prn\":70,"), std::string::npos);
}

TEST(NmeaTool, SmoothedUnlessRawAndTimeNullWithoutTime) {
  TempDir dir;
  const std::string input = Sentence("GPRMC,120000,A,6000.000,N,02500.000,E,8.0,10.0,090624,,") + "\n" +
                            Sentence("GPRMC,120001,A,6030.000,N,02500.000,E,4.0,30.0,090624,,") + "\n" +
                            Sentence("GPGGA,,6000.000,N,02500.000,E,1,08,1.0,10.0,M,,M,,") + "\n";
  const fs::path file = dir.Write("in.nmea", input);
  const std::vector<std::string> smoothed = Lines(RunTool(dir, "'" + file.string() + "'").out);
  ASSERT_EQ(smoothed.size(), 3u);
  EXPECT_NE(smoothed[1].find("\"latitude\":60.25,"), std::string::npos) << smoothed[1];
  EXPECT_NE(smoothed[1].find("\"speedKnots\":6,\"course\":20}"), std::string::npos) << smoothed[1];
  EXPECT_NE(smoothed[2].find("\"time\":null,\"fixTime\":0,"), std::string::npos) << smoothed[2];
  const std::vector<std::string> raw = Lines(RunTool(dir, "--raw '" + file.string() + "'").out);
  ASSERT_EQ(raw.size(), 3u);
  EXPECT_NE(raw[1].find("\"latitude\":60.5,"), std::string::npos) << raw[1];
  EXPECT_NE(raw[1].find("\"speedKnots\":4,\"course\":30}"), std::string::npos) << raw[1];
}

TEST(NmeaTool, LinesAreCutAsOnASerialPort) {
  TempDir dir;
  // Stray bytes before "$", CR, LF and CR LF endings, a line without an end,
  // a sentence longer than the line buffer, a bad checksum and a foreign type.
  const std::string overlong = "$GPTXT," + std::string(300, 'x') + "\n";
  const std::string input = "junk\r\nr" + kRmc + "\r" + kGga + "\n" + overlong + kGga.substr(0, kGga.size() - 1) +
                            "0\r\n$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n" + kRmc;
  const fs::path file = dir.Write("in.nmea", input);
  const Result fromFile = RunTool(dir, "--stats '" + file.string() + "'");
  ASSERT_EQ(fromFile.status, 0);
  const std::vector<std::string> lines = Lines(fromFile.out);
  ASSERT_EQ(lines.size(), 3u) << fromFile.out;
  EXPECT_TRUE(lines[0].starts_with("{\"type\":\"RMC\""));
  EXPECT_TRUE(lines[1].starts_with("{\"type\":\"GGA\""));
  EXPECT_TRUE(lines[2].starts_with("{\"type\":\"RMC\""));
  EXPECT_EQ(fromFile.err,
            "lines         6\n"
            "GGA           1\n"
            "RMC           2\n"
            "GSA           0\n"
            "GSV           0\n"
            "PGRME         0\n"
            "PGRMZ         0\n"
            "bad checksum  1\n"
            "too long      1\n"
            "bad bytes     0\n"
            "ignored       1\n");

  // Standard input, by "-" and by default, reads the same.
  const Result dash = RunTool(dir, "--stats -", file);
  EXPECT_EQ(dash.out, fromFile.out);
  EXPECT_EQ(dash.err, fromFile.err);
  EXPECT_EQ(RunTool(dir, "", file).out, fromFile.out);
}

TEST(NmeaTool, StatsCountEachReasonALineWasNotDecodedApart) {
  TempDir dir;
  std::string withNul = kGga;
  withNul[12] = '\0';
  const std::string vtg = "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48";
  const std::string input = kGga + "\r\n" + withNul + "\r\n" + vtg + "\r\n" + vtg.substr(0, vtg.size() - 1) +
                            "9\r\n" + kGga.substr(0, kGga.size() - 1) + "0\r\n" + Sentence("GPTXT," +
                            std::string(200, 'x')) + "\r\n" + "$GPTXT," + std::string(300, 'x') + "\r\n";
  const Result r = RunTool(dir, "--stats '" + dir.Write("in.nmea", input).string() + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out).size(), 1u) << r.out;
  EXPECT_EQ(r.err,
            "lines         7\n"
            "GGA           1\n"
            "RMC           0\n"
            "GSA           0\n"
            "GSV           0\n"
            "PGRME         0\n"
            "PGRMZ         0\n"
            "bad checksum  2\n"   // the GGA and the VTG
            "too long      2\n"   // over 127, and over the 255 a line can hold
            "bad bytes     1\n"   // the NUL, not counted as too long
            "ignored       1\n");  // the sound VTG
}

TEST(NmeaTool, LongInputInSmallPiecesAndLargeBlocks) {
  TempDir dir;
  std::string input;
  for (int i = 0; i < 20000; ++i) input += (i % 2 ? kGga : kRmc) + "\r\n";
  const Result r = RunTool(dir, "--stats '" + dir.Write("long.nmea", input).string() + "'");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(Lines(r.out).size(), 20000u);
  EXPECT_NE(r.err.find("GGA           10000\n"), std::string::npos) << r.err;
}

TEST(NmeaTool, ErrorsGiveOneClearLineAndStatusOne) {
  TempDir dir;
  const fs::path file = dir.Write("in.nmea", kGga + "\n");
  struct Case {
    std::string arguments;
    std::string message;
  };
  const Case cases[] = {
      {"'" + (dir.path() / "missing.nmea").string() + "'", "missing.nmea: No such file or directory"},
      {"'" + dir.path().string() + "'", "Is a directory"},
      {"--baud 4800 '" + file.string() + "'", "is not a serial device"},
      {"--baud 4800 -", "serial devices only"},
      {"--baud fast", "invalid baud rate: fast"},
      {"--baud", "needs a value"},
      {"--parity weird", "parity must be none, odd, even, mark or space"},
      {"--databits 9", "data bits must be 7 or 8"},
      {"--stopbits 3", "stop bits must be 1 or 2"},
      {"--frobnicate", "unknown option: --frobnicate"},
      {"a.nmea b.nmea", "only one source"},
  };
  for (const Case& c : cases) {
    const Result r = RunTool(dir, c.arguments);
    EXPECT_EQ(r.status, 1) << c.arguments;
    EXPECT_EQ(r.out, "") << c.arguments;
    EXPECT_TRUE(r.err.starts_with("tarvo-nmea: ")) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  const Result help = RunTool(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: tarvo-nmea"), std::string::npos);
}

// Network sources: a TCP server's lines (cut anywhere) are printed until it
// closes, which ends the tool with a message; addresses that are no source
// are refused before anything is opened.
TEST(NmeaTool, ReadsATcpServerUntilItClosesAndRefusesBadAddresses) {
  TempDir dir;
  test::LoopbackServer server;
  std::thread peer([&] {
    if (!server.Accept()) return;
    server.Send(kGga.substr(0, 20));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    server.Send(kGga.substr(20) + "\r\n" + kRmc + "\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    server.CloseClient();
  });
  const std::string url = "tcp://127.0.0.1:" + std::to_string(server.port());
  const Result r = RunTool(dir, "--stats " + url);
  peer.join();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Lines(r.out).size(), 2u) << r.out;
  EXPECT_NE(r.err.find("lines         2\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("tarvo-nmea: lost " + url + ": the server closed the connection\n"), std::string::npos) << r.err;

  for (const std::string& bad : {std::string("tcp://127.0.0.1"), std::string("udp://host:1"),
                                 std::string("--baud 4800 gpsd://localhost"),
                                 "gpsd://127.0.0.1:" + std::to_string(test::FreePort())}) {
    const Result e = RunTool(dir, bad);
    EXPECT_EQ(e.status, 1) << bad;
    EXPECT_EQ(e.out, "") << bad;
    EXPECT_TRUE(e.err.starts_with("tarvo-nmea: ")) << e.err;
    EXPECT_EQ(std::count(e.err.begin(), e.err.end(), '\n'), 1) << e.err;
  }
}

// A receiver on a pseudo-terminal: lines arrive as the device sends them,
// and pulling the plug ends the tool with a message.
TEST(NmeaTool, ReadsASerialDeviceUntilItGoesAway) {
  int master = -1;
  int slave = -1;
  char name[256] = {};
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  TempDir dir;
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const std::string err = (dir.path() / "stderr").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, master);
  posix_spawn_file_actions_addclose(&actions, slave);
  std::string exe = TARVO_NMEA_EXE;
  std::string baud = "--baud=115200";
  std::string stats = "--stats";
  char* argv[] = {exe.data(), baud.data(), stats.data(), name, nullptr};
  pid_t pid = -1;
  ASSERT_EQ(::posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);

  // Send until the tool has its port set up and answers; then a sentence in
  // two pieces with stray bytes around it.
  std::string received;
  auto readFor = [&](std::chrono::milliseconds wait) {
    pollfd p{out[0], POLLIN, 0};
    char buffer[4096];
    while (::poll(&p, 1, static_cast<int>(wait.count())) > 0) {
      const ssize_t n = ::read(out[0], buffer, sizeof buffer);
      if (n <= 0) break;
      received.append(buffer, static_cast<std::size_t>(n));
      wait = std::chrono::milliseconds(50);
    }
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (received.find("GGA") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    const std::string line = kGga + "\r\n";
    ASSERT_EQ(::write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    readFor(std::chrono::milliseconds(100));
  }
  ASSERT_NE(received.find("\"type\":\"GGA\""), std::string::npos);
  received.clear();
  const std::string first = "xx" + kRmc.substr(0, 20);
  const std::string second = kRmc.substr(20) + "\r\n";
  ASSERT_EQ(::write(master, first.data(), first.size()), static_cast<ssize_t>(first.size()));
  readFor(std::chrono::milliseconds(100));
  EXPECT_EQ(received, "");
  ASSERT_EQ(::write(master, second.data(), second.size()), static_cast<ssize_t>(second.size()));
  readFor(std::chrono::milliseconds(2000));
  EXPECT_EQ(Lines(received).size(), 1u) << received;
  EXPECT_NE(received.find("\"type\":\"RMC\",\"time\":\"1994-03-23T12:35:19Z\""), std::string::npos) << received;

  // Unplugged.
  ::close(slave);
  ::close(master);
  int status = 0;
  for (int i = 0; i < 100 && ::waitpid(pid, &status, WNOHANG) == 0; ++i) ::usleep(50000);
  if (::waitpid(pid, &status, WNOHANG) == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    ADD_FAILURE() << "tarvo-nmea did not end when its device went away";
  }
  ::close(out[0]);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string messages = ReadAll(err);
  EXPECT_NE(messages.find("RMC           1\n"), std::string::npos) << messages;
  EXPECT_NE(messages.find("tarvo-nmea: lost " + std::string(name)), std::string::npos) << messages;
}

// The tool on the slave of a pseudo-terminal, its standard output on a pipe
// and its standard error in a file.
class ToolOnDevice {
 public:
  ToolOnDevice(const TempDir& dir, std::vector<std::string> arguments) : err_(dir.path() / "stderr") {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0 || ::pipe(out_) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    for (int fd : {out_[0], master_, slave_}) posix_spawn_file_actions_addclose(&actions, fd);
    arguments.insert(arguments.begin(), TARVO_NMEA_EXE);
    arguments.emplace_back(name);
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out_[1]);
    out_[1] = -1;
  }
  ~ToolOnDevice() {
    Unplug();
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_[0] >= 0) ::close(out_[0]);
  }

  bool started() const { return pid_ > 0; }
  bool Send(const std::string& bytes) const {
    return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // Reads the tool's output until `text` has come or `wait` has passed.
  bool WaitFor(const std::string& text, std::chrono::milliseconds wait = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    char buffer[4096];
    while (received_.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{out_[0], POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::read(out_[0], buffer, sizeof buffer);
      if (n <= 0) break;
      received_.append(buffer, static_cast<std::size_t>(n));
    }
    return received_.find(text) != std::string::npos;
  }
  void Unplug() {
    for (int* fd : {&slave_, &master_}) {
      if (*fd >= 0) ::close(*fd);
      *fd = -1;
    }
  }
  // Waits for the tool to end (it should, once unplugged); its standard error.
  std::string Finish() {
    int status = 0;
    for (int i = 0; i < 100 && pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i) ::usleep(50000);
    if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == 0) ADD_FAILURE() << "tarvo-nmea did not end";
    else pid_ = -1;
    return ReadAll(err_);
  }

 private:
  fs::path err_;
  int master_ = -1;
  int slave_ = -1;
  int out_[2] = {-1, -1};
  pid_t pid_ = -1;
  std::string received_;
};

TEST(NmeaTool, StatsOfASerialDeviceCountTheLinesItsLinkDropsAsTooLong) {
  TempDir dir;
  ToolOnDevice tool(dir, {"--baud=115200", "--stats"});
  ASSERT_TRUE(tool.started());
  // Until the tool has its port set up and answers.
  for (int i = 0; i < 50 && !tool.WaitFor("\"GGA\"", std::chrono::milliseconds(200)); ++i) {
    ASSERT_TRUE(tool.Send(kGga + "\r\n"));
  }
  ASSERT_TRUE(tool.WaitFor("\"GGA\""));
  std::string withNul = kRmc;
  withNul[12] = '\0';
  const std::string overlong = "$GPTXT," + std::string(300, 'x') + "\r\n";
  ASSERT_TRUE(tool.Send(overlong + overlong + withNul + "\r\n$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*49\r\n" + kRmc +
                        "\r\n"));
  ASSERT_TRUE(tool.WaitFor("\"RMC\""));
  tool.Unplug();
  const std::string messages = tool.Finish();
  EXPECT_NE(messages.find("RMC           1\n"
                          "GSA           0\n"),
            std::string::npos)
      << messages;
  EXPECT_NE(messages.find("bad checksum  1\n"
                          "too long      2\n"
                          "bad bytes     1\n"
                          "ignored       0\n"),
            std::string::npos)
      << messages;
}

}  // namespace
}  // namespace tarvo
