#include "core/gps/serial_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "core/gps/line_assembler.h"
#include "core/gps/nmea.h"
#include "core/gps/serial_baud.h"

namespace tarvo {

namespace detail {

bool MakeLineSettings(termios& tio, int dataBits, int parityCheck, int parity, int stopBits) {
  if (dataBits != 7 && dataBits != 8) return false;
  if (parity < 0 || parity > 4) return false;
  if (stopBits != 0 && stopBits != 2) return false;  // 1 = one and a half: not on Linux
  ::cfmakeraw(&tio);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK | ISTRIP);
  // A byte with a parity error arrives as NUL, which the parser rejects.
  if (parityCheck != 0 && parity != 0) tio.c_iflag |= INPCK;
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio.c_cflag |= CLOCAL | CREAD | (dataBits == 7 ? CS7 : CS8);
  switch (parity) {
    case 1: tio.c_cflag |= PARENB | PARODD; break;           // odd
    case 2: tio.c_cflag |= PARENB; break;                    // even
    case 3: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;  // mark
    case 4: tio.c_cflag |= PARENB | CMSPAR; break;           // space
    default: break;
  }
  if (stopBits == 2) tio.c_cflag |= CSTOPB;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  return true;
}

}  // namespace detail

std::string_view LineRing::Store(std::string_view line) {
  const std::size_t n = std::min(line.size(), kSlotSize - 1);
  auto& slot = buffers_[static_cast<std::size_t>(nextLine_)];
  std::memcpy(slot.data(), line.data(), n);
  slot[n] = '\0';
  lastLine_ = nextLine_;
  nextLine_ = (nextLine_ + 1) % kSlots;
  return std::string_view(slot.data(), n);
}

