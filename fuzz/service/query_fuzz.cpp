// Any query: decoding never fails, and what it accepts is within the
// protocol's ranges and can never break a reply line.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "server/query.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view query(reinterpret_cast<const char*>(data), size);
  using tarvo::hopla::RequestKind;
  for (RequestKind kind : {RequestKind::Upload, RequestKind::Search, RequestKind::Link}) {
    tarvo::hopla::Request request;
    std::string error;
    if (!tarvo::hopla::DecodeRequest(kind, query, request, error)) {
      Check(!error.empty() && error.find("OK") == std::string::npos && error.find('\n') == std::string::npos);
      continue;
    }
    Check(!request.user.empty() && !request.password.empty());
    Check(std::isfinite(request.latitude) && std::fabs(request.latitude) <= 90.0);
    Check(std::isfinite(request.longitude) && std::fabs(request.longitude) <= 180.0);
    Check(request.offset >= 0 && request.offset <= tarvo::hopla::kMaxOffset);
    if (kind == RequestKind::Link) {
      Check(!request.url.empty() && request.url.size() <= tarvo::hopla::kMaxUrlBytes);
      Check(request.title.size() <= tarvo::hopla::kMaxTitleBytes);
      for (const std::string* field : {&request.url, &request.title}) {
        Check(tarvo::hopla::IsCleanFieldText(*field));
        Check(field->find('|') == std::string::npos && field->find('\n') == std::string::npos);
      }
    }
  }
  return 0;
}
