#include "core/service/location_service_client.h"

#include <curl/curl.h>

#include <utility>

namespace tarvo {

namespace {

constexpr int kMaxRedirects = 3;
constexpr int kPollMs = 200;  // the worker looks at the stop flag at least this often

std::once_flag curlInitOnce;

struct Transfer {
  std::string* body;
  const std::atomic<bool>* stopping;
  LocationServiceObserver* observer;
  bool tooLarge = false;
  curl_off_t lastReceived = -1, lastTotal = -1;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (t->body->size() + n > LocationServiceClient::kMaxReplyBytes) {
    t->tooLarge = true;
    return 0;  // ends the transfer with CURLE_WRITE_ERROR
  }
  t->body->append(data, n);
  return n;
}

int Progress(void* user, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  if (t->stopping->load()) return 1;  // CURLE_ABORTED_BY_CALLBACK
  if (received != t->lastReceived || total != t->lastTotal) {
    t->lastReceived = received;
    t->lastTotal = total;
    t->observer->DownloadProgress(received, received > total ? received : total);
  }
  return 0;
}

}  // namespace

LocationServiceClient::LocationServiceClient(LocationServiceObserver& observer, std::string resultsPagePath)
    : observer_(observer), resultsPagePath_(std::move(resultsPagePath)) {
  std::call_once(curlInitOnce, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

LocationServiceClient::~LocationServiceClient() { StopWorker(); }

bool LocationServiceClient::StartWorker() {
  if (worker_.joinable()) return true;
  stopping_ = false;
  try {
    worker_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void LocationServiceClient::StopWorker() {
  if (!worker_.joinable()) return;
  stopping_ = true;
  {
    std::lock_guard lock(multiMutex_);
    if (multi_) curl_multi_wakeup(static_cast<CURLM*>(multi_));
  }
  {
    std::lock_guard lock(mutex_);
    wake_.notify_all();
  }
  worker_.join();
  pending_ = false;
  jobReady_ = false;
}

void LocationServiceClient::SetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total) {
  connectTimeout_ = connect;
  totalTimeout_ = total;
}

bool LocationServiceClient::Submit(Job job) {
  if (!worker_.joinable() || pending_) return false;
  {
    std::lock_guard lock(mutex_);
    job_ = std::move(job);
    jobReady_ = true;
    pending_ = true;
  }
  wake_.notify_all();
  return true;
}

bool LocationServiceClient::SubmitUpload(const ServiceAccount& account, double latitude, double longitude) {
  if (!worker_.joinable() || pending_) return false;
  Job job;
  job.kind = Kind::Upload;
  job.url = UploadRequestUrl(account, latitude, longitude);
  job.position = {latitude, longitude};
  job.siteName = account.baseUrl;
  offset_ = 0;
  position_ = job.position;
  return Submit(std::move(job));
}

bool LocationServiceClient::SubmitSearch(const ServiceAccount& account, int offset, double latitude,
                                         double longitude, const ResultsPageStyle& style) {
  if (!worker_.joinable() || pending_) return false;
  if (offset < 0) offset = 0;
  const LatLon position = offset == 0 ? LatLon{latitude, longitude} : position_;
  Job job;
  job.kind = Kind::Search;
  job.url = SearchRequestUrl(account, offset, position.latitude, position.longitude);
  job.offset = offset;
  job.position = position;
  job.style = style;
  if (job.style.siteUrl.empty()) job.style.siteUrl = account.baseUrl;
  if (job.style.siteName.empty()) job.style.siteName = job.style.siteUrl;
  offset_ = offset;
  position_ = position;
  return Submit(std::move(job));
}

void LocationServiceClient::Run() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return jobReady_ || stopping_; });
      if (stopping_) return;
      job = std::move(job_);
      jobReady_ = false;
    }
    const Download download = Fetch(job.url);
    if (stopping_) return;
    Finish(job, download);
    pending_ = false;
  }
}

LocationServiceClient::Download LocationServiceClient::Fetch(const std::string& url) {
  Download d;
  CURL* easy = curl_easy_init();
  CURLM* multi = curl_multi_init();
  if (!easy || !multi) {
    curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
    d.error = "out of memory";
    return d;
  }
  char errorText[CURL_ERROR_SIZE] = {};
  Transfer transfer{&d.body, &stopping_, &observer_};
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects));
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectTimeout_.count()));
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(totalTimeout_.count()));
  curl_easy_setopt(easy, CURLOPT_USERAGENT, "Tarvo");
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, Progress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
  curl_multi_add_handle(multi, easy);
  {
    std::lock_guard lock(multiMutex_);
    multi_ = multi;
  }

  CURLcode result = CURLE_OK;
  bool finished = false;
  while (!finished && !stopping_) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      break;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
      if (message->msg == CURLMSG_DONE) {
        result = message->data.result;
        finished = true;
      }
    }
    if (!finished && running == 0) {
      result = CURLE_RECV_ERROR;
      finished = true;
    }
    if (!finished) curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
  }
  {
    std::lock_guard lock(multiMutex_);
    multi_ = nullptr;
  }
  if (stopping_ && !finished) result = CURLE_ABORTED_BY_CALLBACK;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &d.status);
  curl_multi_remove_handle(multi, easy);
  curl_easy_cleanup(easy);
  curl_multi_cleanup(multi);

  d.ok = result == CURLE_OK;
  if (!d.ok) {
    d.error = transfer.tooLarge ? "the reply is too large" : errorText[0] ? errorText : curl_easy_strerror(result);
  }
  return d;
}

void LocationServiceClient::Finish(const Job& job, const Download& download) {
  if (job.kind == Kind::Upload) {
    if (!download.ok) {
      observer_.ServiceMessageReady(ServiceMessage::UploadUnreachable, download.error);
      return;
    }
    switch (ReadUploadReply(download.body, download.status)) {
      case ReplyVerdict::Granted:
        observer_.ServiceMessageReady(ServiceMessage::UploadDone, job.siteName);
        return;
      case ReplyVerdict::Denied:
        observer_.ServiceMessageReady(ServiceMessage::UploadAccessDenied, {});
        return;
      case ReplyVerdict::Other:
      case ReplyVerdict::Empty:
        observer_.ServiceMessageReady(ServiceMessage::UploadError, {});
        return;
    }
    return;
  }

  if (!download.ok) {
    observer_.ServiceMessageReady(ServiceMessage::SearchUnreachable, download.error);
    return;
  }
  const SearchReply reply = ReadSearchReply(download.body, download.status);
  switch (reply.verdict) {
    case ReplyVerdict::Denied:
      observer_.ServiceMessageReady(ServiceMessage::SearchAccessDenied, {});
      return;
    case ReplyVerdict::Other:
    case ReplyVerdict::Empty:
      observer_.ServiceMessageReady(ServiceMessage::SearchError, {});
      return;
    case ReplyVerdict::Granted:
      break;
  }
  const std::string html =
      ResultsPageHtml(job.offset, job.position.latitude, job.position.longitude, reply.results, job.style);
  std::string error;
  if (!WriteFileReplacing(resultsPagePath_, html, error)) {
    observer_.ServiceMessageReady(ServiceMessage::SearchPageNotWritten, error);
    return;
  }
  observer_.ResultsPageReady(resultsPagePath_);
}

}  // namespace tarvo
