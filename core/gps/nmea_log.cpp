#include "core/gps/nmea_log.h"

#include <array>
#include <cerrno>
#include <string>

namespace tarvo {

namespace {

bool IsTalkerChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// True when "$tt<id>" occurs in the line with a two-character talker that is
// not a proprietary "P" prefix.
bool HasSentence(std::string_view line, std::string_view id) {
  for (std::size_t pos = line.find('$'); pos != std::string_view::npos; pos = line.find('$', pos + 1)) {
    if (pos + 6 > line.size()) break;
    const char t0 = line[pos + 1], t1 = line[pos + 2];
    if (!IsTalkerChar(t0) || !IsTalkerChar(t1) || t0 == 'P') continue;
    if (line.substr(pos + 3, 3) == id) return true;
  }
  return false;
}

}  // namespace

int32_t LogCategoryBit(std::string_view line) {
  static constexpr std::array<std::pair<std::string_view, int32_t>, 4> kIds = {
      {{"GGA", kLogGga}, {"GSV", kLogGsv}, {"RMC", kLogRmc}, {"GSA", kLogGsa}}};
  for (const auto& [id, bit] : kIds) {
    if (HasSentence(line, id)) return bit;
  }
  return kLogOthers;
}

std::filesystem::path LogGenerationPath(const std::filesystem::path& path, int generation) {
  std::filesystem::path name = path.stem();
  name += ".";  // in two steps: GCC 12 warns falsely (-Wrestrict) on "." + text at -O3
  name += std::to_string(generation);
  name += path.extension();
  return path.parent_path() / name;
}

bool RotateLogFiles(const std::filesystem::path& path, std::error_code& error) {
  namespace fs = std::filesystem;
  error.clear();
  std::error_code ignored;
  if (!fs::is_regular_file(path, ignored) || fs::file_size(path, ignored) == 0) return true;
  // Oldest first, so no rename replaces a generation that is still kept.
  fs::remove(LogGenerationPath(path, kLogGenerations), ignored);
  for (int g = kLogGenerations - 1; g >= 1; --g) {
    const fs::path from = LogGenerationPath(path, g);
    if (fs::exists(from, ignored)) fs::rename(from, LogGenerationPath(path, g + 1), ignored);
  }
  fs::rename(path, LogGenerationPath(path, 1), error);
  return !error;
}

bool NmeaLogFile::Open(const std::filesystem::path& path) {
  Close();
  if (!RotateLogFiles(path, lastError_)) return false;
  // The file is gone now, or it was empty.
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    lastError_ = std::error_code(errno, std::generic_category());
    return false;
  }
  lastError_.clear();
  path_ = path;
  unflushed_ = false;
  lastFlush_ = Clock::now();
  return true;
}

void NmeaLogFile::Write(std::string_view line, Clock::time_point now) {
  if (!file_) return;
  if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fputc('\n', file_) == EOF) {
    ++writeErrors_;
  }
  unflushed_ = true;
  FlushIfDue(now);
}

void NmeaLogFile::Flush() {
  if (!file_) return;
  if (std::fflush(file_) != 0) ++writeErrors_;
  unflushed_ = false;
  lastFlush_ = Clock::now();
}

void NmeaLogFile::FlushIfDue(Clock::time_point now) {
  if (!file_ || !unflushed_ || now - lastFlush_ < kLogFlushInterval) return;
  if (std::fflush(file_) != 0) ++writeErrors_;
  unflushed_ = false;
  lastFlush_ = now;
}

void NmeaLogFile::Close() {
  if (file_) {
    if (std::fclose(file_) != 0) ++writeErrors_;
    file_ = nullptr;
    unflushed_ = false;
  }
}

}  // namespace tarvo
