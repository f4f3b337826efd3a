#include "core/gps/net_source.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <mutex>
#include <system_error>
#include <vector>

#include "core/gps/gpsd_reply.h"
#include "core/gps/line_assembler.h"

namespace tarvo {

namespace {

constexpr std::string_view kWatchRequest = "?WATCH={\"enable\":true,\"nmea\":true}\n";
constexpr std::size_t kReadBlock = 16 * 1024;
constexpr std::size_t kDatagramMax = 65536;      // larger than any UDP payload
constexpr int kUdpReceiveBuffer = 1 << 20;       // bytes; bursts wait here while a line is handed on
constexpr int kKeepIdleS = 10;                   // a peer gone without a word is found in ~25 s
constexpr int kKeepIntervalS = 5;
constexpr int kKeepCount = 3;

using Clock = std::chrono::steady_clock;

std::string Errno(int err) { return std::strerror(err); }

// Waits for `fd` (events) or the wake descriptor, at most `timeoutMs` (-1:
// no limit). Returns the revents of `fd`; 0 on time-out; -1 when woken.
int WaitFor(int fd, short events, int wakeFd, int timeoutMs) {
  for (;;) {
    pollfd p[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
    const int r = ::poll(p, 2, timeoutMs);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return POLLERR;
    if (p[1].revents != 0) return -1;
    return r == 0 ? 0 : p[0].revents;
  }
}

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// A name lookup on a helper thread of its own, so that a slow or dead name
// server never keeps Close waiting: a closed source just stops waiting and
// the helper cleans up after itself when the answer comes.
struct Lookup {
  std::mutex mutex;
  int doneFd = -1;  // eventfd, written when the answer is in
  int status = 0;   // getaddrinfo's result
  int savedErrno = 0;
  std::vector<sockaddr_storage> addresses;
  std::vector<socklen_t> lengths;
  ~Lookup() {
    if (doneFd >= 0) ::close(doneFd);
  }
};

void RunLookup(Lookup& lookup, const std::string& host, int port, int flags) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = flags | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  std::lock_guard lock(lookup.mutex);
  lookup.status = status;
  lookup.savedErrno = errno;
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    sockaddr_storage s{};
    std::memcpy(&s, a->ai_addr, std::min<std::size_t>(a->ai_addrlen, sizeof s));
    lookup.addresses.push_back(s);
    lookup.lengths.push_back(a->ai_addrlen);
  }
  if (found != nullptr) ::freeaddrinfo(found);
}

std::string LookupError(const Lookup& lookup) {
  if (lookup.status == EAI_SYSTEM) return Errno(lookup.savedErrno);
  return ::gai_strerror(lookup.status);
}

// The texts a user may see in a message: at most 60 printable characters.
std::string Printable(std::string_view text) {
  std::string out;
  for (char c : text.substr(0, 60)) out.push_back(c >= 0x20 && c < 0x7f ? c : '?');
  return out;
}

bool ParsePort(std::string_view text, int& port) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535) return false;
  port = value;
  return true;
}

}  // namespace

std::string NetSourceName(const NetSourceConfig& config) {
  const std::string port = std::to_string(config.port);
  const bool v6 = config.host.find(':') != std::string::npos;
  const std::string host = v6 ? "[" + config.host + "]" : config.host;
  switch (config.kind) {
    case SourceKind::Gpsd:
      return "gpsd://" + host + ":" + port;
    case SourceKind::UdpListener:
      return "udp://:" + port;
    case SourceKind::TcpClient:
    case SourceKind::Serial:
      break;
  }
  return "tcp://" + host + ":" + port;
}

