#include "core/gps/replay_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "core/gps/nmea_fields.h"

namespace tarvo {

namespace {
constexpr std::size_t kBlockSize = 1 << 16;

bool TwoDigits(std::string_view s, std::size_t at, int& value) {
  if (at + 1 >= s.size()) return false;
  const char a = s[at], b = s[at + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return false;
  value = (a - '0') * 10 + (b - '0');
  return true;
}
}  // namespace

ReplayFile::~ReplayFile() {
  if (file_) std::fclose(file_);
}

bool ReplayFile::Open(const std::filesystem::path& path) {
  if (file_) std::fclose(file_);
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) return false;
  struct stat st {};
  if (::fstat(::fileno(file_), &st) == 0 && S_ISDIR(st.st_mode)) {
    std::fclose(file_);
    file_ = nullptr;
    errno = EISDIR;
    return false;
  }
  block_.assign(kBlockSize, '\0');
  blockPos_ = blockLen_ = 0;
  hasPeeked_ = peekedEnd_ = false;
  cutLines_ = 0;
  readError_ = 0;
  return true;
}

int ReplayFile::Get() {
  if (blockPos_ == blockLen_) {
    if (!file_) return EOF;
    blockLen_ = std::fread(block_.data(), 1, block_.size(), file_);
    blockPos_ = 0;
    if (blockLen_ == 0) {
      if (std::ferror(file_)) readError_ = errno != 0 ? errno : EIO;
      return EOF;
    }
  }
  return static_cast<unsigned char>(block_[blockPos_++]);
}

bool ReplayFile::ReadLine(std::string& out) {
  out.clear();
  bool any = false;
  bool cut = false;
  for (;;) {
    // Whole runs of the block at once: a line end is looked for, not read byte by byte.
    if (blockPos_ == blockLen_) {
      const int c = Get();
      if (c == EOF) break;
      --blockPos_;
    }
    const char* start = block_.data() + blockPos_;
    const std::size_t available = blockLen_ - blockPos_;
    const void* found = std::memchr(start, '\n', available);
    const std::size_t run = found ? static_cast<std::size_t>(static_cast<const char*>(found) - start) : available;
    any = true;
    if (out.size() < kMaxLine + 1) {
      out.append(start, std::min(run, kMaxLine + 1 - out.size()));
    }
    if (out.size() > kMaxLine) cut = true;
    blockPos_ += run;
    if (found) {
      ++blockPos_;  // the LF
      break;
    }
  }
  if (!any) return false;
  if (cut) {
    ++cutLines_;
    out.resize(kMaxLine);
  }
  while (!out.empty() && (out.back() == '\r' || out.back() == '\n')) out.pop_back();
  return true;
}

std::optional<std::string_view> ReplayFile::Peek() {
  if (!hasPeeked_) {
    peekedEnd_ = !ReadLine(peeked_);
    hasPeeked_ = true;
  }
  if (peekedEnd_) return std::nullopt;
  return std::string_view(peeked_);
}

std::optional<std::string_view> ReplayFile::Next() {
  if (!Peek()) return std::nullopt;
  line_.swap(peeked_);
  hasPeeked_ = false;
  return std::string_view(line_);
}

bool ReplayFile::AtEnd() { return !Peek().has_value(); }

std::optional<int32_t> SentenceTimeOfDayMs(std::string_view line) {
  if (line.size() < 7 || line[0] != '$') return std::nullopt;
  const std::size_t comma = line.find(',');
  if (comma == std::string_view::npos || comma < 4) return std::nullopt;
  const std::string_view type = line.substr(comma - 3, 3);
  int field = 0;
  if (type == "GGA" || type == "RMC" || type == "GNS" || type == "ZDA") {
    field = 1;
  } else if (type == "GLL") {
    field = 5;
  } else {
    return std::nullopt;
  }
  std::string_view rest = line.substr(comma + 1);
  const std::size_t star = rest.find('*');
  if (star != std::string_view::npos) rest = rest.substr(0, star);
  NextField next(rest);
  std::optional<std::string_view> value;
  for (int i = 0; i < field; ++i) value = next();
  if (!value || value->size() < 6) return std::nullopt;
  int hours = 0, minutes = 0, seconds = 0;
  if (!TwoDigits(*value, 0, hours) || !TwoDigits(*value, 2, minutes) || !TwoDigits(*value, 4, seconds)) {
    return std::nullopt;
  }
  if (hours > 23 || minutes > 59 || seconds > 60) return std::nullopt;
  int ms = 0;
  if (value->size() > 7 && (*value)[6] == '.') {
    int scale = 100;
    for (std::size_t i = 7; i < value->size() && scale > 0; ++i, scale /= 10) {
      const char c = (*value)[i];
      if (c < '0' || c > '9') break;
      ms += (c - '0') * scale;
    }
  }
  return ((hours * 60 + minutes) * 60 + seconds) * 1000 + ms;
}

int64_t ReplayPacer::DueAt(std::string_view line, int64_t nowMs) {
  const std::optional<int32_t> time = SentenceTimeOfDayMs(line);
  if (!time) return anchored_ ? lastDue_ : nowMs;
  int64_t fileMs = *time;
  if (anchored_) {
    // Unwrap midnight: the time of day nearest to the last one.
    const int64_t dayOfLast = lastFileMs_ - ((lastFileMs_ % kMsPerDay) + kMsPerDay) % kMsPerDay;
    fileMs += dayOfLast;
    if (fileMs < lastFileMs_ - kMsPerDay / 2) fileMs += kMsPerDay;
    if (fileMs > lastFileMs_ + kMsPerDay / 2) fileMs -= kMsPerDay;
  }
  if (!anchored_ || fileMs < lastFileMs_ || fileMs - lastFileMs_ > kLongestGapMs) {
    anchored_ = true;
    anchorWallMs_ = std::max(nowMs, lastDue_);
    anchorFileMs_ = fileMs;
  }
  lastFileMs_ = fileMs;
  lastDue_ = anchorWallMs_ + (fileMs - anchorFileMs_) / speedUp_;
  return lastDue_;
}

}  // namespace tarvo
