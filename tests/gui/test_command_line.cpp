// The program's command line, run as a process without a display.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace {

struct ProgramRun {
  int status = -1;
  std::string output;  // standard output and error
};

// Runs tarvo with `arguments` (shell words) and no display at all.
ProgramRun Tarvo(const std::string& arguments) {
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" + std::string(TARVO_BINARY_DIR) +
                              "/bin/tarvo' " + arguments + " 2>&1";
  ProgramRun run;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

TEST(CommandLine, HelpVersionAndBadOptionsAnswerWithoutADisplay) {
  const ProgramRun help = Tarvo("--help");
  EXPECT_EQ(help.status, 0) << help.output;
  EXPECT_NE(help.output.find("--replay"), std::string::npos) << help.output;
  EXPECT_NE(help.output.find("--speed"), std::string::npos) << help.output;
  const ProgramRun version = Tarvo("--version");
  EXPECT_EQ(version.status, 0) << version.output;
  EXPECT_NE(version.output.find("Tarvo"), std::string::npos) << version.output;
  EXPECT_NE(Tarvo("--no-such-option").status, 0);
  // Without a display the window cannot open: said in words, not by a crash.
  const ProgramRun window = Tarvo("");
  EXPECT_EQ(window.status, 1) << window.output;
  EXPECT_NE(window.output.find("no display"), std::string::npos) << window.output;
}

TEST(CommandLine, AReplayThatCannotBeReadIsRefusedWithItsReason) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  const ProgramRun missing = Tarvo("--replay /nonexistent/drive.nmea");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("cannot replay /nonexistent/drive.nmea: No such file or directory"), std::string::npos)
      << missing.output;
  const ProgramRun folder = Tarvo("--replay '" + dir.string() + "' --screenshot /nonexistent");
  EXPECT_EQ(folder.status, 1);
  EXPECT_NE(folder.output.find("is a folder"), std::string::npos) << folder.output;
  const ProgramRun speed = Tarvo("--replay '" + std::string(TARVO_SOURCE_DIR) + "/data/demo/demo-drive.nmea' --speed x3");
  EXPECT_EQ(speed.status, 2);
  EXPECT_NE(speed.output.find("--speed"), std::string::npos) << speed.output;
}

}  // namespace
