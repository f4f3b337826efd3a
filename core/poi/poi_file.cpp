#include "core/poi/poi_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>

namespace tarvo {

namespace {

namespace fs = std::filesystem;

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

// The whole file, or an errno (EFBIG when above kPoiMaxFileBytes).
int ReadWhole(const std::string& path, std::string& text) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    // The first run: the file is made, empty.
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  }
  if (fd < 0) return errno;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : (errno != 0 ? errno : EINVAL);
    ::close(fd);
    return err;
  }
  if (static_cast<unsigned long long>(st.st_size) > kPoiMaxFileBytes) {
    ::close(fd);
    return EFBIG;
  }
  text.clear();
  text.reserve(static_cast<size_t>(st.st_size));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      return err;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
    if (text.size() > kPoiMaxFileBytes) {
      ::close(fd);
      return EFBIG;
    }
  }
  ::close(fd);
  return 0;
}

// A link is replaced through: the file it names gets the new contents.
fs::path WriteTarget(const std::string& path) {
  std::error_code ec;
  fs::path target = path;
  for (int hops = 0; hops < 40 && fs::is_symlink(target, ec); ++hops) {
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

}  // namespace

PoiFileFormat ChooseFormat(std::string_view path) {
  if (path.find(".loc") != std::string_view::npos) return PoiFileFormat::Loc;
  if (path.find(".gpx") != std::string_view::npos) return PoiFileFormat::Gpx;
  if (path.find(".asc") != std::string_view::npos) return PoiFileFormat::Asc;
  return PoiFileFormat::Csv;
}

PoiReadResult ReadPoiFile(const std::string& path, PoiFileFormat format, int* errorNumber) {
  std::string text;
  if (const int err = ReadWhole(path, text); err != 0) {
    if (errorNumber != nullptr) *errorNumber = err;
    PoiReadResult result;
    result.error = err == EFBIG ? PoiError::TooLarge : PoiError::CannotOpen;
    return result;
  }
  if (errorNumber != nullptr) *errorNumber = 0;
  return ReadPoiText(text, format);
}

PoiFileResult WritePoiFile(const std::string& path, const std::vector<PoiRecord>& records,
                           PoiFileFormat format) {
  PoiFileResult result;
  const auto fail = [&](int err) {
    result.error = PoiError::CannotWrite;
    result.errorNumber = err;
    return result;
  };
  const fs::path target = WriteTarget(path);
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) return fail(S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
  // A file made read-only stays as it is: the rename would replace it all the same.
  if (exists && ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target.c_str(), W_OK) != 0)) {
    return fail(EACCES);
  }

  // A name no other save uses: this process's id and a counter.
  static std::atomic<unsigned> counter{0};
  std::string tempName = ".";
  tempName.append(target.filename().string())
      .append(".")
      .append(std::to_string(::getpid()))
      .append("-")
      .append(std::to_string(counter.fetch_add(1)))
      .append(".tmp");
  const std::string temp = (dir / tempName).string();
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return fail(errno);
  const std::string text = WritePoiText(records, format);
  bool ok = WriteAll(fd, text) && (!exists || ::fchmod(fd, old.st_mode & 07777) == 0) && ::fsync(fd) == 0;
  int err = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return fail(err);
  }
  // The rename itself made durable; a folder that refuses fsync still has the new file.
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    (void)::fsync(dirFd);
    ::close(dirFd);
  }
  result.written = records.size();
  return result;
}

PoiFileResult LoadPoiFile(PoiList& list, const std::string& path) {
  PoiFileResult result;
  const PoiFileFormat format = ChooseFormat(path);
  PoiReadResult read = ReadPoiFile(path, format, &result.errorNumber);
  result.error = read.error;
  if (read.error == PoiError::CannotOpen || read.error == PoiError::TooLarge) return result;
  result.line = read.line;
  result.column = read.column;
  result.detail = std::move(read.detail);
  result.read = read.read;
  result.kept = read.records.size();
  list.Reset(path, format, std::move(read.records), read.error != PoiError::None);
  return result;
}

PoiFileResult SavePoiFile(PoiList& list, bool replacePartial) {
  if (!list.modified()) return {};
  if (list.partial() && !replacePartial) {
    PoiFileResult result;
    result.error = PoiError::PartialList;
    return result;
  }
  PoiFileResult result = WritePoiFile(list.path(), list.records(), list.format());
  if (result.ok()) list.MarkSaved();
  return result;
}

PoiFileResult NewPoiFile(PoiList& list, const std::string& path) {
  const PoiFileFormat format = ChooseFormat(path);
  PoiFileResult result = WritePoiFile(path, {}, format);
  if (result.ok()) list.Reset(path, format, {}, false);
  return result;
}

}  // namespace tarvo
