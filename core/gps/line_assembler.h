// Cuts a receiver's byte stream into NMEA lines.
//
// A "$" opens a line and is its first character; CR or LF closes it; every
// other byte of an open line, a further "$" included, is appended. Bytes
// outside a line are dropped, so a CR LF pair closes the line at the CR and
// the LF is discarded. A line longer than kMaxLine characters is dropped whole
// (it is counted, and the bytes up to its line end are skipped).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvo {

class LineAssembler {
 public:
  static constexpr std::size_t kMaxLine = 255;

  // Feeds bytes; calls onLine(std::string_view) for every completed line. The
  // view is valid only during the call.
  template <class OnLine>
  void Feed(std::string_view bytes, OnLine&& onLine) {
    for (char c : bytes) {
      if (state_ == State::Idle) {
        if (c == '$') {
          buffer_[0] = '$';
          length_ = 1;
          state_ = State::InLine;
        }
      } else if (c == '\r' || c == '\n') {
        if (state_ == State::InLine) {
          onLine(std::string_view(buffer_, length_));
        }
        state_ = State::Idle;
        length_ = 0;
      } else if (state_ == State::InLine) {
        if (length_ == kMaxLine) {
          state_ = State::Overlong;
          ++droppedTooLong_;
        } else {
          buffer_[length_++] = c;
        }
      }
    }
  }

  // Forgets a partly received line (after a reconnect, for example).
  void Reset() {
    state_ = State::Idle;
    length_ = 0;
  }

  // Number of lines dropped because they were longer than kMaxLine.
  uint64_t droppedTooLong() const { return droppedTooLong_; }

 private:
  enum class State : uint8_t { Idle, InLine, Overlong };
  State state_ = State::Idle;
  std::size_t length_ = 0;
  uint64_t droppedTooLong_ = 0;
  char buffer_[kMaxLine + 1] = {};
};

}  // namespace tarvo
