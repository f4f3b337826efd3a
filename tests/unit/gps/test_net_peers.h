// Real peers on the loopback interface for the network source tests and
// benchmarks: a TCP server, a client socket, a gpsd started on a
// pseudo-terminal, and the lines of a corpus log.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace tarvo::test {

// The "$" lines of a log, without their line ends, in order.
inline std::vector<std::string> LogLines(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with("$")) lines.push_back(line);
  }
  return lines;
}

inline std::string Joined(const std::vector<std::string>& lines, std::string_view end = "\r\n") {
  std::string text;
  for (const std::string& l : lines) (text += l) += end;
  return text;
}

inline sockaddr_in Loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  return a;
}

// Writes all of `bytes`; false when the peer is gone.
inline bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// A connected client socket to 127.0.0.1:port; -1 when refused.
inline int ConnectLoopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in a = Loopback(port);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A port that was free a moment ago (for programs that need a number).
inline int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(0);
  socklen_t len = sizeof a;
  ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

// Reads from `fd` until `text` holds `lines` LF-ended lines or nothing comes
// for `idle`. Returns what was read.
inline std::string ReadLinesFrom(int fd, std::size_t lines, std::chrono::milliseconds idle = std::chrono::seconds(3)) {
  std::string text;
  std::size_t seen = 0;
  char block[8192];
  while (seen < lines) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(idle.count())) <= 0) break;
    const ssize_t n = ::recv(fd, block, sizeof block, 0);
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; ++i) seen += block[i] == '\n' ? 1 : 0;
    text.append(block, static_cast<std::size_t>(n));
  }
  return text;
}

// A TCP server on 127.0.0.1 (a free port) that the test drives by hand.
class LoopbackServer {
 public:
  LoopbackServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = Loopback(0);
    socklen_t len = sizeof a;
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 && ::listen(fd_, 4) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
      port_ = ntohs(a.sin_port);
    }
  }
  ~LoopbackServer() {
    CloseClient();
    if (fd_ >= 0) ::close(fd_);
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  // Waits for the next connection; false after `timeout`.
  bool Accept(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    CloseClient();
    client_ = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    return client_ >= 0;
  }
  bool Send(std::string_view bytes) const { return SendAll(client_, bytes); }
  int client() const { return client_; }
  // The peer going away: the client sees the connection closed.
  void CloseClient() {
    if (client_ >= 0) ::close(client_);
    client_ = -1;
  }

 private:
  int fd_ = -1;
  int client_ = -1;
  int port_ = 0;
};

inline const char* GpsdProgram() {
  for (const char* path : {"/usr/sbin/gpsd", "/usr/bin/gpsd", "/usr/local/sbin/gpsd"}) {
    if (::access(path, X_OK) == 0) return path;
  }
  return nullptr;
}

// Debian's gpsd in the foreground on one device, read-only (-b: it never
// writes to the receiver), at a fixed speed (-s: no speed hunting, which
// would flush the pty's input), serving `port` on the loopback interface.
class GpsdProcess {
 public:
  bool Start(const std::string& device, int port) {
    const char* program = GpsdProgram();
    if (program == nullptr) return false;
    const std::string portText = std::to_string(port);
    std::vector<std::string> args = {program, "-N", "-n", "-b", "-s", "4800", "-S", portText, device};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int r = posix_spawn(&pid_, program, &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (r != 0) {
      pid_ = -1;
      return false;
    }
    // Ready once it accepts connections.
    for (int i = 0; i < 500; ++i) {
      const int fd = ConnectLoopback(port);
      if (fd >= 0) {
        ::close(fd);
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Kill();
    return false;
  }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  ~GpsdProcess() { Kill(); }

 private:
  pid_t pid_ = -1;
};

}  // namespace tarvo::test
