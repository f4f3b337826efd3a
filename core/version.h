// The program's name and version as shown to the user.
#pragma once

#include <string_view>

namespace tarvo {

inline constexpr std::string_view kProgramName = "Tarvo";
inline constexpr std::string_view kVersionText = "v3.15";
inline constexpr std::string_view kTagLine = "Global Satellite and Position Tracker";

// The version text without its leading "v", for --version output of the tools.
constexpr std::string_view VersionNumber() { return kVersionText.substr(1); }

}  // namespace tarvo