bool ParseNetSourceUrl(std::string_view url, NetSourceConfig& config, std::string& error) {
  NetSourceConfig parsed;
  std::string_view rest;
  if (url.starts_with("gpsd://")) {
    parsed.kind = SourceKind::Gpsd;
    rest = url.substr(7);
  } else if (url.starts_with("tcp://")) {
    parsed.kind = SourceKind::TcpClient;
    rest = url.substr(6);
  } else if (url.starts_with("udp://")) {
    parsed.kind = SourceKind::UdpListener;
    rest = url.substr(6);
  } else {
    error = "not a gpsd://, tcp:// or udp:// address: " + Printable(url);
    return false;
  }
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  std::string_view host;
  std::string_view port;
  bool hasPort = false;
  if (rest.starts_with("[")) {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos) {
      error = "unclosed [ in " + Printable(url);
      return false;
    }
    host = rest.substr(1, close - 1);
    rest.remove_prefix(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') {
        error = "expected :PORT after ] in " + Printable(url);
        return false;
      }
      port = rest.substr(1);
      hasPort = true;
    }
  } else if (const std::size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    hasPort = true;
  } else if (parsed.kind == SourceKind::UdpListener) {
    port = rest;  // "udp://10110"
    hasPort = true;
  } else {
    host = rest;
  }
  if (parsed.kind == SourceKind::UdpListener) {
    if (!host.empty()) {
      error = "a UDP source listens on every interface: give udp://:PORT, not a host";
      return false;
    }
  } else if (host.empty()) {
    error = "no host in " + Printable(url);
    return false;
  }
  if (!hasPort) {
    if (parsed.kind != SourceKind::Gpsd) {
      error = "no port in " + Printable(url) + " (give :PORT)";
      return false;
    }
    parsed.port = kGpsdDefaultPort;
  } else if (!ParsePort(port, parsed.port)) {
    error = "the port must be a number from 1 to 65535: " + Printable(port);
    return false;
  }
  parsed.host = std::string(host);
  config = parsed;
  return true;
}

// What one connection (or the UDP socket) came to.
struct NetSource::Session {
  enum class End : uint8_t {
    Closed,  // Close was called
    Failed,  // no connection was made; `reason` says why
    Lost,    // the peer went away after it was reached
    Fatal,   // the peer is not what it should be; trying again will not help
  };
  End end = End::Closed;
  std::string reason;
  uint64_t lines = 0;  // lines handed on
};

NetSource::NetSource(NetSourceConfig config) : config_(std::move(config)) {}

NetSource::~NetSource() { Close(); }

