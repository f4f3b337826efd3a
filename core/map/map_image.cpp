#include "core/map/map_image.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "core/map/image_decoders.h"

namespace tarvo {

std::string_view ImageErrorName(ImageError error) {
  switch (error) {
    case ImageError::None: return "no error";
    case ImageError::CannotOpen: return "cannot open";
    case ImageError::UnknownKind: return "unknown kind";
    case ImageError::Truncated: return "truncated";
    case ImageError::TooLarge: return "too large";
    case ImageError::Corrupt: return "corrupt";
    case ImageError::Unsupported: return "unsupported";
    case ImageError::OutOfMemory: return "out of memory";
  }
  return "unknown error";
}

namespace {

static_assert(std::endian::native == std::endian::little,
              "ScaleRegion reads a 3-byte pixel as the low bytes of a little-endian word");

// Pixel buffers from this size on get mapped pages of their own.
constexpr std::size_t kMappedPixelBytes = std::size_t{8} << 20;
// The size and alignment of a transparent huge page on x86-64 and arm64.
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Anonymous zero pages for `bytes` of pixels. Faulting a 768 MB map in
// page by page costs 196,000 page faults, more than libjpeg's whole decode;
// so the mapping is aligned to huge pages and asked to use them, and with
// `populate` (for decoders that write every pixel) made present in one
// call. Kernels without huge pages or MADV_POPULATE_WRITE (before 5.14)
// fall back to faulting on first use. Decoders that may leave pixels
// unwritten skip the populating: a cut file declaring a huge picture then
// costs only the pages it reaches. `mappedBytes` gets the mapped length for
// munmap. Null when out of memory.
std::uint8_t* MapPixelPages(std::size_t bytes, bool populate, std::size_t& mappedBytes) {
  const std::size_t length = (bytes + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
  void* raw = ::mmap(nullptr, length + kHugePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  // Unmap the slack before and after the aligned part.
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kHugePageBytes - 1) & ~std::uintptr_t{kHugePageBytes - 1};
  if (aligned > start) ::munmap(raw, aligned - start);
  const std::size_t tail = start + length + kHugePageBytes - (aligned + length);
  if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + length), tail);
  auto* memory = reinterpret_cast<std::uint8_t*>(aligned);
#ifdef MADV_HUGEPAGE
  ::madvise(memory, length, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
  if (populate && ::madvise(memory, length, MADV_POPULATE_WRITE) != 0 && errno == ENOMEM) {
    ::munmap(memory, length);
    return nullptr;
  }
#else
  (void)populate;
#endif
  mappedBytes = length;
  return memory;
}

}  // namespace

void PixelMemoryRelease::operator()(std::uint8_t* memory) const {
  if (memory == nullptr) return;
  if (mappedBytes != 0) {
    ::munmap(memory, mappedBytes);
  } else {
    delete[] memory;
  }
}

bool DecodedPicture::Allocate(int w, int h, PixelLayout l, bool zeroed, std::uint64_t maxPixels,
                              ImageLoadError& error) {
  if (w <= 0 || h <= 0) return image::Fail(error, ImageError::TooLarge, "width or height is 0 or less");
  const std::uint64_t count = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h);
  if (count > maxPixels) {
    error.reason = ImageError::TooLarge;
    error.detail = std::to_string(w) + " x " + std::to_string(h) + " pixels is more than the limit of " +
                   std::to_string(maxPixels);
    return false;
  }
  const std::size_t bytesPerPixel = l == PixelLayout::Rgb888 ? 3 : 4;
  const std::size_t rowBytes = static_cast<std::size_t>(w) * bytesPerPixel;
  // A 3-byte picture gets one byte more, so ScaleRegion may read every pixel,
  // the last one too, as one 4-byte word.
  const std::size_t total = rowBytes * static_cast<std::size_t>(h) + (l == PixelLayout::Rgb888 ? 1 : 0);
  if (total >= kMappedPixelBytes) {
    std::size_t mappedBytes = 0;
    std::uint8_t* mapped = MapPixelPages(total, !zeroed, mappedBytes);
    if (mapped == nullptr) return image::Fail(error, ImageError::OutOfMemory, "no memory for the pixels");
    pixels = std::unique_ptr<std::uint8_t[], PixelMemoryRelease>(mapped, PixelMemoryRelease{mappedBytes});
  } else {
    std::uint8_t* memory = zeroed ? new (std::nothrow) std::uint8_t[total]() : new (std::nothrow) std::uint8_t[total];
    if (memory == nullptr) return image::Fail(error, ImageError::OutOfMemory, "no memory for the pixels");
    pixels = std::unique_ptr<std::uint8_t[], PixelMemoryRelease>(memory, PixelMemoryRelease{0});
  }
  width = w;
  height = h;
  layout = l;
  stride = rowBytes;
  partial = false;
  return true;
}

