// What a gpsd sends once it was asked for NMEA (?WATCH={"enable":true,
// "nmea":true}): JSON objects, one a line ({"class":"VERSION",...},
// {"class":"DEVICES",...}, {"class":"WATCH",...}, {"class":"ERROR",...}),
// mixed with the receiver's own NMEA lines as gpsd relays them.
//
// GpsdStream splits the stream at each LF: a line that starts with "{" is a
// JSON object and is kept whole (up to kMaxObject bytes); every other line is
// passed on byte for byte, LF included, as it arrives, so the caller can feed
// it to the same LineAssembler as a serial port's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvo {

// The members of a gpsd object that a client of its NMEA needs: "class" and,
// for an ERROR, "message"; for a VERSION, "release". Texts are unescaped;
// characters outside printable ASCII read as "?".
struct GpsdObject {
  std::string kind;     // "class"
  std::string message;  // ERROR: what gpsd objects to
  std::string release;  // VERSION: gpsd's version
};

// Reads one JSON object (one line, without its line end). Members of any
// kind are skipped when they are not the ones above; nesting is followed to
// kMaxDepth levels. nullopt when the text is not one well-formed object
// (trailing blanks allowed), or has no "class" string member at its top level.
std::optional<GpsdObject> ParseGpsdObject(std::string_view line);

class GpsdStream {
 public:
  // gpsd's largest objects (SKY, DEVICES) stay far below this.
  static constexpr std::size_t kMaxObject = 64 * 1024;
  static constexpr int kMaxDepth = 32;

  // Calls onBytes(std::string_view) with the bytes of the lines that are not
  // objects and onObject(std::string_view) with each whole object line (CR
  // and LF taken off). An object longer than kMaxObject is dropped and counted.
  template <class OnBytes, class OnObject>
  void Feed(std::string_view bytes, OnBytes&& onBytes, OnObject&& onObject) {
    while (!bytes.empty()) {
      if (state_ == State::LineStart) {
        state_ = bytes.front() == '{' ? State::Object : State::Other;
        object_.clear();
      }
      const std::size_t lf = bytes.find('\n');
      const std::size_t take = lf == std::string_view::npos ? bytes.size() : lf + 1;
      const std::string_view part = bytes.substr(0, take);
      bytes.remove_prefix(take);
      const bool ends = lf != std::string_view::npos;
      switch (state_) {
        case State::Other:
          onBytes(part);
          break;
        case State::Object:
          if (object_.size() + part.size() > kMaxObject + 2) {  // room for the CR LF
            state_ = State::Overlong;
            ++droppedObjects_;
            object_.clear();
            break;
          }
          object_.append(part);
          if (ends) {
            std::string_view whole = object_;
            while (!whole.empty() && (whole.back() == '\n' || whole.back() == '\r')) whole.remove_suffix(1);
            onObject(whole);
          }
          break;
        case State::Overlong:
        case State::LineStart:
          break;
      }
      if (ends) state_ = State::LineStart;
    }
  }

  // Forgets a partly received line (after a reconnect).
  void Reset() {
    state_ = State::LineStart;
    object_.clear();
  }

  uint64_t droppedObjects() const { return droppedObjects_; }

 private:
  enum class State : uint8_t { LineStart, Object, Other, Overlong };
  State state_ = State::LineStart;
  std::string object_;
  uint64_t droppedObjects_ = 0;
};

}  // namespace tarvo