bool NetSource::Start(LineCallback onLine, LostCallback onLost) {
  if (reader_.joinable()) {
    lastError_ = EBUSY;
    return false;
  }
  lastError_ = 0;
  if (wakeFd_ < 0) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
      lastError_ = errno;
      return false;
    }
  }
  onLine_ = std::move(onLine);
  onLost_ = std::move(onLost);
  ended_ = false;
  started_ = false;
  boundPort_ = 0;
  droppedTooLong_ = 0;
  connections_ = 0;
  try {
    reader_ = std::jthread([this](std::stop_token stop) {
      started_.wait(false);  // a Close from a callback reads reader_: not before it is set
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

void NetSource::Close() {
  if (reader_.joinable()) {
    reader_.request_stop();
    if (wakeFd_ >= 0) {
      const uint64_t one = 1;
      [[maybe_unused]] ssize_t r = ::write(wakeFd_, &one, sizeof one);
    }
    if (reader_.get_id() == std::this_thread::get_id()) return;  // ends when the callback returns
    reader_.join();
  }
  reader_ = std::jthread();
  if (wakeFd_ >= 0) ::close(wakeFd_);
  wakeFd_ = -1;
  onLine_ = nullptr;
  onLost_ = nullptr;
}

bool NetSource::IsOpen() const {
  if (!reader_.joinable() || ended_) return false;
  return !reader_.get_stop_token().stop_requested();
}

bool NetSource::Sleep(int ms, const std::stop_token& stop) const {
  if (stop.stop_requested()) return false;
  pollfd p{wakeFd_, POLLIN, 0};
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return !stop.stop_requested();
    const int r = ::poll(&p, 1, static_cast<int>(left));
    if (r > 0 || stop.stop_requested()) return false;
  }
}

namespace {

// Connects to `host`:`port`, trying each address the name stands for.
// Returns the connected socket, or -1 with `reason` set (empty when Close
// interrupted it).
int ConnectTcp(const NetSourceConfig& config, int wakeFd, const std::stop_token& stop, std::string& reason) {
  reason.clear();
  if (config.host.empty()) {
    reason = "no host set";
    return -1;
  }
  auto lookup = std::make_shared<Lookup>();
  lookup->doneFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (lookup->doneFd < 0) {
    reason = Errno(errno);
    return -1;
  }
  // An address needs no name server: looked up here and now.
  RunLookup(*lookup, config.host, config.port, AI_NUMERICHOST);
  if (lookup->status != 0) {
    lookup->addresses.clear();
    lookup->lengths.clear();
    try {
      std::thread([lookup, host = config.host, port = config.port] {
        RunLookup(*lookup, host, port, AI_ADDRCONFIG);
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t r = ::write(lookup->doneFd, &one, sizeof one);
      }).detach();
    } catch (const std::system_error& e) {
      reason = Errno(e.code().value());
      return -1;
    }
    const int r = WaitFor(lookup->doneFd, POLLIN, wakeFd, -1);
    if (r < 0 || stop.stop_requested()) return -1;
  }
  std::lock_guard lock(lookup->mutex);
  if (lookup->status != 0) {
    reason = "cannot find " + Printable(config.host) + ": " + LookupError(*lookup);
    return -1;
  }
  std::string lastFailure = "no address";
  for (std::size_t i = 0; i < lookup->addresses.size(); ++i) {
    const auto* address = reinterpret_cast<const sockaddr*>(&lookup->addresses[i]);
    Fd fd(::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.get() < 0) {
      lastFailure = Errno(errno);
      continue;
    }
    int err = 0;
    if (::connect(fd.get(), address, lookup->lengths[i]) != 0) {
      err = errno;
      if (err == EINPROGRESS) {
        const int r = WaitFor(fd.get(), POLLOUT, wakeFd, NetSource::kConnectTimeoutMs);
        if (r < 0 || stop.stop_requested()) return -1;
        if (r == 0) {
          err = ETIMEDOUT;
        } else {
          socklen_t len = sizeof err;
          if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
        }
      }
    }
    if (err != 0) {
      lastFailure = Errno(err);
      continue;
    }
    // Find a peer that vanished without closing (a phone out of reach).
    const int on = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_KEEPIDLE, &kKeepIdleS, sizeof kKeepIdleS);
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_KEEPINTVL, &kKeepIntervalS, sizeof kKeepIntervalS);
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_KEEPCNT, &kKeepCount, sizeof kKeepCount);
    return fd.Release();
  }
  reason = "cannot connect to " + Printable(config.host) + " port " + std::to_string(config.port) + ": " +
           lastFailure;
  return -1;
}

}  // namespace

