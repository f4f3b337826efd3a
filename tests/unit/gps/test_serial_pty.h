// A real pseudo-terminal pair for the serial tests: the link opens the slave
// by its device path, the test plays the receiver on the master.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::test {

class PtyPair {
 public:
  PtyPair() {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master_, &slave, name, nullptr, nullptr) == 0) {
      path_ = name;
      // Keep a slave descriptor open until the link has opened its own, so
      // the master never sees the slave side closed.
      slave_ = slave;
      ::fcntl(master_, F_SETFD, FD_CLOEXEC);
      ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
      ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    }
  }
  ~PtyPair() {
    CloseSlave();
    CloseMaster();
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0; }
  const std::string& path() const { return path_; }
  int master() const { return master_; }

  // Writes all of `bytes` to the master (the receiver sending). False when
  // the pty's buffer stays full for a second (nobody reads the slave).
  bool Send(std::string_view bytes) const {
    while (!bytes.empty()) {
      const ssize_t n = ::write(master_, bytes.data(), bytes.size());
      if (n > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      pollfd p{master_, POLLOUT, 0};
      if (n == 0 || errno != EAGAIN || ::poll(&p, 1, 1000) <= 0) return false;
    }
    return true;
  }

  void CloseSlave() {
    if (slave_ >= 0) ::close(slave_);
    slave_ = -1;
  }
  // Pulling the plug: the slave side sees a hang-up.
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

// Lines and losses as they come from a reader thread, with waits.
class Inbox {
 public:
  void AddLine(std::string_view line) {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(line);
    cv_.notify_all();
  }
  void AddLoss(const std::string& reason) {
    std::lock_guard lock(mutex_);
    losses_.push_back(reason);
    cv_.notify_all();
  }
  // Waits until `count` lines have come (false on time-out).
  bool WaitLines(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return lines_.size() >= count; });
  }
  bool WaitLoss(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return !losses_.empty(); });
  }
  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  std::vector<std::string> losses() const {
    std::lock_guard lock(mutex_);
    return losses_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::string> lines_;
  std::vector<std::string> losses_;
};

}  // namespace tarvo::test
