#include "core/gps/nmea_log.h"

#include <array>

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

bool NmeaLogFile::Open(const std::filesystem::path& path) {
  Close();
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return false;
  path_ = path;
  return true;
}

void NmeaLogFile::Write(std::string_view line) {
  if (!file_) return;
  if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fputc('\n', file_) == EOF) {
    ++writeErrors_;
  }
}

void NmeaLogFile::Flush() {
  if (file_ && std::fflush(file_) != 0) ++writeErrors_;
}

void NmeaLogFile::Close() {
  if (file_) {
    if (std::fclose(file_) != 0) ++writeErrors_;
    file_ = nullptr;
  }
}

}  // namespace tarvo
