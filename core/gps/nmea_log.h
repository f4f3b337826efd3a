// The raw NMEA log: which lines it keeps, and the log file.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

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

// Earlier logs kept beside the log file: NAME.nmea -> NAME.1.nmea -> ... ->
// NAME.<kLogGenerations>.nmea; the oldest is dropped.
inline constexpr int kLogGenerations = 5;
// Written lines reach the file at most this long after they were written.
inline constexpr std::chrono::milliseconds kLogFlushInterval{1000};

// The name of earlier log `generation` (1 = the newest) of `path`.
std::filesystem::path LogGenerationPath(const std::filesystem::path& path, int generation);
// Moves a non-empty `path` aside as generation 1, shifting the older ones up
// and dropping the oldest; an empty or missing file is left alone. False
// (errno-style code in `error`) when the file could not be moved.
bool RotateLogFiles(const std::filesystem::path& path, std::error_code& error);

// The log file, written line by line. Opening starts a new file and keeps
// the earlier content as generation 1 (RotateLogFiles).
class NmeaLogFile {
 public:
  using Clock = std::chrono::steady_clock;
  NmeaLogFile() = default;
  ~NmeaLogFile() { Close(); }
  NmeaLogFile(const NmeaLogFile&) = delete;
  NmeaLogFile& operator=(const NmeaLogFile&) = delete;

  // Moves an earlier log aside and creates the file; false (and closed) when
  // either fails, with the reason in lastError(). Nothing recorded is lost.
  bool Open(const std::filesystem::path& path);
  bool IsOpen() const { return file_ != nullptr; }
  const std::filesystem::path& path() const { return path_; }
  // The whole line and one "\n"; flushed when the last flush is
  // kLogFlushInterval or more before `now`. Write errors are counted, not reported.
  void Write(std::string_view line, Clock::time_point now = Clock::now());
  // Flushes lines written since the last flush.
  void Flush();
  // Flushes when lines wait and the last flush is kLogFlushInterval or more before `now`.
  void FlushIfDue(Clock::time_point now = Clock::now());
  void Close();
  uint64_t writeErrors() const { return writeErrors_; }
  const std::error_code& lastError() const { return lastError_; }

 private:
  std::FILE* file_ = nullptr;
  std::filesystem::path path_;
  uint64_t writeErrors_ = 0;
  bool unflushed_ = false;
  Clock::time_point lastFlush_{};
  std::error_code lastError_;
};

}  // namespace tarvo
