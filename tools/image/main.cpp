// tarvo-image: decodes one picture the way the map page does and reports its
// size, so that other programs can check the decoders.
//
//   tarvo-image FILE [--kind bmp|gif|jpeg|png] [--pam OUT]
//
// The kind comes from the file name ending (".bmp", ".jpg", ".gif", ".png",
// any case) unless --kind names it. On success it prints "WIDTH HEIGHT" and
// exits 0; a picture decoded only in part (a cut file) also gets a warning
// on standard error. On failure it prints the reason on standard error and
// exits 1. --pam writes the decoded pixels as a PAM file (P7, RGB_ALPHA,
// 8 bits a channel, rows from the top), through a temporary file renamed
// into place. Exit status: 0 decoded, 1 not decoded, 2 bad arguments,
// 3 the PAM file could not be written.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/map/map_image.h"

namespace {

constexpr int kExitNotDecoded = 1;
constexpr int kExitBadArguments = 2;
constexpr int kExitWriteError = 3;

constexpr const char* kUsage =
    "usage: tarvo-image FILE [--kind bmp|gif|jpeg|png] [--pam OUT]\n"
    "Decodes FILE as the map page would and prints \"WIDTH HEIGHT\".\n"
    "The kind comes from the ending (.bmp .jpg .gif .png) unless --kind is given.\n"
    "--pam OUT writes the pixels as an RGBA PAM (P7) file.\n"
    "Exit status: 0 decoded, 1 not decoded, 2 bad arguments, 3 PAM not written.\n";

std::optional<tarvo::ImageKind> KindFromName(std::string_view name) {
  if (name == "bmp") return tarvo::ImageKind::Bmp;
  if (name == "gif") return tarvo::ImageKind::Gif;
  if (name == "jpeg" || name == "jpg") return tarvo::ImageKind::Jpeg;
  if (name == "png") return tarvo::ImageKind::Png;
  return std::nullopt;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Writes the picture as PAM beside `path`, then renames it into place.
bool WritePam(const tarvo::MapImage& image, const std::string& path, std::string& why) {
  std::string temporary = path;
  temporary += ".tmp-XXXXXX";
  std::vector<char> name(temporary.begin(), temporary.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  const std::string header = "P7\nWIDTH " + std::to_string(image.Width()) + "\nHEIGHT " +
                             std::to_string(image.Height()) + "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  bool ok = WriteAll(fd, header.data(), header.size());
  const auto width = static_cast<size_t>(image.Width());
  std::vector<uint32_t> argb(width);
  std::vector<unsigned char> rgba(width * 4);
  for (int y = 0; ok && y < image.Height(); ++y) {
    image.ScaleRegion({0, y, image.Width(), 1}, image.Width(), 1, argb.data(), width * 4);
    for (size_t x = 0; x < width; ++x) {
      rgba[4 * x] = static_cast<unsigned char>(argb[x] >> 16);
      rgba[4 * x + 1] = static_cast<unsigned char>(argb[x] >> 8);
      rgba[4 * x + 2] = static_cast<unsigned char>(argb[x]);
      rgba[4 * x + 3] = static_cast<unsigned char>(argb[x] >> 24);
    }
    ok = WriteAll(fd, rgba.data(), rgba.size());
  }
  if (!ok) why = std::strerror(errno);
  if (ok && ::fsync(fd) != 0) {
    why = std::strerror(errno);
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    why = std::strerror(errno);
    ok = false;
  }
  if (ok && ::rename(name.data(), path.c_str()) != 0) {
    why = std::strerror(errno);
    ok = false;
  }
  if (!ok) ::unlink(name.data());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string file;
  std::string pam;
  std::optional<tarvo::ImageKind> kind;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if ((arg == "--kind" || arg == "--pam") && i + 1 < argc) {
      const std::string_view value = argv[++i];
      if (arg == "--pam") {
        pam = value;
        continue;
      }
      kind = KindFromName(value);
      if (!kind) {
        std::fprintf(stderr, "tarvo-image: unknown kind \"%s\" (bmp, gif, jpeg or png)\n", argv[i]);
        return kExitBadArguments;
      }
      continue;
    }
    if (arg.starts_with("-") || !file.empty()) {
      std::fputs(kUsage, stderr);
      return kExitBadArguments;
    }
    file = arg;
  }
  if (file.empty()) {
    std::fputs(kUsage, stderr);
    return kExitBadArguments;
  }
  if (!kind) kind = tarvo::ImageKindFromFileName(file);
  if (!kind) {
    std::fprintf(stderr, "tarvo-image: %s: unknown kind: the ending is not .bmp, .jpg, .gif or .png (use --kind)\n",
                 file.c_str());
    return kExitNotDecoded;
  }
  tarvo::MapImage image;
  if (!image.LoadFromFile(file, *kind)) {
    const tarvo::ImageLoadError& e = image.LastError();
    std::fprintf(stderr, "tarvo-image: %s: %.*s: %s\n", file.c_str(), static_cast<int>(tarvo::ImageErrorName(e.reason).size()),
                 tarvo::ImageErrorName(e.reason).data(), e.detail.c_str());
    return kExitNotDecoded;
  }
  if (image.IsPartial()) {
    std::fprintf(stderr, "tarvo-image: %s: warning: the data is cut or damaged; only part of the picture was decoded\n",
                 file.c_str());
  }
  if (!pam.empty()) {
    std::string why;
    if (!WritePam(image, pam, why)) {
      std::fprintf(stderr, "tarvo-image: cannot write %s: %s\n", pam.c_str(), why.c_str());
      return kExitWriteError;
    }
  }
  if (std::printf("%d %d\n", image.Width(), image.Height()) < 0 || std::fflush(stdout) != 0) return kExitWriteError;
  return 0;
}
