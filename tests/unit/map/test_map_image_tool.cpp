// tarvo-image run as a process: size line and exit codes, the reason of a
// refusal, and the PAM file it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& path) {  // no quotes inside: paths of the test folder
  std::string quoted = "'";
  quoted += path.string();
  quoted += "'";
  return quoted;
}

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ImageTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarvo-image-test-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Each argument is quoted for the shell. The command is built by appending:
  // GCC 12 warns falsely (-Wrestrict) on chains of + at -O3.
  Result Run(std::initializer_list<std::string> arguments) {
    std::string command = TARVO_BINARY_DIR;
    command += "/tools/image/tarvo-image";
    for (const std::string& argument : arguments) {
      command += ' ';
      command += Quoted(argument);
    }
    command += " > ";
    command += Quoted(dir_ / "out");
    command += " 2> ";
    command += Quoted(dir_ / "err");
    const int raw = std::system(command.c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadFile(dir_ / "out");
    r.err = ReadFile(dir_ / "err");
    return r;
  }

  // A 2 x 1 GIF89a: a red pixel and a transparent one.
  fs::path WriteGif(const std::string& name) {
    static const unsigned char kGif[] = {
        'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0,  // screen 2 x 1, 2-entry table
        0xFF, 0, 0, 0, 0, 0xFF,                                // red, blue
        0x21, 0xF9, 4, 1, 0, 0, 1, 0,                          // index 1 transparent
        0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0,                       // image 2 x 1
        2, 2, 0x44, 0x0A, 0, 0x3B};                            // LZW: clear 0 1 end
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(kGif), sizeof kGif);
    return path;
  }

  fs::path dir_;
};

TEST_F(ImageTool, PrintsTheSizeOrTheReasonWithTheExitCode) {
  const fs::path gif = WriteGif("dot.gif");
  Result r = Run({gif});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "2 1\n");

  // The kind from the ending, unless given.
  fs::copy_file(gif, dir_ / "dot.jpeg");
  r = Run({dir_ / "dot.jpeg"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("unknown kind"), std::string::npos) << r.err;
  EXPECT_EQ(Run({dir_ / "dot.jpeg", "--kind", "gif"}).out, "2 1\n");

  r = Run({gif, "--kind", "png"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("unknown kind: no PNG signature"), std::string::npos) << r.err;
  r = Run({dir_ / "missing.png"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;

  EXPECT_EQ(Run({}).status, 2);
  EXPECT_EQ(Run({gif, "--kind", "tiff"}).status, 2);
  EXPECT_EQ(Run({gif, "--bogus"}).status, 2);
}

TEST_F(ImageTool, WritesTheDecodedPixelsAsRgbaPam) {
  const fs::path gif = WriteGif("dot.gif");
  const fs::path pam = dir_ / "dot.pam";
  const Result r = Run({gif, "--pam", pam});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string header = "P7\nWIDTH 2\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  const std::string data = ReadFile(pam);
  ASSERT_EQ(data.size(), header.size() + 8);
  EXPECT_EQ(data.substr(0, header.size()), header);
  EXPECT_EQ(data.substr(header.size(), 4), std::string("\xFF\x00\x00\xFF", 4));
  EXPECT_EQ(static_cast<unsigned char>(data[header.size() + 7]), 0);  // transparent
  // Nothing but the PAM is left in the folder (no temporary files).
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 4);  // dot.gif, dot.pam, out, err

  // An unwritable target: exit 3, no file.
  const Result bad = Run({gif, "--pam", dir_ / "no" / "such.pam"});
  EXPECT_EQ(bad.status, 3);
}

}  // namespace
