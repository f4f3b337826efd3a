#include "core/gps/line_reserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace tarvo {

namespace {

constexpr int kBacklog = 8;
constexpr std::size_t kDiscardBlock = 4096;
// The kernel's share of a client's backlog (it doubles this): small, so that
// a client that stopped reading is found behind after a few hundred kB.
constexpr int kClientSendBuffer = 64 * 1024;

}  // namespace

LineReserver::LineReserver() = default;

LineReserver::~LineReserver() { Stop(); }

bool LineReserver::Start(int port, bool remote) {
  Stop();
  lastError_ = 0;
  droppedClients_ = 0;
  auto fail = [this](int err) {
    lastError_ = err;
    if (listenFd_ >= 0) ::close(listenFd_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
    listenFd_ = wakeFd_ = -1;
    return false;
  };
  if (port < 0 || port > 65535) return fail(EINVAL);
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) return fail(errno);
  const int on = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);  // a restart finds the port free
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(remote ? INADDR_ANY : INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return fail(errno);
  if (::listen(listenFd_, kBacklog) != 0) return fail(errno);
  socklen_t len = sizeof address;
  if (::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &len) != 0) return fail(errno);
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) return fail(errno);
  try {
    thread_ = std::jthread([this](std::stop_token stop) { ServerLoop(stop); });
  } catch (const std::system_error& e) {
    return fail(e.code().value());
  }
  port_ = ntohs(address.sin_port);
  return true;
}

void LineReserver::Stop() {
  if (thread_.joinable()) {
    thread_.request_stop();
    Wake();
    thread_.join();
  }
  std::lock_guard lock(mutex_);
  for (Client& c : clients_) ::close(c.fd);
  clients_.clear();
  if (listenFd_ >= 0) ::close(listenFd_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
  listenFd_ = wakeFd_ = -1;
  port_ = 0;
}

std::size_t LineReserver::clientCount() const {
  std::lock_guard lock(mutex_);
  std::size_t n = 0;
  for (const Client& c : clients_) n += c.dropped ? 0 : 1;
  return n;
}

void LineReserver::Wake() {
  if (wakeFd_ < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t r = ::write(wakeFd_, &one, sizeof one);
}

void LineReserver::Flush(Client& client) {
  while (!client.pending.empty()) {
    const ssize_t n = ::send(client.fd, client.pending.data(), client.pending.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0) {
      client.pending.erase(0, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    client.dropped = true;  // gone (EPIPE, ECONNRESET): the server thread closes it
    client.pending.clear();
    return;
  }
}

void LineReserver::Publish(std::string_view line) {
  std::lock_guard lock(mutex_);
  if (clients_.empty()) return;
  bool wake = false;
  for (Client& c : clients_) {
    if (c.dropped) continue;
    const bool wasEmpty = c.pending.empty();
    c.pending.append(line);
    c.pending.append("\r\n");
    if (wasEmpty) Flush(c);
    if (c.pending.size() > kClientQueueBytes) {
      c.dropped = true;
      c.pending.clear();
      droppedClients_.fetch_add(1, std::memory_order_relaxed);
    }
    // The server thread waits for room for what is left, or closes the client.
    if (!c.pending.empty() || c.dropped) wake = wake || wasEmpty || c.dropped;
  }
  if (wake) Wake();
}

void LineReserver::ServerLoop(std::stop_token stop) {
  std::vector<pollfd> fds;
  char discard[kDiscardBlock];
  while (!stop.stop_requested()) {
    {
      std::lock_guard lock(mutex_);
      for (auto it = clients_.begin(); it != clients_.end();) {
        if (it->dropped) {
          ::close(it->fd);
          it = clients_.erase(it);
        } else {
          ++it;
        }
      }
      fds.assign({{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}});
      for (const Client& c : clients_) {
        fds.push_back({c.fd, static_cast<short>(POLLIN | (c.pending.empty() ? 0 : POLLOUT)), 0});
      }
    }
    const int r = ::poll(fds.data(), fds.size(), -1);
    if (r < 0 && errno != EINTR) return;
    if (r <= 0 || stop.stop_requested()) continue;

    std::lock_guard lock(mutex_);
    if (fds[1].revents != 0) {
      uint64_t drained = 0;
      while (::read(wakeFd_, &drained, sizeof drained) > 0) {
      }
    }
    // Clients first: their indices are those of the poll set.
    for (std::size_t i = 2; i < fds.size(); ++i) {
      Client& c = clients_[i - 2];
      const short ev = fds[i].revents;
      if (ev == 0 || c.dropped) continue;
      if ((ev & POLLIN) != 0) {
        const ssize_t n = ::recv(c.fd, discard, sizeof discard, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) c.dropped = true;
      }
      if ((ev & (POLLERR | POLLNVAL)) != 0) c.dropped = true;
      if (!c.dropped && (ev & POLLOUT) != 0) Flush(c);
    }
    if (fds[0].revents != 0) {
      for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) break;
        if (clients_.size() >= static_cast<std::size_t>(kMaxClients)) {
          ::close(fd);
          continue;
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);  // each line goes out at once
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kClientSendBuffer, sizeof kClientSendBuffer);
        clients_.push_back({fd, {}, false});
      }
    }
  }
}

}  // namespace tarvo
