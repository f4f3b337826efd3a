#include "core/settings/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/settings/paths.h"

namespace tarvo {

namespace {

// A settings file holds a few kilobytes; anything past this is not ours.
constexpr std::size_t kMaxFileBytes = 1 << 20;

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
  ReadFile(values_, &skippedLines_);
}

bool SettingsStore::ReadFile(SettingsValues& values, std::size_t* skipped) {
  values.clear();
  const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return true;  // no file yet: all defaults
    lastError_ = errno;
    return false;
  }
  std::string text;
  char block[8192];
  bool ok = true;
  while (text.size() < kMaxFileBytes) {
    const ssize_t n = ::read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      lastError_ = errno;
      ok = false;
      break;
    }
    if (n == 0) break;
    text.append(block, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (!ok) return false;
  if (text.size() > kMaxFileBytes) text.resize(kMaxFileBytes);
  values = ParseSettingsText(text, skipped);
  return true;
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
  if (stored == nullptr || !ParseInt32(*stored, value)) return defaultValue;
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
  if (stored != nullptr && stored->size() < capacity) return *stored;
  return std::string(defaultValue.substr(0, capacity - 1));
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
  SettingsValues merged;
  if (!ReadFile(merged, nullptr)) return false;  // never replace a file we could not read
  for (const auto& name : unsaved_) {
    const auto it = values_.find(name);
    if (it != values_.end()) merged.insert_or_assign(name, it->second);
  }
  if (!WriteFile(FormatSettingsText(section_, merged))) return false;
  values_ = std::move(merged);
  unsaved_.clear();
  return true;
}

bool SettingsStore::WriteFile(const std::string& text) {
  // Replace the target of a symbolic link, not the link itself.
  std::filesystem::path target = file_;
  std::error_code ec;
  if (std::filesystem::is_symlink(target, ec)) {
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, ec);
    if (!ec) target = resolved;
  }
  std::filesystem::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  if (const int err = MakeFolders(dir); err != 0) {
    lastError_ = err;
    return false;
  }

  std::string temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  std::vector<char> tempName(temp.begin(), temp.end());
  tempName.push_back('\0');
  const int fd = ::mkostemp(tempName.data(), O_CLOEXEC);  // mode 0600
  if (fd < 0) {
    lastError_ = errno;
    return false;
  }
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
    lastError_ = err != 0 ? err : EIO;
    return false;
  }
  // Make the rename itself durable. Some file systems refuse fsync on a
  // folder; the new file is in place either way.
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    (void)::fsync(dirFd);
    ::close(dirFd);
  }
  lastError_ = 0;
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
