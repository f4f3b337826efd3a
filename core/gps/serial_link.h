// The serial link to a GPS receiver on a tty device (/dev/ttyUSB0,
// /dev/ttyACM0, /dev/rfcomm0, /dev/ttyS0, ...), on POSIX termios.
//
// Calling order: Open, Configure, HuntSpeed (for the speed "Auto"),
// SetTimeouts, WriteText (device start-up strings), Start, ... Close. A failed Configure or SetTimeouts closes the
// port again. The reader thread cuts the byte stream into lines (see
// LineAssembler) and hands each line on as soon as it is complete.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/gps/line_source.h"

namespace tarvo {

// The speed setting "Auto": the link hunts for the receiver's speed.
inline constexpr int kAutoSpeed = -1;
// The speeds tried for "Auto", in this order (bits per second).
inline constexpr std::array<int, 6> kHuntSpeeds = {4800, 9600, 19200, 38400, 57600, 115200};

// When a speed on trial counts as found: `sentences` sound sentences (a
// correct "*hh" checksum) within `window` of switching to it.
struct SpeedHuntRules {
  int sentences = 2;
  std::chrono::milliseconds window{1500};
};

// Ring of the last five delivered lines, 256 bytes each. A line handed on
// lives in the ring until five more lines have been delivered; since each
// hand-off waits for the receiver, the ring is never overrun. The replay of a
// recorded file fills the same ring.
class LineRing {
 public:
  static constexpr int kSlots = 5;
  static constexpr std::size_t kSlotSize = 256;

  // Copies `line` (cut to 255 characters) into the slot at nextLine, makes it
  // lastLine, advances nextLine and returns the stored text.
  std::string_view Store(std::string_view line);
  int lastLine() const { return lastLine_; }
  int nextLine() const { return nextLine_; }

 private:
  std::array<std::array<char, kSlotSize>, kSlots> buffers_{};
  int lastLine_ = -1;
  int nextLine_ = 0;
};

class SerialLink : public LineSource {
 public:
  SerialLink();
  ~SerialLink() override;
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  // Opens an existing tty device, read-only or read-write. False when it
  // cannot be opened (lastError() tells why).
  bool Open(const std::string& devicePath, bool writeAccess);

  // baudRate: 300 ... 115200 (and the other standard rates); dataBits 7 or 8;
  // parityCheck 0/1 (input parity checking); parity 0 none, 1 odd, 2 even,
  // 3 mark, 4 space; stopBits 0 one, 1 one and a half (not settable on Linux:
  // fails), 2 two. Raw mode, no flow control, DTR and RTS lowered.
  bool Configure(int baudRate, int dataBits, int parityCheck, int parity, int stopBits);

  // Instead of keeping the configured speed, the reader tries each of
  // `speeds` in turn, round and round from the first, until `rules` are met,
  // then keeps that speed. Until then only sound sentences are handed on:
  // what arrives at a wrong speed is noise. Call after Configure, before
  // Start. `speeds` must be standard rates (kHuntSpeeds are); false when the
  // first cannot be set (the port is then closed, like a failed Configure).
  bool HuntSpeed(std::span<const int> speeds, SpeedHuntRules rules = {});

  // Reads return at once with what has arrived (the reader waits in poll).
  bool SetTimeouts();

  // Writes the text one byte at a time; `betweenBytes`, when given, runs
  // before each byte (the GUI uses it to stay responsive). False at the first
  // failed write.
  bool WriteText(std::string_view text, const std::function<void()>& betweenBytes = {});

  // Texts the reader thread writes to the device when it starts, before it
  // reads (a receiver's start-up commands). Written whole, not byte by byte
  // on the caller's thread, so a slow or stuck port never holds up the
  // window; a Close ends the writing at once. Write errors are ignored.
  void SetStartupText(std::vector<std::string> texts) { startup_ = std::move(texts); }

  bool Start(LineCallback onLine, LostCallback onLost) override;
  // Also callable from the link's own callbacks (on the reader thread): the
  // reader then ends as soon as the callback returns, and the port is
  // released by the next Open, Close or the destructor. (The link itself must
  // not be destroyed from its callbacks.)
  void Close() override;
  // True from a successful Open until Close, and false once the reader found
  // the device gone.
  bool IsOpen() const override;
  // The configured speed, or while hunting the one on trial and then the one
  // found.
  LineSpeed lineSpeed() const override { return {speed_.load(), searching_.load()}; }

  // Lines the reader dropped since the last Start because they were longer
  // than LineAssembler::kMaxLine. Readable from any thread; final once Close
  // has returned.
  uint64_t droppedTooLong() const { return droppedTooLong_.load(std::memory_order_relaxed); }

  // errno of the last failed operation, 0 when none.
  int lastError() const { return lastError_; }
  const LineRing& ring() const { return ring_; }

 private:
  void ReaderLoop(std::stop_token stop);
  void WriteStartup(const std::stop_token& stop);
  void Release();  // closes the descriptors; the reader must have ended
  int SetSpeed(int baudRate);  // a standard rate, other settings kept; 0 or errno

  int fd_ = -1;
  int wakeFd_ = -1;  // eventfd in the reader's poll set; Close writes it
  int lastError_ = 0;
  LineRing ring_;
  std::vector<std::string> startup_;
  LineCallback onLine_;
  LostCallback onLost_;
  std::atomic<bool> lost_{false};  // set by the reader when the device went away
  std::atomic<bool> started_{false};  // reader_ is assigned; the reader may use it
  std::atomic<uint64_t> droppedTooLong_{0};
  std::atomic<int> speed_{0};
  std::atomic<bool> searching_{false};
  std::vector<int> huntSpeeds_;  // empty: the configured speed is kept
  SpeedHuntRules huntRules_;
  std::jthread reader_;
};

}  // namespace tarvo
