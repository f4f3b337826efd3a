// A consumer thread running posted tasks in order, as the GUI's event loop
// does; used by the hand-off tests and the serial latency benchmark.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <stop_token>
#include <thread>

#include "core/gps/line_handoff.h"

namespace tarvo::test {

class TaskQueue {
 public:
  TaskQueue() : thread_([this](std::stop_token stop) { Run(stop); }) {}
  ~TaskQueue() {
    thread_.request_stop();
    cv_.notify_all();
  }

  void Post(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    cv_.notify_all();
  }
  std::size_t pending() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
  }
  std::thread::id id() const { return thread_.get_id(); }
  // Runs `task` on the queue and waits for it.
  void RunAndWait(std::function<void()> task) {
    std::promise<void> done;
    Post([&] {
      task();
      done.set_value();
    });
    done.get_future().wait();
  }
  LineHandoff::Post Poster() {
    return [this](std::function<void()> task) { Post(std::move(task)); };
  }

 private:
  void Run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
      cv_.wait(lock, stop, [&] { return !tasks_.empty(); });
      while (!tasks_.empty()) {
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task();
        lock.lock();
      }
    }
  }

  mutable std::mutex mutex_;
  std::condition_variable_any cv_;
  std::deque<std::function<void()>> tasks_;
  std::jthread thread_;
};

}  // namespace tarvo::test
