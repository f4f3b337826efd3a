#include "core/track/track_gpx.h"

#include <algorithm>
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

// `value` with `decimals` places (0..7), rounded half away from zero, as
// "%.*f" writes it but without the cost of printf's exact conversion.
void AppendFixed(std::string& out, double value, int decimals) {
  static constexpr int64_t kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
  const double scaled = std::fabs(value) * static_cast<double>(kScale[decimals]);
  if (!std::isfinite(value) || scaled >= 9.0e15) {
    // Up to 309 digits before the point (DBL_MAX), the places, sign and point.
    char buffer[330];
    const int n = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    if (n > 0) out.append(buffer, std::min(static_cast<std::size_t>(n), sizeof buffer - 1));
    return;
  }
  const auto units = static_cast<int64_t>(std::llround(scaled));
  if (value < 0 && units != 0) out.push_back('-');
  out.append(std::to_string(units / kScale[decimals]));
  if (decimals == 0) return;
  out.push_back('.');
  std::string fraction = std::to_string(units % kScale[decimals]);
  out.append(static_cast<std::size_t>(decimals) - fraction.size(), '0');
  out.append(fraction);
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
  std::string& o = point_;
  o.assign("<trkpt lat=\"");
  AppendFixed(o, p.position.latitude, 7);
  o.append("\" lon=\"");
  AppendFixed(o, p.position.longitude, 7);
  o.append("\">");
  if (pending_.hasGga) {
    o.append("<ele>");
    AppendFixed(o, pending_.gga.altitude, 1);
    o.append("</ele>");
  }
  if (p.time != 0) {
    char when[32];
    const std::size_t length = FormatUtcTime(p.time, when);
    o.append("<time>").append(when, length).append("</time>");
  }
  if (pending_.hasGga) {
    const TrackLine& g = pending_.gga;
    o.append("<fix>").append(FixType(g)).append("</fix><sat>").append(std::to_string(g.satellites)).append("</sat>");
    if (g.hdop > 0.0) {
      o.append("<hdop>");
      AppendFixed(o, g.hdop, 1);
      o.append("</hdop>");
    }
  }
  if (pending_.hasRmc) {
    const TrackLine& r = pending_.rmc;
    o.append("<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>");
    AppendFixed(o, r.speedKnots * kKnotsToMetresPerSecond, 2);
    o.append("</gpxtpx:speed><gpxtpx:course>");
    AppendFixed(o, r.course, 1);
    o.append("</gpxtpx:course></gpxtpx:TrackPointExtension></extensions>");
  }
  o.append("</trkpt>\n");
  Write(o);
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
