// The JPEG decoder on arbitrary bytes (see image_fuzz_check.h).
#include "fuzz/map/image_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return tarvo::fuzzing::DecodeMapImage(data, size, tarvo::ImageKind::Jpeg);
}