bool DecodePicture(std::span<const std::uint8_t> data, ImageKind kind, DecodedPicture& out, ImageLoadError& error,
                   const DecodeOptions& options) {
  out = DecodedPicture{};
  error = ImageLoadError{};
  bool ok = false;
  switch (kind) {
    case ImageKind::Bmp: ok = image::DecodeBmp(data, out, error, options); break;
    case ImageKind::Gif: ok = image::DecodeGif(data, out, error, options); break;
    case ImageKind::Jpeg: ok = image::DecodeJpeg(data, out, error, options); break;
    case ImageKind::Png: ok = image::DecodePng(data, out, error, options); break;
  }
  if (!ok) {
    if (error.reason == ImageError::None) image::Fail(error, ImageError::Corrupt, "decoding failed");
    out = DecodedPicture{};
    return false;
  }
  error = ImageLoadError{};
  return true;
}

std::optional<ImageKind> ImageKindFromFileName(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  std::string ending(path.substr(dot));
  for (char& c : ending) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (ending == ".bmp") return ImageKind::Bmp;
  if (ending == ".jpg") return ImageKind::Jpeg;
  if (ending == ".gif") return ImageKind::Gif;
  if (ending == ".png") return ImageKind::Png;
  return std::nullopt;
}

namespace {

// The bytes of a file, in memory that is neither cleared first nor
// faulted in page by page when large.
struct FileBytes {
  std::unique_ptr<std::uint8_t[], PixelMemoryRelease> memory;
  std::size_t size = 0;
  std::span<const std::uint8_t> view() const { return {memory.get(), size}; }
};

// Reads a whole regular file. False with the reason on failure.
bool ReadWholeFile(const std::string& path, FileBytes& bytes, ImageLoadError& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error.reason = ImageError::CannotOpen;
    error.detail = path + ": " + std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    error.reason = ImageError::CannotOpen;
    error.detail = path + ": not a regular file";
    return false;
  }
  const auto capacity = static_cast<std::size_t>(info.st_size);
  if (capacity >= kMappedPixelBytes) {
    std::size_t mappedBytes = 0;
    std::uint8_t* mapped = MapPixelPages(capacity, true, mappedBytes);
    bytes.memory = std::unique_ptr<std::uint8_t[], PixelMemoryRelease>(mapped, PixelMemoryRelease{mappedBytes});
  } else {
    bytes.memory = std::unique_ptr<std::uint8_t[], PixelMemoryRelease>(
        new (std::nothrow) std::uint8_t[std::max<std::size_t>(capacity, 1)], PixelMemoryRelease{0});
  }
  if (!bytes.memory) {
    ::close(fd);
    return image::Fail(error, ImageError::OutOfMemory, "no memory to read the file");
  }
  std::size_t done = 0;
  while (done < capacity) {
    const ssize_t n = ::read(fd, bytes.memory.get() + done, capacity - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error.reason = ImageError::CannotOpen;
      error.detail = path + ": " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;  // the file shrank while being read
    done += static_cast<std::size_t>(n);
  }
  bytes.size = done;
  ::close(fd);
  return true;
}

}  // namespace

bool MapImage::Adopt(DecodedPicture&& picture) {
  picture_ = std::move(picture);
  lastError_ = ImageLoadError{};
  return true;
}

bool MapImage::LoadFromFile(const std::string& path, ImageKind kind, const DecodeOptions& options) {
  FileBytes bytes;
  ImageLoadError error;
  if (!ReadWholeFile(path, bytes, error)) {
    lastError_ = std::move(error);
    return false;
  }
  DecodedPicture picture;
  if (!DecodePicture(bytes.view(), kind, picture, error, options)) {
    lastError_ = std::move(error);
    return false;
  }
  bytes = {};  // the file's memory goes before the old picture's
  return Adopt(std::move(picture));
}

