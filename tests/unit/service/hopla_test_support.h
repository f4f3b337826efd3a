// Test helpers of the Hopla client and server tests: a temporary folder, the
// real tarvo-hopla-server run as a process on a free port, plain GET requests
// and an observer that collects the client's reports.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/service/location_service_client.h"

namespace tarvo::test {

inline const std::string kServerProgram = TARVO_BINARY_DIR "/server/tarvo-hopla-server";

// A fresh folder under the system's temporary folder, removed at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvo-hopla-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs `tarvo-hopla-server --db db --add-user name` with password on its
// standard input; its exit status.
inline int AddUser(const std::filesystem::path& db, const std::string& name, const std::string& passwordLine) {
  const std::string command = "'" + kServerProgram + "' --db '" + db.string() + "' --add-user '" + name + "' >/dev/null";
  FILE* pipe = ::popen(command.c_str(), "w");
  if (!pipe) return -1;
  std::fputs(passwordLine.c_str(), pipe);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The server as a child process on 127.0.0.1 and a port of the system's
// choosing; stopped (SIGTERM) at the end.
class ServerProcess {
 public:
  // extra: further arguments, e.g. {"--tls-cert", cert, "--tls-key", key}.
  explicit ServerProcess(const std::filesystem::path& db, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {kServerProgram, "--db", db.string(), "--listen", "127.0.0.1:0"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      // A test killed midway (a timeout) takes its server with it.
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    const size_t colon = line.rfind(':');
    if (line.rfind("listening on http", 0) == 0 && colon != std::string::npos) {
      port_ = std::atoi(line.c_str() + colon + 1);
    }
  }
  ~ServerProcess() { Stop(SIGTERM); }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int port() const { return port_; }
  std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/hopla/"; }
  // Ends the server with the signal and waits for it; its wait status. A
  // server still there after 10 s is killed, and -1 returned.
  int Stop(int signal) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, signal);
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        status = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

struct HttpReply {
  int status = 0;  // 0: no reply
  std::string body;
};

// GET path ("/hopla/search?...") from 127.0.0.1:port, sent as it is.
inline HttpReply Get(int port, const std::string& path) {
  httplib::Client client("127.0.0.1", port);
  client.set_url_encode(false);
  client.set_connection_timeout(15, 0);
  client.set_read_timeout(30, 0);
  const httplib::Result result = client.Get(path.c_str());
  if (!result) return {};
  return {result->status, result->body};
}

inline std::string FirstLine(const std::string& body) { return body.substr(0, body.find('\n')); }

// Collects the client's reports; Wait blocks until one more came.
class RecordingObserver : public LocationServiceObserver {
 public:
  struct Report {
    bool page = false;  // a results page; else a message
    ServiceMessage message = ServiceMessage::SearchError;
    std::string detail;
  };
  void ServiceMessageReady(ServiceMessage message, const std::string& detail) override {
    Add({false, message, detail});
  }
  void ResultsPageReady(const std::string&) override { Add({true, {}, {}}); }
  void DownloadProgress(int64_t received, int64_t total) override {
    std::lock_guard lock(mutex_);
    progressSeen_ = progressSeen_ || (received > 0 && total >= received);
  }

  std::optional<Report> Wait(std::chrono::milliseconds timeout = std::chrono::seconds(40)) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [&] { return taken_ < reports_.size(); })) return std::nullopt;
    return reports_[taken_++];
  }
  size_t count() {
    std::lock_guard lock(mutex_);
    return reports_.size();
  }
  bool progressSeen() {
    std::lock_guard lock(mutex_);
    return progressSeen_;
  }

 private:
  void Add(Report r) {
    std::lock_guard lock(mutex_);
    reports_.push_back(std::move(r));
    cv_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Report> reports_;
  size_t taken_ = 0;
  bool progressSeen_ = false;
};

// Waits until the client is idle again (its report is delivered before).
inline bool WaitIdle(const LocationServiceClient& client, std::chrono::milliseconds timeout = std::chrono::seconds(40)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (client.IsBusy()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace tarvo::test
