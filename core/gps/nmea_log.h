// The raw NMEA log: which lines it keeps, and the log file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarvo {

// The log file in the user's data folder; also the default replay file.
inline constexpr std::string_view kLogFileName = "Tarvo_Log.nmea";
// The log page shows the latest lines, each cut to a length.
inline constexpr int kLogMaxLines = 50;
inline constexpr std::size_t kLogShownLength = 254;

// Filter bits of "LogOptions", one per check box.
enum LogBits : int32_t {
  kLogGga = 1,
  kLogGsv = 2,
  kLogRmc = 4,
  kLogGsa = 8,
  kLogOthers = 16,
};

// The filter bit of a line: the first of GGA, GSV, RMC, GSA whose sentence id
// (with any talker, "$GPGGA", "$GNGGA", ...) appears anywhere in the line;
// kLogOthers when none does.
int32_t LogCategoryBit(std::string_view line);

// The log file, written line by line. Opening replaces an earlier content.
class NmeaLogFile {
 public:
  NmeaLogFile() = default;
  ~NmeaLogFile() { Close(); }
  NmeaLogFile(const NmeaLogFile&) = delete;
  NmeaLogFile& operator=(const NmeaLogFile&) = delete;

  // Creates or empties the file; false (and closed) when it cannot be opened.
  bool Open(const std::filesystem::path& path);
  bool IsOpen() const { return file_ != nullptr; }
  const std::filesystem::path& path() const { return path_; }
  // The whole line and one "\n". Write errors are counted, not reported.
  void Write(std::string_view line);
  void Flush();
  void Close();
  uint64_t writeErrors() const { return writeErrors_; }

 private:
  std::FILE* file_ = nullptr;
  std::filesystem::path path_;
  uint64_t writeErrors_ = 0;
};

}  // namespace tarvo
