#include "core/settings/settings_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/settings/paths.h"

namespace tarvo {

namespace {

// A settings file holds a few kilobytes, but keys of other programs may make
// it large; it is always read whole. Past this size it is not a settings file
// and counts as unreadable (and so is never replaced).
constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;
// Links followed to find the file a settings path stands for (as the kernel).
constexpr int kMaxLinks = 40;
// Length of the random part mkostemp puts in a temporary file name.
constexpr std::size_t kTempSuffix = 6;

// Integer values: optional sign, decimal digits, blanks around ignored by the
// file reader; anything else is not an integer.
bool ParseInt32(std::string_view text, int32_t& out) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  out = value;
  return true;
}

// mkdir -p with mode 0700 for what is missing.
int MakeFolders(const std::filesystem::path& dir) {
  std::filesystem::path partial;
  for (const auto& part : dir) {
    partial /= part;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  }
  return 0;
}

// The file `path` stands for: through any symbolic links, a relative target
// counting from its link's folder; the last link's target may be missing.
std::filesystem::path ResolveLinks(std::filesystem::path path, int& error) {
  error = 0;
  for (int hops = 0; hops < kMaxLinks; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::error_code ec;
    const std::filesystem::path next = std::filesystem::read_symlink(path, ec);
    if (ec) {
      error = ec.value();
      return path;
    }
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  error = ELOOP;
  return path;
}

// Removes the temporary files ".<name>.XXXXXX" in `dir`: called with the
// lock held, so no save is writing one.
void RemoveStaleTemps(const std::filesystem::path& dir, const std::string& name) {
  std::string prefix = ".";
  prefix.append(name).append(".");
  DIR* folder = ::opendir(dir.c_str());
  if (folder == nullptr) return;
  const int dirFd = ::dirfd(folder);
  while (const dirent* entry = ::readdir(folder)) {
    const std::string_view entryName(entry->d_name);
    if (entryName.size() != prefix.size() + kTempSuffix || !entryName.starts_with(prefix)) continue;
    struct stat st {};
    if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) {
      (void)::unlinkat(dirFd, entry->d_name, 0);
    }
  }
  ::closedir(folder);
}

// An exclusive flock on `path` (made, mode 0600, when missing), held while
// the object lives.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
      error_ = errno;
      return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  int error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

SettingsStore::SettingsStore()
    : SettingsStore(ConfigFilePath(kSettingsSection), std::string(kSettingsSection), false) {}

SettingsStore::SettingsStore(std::filesystem::path file, std::string section, bool explicitFile)
    : file_(std::move(file)), section_(std::move(section)), explicitFile_(explicitFile) {
  Load();
}

SettingsStore SettingsStore::ForSection(std::string_view section) {
  return SettingsStore(ConfigFilePath(section), std::string(section), false);
}

SettingsStore SettingsStore::ForFile(std::filesystem::path file) {
  return SettingsStore(std::move(file), std::string(kSettingsSection), true);
}

void SettingsStore::SetSection(std::string_view name) {
  if (name == section_) return;
  if (!unsaved_.empty()) Save();
  section_ = std::string(name);
  if (!explicitFile_) {
    file_ = ConfigFilePath(section_);
    unsaved_.clear();
    Load();
  }
}

void SettingsStore::Load() {
  values_.clear();
  unsaved_.clear();
  skippedLines_ = 0;
  readWhole_ = ReadFile(values_, &skippedLines_);
}

bool SettingsStore::ReadFile(SettingsValues& values, std::size_t* skipped) {
  values.clear();
  const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return true;  // no file yet: all defaults
    return Fail("cannot read", errno);
  }
  std::string text;
  struct stat st {};
  int error = 0;
  if (::fstat(fd, &st) != 0) {
    error = errno;
  } else if (st.st_size > static_cast<off_t>(kMaxFileBytes)) {
    error = EFBIG;
  } else {
    text.reserve(static_cast<std::size_t>(st.st_size));
  }
  char block[8192];
  while (error == 0) {
    const ssize_t n = ::read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = errno;
      break;
    }
    if (n == 0) break;
    text.append(block, static_cast<std::size_t>(n));
    if (text.size() > kMaxFileBytes) error = EFBIG;  // grew while read
  }
  ::close(fd);
  if (error != 0) return Fail("cannot read", error);
  values = ParseSettingsText(text, skipped);
  return true;
}

bool SettingsStore::Fail(const char* what, int error) {
  lastError_ = error != 0 ? error : EIO;
  lastErrorText_ = std::string(what) + " " + file_.string() + ": " + std::strerror(lastError_);
  return false;
}

const std::string* SettingsStore::Find(Key key) const {
  const auto it = values_.find(Info(key).name);
  return it == values_.end() ? nullptr : &it->second;
}

bool SettingsStore::Has(Key key) const { return Find(key) != nullptr; }

