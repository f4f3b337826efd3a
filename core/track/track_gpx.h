// The track file as GPX 1.1: one <trk>, one <trkseg> per recording session
// (wherever the fix times jump by more than kGpxSessionGapSeconds), and per
// point its position as the sentence carried it, time, elevation, fix type,
// satellites and HDOP (from the GGA line of the same second), and speed
// (metres per second) and course (degrees true) in a TrackPointExtension.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/track/track_file.h"

namespace tarvo {

inline constexpr int64_t kGpxSessionGapSeconds = 60;

class GpxTrackWriter {
 public:
  // Points are the RMC lines while RMC is the position source, else the GGA lines.
  GpxTrackWriter(std::FILE* out, bool useRmc, int64_t dateHint = 0);
  // Takes one line of the track file.
  void AddLine(std::string_view line);
  // Writes the last point and closes the document; false on a write error.
  bool Finish();
  int64_t pointCount() const { return points_; }
  int64_t segmentCount() const { return segments_; }

 private:
  struct Pending {
    bool set = false;
    TrackLine point;
    bool hasGga = false;
    TrackLine gga;
    bool hasRmc = false;
    TrackLine rmc;
  };
  void Flush();
  void Write(std::string_view text);

  std::FILE* out_;
  bool useRmc_;
  TrackLineDecoder decoder_;
  Pending pending_;
  TrackLine lastGga_;
  bool hasLastGga_ = false;
  TrackLine lastRmc_;
  bool hasLastRmc_ = false;
  bool inSegment_ = false;
  int64_t lastPointTime_ = 0;
  int64_t points_ = 0;
  int64_t segments_ = 0;
  bool failed_ = false;
  std::string point_;  // the text of the point being written
};

}  // namespace tarvo
