// Re-serving: a TCP server that passes every line received from the
// receiver on to every connected client, each line ending in CR LF, so a
// chart plotter or a second Tarvo can share the receiver.
//
// Publish never waits for a client: it sends what the socket takes at once
// and queues the rest for the server's own thread, at most kClientQueueBytes
// a client. A client that falls that far behind is disconnected (and
// counted), so a slow or stuck reader can never hold up the receiver. A
// client joining mid-stream starts at the next line. What clients send is
// read and thrown away.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tarvo {

class LineReserver {
 public:
  static constexpr std::size_t kClientQueueBytes = 256 * 1024;  // ~3000 lines, minutes of a receiver's output
  static constexpr int kMaxClients = 32;  // further connections are closed at once

  LineReserver();
  ~LineReserver();
  LineReserver(const LineReserver&) = delete;
  LineReserver& operator=(const LineReserver&) = delete;

  // Listens on `port` (1..65535; 0 for any free port) of the loopback
  // interface, or of every interface when `remote`, and starts the server's
  // thread. False when it cannot (lastError() tells why).
  bool Start(int port, bool remote);
  // Closes the server and every client. Safe when not started.
  void Stop();
  bool running() const { return listenFd_ >= 0; }

  // Any thread: sends `line` and CR LF to every client. Does nothing while
  // stopped.
  void Publish(std::string_view line);

  // The port listened on (the one chosen, with 0); 0 when stopped.
  int port() const { return port_; }
  std::size_t clientCount() const;
  // Clients disconnected for falling behind, since Start.
  uint64_t droppedClients() const { return droppedClients_.load(std::memory_order_relaxed); }
  int lastError() const { return lastError_; }

 private:
  struct Client {
    int fd = -1;
    std::string pending;  // bytes the socket did not take yet
    bool dropped = false;  // behind by more than kClientQueueBytes: closed by the server thread
  };
  void ServerLoop(std::stop_token stop);
  void Wake();
  void Flush(Client& client);  // mutex_ held

  mutable std::mutex mutex_;
  std::vector<Client> clients_;
  int listenFd_ = -1;
  int wakeFd_ = -1;
  int port_ = 0;
  int lastError_ = 0;
  std::atomic<uint64_t> droppedClients_{0};
  std::jthread thread_;
};

}  // namespace tarvo