namespace {

struct BaudEntry {
  int rate;
  speed_t code;
};

// The rates with a termios constant. Others (14400, 28800, ...) go through
// termios2 with a free speed.
constexpr BaudEntry kBaudRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

constexpr int kMinBaud = 50;
constexpr int kMaxBaud = 4000000;
constexpr std::size_t kReadBlock = 1024;
constexpr int kWritePollMs = 2000;  // longest wait for room in the output buffer

// Unix98 pseudo-terminal slaves have majors 136 to 143.
bool IsPseudoTerminal(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  const unsigned m = major(st.st_rdev);
  return m >= 136 && m <= 143;
}

const BaudEntry* FindBaud(int rate) {
  for (const auto& e : kBaudRates) {
    if (e.rate == rate) return &e;
  }
  return nullptr;
}

// A sentence that can only have come through at the right speed: printable
// ASCII, an address of 2 to 8 capitals or digits and a correct checksum. Noise
// at a wrong speed passes with a chance of about 1 in 256 per framed line.
bool IsSoundSentence(std::string_view line) {
  for (char c : line) {
    if (c < 0x20 || c > 0x7e) return false;
  }
  SentenceFrame frame;
  if (FrameSentence(line, frame) != SentenceStatus::Parsed || !frame.hasChecksum) return false;
  if (frame.address.size() < 2 || frame.address.size() > 8) return false;
  return std::all_of(frame.address.begin(), frame.address.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

// Errors of a read or poll that mean the device is gone for good.
std::string LostReason(int err) {
  switch (err) {
    case EIO:
    case ENXIO:
    case ENODEV:
      return "device removed (" + std::string(std::strerror(err)) + ")";
    default:
      return std::string(std::strerror(err));
  }
}

}  // namespace

SerialLink::SerialLink() = default;

SerialLink::~SerialLink() { Close(); }

bool SerialLink::Open(const std::string& devicePath, bool writeAccess) {
  if (reader_.joinable() && reader_.get_id() == std::this_thread::get_id()) {
    lastError_ = EDEADLK;  // the reader cannot reopen its own link
    return false;
  }
  Close();
  lastError_ = 0;
  lost_ = false;
  speed_ = 0;
  searching_ = false;
  huntSpeeds_.clear();
  const int flags = (writeAccess ? O_RDWR : O_RDONLY) | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  int fd = ::open(devicePath.c_str(), flags);
  if (fd < 0) {
    lastError_ = errno;
    return false;
  }
  if (!::isatty(fd)) {
    lastError_ = ENOTTY;
    ::close(fd);
    return false;
  }
  int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) {
    lastError_ = errno;
    ::close(fd);
    return false;
  }
  fd_ = fd;
  wakeFd_ = wake;
  return true;
}

bool SerialLink::Configure(int baudRate, int dataBits, int parityCheck, int parity, int stopBits) {
  if (fd_ < 0) {
    lastError_ = EBADF;
    return false;
  }
  auto fail = [this](int err) {
    lastError_ = err;
    Close();
    return false;
  };
  if (baudRate < kMinBaud || baudRate > kMaxBaud) return fail(EINVAL);

  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return fail(errno);
  if (!detail::MakeLineSettings(tio, dataBits, parityCheck, parity, stopBits)) return fail(EINVAL);

  const BaudEntry* baud = FindBaud(baudRate);
  const speed_t code = baud != nullptr ? baud->code : B38400;
  if (::cfsetispeed(&tio, code) != 0 || ::cfsetospeed(&tio, code) != 0) return fail(EINVAL);
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return fail(errno);
  if (baud == nullptr) {
    if (int err = detail::SetCustomBaud(fd_, baudRate); err != 0) return fail(err);
  }

  // tcsetattr succeeds when any part of the request was applied: check that
  // the line settings really hold.
  termios check{};
  if (::tcgetattr(fd_, &check) != 0) return fail(errno);
  constexpr tcflag_t kLineBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CLOCAL | CREAD;
  tcflag_t differ = (check.c_cflag ^ tio.c_cflag) & kLineBits;
  // A pseudo-terminal has no line: the kernel keeps it at 8 bits, no parity.
  if (IsPseudoTerminal(fd_)) differ &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  if (differ != 0) return fail(EINVAL);
  if (baud != nullptr ? ::cfgetospeed(&check) != code : detail::ReadCustomBaud(fd_) != baudRate) {
    return fail(EINVAL);
  }

  // DTR and RTS low. Devices without modem lines (ptys, some adapters) refuse
  // the request; that is fine.
  int lines = TIOCM_DTR | TIOCM_RTS;
  if (::ioctl(fd_, TIOCMBIC, &lines) != 0 && errno != ENOTTY && errno != EINVAL) return fail(errno);
  speed_ = baudRate;
  searching_ = false;
  huntSpeeds_.clear();
  return true;
}

int SerialLink::SetSpeed(int baudRate) {
  const BaudEntry* baud = FindBaud(baudRate);
  if (baud == nullptr) return EINVAL;
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return errno;
  if (::cfsetispeed(&tio, baud->code) != 0 || ::cfsetospeed(&tio, baud->code) != 0) return EINVAL;
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return errno;
  speed_ = baudRate;
  return 0;
}

bool SerialLink::HuntSpeed(std::span<const int> speeds, SpeedHuntRules rules) {
  if (fd_ < 0 || reader_.joinable()) {
    lastError_ = fd_ < 0 ? EBADF : EBUSY;
    return false;
  }
  if (speeds.empty() || rules.sentences < 1 || rules.window.count() < 1) {
    lastError_ = EINVAL;
    Close();
    return false;
  }
  if (const int err = SetSpeed(speeds.front()); err != 0) {
    lastError_ = err;
    Close();
    return false;
  }
  // What arrived before came at a speed nobody knows.
  ::tcflush(fd_, TCIFLUSH);
  huntSpeeds_.assign(speeds.begin(), speeds.end());
  huntRules_ = rules;
  searching_ = true;
  return true;
}

bool SerialLink::SetTimeouts() {
  if (fd_ < 0) {
    lastError_ = EBADF;
    return false;
  }
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0 || (tio.c_cc[VMIN] = 0, tio.c_cc[VTIME] = 0,
                                      ::tcsetattr(fd_, TCSANOW, &tio) != 0)) {
    lastError_ = errno;
    Close();
    return false;
  }
  return true;
}

bool SerialLink::WriteText(std::string_view text, const std::function<void()>& betweenBytes) {
  if (fd_ < 0) {
    lastError_ = EBADF;
    return false;
  }
  for (char c : text) {
    if (betweenBytes) betweenBytes();
    for (;;) {
      const ssize_t n = ::write(fd_, &c, 1);
      if (n == 1) break;
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) {
        pollfd p{fd_, POLLOUT, 0};
        const int r = ::poll(&p, 1, kWritePollMs);
        if (r > 0 && (p.revents & POLLOUT) != 0) continue;
        lastError_ = r == 0 ? ETIMEDOUT : (r < 0 ? errno : EIO);
        return false;
      }
      lastError_ = n < 0 ? errno : EIO;
      return false;
    }
  }
  return true;
}

bool SerialLink::Start(LineCallback onLine, LostCallback onLost) {
  if (fd_ < 0 || lost_) {
    lastError_ = EBADF;
    return false;
  }
  if (reader_.joinable()) {
    lastError_ = EBUSY;
    return false;
  }
  onLine_ = std::move(onLine);
  onLost_ = std::move(onLost);
  // Stale wake-ups of an earlier reader must not stop this one.
  uint64_t drained = 0;
  while (::read(wakeFd_, &drained, sizeof drained) > 0) {
  }
  started_ = false;
  droppedTooLong_ = 0;
  try {
    reader_ = std::jthread([this](std::stop_token stop) {
      // A Close from inside a callback reads reader_: not before it is set.
      started_.wait(false);
      ReaderLoop(stop);
    });
  } catch (const std::system_error& e) {
    lastError_ = e.code().value();
    return false;
  }
  started_ = true;
  started_.notify_one();
  return true;
}

