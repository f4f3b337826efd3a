#include "tools/nmea/nmea_json.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/gps/nmea_time.h"

namespace tarvo::nmea_tool {

bool JsonWriter::Flush() {
  std::size_t done = 0;
  while (done < used_ && !failed_) {
    const ssize_t n = ::write(fd_, buffer_ + done, used_ - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  used_ = 0;
  return !failed_;
}

void JsonWriter::Raw(std::string_view text) {
  std::memcpy(buffer_ + used_, text.data(), text.size());
  used_ += text.size();
}

void JsonWriter::Begin(std::string_view type) {
  if (used_ + kLongestObject > kBlock) Flush();
  Raw("{\"type\":\"");
  Raw(type);
  Raw("\"");
}

void JsonWriter::End() { Raw("}\n"); }

void JsonWriter::Key(std::string_view key) {
  Raw(",\"");
  Raw(key);
  Raw("\":");
}

// Shortest text that reads back as the same double; null for what JSON cannot hold.
void JsonWriter::Number(double value) {
  if (!std::isfinite(value)) {
    Raw("null");
    return;
  }
  const auto result = std::to_chars(buffer_ + used_, buffer_ + kBlock, value);
  used_ = static_cast<std::size_t>(result.ptr - buffer_);
}

void JsonWriter::Integer(int64_t value) {
  const auto result = std::to_chars(buffer_ + used_, buffer_ + kBlock, value);
  used_ = static_cast<std::size_t>(result.ptr - buffer_);
}

void JsonWriter::Text(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  Raw("\"");
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      buffer_[used_++] = '\\';
      buffer_[used_++] = c;
    } else if (u < 0x20 || u >= 0x7f) {
      // Control bytes, and bytes that are not ASCII (read as Latin-1).
      Raw("\\u00");
      buffer_[used_++] = kHex[u >> 4];
      buffer_[used_++] = kHex[u & 15];
    } else {
      buffer_[used_++] = c;
    }
  }
  Raw("\"");
}

void JsonWriter::Time(int64_t fixTime) {
  Key("time");
  if (fixTime == 0) {
    Raw("null");
  } else {
    char text[32];
    const std::size_t n = FormatUtcTime(fixTime, text);
    Raw("\"");
    Raw(std::string_view(text, n));
    Raw("\"");
  }
  Key("fixTime");
  Integer(fixTime);
}

void JsonWriter::Gga(const GpsFix& fix) {
  Begin("GGA");
  Time(fix.fixTime);
  Key("latitude");
  Number(fix.latitude);
  Key("longitude");
  Number(fix.longitude);
  Key("altitude");
  Number(fix.altitude);
  Key("hdop");
  Number(fix.hdop);
  Key("fixQuality");
  Integer(fix.fixQuality);
  Key("satellitesUsed");
  Integer(fix.satellitesUsed);
  Key("geoidSeparation");
  Integer(fix.geoidSeparation);
  End();
}

void JsonWriter::Rmc(const RmcFix& fix) {
  Begin("RMC");
  Time(fix.fixTime);
  Key("valid");
  Integer(fix.valid);
  Key("latitude");
  Number(fix.latitude);
  Key("longitude");
  Number(fix.longitude);
  Key("speedKnots");
  Number(fix.speedKnots);
  Key("course");
  Number(fix.course);
  End();
}

void JsonWriter::Gsa(const DopInfo& dop) {
  Begin("GSA");
  Key("fixMode");
  Integer(dop.fixMode);
  Key("selectionMode");
  Text(dop.selectionMode != 0 ? std::string_view(&dop.selectionMode, 1) : std::string_view());
  Key("usedPrns");
  Raw("[");
  bool first = true;
  for (int32_t prn : dop.usedPrns) {
    if (prn == 0) continue;  // an empty slot
    if (!first) Raw(",");
    Integer(prn);
    first = false;
  }
  Raw("]");
  Key("pdop");
  Number(dop.pdop);
  Key("hdop");
  Number(dop.hdop);
  Key("vdop");
  Number(dop.vdop);
  End();
}

void JsonWriter::Gsv(const SatelliteView& view) {
  Begin("GSV");
  Key("messageCount");
  Integer(view.messageCount);
  Key("satellites");
  Raw("[");
  bool first = true;
  const int slots = 4 * (view.messageCount > 3 ? 3 : view.messageCount);
  for (int i = 0; i < slots; ++i) {
    const SatelliteSlot& s = view.satellites[static_cast<std::size_t>(i)];
    if (s.prn == 0) continue;  // no satellite in this slot
    Raw(first ? "{\"prn\":" : ",{\"prn\":");
    Integer(s.prn);
    Raw(",\"elevation\":");
    Integer(s.elevation);
    Raw(",\"azimuth\":");
    Integer(s.azimuth);
    Raw(",\"snr\":");
    Integer(s.snr);
    Raw("}");
    first = false;
  }
  Raw("]");
  End();
}

void JsonWriter::Pgrme(const GpsFix& fix) {
  Begin("PGRME");
  Key("horizontalError");
  Number(fix.horizontalError);
  Key("verticalError");
  Number(fix.verticalError);
  Key("sphericalError");
  Number(fix.sphericalError);
  End();
}

void JsonWriter::Pgrmz(const GpsFix& fix) {
  Begin("PGRMZ");
  Key("altitude");
  Number(fix.altitude);
  End();
}

void JsonWriter::Sky(const std::vector<SkySatellite>& sky, int64_t fixTime) {
  // Up to kSkyCapacity satellites of about 80 characters each.
  if (used_ + 96 * sky.size() + kLongestObject > kBlock) Flush();
  Raw("{\"class\":\"SKY\"");
  Key("time");
  if (fixTime == 0) {
    Raw("null");
  } else {
    char text[32];
    const std::size_t n = FormatUtcTime(fixTime, text);
    Raw("\"");
    Raw(std::string_view(text, n));
    Raw("\"");
  }
  Key("satellites");
  Raw("[");
  bool first = true;
  const auto orNull = [this](int16_t v) {
    if (v < 0) {
      Raw("null");
    } else {
      Integer(v);
    }
  };
  for (const SkySatellite& s : sky) {
    Raw(first ? "{\"system\":\"" : ",{\"system\":\"");
    Raw(GnssSystemName(s.system));
    Raw("\",\"prn\":");
    Integer(s.prn);
    Raw(",\"el\":");
    orNull(s.elevation);
    Raw(",\"az\":");
    orNull(s.azimuth);
    Raw(",\"snr\":");
    orNull(s.snr);
    Raw(s.used ? ",\"used\":true}" : ",\"used\":false}");
    first = false;
  }
  Raw("]");
  End();
}

}  // namespace tarvo::nmea_tool
