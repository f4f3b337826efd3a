// Reading a recorded NMEA file for replay: one line at a time, bounded in
// length, and the pace at which to hand the lines on.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

// The lines of a file, each cut to kMaxLine characters as a serial port cuts
// them: the rest of an over-long line is skipped up to its line end, so a file
// without line ends costs one bounded buffer, however large it is.
class ReplayFile {
 public:
  static constexpr std::size_t kMaxLine = 255;

  ReplayFile() = default;
  ~ReplayFile();
  ReplayFile(const ReplayFile&) = delete;
  ReplayFile& operator=(const ReplayFile&) = delete;

  // Opens `path` for reading; false with errno set (EISDIR for a folder).
  bool Open(const std::filesystem::path& path);
  bool IsOpen() const { return file_ != nullptr; }

  // The next line without its line end (CR, LF or CR LF), or nothing at the
  // end of the file or on a read error. The view stays valid until the next
  // call. A last line without a line end still counts.
  std::optional<std::string_view> Next();
  // The line Next would return, without taking it.
  std::optional<std::string_view> Peek();
  bool AtEnd();
  // Lines cut because they were longer than kMaxLine.
  uint64_t cutLines() const { return cutLines_; }
  // errno of a read error that ended the file early; 0 when none.
  int readError() const { return readError_; }

 private:
  bool ReadLine(std::string& out);
  int Get();  // next byte, or EOF

  std::FILE* file_ = nullptr;
  std::vector<char> block_;
  std::size_t blockPos_ = 0;
  std::size_t blockLen_ = 0;
  std::string line_;
  std::string peeked_;
  bool hasPeeked_ = false;
  bool peekedEnd_ = false;
  uint64_t cutLines_ = 0;
  int readError_ = 0;
};

// The UTC time of day of a sentence that carries one in its first field (GGA,
// RMC, GLL's is the fifth, GNS, ZDA, from any talker), in milliseconds since
// midnight; nothing for other sentences or an unreadable field.
std::optional<int32_t> SentenceTimeOfDayMs(std::string_view line);

// Paces a replay by the times recorded in the file: a line with a time of day
// is due when as much time, divided by the speed-up, has passed since the first
// timed line as the file says; lines without a time follow the line before.
// Time running backwards (a spliced file) or jumping ahead by more than
// kLongestGapMs (a pause in the recording) starts the clock again at that line.
class ReplayPacer {
 public:
  static constexpr int64_t kLongestGapMs = 60'000;
  static constexpr int32_t kMsPerDay = 86'400'000;

  explicit ReplayPacer(int speedUp = 1) : speedUp_(speedUp < 1 ? 1 : speedUp) {}
  // The wall-clock time (ms, any monotonic origin) at which `line` is due,
  // given that it is the next line of the file and `nowMs` is the time now.
  int64_t DueAt(std::string_view line, int64_t nowMs);

 private:
  int speedUp_;
  bool anchored_ = false;
  int64_t anchorWallMs_ = 0;
  int64_t anchorFileMs_ = 0;  // the file's time at the anchor, ms, days unwrapped
  int64_t lastFileMs_ = 0;
  int64_t lastDue_ = 0;
};

}  // namespace tarvo