int32_t SettingsStore::GetInt(Key key) const { return GetInt(key, Info(key).intDefault); }

int32_t SettingsStore::GetInt(Key key, int32_t defaultValue) const {
  const std::string* stored = Find(key);
  int32_t value = 0;
  if (stored == nullptr || !ParseInt32(*stored, value) || !IsAllowed(key, value)) return defaultValue;
  return value;
}

std::string SettingsStore::GetText(Key key) const {
  const KeyInfo& info = Info(key);
  const std::size_t capacity = info.kind == SettingKind::Text ? info.capacity : kDecimalCapacity;
  return GetText(key, info.textDefault, capacity);
}

std::string SettingsStore::GetText(Key key, std::string_view defaultValue, std::size_t capacity) const {
  if (capacity == 0) return {};
  const std::string* stored = Find(key);
  if (stored != nullptr && stored->size() < capacity &&
      (Info(key).number == TextNumber::None || ReadNumberText(key, *stored))) {
    return *stored;
  }
  return std::string(defaultValue.substr(0, capacity - 1));
}

double SettingsStore::GetNumber(Key key) const {
  return ReadNumberText(key, GetText(key)).value_or(0.0);
}

std::filesystem::path SettingsStore::GetPath(Key key) const {
  const KeyInfo& info = Info(key);
  const std::string stored = GetText(key, {}, info.capacity != 0 ? info.capacity : kPathCapacity);
  if (!stored.empty()) return std::filesystem::path(stored);
  if (!info.inUserFolder) return {};
  return DataDirPath() / info.textDefault;
}

bool SettingsStore::Put(Key key, std::string value) {
  const std::string_view name = Info(key).name;
  values_.insert_or_assign(std::string(name), std::move(value));
  unsaved_.emplace(name);
  if (batchDepth_ > 0) return true;
  return Save();
}

bool SettingsStore::SetInt(Key key, int32_t value) { return Put(key, std::to_string(value)); }

bool SettingsStore::SetText(Key key, std::string_view text) { return Put(key, std::string(text)); }

bool SettingsStore::Save() {
  if (unsaved_.empty()) return true;
  int error = 0;
  const std::filesystem::path target = ResolveLinks(file_, error);
  if (error != 0) return Fail("cannot save", error);
  if (!SaveLocked(target)) return false;
  lastError_ = 0;
  lastErrorText_.clear();
  return true;
}

bool SettingsStore::SaveLocked(const std::filesystem::path& target) {
  std::filesystem::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  if (const int err = MakeFolders(dir); err != 0) return Fail("cannot save", err);
  const FileLock lock(target.string() + ".lock");
  if (lock.error() != 0) return Fail("cannot save", lock.error());
  RemoveStaleTemps(dir, target.filename().string());

  // A read-only file stays as it is: a rename would replace it all the same.
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return Fail("cannot save", EACCES);
    if (::access(target.c_str(), W_OK) != 0) return Fail("cannot save", errno);
  }
  SettingsValues merged;
  if (!ReadFile(merged, nullptr)) {  // never replace a file we could not read whole
    lastErrorText_ = "cannot save " + file_.string() + ": " + std::strerror(lastError_);
    return false;
  }
  for (const auto& name : unsaved_) {
    const auto it = values_.find(name);
    if (it != values_.end()) merged.insert_or_assign(name, it->second);
  }
  if (!WriteFile(target, FormatSettingsText(section_, merged))) return false;
  values_ = std::move(merged);
  unsaved_.clear();
  readWhole_ = true;
  return true;
}

bool SettingsStore::WriteFile(const std::filesystem::path& target, const std::string& text) {
  std::filesystem::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  // Appended, not "." + name + ...: GCC 12 warns (-Wrestrict, falsely) on that at -O3.
  std::string tempFile = ".";
  tempFile.append(target.filename().string()).append(".XXXXXX");
  const std::string temp = (dir / tempFile).string();
  std::vector<char> tempName(temp.begin(), temp.end());
  tempName.push_back('\0');
  const int fd = ::mkostemp(tempName.data(), O_CLOEXEC);  // mode 0600
  if (fd < 0) return Fail("cannot save", errno);
  bool ok = ::fchmod(fd, 0600) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
  int err = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(tempName.data(), target.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(tempName.data());
    return Fail("cannot save", err);
  }
  // Make the rename itself durable. Some file systems refuse fsync on a
  // folder; the new file is in place either way.
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    (void)::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

SettingsStore::Batch::Batch(SettingsStore& store) : store_(store) { ++store_.batchDepth_; }

SettingsStore::Batch::~Batch() {
  if (open_) (void)Commit();
}

bool SettingsStore::Batch::Commit() {
  if (!open_) return true;
  open_ = false;
  if (--store_.batchDepth_ > 0) return true;
  return store_.Save();
}

}  // namespace tarvo
