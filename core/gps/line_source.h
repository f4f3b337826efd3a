// A source of NMEA lines that delivers them from a thread of its own: a serial
// port today, a network feed (gpsd, NMEA over TCP or UDP) later. The
// connection controller sees only this interface.
#pragma once

#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

namespace tarvo {

class LineSource {
 public:
  // Called on the source's thread for every line ("$" first, no CR or LF, at
  // most 255 characters). It may block until the receiver has taken the line;
  // it must return promptly once `stop` is requested (Close does that), in
  // which case the line counts as not delivered.
  using LineCallback = std::function<void(std::string_view line, std::stop_token stop)>;
  // Called once, on the source's thread, when the source ends by itself (device
  // unplugged, hang-up, read error); never after Close. `reason` is a short
  // text for the user ("device removed", strerror text, ...).
  using LostCallback = std::function<void(const std::string& reason)>;
  // Sources that win their peer back by themselves (network feeds) do not end
  // when it goes away while this is set: they call it once per loss, on their
  // own thread, with a reason as for LostCallback, and keep trying.
  using InterruptedCallback = std::function<void(const std::string& reason)>;

  virtual ~LineSource() = default;

  // Starts the reader thread. False when it cannot be started.
  virtual bool Start(LineCallback onLine, LostCallback onLost) = 0;
  // Stops the reader and releases the source. Returns only when no further
  // callback can run. Safe to call when nothing is open, and from inside the
  // line callback's consumer (the GUI thread) while the reader waits on it.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Set before Start. Sources that cannot win their peer back ignore it.
  virtual void SetInterruptedCallback(InterruptedCallback /*onInterrupted*/) {}

  // The speed of the source's line in bits per second; 0 for a source without
  // one (a network feed). While `searching`, the source is still trying
  // speeds and `bitsPerSecond` is the one on trial. Readable from any thread.
  struct LineSpeed {
    int bitsPerSecond = 0;
    bool searching = false;
  };
  virtual LineSpeed lineSpeed() const { return {}; }
};

}  // namespace tarvo
