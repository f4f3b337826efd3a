// tarvo-hopla-server: the Hopla location service over HTTP or HTTPS.
//   tarvo-hopla-server --db FILE --listen HOST:PORT [--tls-cert FILE --tls-key FILE]
//   tarvo-hopla-server --db FILE --add-user NAME     (password: first line of standard input)
// The protocol is described in docs/hopla-protocol.md. Requests are never
// logged: their queries carry passwords.
#include <httplib.h>
#include <sodium.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "server/query.h"
#include "server/service.h"
#include "server/store.h"

namespace {

constexpr int kWorkerThreads = 16;
constexpr time_t kReadTimeoutSeconds = 5;

int Usage() {
  std::fprintf(stderr,
               "usage: tarvo-hopla-server --db FILE [--listen HOST:PORT] [--tls-cert FILE --tls-key FILE]\n"
               "       tarvo-hopla-server --db FILE --add-user NAME   (password: first line of standard input)\n");
  return 2;
}

// cpp-httplib as Debian builds it listens with a backlog of 5: a burst of
// new connections then overflows the queue and waits for the client's SYN
// retry, a whole second. Linux takes a second listen() on the same socket as
// a new backlog, so find the listening socket of our port and widen it.
void WidenListenBacklog(int port) {
  for (int fd = 3; fd < 1024; ++fd) {
    int listening = 0;
    socklen_t length = sizeof listening;
    if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) != 0 || !listening) continue;
    sockaddr_storage address{};
    socklen_t addressLength = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &addressLength) != 0) continue;
    int boundPort = -1;
    if (address.ss_family == AF_INET) boundPort = ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    if (address.ss_family == AF_INET6) boundPort = ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    if (boundPort == port) ::listen(fd, SOMAXCONN);
  }
}

int AddUser(tarvo::hopla::Store& store, const std::string& name) {
  if (name.empty() || name.size() > tarvo::hopla::kMaxUserBytes || !tarvo::hopla::IsCleanFieldText(name)) {
    std::fprintf(stderr, "tarvo-hopla-server: a user name is 1 to %zu bytes of text without control characters or |\n",
                 tarvo::hopla::kMaxUserBytes);
    return 1;
  }
  std::string password;
  std::getline(std::cin, password);
  if (!password.empty() && password.back() == '\r') password.pop_back();
  if (password.empty() || password.size() > tarvo::hopla::kMaxPasswordBytes) {
    std::fprintf(stderr, "tarvo-hopla-server: the password (first line of standard input) must be 1 to %zu bytes\n",
                 tarvo::hopla::kMaxPasswordBytes);
    return 1;
  }
  const std::string hash = tarvo::hopla::HoplaService::HashPassword(password);
  sodium_memzero(password.data(), password.size());
  if (hash.empty() || !store.SetPasswordHash(name, hash)) {
    std::fprintf(stderr, "tarvo-hopla-server: cannot store the user\n");
    return 1;
  }
  std::printf("user %s added\n", name.c_str());
  return 0;
}

void Serve(httplib::Server& server, tarvo::hopla::HoplaService& service) {
  server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
  server.set_read_timeout(kReadTimeoutSeconds, 0);
  server.set_write_timeout(kReadTimeoutSeconds, 0);
  server.set_payload_max_length(64 * 1024);
  auto text = [](httplib::Response& res, const tarvo::hopla::Reply& reply) {
    res.status = reply.status;
    res.set_content(reply.body, "text/plain; charset=utf-8");
  };
  auto rawQuery = [](const httplib::Request& req) {
    const size_t q = req.target.find('?');
    return q == std::string::npos ? std::string() : req.target.substr(q + 1);
  };
  server.Get("/hopla/(upload|search|link)$", [&](const httplib::Request& req, httplib::Response& res) {
    text(res, service.Handle(req.matches[1].str(), rawQuery(req), req.remote_addr));
  });
  // The index page's form sends blanks as "+" (HTML form encoding).
  server.Get("/hopla/linkform", [&](const httplib::Request& req, httplib::Response& res) {
    std::string query;
    for (char c : rawQuery(req)) query += c == '+' ? std::string("%20") : std::string(1, c);
    text(res, service.Handle("link", query, req.remote_addr));
  });
  server.Get("/hopla", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/hopla/"); });
  server.Get("/hopla/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(tarvo::hopla::HoplaService::IndexPage(), "text/html; charset=utf-8");
  });
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    const std::string line = res.status == 404   ? "error: unknown request"
                             : res.status == 414 ? "error: request too long"
                                                 : "error: bad request";
    res.set_content(line + "\n", "text/plain; charset=utf-8");
  });
}

}  // namespace

