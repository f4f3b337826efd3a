#include "core/track/track_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/gps/nmea.h"

namespace tarvo {

std::optional<std::string_view> TrackPieceReader::Next() {
  piece_.clear();
  for (;;) {
    if (pos_ == len_) {
      if (end_) break;
      ssize_t n;
      do {
        n = ::read(fd_, block_, sizeof block_);
      } while (n < 0 && errno == EINTR);
      if (n <= 0) {
        if (n < 0) readError_ = errno;
        end_ = true;
        break;
      }
      pos_ = 0;
      len_ = static_cast<std::size_t>(n);
    }
    const char* start = block_ + pos_;
    const std::size_t room = kMaxPiece - piece_.size();
    const std::size_t avail = std::min(len_ - pos_, room);
    const void* lf = std::memchr(start, '\n', avail);
    if (lf != nullptr) {
      const auto take = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
      piece_.append(start, take);
      pos_ += take + 1;
      if (!piece_.empty() && piece_.back() == '\r') piece_.pop_back();
      return std::string_view(piece_);
    }
    piece_.append(start, avail);
    pos_ += avail;
    if (piece_.size() == kMaxPiece) return std::string_view(piece_);
  }
  if (piece_.empty()) return std::nullopt;
  if (piece_.back() == '\r') piece_.pop_back();
  return std::string_view(piece_);
}

TrackLine::Kind TrackLineKind(std::string_view line) {
  if (line.size() < 6 || line[0] != '$') return TrackLine::Kind::Other;
  const std::string_view type = line.substr(3, 3);
  if (type == "GGA") return TrackLine::Kind::Gga;
  if (type == "RMC") return TrackLine::Kind::Rmc;
  return TrackLine::Kind::Other;
}

TrackLine TrackLineDecoder::Decode(std::string_view line) {
  TrackLine out;
  const TrackLine::Kind kind = TrackLineKind(line);
  if (kind == TrackLine::Kind::Other) return out;
  ParseOptions options;
  options.raw = true;
  options.nowUtc = lastTime_;
  if (kind == TrackLine::Kind::Gga) {
    GpsFix& gga = state_.gpsFix;
    gga = GpsFix{};
    if (ParseGga(line, gga, state_.smoothing, state_.rmcFix, options) != SentenceStatus::Parsed) return out;
    out.kind = kind;
    out.valid = gga.fixQuality != 0;
    out.position = {gga.latitude, gga.longitude};
    out.time = gga.fixTime;
    out.altitude = gga.altitude;
    out.quality = gga.fixQuality;
    out.satellites = gga.satellitesUsed;
    out.hdop = gga.hdop;
  } else {
    RmcFix& rmc = state_.rmcFix;
    const int32_t day = rmc.dateDay;
    const int32_t second = rmc.dateSecondOfDay;
    RmcFix parsed = rmc;
    parsed.valid = false;
    if (ParseRmc(line, parsed, state_.smoothing, nullptr, options) != SentenceStatus::Parsed) return out;
    out.kind = kind;
    out.valid = parsed.valid;
    out.position = {parsed.latitude, parsed.longitude};
    out.speedKnots = parsed.speedKnots;
    out.course = parsed.course;
    rmc = parsed;
    if (!parsed.valid) {
      // Keep the date of the last RMC with a fix.
      rmc.dateDay = day;
      rmc.dateSecondOfDay = second;
    }
    out.time = parsed.fixTime;
  }
  if (out.valid && out.time != 0) lastTime_ = out.time;
  return out;
}

}  // namespace tarvo
