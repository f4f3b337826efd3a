#include "core/version.h"

namespace tarvo {

std::string_view VersionNumber() { return kVersionText.substr(1); }

}  // namespace tarvo
