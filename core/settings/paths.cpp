#include "core/settings/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace tarvo {

namespace {

// An XDG variable counts only when it holds an absolute path.
std::filesystem::path XdgDir(const char* variable, const char* fallbackBelowHome) {
  const char* value = std::getenv(variable);
  if (value != nullptr && value[0] == '/') return std::filesystem::path(value);
  return HomeDir() / fallbackBelowHome;
}

}  // namespace

std::filesystem::path HomeDir() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::filesystem::path(home);
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return std::filesystem::path(found->pw_dir);
  }
  return std::filesystem::path("/");
}

std::filesystem::path ConfigFilePath(std::string_view section) {
  return XdgDir("XDG_CONFIG_HOME", ".config") / kConfigFolderName /
         (std::string(section) + ".ini");
}

std::filesystem::path DataDirPath() {
  return XdgDir("XDG_DATA_HOME", ".local/share") / kDataFolderName;
}

std::filesystem::path UserDataDir(std::error_code& error) {
  error.clear();
  const std::filesystem::path dir = DataDirPath();
  // mkdir each missing level with mode 0700, as the XDG rules ask.
  std::filesystem::path partial;
  for (const auto& part : dir) {
    partial /= part;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
      error = std::error_code(errno, std::generic_category());
      return {};
    }
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    error = ec ? ec : std::make_error_code(std::errc::not_a_directory);
    return {};
  }
  return dir;
}

std::filesystem::path UserDataDir() {
  std::error_code ignored;
  return UserDataDir(ignored);
}

}  // namespace tarvo
