#include "core/map/map_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "core/geo/number_text.h"
#include "core/map/blank_map.h"

namespace tarvo {

namespace fs = std::filesystem;

namespace {

// Characters of a key=value line taken at a time.
constexpr size_t kLinePiece = 79;

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// The leading decimal integer of text, after blanks and an optional sign;
// 0 when there is none. Values beyond int32 are held at its limits.
int32_t LeadingInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlankChar(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kCap = int64_t{1} << 40;  // far beyond int32, short of overflow
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kCap) value = kCap;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

// The leading decimal number of text (digits, point, exponent), after blanks
// and an optional sign; 0 when there is none or it is not finite.
double LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlankChar(text[i])) ++i;
  if (i < text.size() && text[i] == '+') {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) return 0.0;
  }
  double value = 0.0;
  const auto r = std::from_chars(text.data() + i, text.data() + text.size(), value, std::chars_format::general);
  if (r.ec != std::errc() || !std::isfinite(value)) return 0.0;
  return value;
}

// Slot index 0..2 of a key's last character, or -1.
int SlotOf(char digit) { return (digit >= '1' && digit <= '3') ? digit - '1' : -1; }

void ApplyKey(CalibrationData& data, std::string_view key, std::string_view value) {
  if (key.size() == 2) {
    if (EqualsNoCase(key, "sx")) {
      data.scrollX = LeadingInteger(value);
      return;
    }
    if (EqualsNoCase(key, "sy")) {
      data.scrollY = LeadingInteger(value);
      return;
    }
    const int slot = SlotOf(key[1]);
    if (slot < 0) return;
    RefPoint& p = data.refPoints[static_cast<size_t>(slot)];
    const char axis = Lower(key[0]);
    if (axis == 'x') p.x = LeadingInteger(value);
    if (axis == 'y') p.y = LeadingInteger(value);
    return;
  }
  if (key.size() == 4) {
    const int slot = SlotOf(key[3]);
    if (slot < 0) return;
    RefPoint& p = data.refPoints[static_cast<size_t>(slot)];
    if (EqualsNoCase(key.substr(0, 3), "lat")) p.latitude = LeadingNumber(value);
    if (EqualsNoCase(key.substr(0, 3), "lon")) p.longitude = LeadingNumber(value);
  }
}

// Reads at most limit bytes of a regular file opened at fd into text.
bool ReadAll(int fd, std::string& text, size_t limit) {
  text.clear();
  char buffer[16384];
  while (text.size() < limit) {
    const size_t want = std::min(sizeof buffer, limit - text.size());
    const ssize_t got = ::read(fd, buffer, want);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.append(buffer, static_cast<size_t>(got));
  }
  return true;
}