void SerialLink::Close() {
  if (reader_.joinable()) {
    reader_.request_stop();
    if (wakeFd_ >= 0) {
      const uint64_t one = 1;
      [[maybe_unused]] ssize_t r = ::write(wakeFd_, &one, sizeof one);
    }
    // From inside a callback: the stop request alone ends the reader when the
    // callback returns; no further callback runs.
    if (reader_.get_id() == std::this_thread::get_id()) return;
    reader_.join();
  }
  Release();
}

void SerialLink::Release() {
  reader_ = std::jthread();
  if (fd_ >= 0) ::close(fd_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
  fd_ = -1;
  wakeFd_ = -1;
  onLine_ = nullptr;
  onLost_ = nullptr;
}

bool SerialLink::IsOpen() const {
  if (fd_ < 0 || lost_) return false;
  return !(reader_.joinable() && reader_.get_stop_token().stop_requested());
}

void SerialLink::WriteStartup(const std::stop_token& stop) {
  for (const std::string& text : startup_) {
    std::size_t done = 0;
    while (done < text.size() && !stop.stop_requested()) {
      const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) {
        // Wait for room, or for Close.
        pollfd p[2] = {{fd_, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
        const int r = ::poll(p, 2, kWritePollMs);
        if (r > 0 && p[1].revents == 0 && (p[0].revents & POLLOUT) != 0) continue;
      }
      return;  // the receiver does without its start-up commands
    }
  }
}

void SerialLink::ReaderLoop(std::stop_token stop) {
  using Clock = std::chrono::steady_clock;
  WriteStartup(stop);
  LineAssembler assembler;
  char block[kReadBlock];
  pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
  std::string lost;

  // Speed hunting: the speed on trial, its sound sentences so far, and when
  // its trial ends.
  std::size_t trial = 0;
  int sound = 0;
  Clock::time_point trialEnd = Clock::now() + huntRules_.window;

  auto deliver = [&](std::string_view line) {
    if (stop.stop_requested()) return;
    if (searching_) {
      if (!IsSoundSentence(line)) return;
      if (++sound >= huntRules_.sentences) searching_ = false;  // found: keep this speed
    }
    std::string_view stored = ring_.Store(line);
    if (onLine_) onLine_(stored, stop);
  };

  while (!stop.stop_requested() && lost.empty()) {
    int timeoutMs = -1;
    if (searching_) {
      Clock::time_point now = Clock::now();
      if (now >= trialEnd) {
        // Next speed; what is buffered and a half line came at the old one.
        trial = (trial + 1) % huntSpeeds_.size();
        if (const int err = SetSpeed(huntSpeeds_[trial]); err != 0) {
          lost = LostReason(err);
          break;
        }
        ::tcflush(fd_, TCIFLUSH);
        assembler.Reset();
        sound = 0;
        trialEnd = now + huntRules_.window;
      }
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(trialEnd - now);
      timeoutMs = static_cast<int>(std::max<int64_t>(1, left.count()));
    }
    const int r = ::poll(fds, 2, timeoutMs);
    if (r < 0) {
      if (errno == EINTR) continue;
      lost = std::strerror(errno);
      break;
    }
    if (r == 0) continue;  // a speed trial ended
    if (fds[1].revents != 0 || stop.stop_requested()) break;
    const short ev = fds[0].revents;
    if (ev == 0) continue;
    if ((ev & POLLNVAL) != 0) {
      lost = "device closed";
      break;
    }
    // Read what is there first: a receiver may send its last line just
    // before the hang-up.
    const ssize_t n = ::read(fd_, block, sizeof block);
    if (n > 0) {
      assembler.Feed(std::string_view(block, static_cast<std::size_t>(n)), deliver);
      droppedTooLong_.store(assembler.droppedTooLong(), std::memory_order_relaxed);
    } else if (n == 0) {
      lost = "device hung up";
    } else if (errno == EAGAIN || errno == EINTR) {
      if ((ev & (POLLHUP | POLLERR)) != 0) lost = "device hung up";
    } else {
      lost = LostReason(errno);
    }
  }

  if (!lost.empty() && !stop.stop_requested()) {
    lost_ = true;
    if (onLost_) onLost_(lost);
  }
}

}  // namespace tarvo
