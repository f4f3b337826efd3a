// Reading a track file: one NMEA sentence a line, read in pieces of at most
// kMaxPiece characters as the recorder has always read it, and the GGA and
// RMC lines among them turned into track points and altitudes.
//
// Positions in degrees (WGS-84, north and east positive) exactly as the
// sentences carry them (no smoothing), altitudes in metres above mean sea
// level, times in seconds since 1970-01-01 00:00 UTC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/geo/coordinates.h"
#include "core/gps/records.h"

namespace tarvo {

// The pieces of a file descriptor's contents from its current offset: a piece
// ends at a line feed or after kMaxPiece characters, whichever comes first
// (the rest of a longer line is the next piece). A CR before the line feed
// is dropped.
class TrackPieceReader {
 public:
  static constexpr std::size_t kMaxPiece = 255;

  explicit TrackPieceReader(int fd) : fd_(fd) {}
  // The next piece, or nothing at the end of the file or on a read error.
  std::optional<std::string_view> Next();
  int readError() const { return readError_; }

 private:
  int fd_;
  char block_[65536];
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  bool end_ = false;
  std::string piece_;
  int readError_ = 0;
};

// What one line of a track file says.
struct TrackLine {
  enum class Kind { Other, Gga, Rmc };
  Kind kind = Kind::Other;
  bool valid = false;  // GGA quality above 0, or RMC status "A"
  LatLon position;
  int64_t time = 0;
  // GGA only.
  double altitude = 0.0;
  int32_t quality = 0;
  int32_t satellites = 0;
  double hdop = 0.0;
  // RMC only.
  double speedKnots = 0.0;
  double course = 0.0;
};

// Whether a line is a GGA or RMC line of a track file: "$" first and
// characters 4 to 6 "GGA" or "RMC", whatever the talker ("$GNGGA" reads as
// "$GPGGA").
TrackLine::Kind TrackLineKind(std::string_view line);

// Decodes the lines of one file in order. GGA lines are dated by the latest
// valid RMC date of the file; before one is seen (or in a file without RMC)
// by the day nearest the time of the previous line, so a GGA-only track runs
// on across midnight. A void RMC never moves the date (receivers without a
// fix send nonsense dates).
class TrackLineDecoder {
 public:
  // The date of GGA lines before any RMC date or earlier time is known
  // (seconds since 1970; 0 dates them 1970-01-01).
  explicit TrackLineDecoder(int64_t dateHint = 0) : lastTime_(dateHint) {}
  TrackLine Decode(std::string_view line);

 private:
  ReceiverState state_;
  int64_t lastTime_;
};

}  // namespace tarvo