int main(int argc, char** argv) {
  std::string db, listen = "127.0.0.1:8642", cert, key, addUser;
  bool adding = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    bool ok = true;
    if (arg == "--db") {
      ok = value(db);
    } else if (arg == "--listen") {
      ok = value(listen);
    } else if (arg == "--tls-cert") {
      ok = value(cert);
    } else if (arg == "--tls-key") {
      ok = value(key);
    } else if (arg == "--add-user") {
      ok = value(addUser);
      adding = true;
    } else {
      ok = false;
    }
    if (!ok) return Usage();
  }
  if (db.empty() || cert.empty() != key.empty()) return Usage();
  // The database holds the password hashes: only its owner may read it (and
  // its -wal and -shm files).
  ::umask(077);
  if (sodium_init() < 0) {
    std::fprintf(stderr, "tarvo-hopla-server: libsodium cannot start\n");
    return 1;
  }
  std::string error;
  const std::unique_ptr<tarvo::hopla::Store> store = tarvo::hopla::Store::Open(db, error);
  if (!store) {
    std::fprintf(stderr, "tarvo-hopla-server: %s\n", error.c_str());
    return 1;
  }
  if (adding) return AddUser(*store, addUser);

  const size_t colon = listen.rfind(':');
  int port = -1;
  if (colon != std::string::npos && colon + 1 < listen.size() && listen.size() - colon <= 6 &&
      listen.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
    port = std::stoi(listen.substr(colon + 1));
  }
  if (port < 0 || port > 65535 || colon == 0) {
    std::fprintf(stderr, "tarvo-hopla-server: --listen wants HOST:PORT, e.g. 127.0.0.1:8642\n");
    return 2;
  }
  const std::string host = listen.substr(0, colon);

  // SIGINT and SIGTERM end the server from a thread of their own.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<httplib::Server> server;
  if (cert.empty()) {
    server = std::make_unique<httplib::Server>();
  } else {
    auto tls = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
    if (!tls->is_valid()) {
      std::fprintf(stderr, "tarvo-hopla-server: cannot use the TLS certificate %s and key %s\n", cert.c_str(),
                   key.c_str());
      return 1;
    }
    server = std::move(tls);
  }
  tarvo::hopla::HoplaService service(*store);
  Serve(*server, service);
  const int bound = port == 0 ? server->bind_to_any_port(host) : (server->bind_to_port(host, port) ? port : -1);
  if (bound <= 0) {
    std::fprintf(stderr, "tarvo-hopla-server: cannot listen on %s\n", listen.c_str());
    return 1;
  }
  WidenListenBacklog(bound);
  std::printf("listening on %s://%s:%d/hopla/\n", cert.empty() ? "http" : "https", host.c_str(), bound);
  std::fflush(stdout);

  // stop() does nothing until listen_after_bind has begun, so a signal that
  // comes right after the line above is repeated until the server has ended.
  std::atomic<bool> ended{false};
  std::thread stopper([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    while (!ended) {
      server->stop();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  const bool ok = server->listen_after_bind();
  ended = true;
  pthread_kill(stopper.native_handle(), SIGTERM);  // wakes the thread if no signal came
  stopper.join();
  return ok ? 0 : 1;
}