bool MapImage::LoadFromMemory(const std::uint8_t* bytes, std::size_t length, ImageKind kind,
                              const DecodeOptions& options) {
  DecodedPicture picture;
  ImageLoadError error;
  if (bytes == nullptr && length != 0) {
    lastError_ = ImageLoadError{ImageError::CannotOpen, "no data"};
    return false;
  }
  if (!DecodePicture(std::span<const std::uint8_t>(bytes, length), kind, picture, error, options)) {
    lastError_ = std::move(error);
    return false;
  }
  return Adopt(std::move(picture));
}

std::uint32_t MapImage::PixelAt(int x, int y) const {
  if (!IsValid() || x < 0 || y < 0 || x >= picture_.width || y >= picture_.height) return 0;
  const std::uint8_t* row = picture_.Row(y);
  if (picture_.layout == PixelLayout::Rgb888) {
    const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
    return 0xFF000000u | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
  }
  std::uint32_t value;
  std::memcpy(&value, row + 4 * static_cast<std::size_t>(x), 4);
  return value;
}

bool MapImage::ScaleRegion(const ImageRect& source, int dstWidth, int dstHeight, std::uint32_t* out,
                           std::size_t strideBytes) const {
  if (!IsValid() || out == nullptr || dstWidth <= 0 || dstHeight <= 0 || source.width <= 0 || source.height <= 0) {
    return false;
  }
  // Byte offset within a row of the source pixel of every destination
  // column; -1 outside the picture. Worked out once per call, so the inner
  // loops below do one table read and one load per pixel.
  const std::size_t bytesPerPixel = picture_.layout == PixelLayout::Rgb888 ? 3 : 4;
  thread_local std::vector<std::int32_t> columns;
  columns.resize(static_cast<std::size_t>(dstWidth));
  bool anyOutside = false;
  for (int i = 0; i < dstWidth; ++i) {
    const std::int64_t sx = source.x + static_cast<std::int64_t>(i) * source.width / dstWidth;
    const bool inside = sx >= 0 && sx < picture_.width;
    anyOutside = anyOutside || !inside;
    columns[static_cast<std::size_t>(i)] = inside ? static_cast<std::int32_t>(sx * bytesPerPixel) : -1;
  }
  auto* base = reinterpret_cast<std::uint8_t*>(out);
  std::int64_t previousRow = -2;
  const std::uint32_t* previousOut = nullptr;
  for (int j = 0; j < dstHeight; ++j) {
    auto* line = reinterpret_cast<std::uint32_t*>(base + static_cast<std::size_t>(j) * strideBytes);
    const std::int64_t sy = source.y + static_cast<std::int64_t>(j) * source.height / dstHeight;
    if (sy == previousRow && previousOut != nullptr) {
      std::memcpy(line, previousOut, static_cast<std::size_t>(dstWidth) * 4);
      continue;
    }
    previousRow = sy;
    previousOut = line;
    if (sy < 0 || sy >= picture_.height) {
      std::memset(line, 0, static_cast<std::size_t>(dstWidth) * 4);
      continue;
    }
    const std::uint8_t* row = picture_.Row(static_cast<int>(sy));
    const std::int32_t* col = columns.data();
    if (picture_.layout == PixelLayout::Rgb888) {
      // R, G, B and the next pixel's first byte as one little-endian word:
      // 0xNNBBGGRR, turned into 0xFFRRGGBB.
      auto pixel = [row](std::int32_t offset) {
        std::uint32_t word;
        std::memcpy(&word, row + offset, 4);
        return 0xFF000000u | ((word & 0xFFu) << 16) | (word & 0xFF00u) | ((word >> 16) & 0xFFu);
      };
      if (!anyOutside) {
        for (int i = 0; i < dstWidth; ++i) line[i] = pixel(col[i]);
      } else {
        for (int i = 0; i < dstWidth; ++i) line[i] = col[i] < 0 ? 0u : pixel(col[i]);
      }
    } else {
      for (int i = 0; i < dstWidth; ++i) {
        std::uint32_t value = 0;
        if (col[i] >= 0) std::memcpy(&value, row + col[i], 4);
        line[i] = value;
      }
    }
  }
  return true;
}

}  // namespace tarvo
