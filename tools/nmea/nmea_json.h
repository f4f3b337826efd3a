// The JSON lines tarvo-nmea prints: one object per handled sentence and per
// completed GSV cycle, keys named after the record fields. Output is
// collected in a block and written in large pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/gps/records.h"

namespace tarvo::nmea_tool {

class JsonWriter {
 public:
  explicit JsonWriter(int fd) : fd_(fd) {}
  ~JsonWriter() { Flush(); }
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;

  void Gga(const GpsFix& fix);
  void Rmc(const RmcFix& fix);
  void Gsa(const DopInfo& dop);
  void Gsv(const SatelliteView& view);
  void Pgrme(const GpsFix& fix);
  void Pgrmz(const GpsFix& fix);
  // {"class":"SKY","time":...,"satellites":[{"system":"GPS","prn":5,"el":41,"az":120,"snr":38,"used":true},...]}
  void Sky(const std::vector<SkySatellite>& sky, int64_t fixTime);

  // Writes what is collected. False when the output cannot be written.
  bool Flush();
  bool failed() const { return failed_; }

 private:
  static constexpr std::size_t kBlock = 1 << 16;
  static constexpr std::size_t kLongestObject = 2048;

  void Begin(std::string_view type);
  void End();
  void Key(std::string_view key);
  void Raw(std::string_view text);
  void Number(double value);
  void Integer(int64_t value);
  void Text(std::string_view text);
  void Time(int64_t fixTime);

  int fd_;
  bool failed_ = false;
  std::size_t used_ = 0;
  char buffer_[kBlock];
};

}  // namespace tarvo::nmea_tool
