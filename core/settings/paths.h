// Where Tarvo keeps its files on Linux, after the XDG base directory rules.
#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

#include "core/settings/keys.h"

namespace tarvo {

// The maker's folder below the configuration folder.
inline constexpr std::string_view kConfigFolderName = "Quillmark";
// The program's folder below the data folder.
inline constexpr std::string_view kDataFolderName = "Tarvo";

// $XDG_CONFIG_HOME/Quillmark/<section>.ini; $HOME/.config/... when
// XDG_CONFIG_HOME is unset, empty or not absolute. Creates nothing.
std::filesystem::path ConfigFilePath(std::string_view section = kSettingsSection);

// $XDG_DATA_HOME/Tarvo; $HOME/.local/share/Tarvo when unset, empty or not
// absolute. Creates nothing.
std::filesystem::path DataDirPath();

// DataDirPath(), created (mode 0700) when missing. On failure returns an empty
// path and sets `error`.
std::filesystem::path UserDataDir(std::error_code& error);
std::filesystem::path UserDataDir();  // empty path on failure

// The user's home folder: $HOME, else the password database entry.
std::filesystem::path HomeDir();

}  // namespace tarvo
