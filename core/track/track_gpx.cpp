#include "core/track/track_gpx.h"

#include <cinttypes>
#include <cmath>

#include "core/gps/nmea_time.h"

namespace tarvo {
namespace {

constexpr double kKnotsToMetresPerSecond = 1852.0 / 3600.0;

constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"Tarvo\" xmlns=\"http://www.topografix.com/GPX/1/1\""
    " xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\""
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
    " xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\">\n"
    "<trk>\n";

// GGA quality as a GPX fix type: 2 DGPS, 3 PPS, else 3d with four or more
// satellites and 2d with fewer.
const char* FixType(const TrackLine& gga) {
  if (gga.quality == 2) return "dgps";
  if (gga.quality == 3) return "pps";
  return gga.satellites >= 4 ? "3d" : "2d";
}

// The same second of a point: GGA and RMC of one epoch. By time of day, as a
// GGA before the log's first RMC has no date yet.
bool SameSecond(const TrackLine& a, const TrackLine& b) {
  const auto secondOfDay = [](int64_t t) { return ((t % 86400) + 86400) % 86400; };
  return a.time != 0 && b.time != 0 && secondOfDay(a.time) == secondOfDay(b.time);
}

}  // namespace

GpxTrackWriter::GpxTrackWriter(std::FILE* out, bool useRmc, int64_t dateHint)
    : out_(out), useRmc_(useRmc), decoder_(dateHint) {
  Write(kHeader);
}

void GpxTrackWriter::Write(std::string_view text) {
  if (failed_) return;
  if (std::fwrite(text.data(), 1, text.size(), out_) != text.size()) failed_ = true;
}

void GpxTrackWriter::AddLine(std::string_view line) {
  const TrackLine decoded = decoder_.Decode(line);
  if (decoded.kind == TrackLine::Kind::Other || !decoded.valid) return;
  const bool isGga = decoded.kind == TrackLine::Kind::Gga;
  const bool isPoint = isGga != useRmc_;
  if (isGga) {
    lastGga_ = decoded;
    hasLastGga_ = true;
    // A GGA after the RMC point of its second fills that point in.
    if (pending_.set && !pending_.hasGga && SameSecond(pending_.point, decoded)) {
      pending_.hasGga = true;
      pending_.gga = decoded;
    }
  } else {
    lastRmc_ = decoded;
    hasLastRmc_ = true;
    if (pending_.set && !pending_.hasRmc && SameSecond(pending_.point, decoded)) {
      pending_.hasRmc = true;
      pending_.rmc = decoded;
    }
  }
  if (!isPoint) return;
  Flush();
  pending_ = Pending{};
  pending_.set = true;
  pending_.point = decoded;
  if (isGga) {
    pending_.hasGga = true;
    pending_.gga = decoded;
    if (hasLastRmc_ && SameSecond(lastRmc_, decoded)) {
      pending_.hasRmc = true;
      pending_.rmc = lastRmc_;
    }
  } else {
    pending_.hasRmc = true;
    pending_.rmc = decoded;
    if (hasLastGga_ && SameSecond(lastGga_, decoded)) {
      pending_.hasGga = true;
      pending_.gga = lastGga_;
    }
  }
}

void GpxTrackWriter::Flush() {
  if (!pending_.set) return;
  const TrackLine& p = pending_.point;
  if (!inSegment_ || std::llabs(p.time - lastPointTime_) > kGpxSessionGapSeconds) {
    if (inSegment_) Write("</trkseg>\n");
    Write("<trkseg>\n");
    inSegment_ = true;
    ++segments_;
  }
  lastPointTime_ = p.time;
  char buffer[512];
  int n = std::snprintf(buffer, sizeof buffer, "<trkpt lat=\"%.7f\" lon=\"%.7f\">", p.position.latitude,
                        p.position.longitude);
  Write({buffer, static_cast<std::size_t>(n)});
  if (pending_.hasGga) {
    n = std::snprintf(buffer, sizeof buffer, "<ele>%.1f</ele>", pending_.gga.altitude);
    Write({buffer, static_cast<std::size_t>(n)});
  }
  if (p.time != 0) {
    char when[32];
    const std::size_t length = FormatUtcTime(p.time, when);
    Write("<time>");
    Write({when, length});
    Write("</time>");
  }
  if (pending_.hasGga) {
    const TrackLine& g = pending_.gga;
    n = std::snprintf(buffer, sizeof buffer, "<fix>%s</fix><sat>%d</sat>", FixType(g), static_cast<int>(g.satellites));
    Write({buffer, static_cast<std::size_t>(n)});
    if (g.hdop > 0.0) {
      n = std::snprintf(buffer, sizeof buffer, "<hdop>%.1f</hdop>", g.hdop);
      Write({buffer, static_cast<std::size_t>(n)});
    }
  }
  if (pending_.hasRmc) {
    const TrackLine& r = pending_.rmc;
    n = std::snprintf(buffer, sizeof buffer,
                      "<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>%.2f</gpxtpx:speed>"
                      "<gpxtpx:course>%.1f</gpxtpx:course></gpxtpx:TrackPointExtension></extensions>",
                      r.speedKnots * kKnotsToMetresPerSecond, r.course);
    Write({buffer, static_cast<std::size_t>(n)});
  }
  Write("</trkpt>\n");
  ++points_;
  pending_ = Pending{};
}

bool GpxTrackWriter::Finish() {
  Flush();
  if (inSegment_) Write("</trkseg>\n");
  inSegment_ = false;
  Write("</trk>\n</gpx>\n");
  if (std::fflush(out_) != 0) failed_ = true;
  return !failed_;
}

}  // namespace tarvo