// Opens path for reading when it is a regular file (never waits on a pipe);
// -1 otherwise.
int OpenRegularFile(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// The file a write to path lands in: symbolic links followed (also a link
// to a file not made yet), at most 40 of them.
fs::path FollowLinks(fs::path path) {
  for (int i = 0; i < 40; ++i) {
    std::error_code ec;
    if (!fs::is_symlink(path, ec)) return path;
    const fs::path target = fs::read_symlink(path, ec);
    if (ec) return path;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

}  // namespace

CalibrationData ParseKeyValueCalibration(std::string_view text) {
  CalibrationData data;
  size_t pos = 0;
  while (pos < text.size()) {
    // One piece: up to and with the next line feed, at most kLinePiece characters.
    size_t end = pos;
    while (end < text.size() && end - pos < kLinePiece) {
      if (text[end++] == '\n') break;
    }
    const std::string_view piece = text.substr(pos, end - pos);
    pos = end;
    const size_t equals = piece.find('=');
    if (equals == std::string_view::npos) continue;
    std::string key, value;
    for (const char c : piece.substr(0, equals))
      if (c != ' ') key += c;
    for (const char c : piece.substr(equals + 1))
      if (c != ' ' && c != '\n') value += c;
    ApplyKey(data, key, value);
  }
  return data;
}

CalibrationData ParseGmiCalibration(std::string_view text) {
  CalibrationData data;
  RefPoint& p1 = data.refPoints[0];
  RefPoint& p2 = data.refPoints[1];
  size_t pos = 0;
  for (int line = 0; line < 8 && pos < text.size(); ++line) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view value = text.substr(pos, end - pos);
    pos = end + 1;
    switch (line) {
      case 0: p1.x = LeadingInteger(value); break;
      case 1: p1.y = LeadingInteger(value); break;
      case 2: p2.x = LeadingInteger(value); break;
      case 3: p2.y = LeadingInteger(value); break;
      case 4: p1.longitude = LeadingNumber(value); break;
      case 5: p1.latitude = LeadingNumber(value); break;
      case 6: p2.longitude = LeadingNumber(value); break;
      default: p2.latitude = LeadingNumber(value); break;
    }
  }
  return data;
}

std::string FormatIniCalibration(const CalibrationData& data) {
  std::string out;
  for (int i = 0; i < kRefPointSlots; ++i) {
    const RefPoint& p = data.refPoints[static_cast<size_t>(i)];
    if (!p.IsSet()) continue;
    const std::string n = std::to_string(i + 1);
    out.append("x").append(n).append("=").append(std::to_string(p.x)).append("\n");
    out.append("y").append(n).append("=").append(std::to_string(p.y)).append("\n");
    out.append("lat").append(n).append("=");
    AppendFixed(out, p.latitude, 6);
    out.append("\nlon").append(n).append("=");
    AppendFixed(out, p.longitude, 6);
    out.append("\n");
  }
  out.append("sx=").append(std::to_string(data.scrollX)).append("\n");
  out.append("sy=").append(std::to_string(data.scrollY)).append("\n");
  return out;
}

fs::path CalibrationBase(const fs::path& mapPath) {
  const std::string name = mapPath.filename().string();
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  return mapPath.parent_path() / name.substr(0, dot);
}

LoadedCalibration LoadCalibrationFile(const fs::path& mapPath) {
  LoadedCalibration loaded;
  const fs::path base = CalibrationBase(mapPath);
  if (base.empty()) return loaded;
  static constexpr std::pair<const char*, CalibrationFileKind> kCandidates[] = {
      {".ini", CalibrationFileKind::Ini}, {".gmi", CalibrationFileKind::Gmi}, {".wcd", CalibrationFileKind::Wcd}};
  for (const auto& [ending, kind] : kCandidates) {
    fs::path file = base;
    file += ending;
    const int fd = OpenRegularFile(file);
    if (fd < 0) continue;
    std::string text;
    (void)ReadAll(fd, text, kCalibrationFileLimit);  // what was read before an error counts
    ::close(fd);
    loaded.data = kind == CalibrationFileKind::Gmi ? ParseGmiCalibration(text) : ParseKeyValueCalibration(text);
    loaded.kind = kind;
    loaded.file = std::move(file);
    return loaded;
  }
  return loaded;
}

int SaveCalibrationFile(const fs::path& mapPath, const CalibrationData& data) {
  fs::path base = CalibrationBase(mapPath);
  if (base.empty()) return ENOENT;
  base += ".ini";
  const fs::path target = FollowLinks(base);
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";

  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists) {
    if (!S_ISREG(st.st_mode)) return EISDIR;
    // A read-only file stays as it is, even for root: the rename would
    // replace it all the same.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EACCES;
    if (::access(target.c_str(), W_OK) != 0) return errno;
  }

  // A new file gets 0666 less the umask, as any file the user makes.
  static std::atomic<unsigned> serial{0};
  std::string tempName;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    // Appended, not "." + name + ...: GCC 12 warns (-Wrestrict, falsely) on that at -O3.
    std::string name = ".";
    name.append(target.filename().string()).append(".tmp-").append(std::to_string(::getpid()));
    name.append("-").append(std::to_string(serial++));
    tempName = (dir / name).string();
    fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;
  bool ok = (!exists || ::fchmod(fd, st.st_mode & 07777) == 0) && WriteAll(fd, FormatIniCalibration(data)) &&
            ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(tempName.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(tempName.c_str());
    return error != 0 ? error : EIO;
  }
  // Make the rename itself durable where the file system allows it.
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    (void)::fsync(dirFd);
    ::close(dirFd);
  }
  return 0;
}

int MapDocument::AddListener(Listener listener) {
  const int id = nextListenerId_++;
  listeners_.emplace_back(id, std::move(listener));
  return id;
}

void MapDocument::RemoveListener(int id) {
  std::erase_if(listeners_, [id](const auto& entry) { return entry.first == id; });
}

void MapDocument::Notify() {
  // A copy: a listener may add or remove listeners while it is told.
  const auto listeners = listeners_;
  for (const auto& [id, listener] : listeners)
    if (listener) listener(calibration_);
}

