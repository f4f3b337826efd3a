// The Hopla location service client: one request at a time (upload the
// position or search near one) on a worker thread of its own, downloaded
// with libcurl, its reply read and reported to an observer; a search writes
// the results page first.
//
// Threads: Submit*, IsBusy, StopWorker and the accessors are called from one
// thread (the window's). The observer is called on the worker thread, one
// report per finished request, before the client becomes idle again; it must
// not wait for the thread that calls StopWorker (hand the report on with a
// queued call instead), or StopWorker would wait for it in turn.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "core/geo/coordinates.h"
#include "core/service/results_page.h"
#include "core/service/service_text.h"

namespace tarvo {

class LocationServiceObserver {
 public:
  virtual ~LocationServiceObserver() = default;
  // A message page to show: the text is FormatServiceMessage(message, detail).
  virtual void ServiceMessageReady(ServiceMessage message, const std::string& detail) = 0;
  // The results page at path is complete: show it.
  virtual void ResultsPageReady(const std::string& path) = 0;
  // Bytes received so far and the larger of that and the announced total.
  virtual void DownloadProgress(int64_t received, int64_t total) {
    (void)received;
    (void)total;
  }
};

class LocationServiceClient {
 public:
  static constexpr std::chrono::milliseconds kConnectTimeout{10000};
  static constexpr std::chrono::milliseconds kTotalTimeout{30000};
  static constexpr size_t kMaxReplyBytes = 256 * 1024;

  // resultsPagePath: where the results page goes (the program's folder +
  // "hopla.html").
  LocationServiceClient(LocationServiceObserver& observer, std::string resultsPagePath);
  ~LocationServiceClient();  // StopWorker()
  LocationServiceClient(const LocationServiceClient&) = delete;
  LocationServiceClient& operator=(const LocationServiceClient&) = delete;

  // Starts the worker; false when the thread cannot be started.
  bool StartWorker();
  // Ends the worker: a download in progress is aborted (within a fraction of
  // a second), a report in progress is finished; then the thread is joined.
  void StopWorker();
  bool IsRunning() const { return worker_.joinable(); }

  // A request is queued or running.
  bool IsBusy() const { return pending_.load(); }

  // Queue an upload of the position (degrees). False, doing nothing, when
  // busy or not running.
  bool SubmitUpload(const ServiceAccount& account, double latitude, double longitude);
  // Queue a search from result offset (0, 10, 20, ...). An offset of 0 makes
  // (latitude, longitude) the request position; another offset keeps the
  // previous request position (paging through one search). False when busy
  // or not running.
  bool SubmitSearch(const ServiceAccount& account, int offset, double latitude, double longitude,
                    const ResultsPageStyle& style);

  // The last request's result offset and position (for the gps: prev and
  // next links).
  int ResultOffset() const { return offset_; }
  LatLon RequestPosition() const { return position_; }

  // Shorter timeouts, for tests of slow services.
  void SetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total);

 private:
  enum class Kind { Upload, Search };
  struct Job {
    Kind kind = Kind::Upload;
    std::string url;
    int offset = 0;
    LatLon position;
    ResultsPageStyle style;
    std::string siteName;
  };
  struct Download {
    bool ok = false;
    long status = 0;
    std::string body;
    std::string error;
  };

  void Run();
  Download Fetch(const std::string& url);
  void Finish(const Job& job, const Download& download);
  bool Submit(Job job);

  LocationServiceObserver& observer_;
  const std::string resultsPagePath_;
  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable wake_;
  Job job_;                          // guarded by mutex_
  bool jobReady_ = false;            // guarded by mutex_
  std::atomic<bool> pending_{false};
  std::atomic<bool> stopping_{false};
  void* multi_ = nullptr;            // the CURLM of the worker, for waking it
  std::mutex multiMutex_;
  int offset_ = 0;
  LatLon position_;
  std::chrono::milliseconds connectTimeout_ = kConnectTimeout;
  std::chrono::milliseconds totalTimeout_ = kTotalTimeout;
};

}  // namespace tarvo
