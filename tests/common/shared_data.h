// Recordings and images made by others (receiver logs with a reference
// decoder's output, image test suites, the GPX schema) are kept beside the
// project in ../shared and read in place, never copied in. A clone on its own
// has no such folder: the tests that need it are skipped, each with one line
// naming the folder it looked for. CI sets TARVO_REQUIRE_SHARED=1, and then a
// missing folder fails the test instead.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace tarvo::test {

// TARVO_SHARED_DIR / `relative`, e.g. SharedPath("corpus/nmea").
inline std::filesystem::path SharedPath(std::string_view relative) {
  return std::filesystem::path(TARVO_SHARED_DIR) / relative;
}

inline bool SharedDataRequired() {
  const char* value = std::getenv("TARVO_REQUIRE_SHARED");
  return value != nullptr && std::strcmp(value, "0") != 0 && *value != '\0';
}

}  // namespace tarvo::test

// Skips the current test (or fails it when TARVO_REQUIRE_SHARED is set) when
// `where` does not exist. Use at the start of a test body or SetUp().
#define TARVO_NEEDS_SHARED(where)                                                                   \
  do {                                                                                             \
    const std::filesystem::path tarvoNeeded_ = (where);                                             \
    std::error_code tarvoError_;                                                                   \
    if (!std::filesystem::exists(tarvoNeeded_, tarvoError_)) {                                     \
      if (::tarvo::test::SharedDataRequired()) {                                                   \
        FAIL() << "shared data missing: " << tarvoNeeded_.string() << " (TARVO_REQUIRE_SHARED is set)"; \
      }                                                                                            \
      GTEST_SKIP() << "needs shared data not found at " << tarvoNeeded_.string();                 \
    }                                                                                              \
  } while (0)
