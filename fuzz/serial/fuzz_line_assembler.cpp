// Line assembly under random chunking: the first bytes choose the chunk
// sizes, the rest is the stream. Fed in chunks or at once, the lines must be
// the same, and each one a "$" line of at most 255 characters without CR/LF.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/gps/line_assembler.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::size_t chunkSeeds = 4;
  const std::string_view stream(reinterpret_cast<const char*>(data) + chunkSeeds, size - chunkSeeds);

  std::vector<std::string> whole;
  tarvo::LineAssembler once;
  once.Feed(stream, [&](std::string_view line) { whole.emplace_back(line); });

  std::vector<std::string> pieces;
  tarvo::LineAssembler chunked;
  std::size_t at = 0;
  for (std::size_t k = 0; at < stream.size(); ++k) {
    const std::size_t n = std::min<std::size_t>(1 + data[k % chunkSeeds] % 64, stream.size() - at);
    chunked.Feed(stream.substr(at, n), [&](std::string_view line) { pieces.emplace_back(line); });
    at += n;
  }

  Check(pieces == whole);
  Check(once.droppedTooLong() == chunked.droppedTooLong());
  for (const auto& line : whole) {
    Check(!line.empty() && line.front() == '$');
    Check(line.size() <= tarvo::LineAssembler::kMaxLine);
    Check(line.find_first_of("\r\n") == std::string::npos);
  }
  return 0;
}
