// NMEA lines from the network, behind the same LineSource as a serial port:
//  - gpsd: a TCP connection to a gpsd, asked with ?WATCH={"enable":true,
//    "nmea":true} for the NMEA it relays; its JSON objects are read for
//    errors and otherwise ignored.
//  - TCP client: the byte stream of an NMEA server (a phone, a marine
//    multiplexer, ser2net).
//  - UDP listener: datagrams to a local port, broadcasts included; a
//    datagram may hold several lines or part of one.
// Every byte goes through the serial port's LineAssembler, so lines come out
// exactly as from a port: "$" first, at most 255 characters, garbage dropped,
// lines cut across packets joined.
//
// Name lookup, connecting and reading all happen on the source's own thread;
// Close returns promptly whatever the network does.
//
// Losses: a first connection that cannot be made ends the source (LostCallback).
// Once connected, a gpsd or TCP source that loses its peer reports that once
// through the interrupted callback, when one is set, and tries again after
// 0.25, 0.5, 1, 2, 2, ... seconds until it is back or closed; without that
// callback the loss ends the source.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "core/gps/line_source.h"
#include "core/gps/source_kind.h"

namespace tarvo {

struct NetSourceConfig {
  SourceKind kind = SourceKind::TcpClient;  // Gpsd, TcpClient or UdpListener
  std::string host;  // gpsd and TCP: a name or an IPv4/IPv6 address; UDP: unused (all interfaces)
  int port = 0;      // 1..65535; UDP may give 0 for any free port (tests)
};

// "gpsd://127.0.0.1:2947", "tcp://host:10110", "udp://:10110": how a source
// is named to the user and on tarvo-nmea's command line.
std::string NetSourceName(const NetSourceConfig& config);

// Reads one of those forms: "gpsd://HOST[:PORT]" (port 2947 when left out),
// "tcp://HOST:PORT", "udp://:PORT" (or "udp://PORT"). An IPv6 address goes in
// brackets: "tcp://[::1]:10110". nullopt-like: false with `error` saying what
// is wrong when the text is not one of them.
bool ParseNetSourceUrl(std::string_view url, NetSourceConfig& config, std::string& error);

class NetSource : public LineSource {
 public:
  // The longest wait for a connection to be made, and for a gpsd's greeting.
  static constexpr int kConnectTimeoutMs = 5000;
  // The reconnect back-off: doubling from the first to the last delay.
  static constexpr int kFirstRetryMs = 250;
  static constexpr int kLastRetryMs = 2000;

  explicit NetSource(NetSourceConfig config);
  ~NetSource() override;
  NetSource(const NetSource&) = delete;
  NetSource& operator=(const NetSource&) = delete;

  bool Start(LineCallback onLine, LostCallback onLost) override;
  // Also callable from the source's own callbacks, as SerialLink's.
  void Close() override;
  // True from Start until Close or the end of the source.
  bool IsOpen() const override;
  void SetInterruptedCallback(InterruptedCallback onInterrupted) override {
    onInterrupted_ = std::move(onInterrupted);
  }

  const NetSourceConfig& config() const { return config_; }
  // The UDP port bound (useful with port 0); 0 before the socket is bound.
  int boundPort() const { return boundPort_.load(std::memory_order_acquire); }
  // Lines dropped for being longer than LineAssembler::kMaxLine, and
  // connections made, since Start. Readable from any thread.
  uint64_t droppedTooLong() const { return droppedTooLong_.load(std::memory_order_relaxed); }
  uint64_t connections() const { return connections_.load(std::memory_order_relaxed); }
  // errno of a failed Start; 0 when none.
  int lastError() const { return lastError_; }

 private:
  struct Session;
  void ReaderLoop(std::stop_token stop);
  // Waits `ms` milliseconds or until Close; false when closed.
  bool Sleep(int ms, const std::stop_token& stop) const;

  NetSourceConfig config_;
  LineCallback onLine_;
  LostCallback onLost_;
  InterruptedCallback onInterrupted_;
  int wakeFd_ = -1;  // eventfd: Close writes it
  int lastError_ = 0;
  std::atomic<bool> ended_{false};
  std::atomic<bool> started_{false};
  std::atomic<int> boundPort_{0};
  std::atomic<uint64_t> droppedTooLong_{0};
  std::atomic<uint64_t> connections_{0};
  std::jthread reader_;
};

}  // namespace tarvo