void NetSource::ReaderLoop(std::stop_token stop) {
  LineAssembler assembler;
  GpsdStream gpsd;
  static_assert(kDatagramMax >= kReadBlock);
  std::vector<char> block(kDatagramMax);
  const bool isGpsd = config_.kind == SourceKind::Gpsd;
  const bool isUdp = config_.kind == SourceKind::UdpListener;

  // One connection, or the UDP socket's life.
  auto runSession = [&]() -> Session {
    Session s;
    Fd fd;
    assembler.Reset();
    gpsd.Reset();
    std::string reason;
    if (isUdp) {
      fd.Reset(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
      const int on = 1;
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_ANY);
      address.sin_port = htons(static_cast<uint16_t>(config_.port));
      if (fd.get() < 0 || ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
          ::setsockopt(fd.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
          ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        s.end = Session::End::Failed;
        s.reason = "cannot listen on UDP port " + std::to_string(config_.port) + ": " + Errno(errno);
        return s;
      }
      ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &kUdpReceiveBuffer, sizeof kUdpReceiveBuffer);
      socklen_t len = sizeof address;
      if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &len) == 0) {
        boundPort_.store(ntohs(address.sin_port), std::memory_order_release);
      }
    } else {
      fd.Reset(ConnectTcp(config_, wakeFd_, stop, reason));
      if (fd.get() < 0) {
        s.end = reason.empty() ? Session::End::Closed : Session::End::Failed;
        s.reason = reason;
        return s;
      }
      if (isGpsd && ::send(fd.get(), kWatchRequest.data(), kWatchRequest.size(), MSG_NOSIGNAL) !=
                        static_cast<ssize_t>(kWatchRequest.size())) {
        s.end = Session::End::Failed;
        s.reason = "cannot ask gpsd for NMEA: " + Errno(errno);
        return s;
      }
    }
    if (!isGpsd) connections_.fetch_add(1, std::memory_order_relaxed);

    // gpsd greets with a VERSION object; anything else is not a gpsd.
    bool greeted = !isGpsd;
    const auto greetingDue = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    std::string fatal;
    auto deliver = [&](std::string_view line) {
      if (stop.stop_requested() || !fatal.empty()) return;
      ++s.lines;
      if (onLine_) onLine_(line, stop);
    };
    auto feedNmea = [&](std::string_view bytes) { assembler.Feed(bytes, deliver); };
    auto onObject = [&](std::string_view text) {
      const std::optional<GpsdObject> object = ParseGpsdObject(text);
      if (!greeted) {
        if (!object || object->kind != "VERSION") {
          fatal = "not a gpsd (it answered \"" + Printable(text) + "\")";
          return;
        }
        greeted = true;
        connections_.fetch_add(1, std::memory_order_relaxed);
        return;
      }
      if (object && object->kind == "ERROR") fatal = "gpsd refused: " + object->message;
    };
    auto onGpsdBytes = [&](std::string_view bytes) {
      if (!greeted) {
        if (bytes.find_first_not_of(" \t\r\n") != std::string_view::npos) {
          fatal = "not a gpsd (it answered \"" + Printable(bytes) + "\")";
        }
        return;
      }
      feedNmea(bytes);
    };

    while (!stop.stop_requested()) {
      int timeout = -1;
      if (!greeted) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(greetingDue - Clock::now()).count();
        if (left <= 0) {
          s.end = Session::End::Failed;
          s.reason = "no answer from gpsd at " + Printable(config_.host) + " port " + std::to_string(config_.port);
          return s;
        }
        timeout = static_cast<int>(left);
      }
      const int ev = WaitFor(fd.get(), POLLIN, wakeFd_, timeout);
      if (ev < 0 || stop.stop_requested()) break;
      if (ev == 0) continue;
      const ssize_t n = isUdp ? ::recv(fd.get(), block.data(), block.size(), 0)
                              : ::recv(fd.get(), block.data(), kReadBlock, 0);
      if (n > 0) {
        const std::string_view bytes(block.data(), static_cast<std::size_t>(n));
        if (isGpsd) {
          gpsd.Feed(bytes, onGpsdBytes, onObject);
        } else {
          feedNmea(bytes);
        }
        droppedTooLong_.store(assembler.droppedTooLong(), std::memory_order_relaxed);
        if (!fatal.empty()) {
          s.end = Session::End::Fatal;
          s.reason = fatal;
          return s;
        }
        continue;
      }
      if ((n < 0 && (errno == EAGAIN || errno == EINTR)) || (n == 0 && isUdp)) continue;  // an empty datagram
      const bool reached = greeted;
      s.end = reached ? Session::End::Lost : Session::End::Failed;
      if (n == 0) {
        s.reason = isGpsd ? (reached ? "gpsd closed the connection" : "gpsd closed the connection at once")
                          : "the server closed the connection";
      } else {
        s.reason = Errno(errno);
      }
      return s;
    }
    s.end = Session::End::Closed;
    return s;
  };

  bool reached = false;    // a connection was made since Start
  bool reported = false;   // the current outage was reported
  int retryMs = kFirstRetryMs;
  std::string ending;
  while (!stop.stop_requested()) {
    const Session s = runSession();
    if (s.end == Session::End::Closed || stop.stop_requested()) return;
    if (s.end == Session::End::Lost) reached = true;
    if (s.lines > 0) {
      reported = false;
      retryMs = kFirstRetryMs;
    }
    const bool retry = !isUdp && reached && onInterrupted_ && s.end != Session::End::Fatal;
    if (!retry) {
      ending = s.reason;
      break;
    }
    if (!reported) {
      reported = true;
      onInterrupted_(s.reason + "; reconnecting");
    }
    if (!Sleep(retryMs, stop)) return;
    retryMs = std::min(retryMs * 2, kLastRetryMs);
  }
  if (!ending.empty() && !stop.stop_requested()) {
    ended_ = true;
    if (onLost_) onLost_(ending);
  }
}

}  // namespace tarvo
