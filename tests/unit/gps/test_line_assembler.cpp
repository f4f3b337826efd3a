// Line assembly from a receiver's byte stream, without a device.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/gps/line_assembler.h"

namespace tarvo {
namespace {

using Lines = std::vector<std::string>;

Lines Assemble(LineAssembler& assembler, std::string_view bytes) {
  Lines lines;
  assembler.Feed(bytes, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

Lines Assemble(std::string_view bytes) {
  LineAssembler assembler;
  return Assemble(assembler, bytes);
}

TEST(LineAssembler, FramesFromDollarToCrOrLf) {
  struct Case {
    std::string bytes;
    Lines lines;
  };
  const Case cases[] = {
      {"xx\r\n$GPGGA,1*00\r\n", {"$GPGGA,1*00"}},         // noise before, LF of CR LF dropped
      {"$GPGGA,1$GPRMC,2\r", {"$GPGGA,1$GPRMC,2"}},       // a further "$" is appended
      {"\r\n\r\n", {}},                                    // line ends alone
      {"$\r", {"$"}},                                      // the shortest line
      {"$A\n\n$B\r\r$C\n\r", {"$A", "$B", "$C"}},          // either end, in any order
      {"junk$GPGSA,3", {}},                                // unfinished: not yet a line
      {std::string("$A\0B\r", 5), {std::string("$A\0B", 4)}},  // bytes pass unchanged
  };
  for (const Case& c : cases) EXPECT_EQ(Assemble(c.bytes), c.lines) << c.bytes;
}

TEST(LineAssembler, DropsOverlongLinesWholeAndRecovers) {
  LineAssembler assembler;
  const std::string longest = "$" + std::string(LineAssembler::kMaxLine - 1, 'a');
  EXPECT_EQ(Assemble(assembler, longest + "\r"), Lines{longest});
  EXPECT_EQ(assembler.droppedTooLong(), 0u);

  // One character more is dropped, and a "$" inside the dropped part does not
  // open a line; the line after it is whole.
  EXPECT_EQ(Assemble(assembler, longest + "b$GPRMC,1\r\n$GPGGA,2\r\n"), Lines{"$GPGGA,2"});
  EXPECT_EQ(assembler.droppedTooLong(), 1u);
  EXPECT_EQ(Assemble(assembler, "$" + std::string(5000, 'c') + "\n"), Lines{});
  EXPECT_EQ(assembler.droppedTooLong(), 2u);
}

TEST(LineAssembler, ResetForgetsAPartLine) {
  LineAssembler assembler;
  EXPECT_EQ(Assemble(assembler, "$GPGGA,12"), Lines{});
  assembler.Reset();
  EXPECT_EQ(Assemble(assembler, "3\r\n$GPRMC\r\n"), Lines{"$GPRMC"});
}

TEST(LineAssembler, ChunkingDoesNotChangeTheLines) {
  std::mt19937 random(2024);
  const std::string alphabet = "$$$\r\n,*0123456789ABCGPRMx";
  for (int round = 0; round < 200; ++round) {
    std::string stream;
    const std::size_t size = random() % 2000;
    for (std::size_t i = 0; i < size; ++i) stream += alphabet[random() % alphabet.size()];
    if (round % 10 == 0) stream += "$" + std::string(300, 'z') + "\n";
    const Lines whole = Assemble(stream);

    LineAssembler assembler;
    Lines pieces;
    for (std::size_t at = 0; at < stream.size();) {
      const std::size_t n = std::min<std::size_t>(1 + random() % 17, stream.size() - at);
      for (auto& line : Assemble(assembler, std::string_view(stream).substr(at, n))) pieces.push_back(line);
      at += n;
    }
    ASSERT_EQ(pieces, whole);
    for (const auto& line : whole) {
      ASSERT_EQ(line.front(), '$');
      ASSERT_LE(line.size(), LineAssembler::kMaxLine);
      ASSERT_EQ(line.find_first_of("\r\n"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace tarvo
