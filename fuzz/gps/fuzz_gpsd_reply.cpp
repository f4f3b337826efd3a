// A gpsd's reply stream under random chunking: the first bytes choose the
// chunk sizes, the rest is the stream. Split into objects and NMEA bytes and
// fed on to the line assembler, in chunks or at once, it must give the same
// objects and lines; every line a "$" line of at most 255 characters without
// CR or LF, no object longer than the stream allows, and the object parser
// must read any text without fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/gps/gpsd_reply.h"
#include "core/gps/line_assembler.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

struct Output {
  std::vector<std::string> lines;
  std::vector<std::string> kinds;  // the class of each object, "-" when it does not parse
};

void Split(std::string_view stream, const uint8_t* chunkSeeds, std::size_t seeds, Output& out) {
  tarvo::GpsdStream gpsd;
  tarvo::LineAssembler assembler;
  auto onBytes = [&](std::string_view bytes) {
    assembler.Feed(bytes, [&](std::string_view line) { out.lines.emplace_back(line); });
  };
  auto onObject = [&](std::string_view text) {
    Check(text.size() <= tarvo::GpsdStream::kMaxObject + 2);
    Check(text.empty() || (text.back() != '\n' && text.back() != '\r'));
    const std::optional<tarvo::GpsdObject> object = tarvo::ParseGpsdObject(text);
    out.kinds.push_back(object ? object->kind : "-");
    if (object) {
      for (const std::string* s : {&object->kind, &object->message, &object->release}) {
        for (char c : *s) Check(c >= 0x20 && c < 0x7f);
      }
    }
  };
  if (seeds == 0) {
    gpsd.Feed(stream, onBytes, onObject);
    return;
  }
  std::size_t at = 0;
  for (std::size_t k = 0; at < stream.size(); ++k) {
    const std::size_t n = std::min<std::size_t>(1 + chunkSeeds[k % seeds] % 64, stream.size() - at);
    gpsd.Feed(stream.substr(at, n), onBytes, onObject);
    at += n;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  constexpr std::size_t kSeeds = 4;
  if (size < kSeeds) return 0;
  const std::string_view stream(reinterpret_cast<const char*>(data) + kSeeds, size - kSeeds);
  Output whole;
  Output pieces;
  Split(stream, data, 0, whole);
  Split(stream, data, kSeeds, pieces);
  Check(whole.lines == pieces.lines);
  Check(whole.kinds == pieces.kinds);
  for (const std::string& line : whole.lines) {
    Check(!line.empty() && line.front() == '$' && line.size() <= tarvo::LineAssembler::kMaxLine);
    Check(line.find_first_of("\r\n") == std::string::npos);
  }
  return 0;
}