LoadedCalibration MapDocument::LoadCalibration() {
  calibration_.ClearRefPoints();
  scrollX_ = scrollY_ = 0;
  LoadedCalibration loaded = LoadCalibrationFile(mapPath_);
  for (int i = 0; i < kRefPointSlots; ++i)
    calibration_.SetRefPoint(i, loaded.data.refPoints[static_cast<size_t>(i)]);
  scrollX_ = loaded.data.scrollX;
  scrollY_ = loaded.data.scrollY;
  return loaded;
}

SaveOutcome MapDocument::SaveCalibration(int* error) const {
  if (error != nullptr) *error = 0;
  if (blankMode_ || mapPath_.empty() || CalibrationBase(mapPath_).empty()) return SaveOutcome::NotSaved;
  CalibrationData data;
  for (int i = 0; i < kRefPointSlots; ++i) data.refPoints[static_cast<size_t>(i)] = calibration_.RefPointAt(i);
  data.scrollX = scrollX_;
  data.scrollY = scrollY_;
  const int err = SaveCalibrationFile(mapPath_, data);
  if (error != nullptr) *error = err;
  return err == 0 ? SaveOutcome::Saved : SaveOutcome::Failed;
}

LoadedCalibration MapDocument::MapPictureLoaded() {
  blankMode_ = false;
  LoadedCalibration loaded = LoadCalibration();
  calibration_.RecomputeAffine();
  Notify();
  return loaded;
}

void MapDocument::CalibrationChanged() {
  if (calibration_.RefPointCount() < 2) return;
  calibration_.RecomputeAffine();
  Notify();
}

BlankMapOutcome MapDocument::UseBlankMap(LatLon position,
                                         const std::function<bool(std::span<const uint8_t>)>& loadPicture) {
  if (position.latitude == 0.0 && position.longitude == 0.0) return BlankMapOutcome::NoPosition;
  if (!loadPicture || !loadPicture(BlankMapGif())) return BlankMapOutcome::PictureFailed;
  blankMode_ = true;
  constexpr int32_t kLast = kBlankMapSize - 1;
  const double lat = position.latitude, lon = position.longitude, h = kBlankMapHalfExtent;
  calibration_.ClearRefPoints();
  calibration_.SetRefPoint(0, {0, 0, lat + h, lon - h});          // north-west
  calibration_.SetRefPoint(1, {0, kLast, lat - h, lon - h});      // south-west
  calibration_.SetRefPoint(2, {kLast, kLast, lat - h, lon + h});  // south-east
  scrollX_ = scrollY_ = 0;
  calibration_.RecomputeAffine();
  Notify();
  return BlankMapOutcome::Shown;
}

bool MapDocument::BlankMapZoom(bool zoomIn) {
  if (!blankMode_ || calibration_.RefPointCount() != kRefPointSlots) return false;
  RefPoint p1 = calibration_.RefPointAt(0), p2 = calibration_.RefPointAt(1), p3 = calibration_.RefPointAt(2);
  // Positive h widens the extent, negative narrows it.
  double h = 0.0;
  if (zoomIn) {
    const double latExtent = p1.latitude - p2.latitude, lonExtent = p3.longitude - p2.longitude;
    if (!(latExtent > kBlankZoomInMinExtent && lonExtent > kBlankZoomInMinExtent)) return false;
    const double step = blankStep_ > 1.0 ? blankStep_ / 2 : blankStep_;
    h = -step * kBlankZoomStep;
    // The step outlives a new blank map, so a large one could move the
    // corners onto (or past) each other: a zoom-in to less than 0.005
    // degrees is refused (the normal steps never go below 0.01).
    if (latExtent + 2 * h < kBlankZoomStep || lonExtent + 2 * h < kBlankZoomStep) return false;
    blankStep_ = step;
  } else {
    h = blankStep_ * kBlankZoomStep;
    blankStep_ *= 2;
  }
  p1.latitude += h;
  p1.longitude -= h;
  p2.latitude -= h;
  p2.longitude -= h;
  p3.latitude -= h;
  p3.longitude += h;
  calibration_.SetRefPoint(0, p1);
  calibration_.SetRefPoint(1, p2);
  calibration_.SetRefPoint(2, p3);
  calibration_.RecomputeAffine();
  Notify();
  return true;
}

}  // namespace tarvo
