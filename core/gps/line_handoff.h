// Hands lines from a LineSource's reader thread to a consumer thread's event
// loop (the GUI thread), one at a time, and waits until the consumer took each
// line. Knows nothing of the event loop itself: `Post` queues a task there
// (the GUI binds it to a queued QMetaObject::invokeMethod).
//
// Guarantees:
//  - Consume runs on the consumer thread only, for one line at a time, in the
//    order the lines came.
//  - The text Consume sees is a copy owned by the posted task, valid for the
//    whole call, whatever happens to the source meanwhile.
//  - Once the source's Close returned, no Consume runs for a line of that
//    source: a Deliver cancelled by the stop request turns its posted task
//    into a no-op. Close may be called from inside Consume (re-entrantly), or
//    while a posted task still waits in the queue, without deadlock. When
//    Close is called from a third thread while Consume runs, the cancelled
//    Deliver waits for that Consume to end, so Close returns after it.
//  - Posted tasks may run after the LineHandoff is destroyed; they then do
//    nothing.
#pragma once

#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>

#include "core/gps/line_source.h"

namespace tarvo {

class LineHandoff {
 public:
  using Post = std::function<void(std::function<void()>)>;     // queues a task on the consumer thread
  using Consume = std::function<void(std::string_view line)>;  // runs on the consumer thread
  using ConsumeLost = std::function<void(const std::string& reason)>;

  LineHandoff(Post post, Consume consume);
  ~LineHandoff();
  LineHandoff(const LineHandoff&) = delete;
  LineHandoff& operator=(const LineHandoff&) = delete;

  // Reader thread: posts the line and blocks until Consume ran on it (true)
  // or `stop` was requested (false; the posted task then does nothing when it
  // runs later).
  bool Deliver(std::string_view line, std::stop_token stop);

  // [this](line, stop) { Deliver(line, stop); }
  LineSource::LineCallback AsCallback();

  // A lost callback that posts the loss to the consumer thread. The posted
  // task does nothing if Cancel() ran after it was posted.
  LineSource::LostCallback AsLostCallback(ConsumeLost consumeLost);

  // Turns every task posted so far (lines and losses) into a no-op. The
  // controller calls it after closing the source, so that a loss reported
  // just before the Close does not reach a later connection.
  void Cancel();

 private:
  struct State;
  std::shared_ptr<State> state_;
  Post post_;
};

}  // namespace tarvo
