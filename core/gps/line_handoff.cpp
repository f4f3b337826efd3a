#include "core/gps/line_handoff.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace tarvo {

// Shared between the handoff, the reader thread and the posted tasks, so that
// a task still queued when the handoff is gone finds a valid (dead) state.
struct LineHandoff::State {
  std::mutex mutex;
  std::condition_variable cv;
  std::shared_ptr<const Consume> consume;
  bool alive = true;
  uint64_t nextSeq = 0;
  uint64_t waiting = 0;  // line the reader waits for; 0 = none (a task for any other is a no-op)
  uint64_t running = 0;  // line whose Consume runs now; 0 = none
  uint64_t done = 0;     // last line whose Consume has finished
  std::thread::id runningThread;
  uint64_t generation = 0;  // advanced by Cancel; loss tasks of older generations do nothing
};

namespace {

// The stop request of one Deliver: who asked (the thread that called Close).
struct StopSeen {
  bool stopped = false;
  std::thread::id by;
};

}  // namespace

LineHandoff::LineHandoff(Post post, Consume consume)
    : state_(std::make_shared<State>()), post_(std::move(post)) {
  state_->consume = std::make_shared<const Consume>(std::move(consume));
}

LineHandoff::~LineHandoff() {
  std::lock_guard lock(state_->mutex);
  state_->alive = false;
  state_->waiting = 0;
  state_->consume.reset();
}

bool LineHandoff::Deliver(std::string_view line, std::stop_token stop) {
  const std::shared_ptr<State> st = state_;
  // Registered before the task is posted, so that a Close from inside Consume
  // runs it on the consumer thread, which tells the two cases below apart.
  StopSeen seen;
  std::stop_callback onStop(stop, [&st, &seen] {
    std::lock_guard lock(st->mutex);
    seen.stopped = true;
    seen.by = std::this_thread::get_id();
    st->cv.notify_all();
  });
  uint64_t seq = 0;
  {
    std::lock_guard lock(st->mutex);
    if (!st->alive || seen.stopped) return false;
    seq = ++st->nextSeq;
    st->waiting = seq;
  }

  post_([st, seq, text = std::string(line)] {
    std::unique_lock lock(st->mutex);
    if (!st->alive || st->waiting != seq) return;  // cancelled, or the handoff is gone
    st->running = seq;
    st->runningThread = std::this_thread::get_id();
    std::shared_ptr<const Consume> consume = st->consume;
    lock.unlock();
    if (consume && *consume) (*consume)(text);
    lock.lock();
    st->running = 0;
    st->done = seq;
    st->cv.notify_all();
  });

  std::unique_lock lock(st->mutex);
  st->cv.wait(lock, [&] { return st->done == seq || seen.stopped; });
  if (st->done != seq && st->running == seq && st->runningThread != seen.by) {
    // Consume is taking this line right now and the stop came from another
    // thread than the consumer: let it finish, so that Close returns after it.
    // (When the consumer itself asked, it is inside Consume: waiting would
    // deadlock, and it is its own business.)
    st->cv.wait(lock, [&] { return st->running != seq; });
  }
  const bool delivered = st->done == seq;
  if (st->waiting == seq) st->waiting = 0;
  return delivered;
}

LineSource::LineCallback LineHandoff::AsCallback() {
  return [this](std::string_view line, std::stop_token stop) { Deliver(line, std::move(stop)); };
}

LineSource::LostCallback LineHandoff::AsLostCallback(ConsumeLost consumeLost) {
  auto handler = std::make_shared<const ConsumeLost>(std::move(consumeLost));
  return [this, handler](const std::string& reason) {
    const std::shared_ptr<State> st = state_;
    uint64_t generation = 0;
    {
      std::lock_guard lock(st->mutex);
      if (!st->alive) return;
      generation = st->generation;
    }
    post_([st, generation, handler, reason] {
      {
        std::lock_guard lock(st->mutex);
        if (!st->alive || st->generation != generation) return;
      }
      if (*handler) (*handler)(reason);
    });
  };
}

void LineHandoff::Cancel() {
  std::lock_guard lock(state_->mutex);
  ++state_->generation;
}

}  // namespace tarvo
