// Bytes as a track file: read in pieces, decoded line by line, written as GPX.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/track/track_file.h"
#include "core/track/track_gpx.h"
#include "core/track/track_recorder.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int fd = memfd_create("track", 0);
  static std::FILE* sink = std::fopen("/dev/null", "wb");
  if (fd < 0 || sink == nullptr) std::abort();
  if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) std::abort();
  for (size_t done = 0; done < size;) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  lseek(fd, 0, SEEK_SET);

  TrackPieceReader reader(fd);
  TrackLineDecoder decoder;
  GpxTrackWriter gpx(sink, size % 2 == 0);
  TrackStatistics stats;
  size_t total = 0;
  while (std::optional<std::string_view> piece = reader.Next()) {
    if (piece->size() > TrackPieceReader::kMaxPiece) std::abort();
    if (piece->find('\n') != std::string_view::npos) std::abort();
    total += piece->size();
    const TrackLine line = decoder.Decode(*piece);
    if (line.kind != TrackLine::Kind::Other && line.valid) {
      if (!std::isfinite(line.position.latitude) || !std::isfinite(line.position.longitude)) std::abort();
      stats.AddPoint(line.position, line.time);
      if (stats.elapsed < 0) std::abort();
    }
    gpx.AddLine(*piece);
  }
  if (total > size) std::abort();
  gpx.Finish();
  return 0;
}
