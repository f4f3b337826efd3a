// The Hopla requests, from a raw query to a reply: checks, the login with its
// failed-login limiter, and the database work. No network code: the HTTP
// front end (main.cpp) hands each request to Handle, from any thread.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <semaphore>
#include <string>
#include <string_view>

#include "server/store.h"

namespace tarvo::hopla {

struct Reply {
  int status = 200;  // HTTP status
  std::string body;  // text/plain, UTF-8
};

// Failed logins per (user, client address): after kFreeFailures failures the
// pair waits 1 s, doubling with each further failure up to kMaxWait, before
// its next attempt; a success clears the count; a count left alone for
// kForget is dropped. Thread-safe.
class LoginLimiter {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kFreeFailures = 5;
  static constexpr std::chrono::seconds kMaxWait{60};
  static constexpr std::chrono::minutes kForget{15};
  static constexpr size_t kMaxEntries = 100000;

  // Seconds the pair must still wait (0: it may try now).
  int WaitSeconds(const std::string& key, Clock::time_point now);
  void Failed(const std::string& key, Clock::time_point now);
  void Succeeded(const std::string& key);

 private:
  struct Entry {
    int failures = 0;
    Clock::time_point last;
    Clock::time_point allowedAt;
  };
  void Prune(Clock::time_point now);
  std::mutex mutex_;
  std::map<std::string, Entry> entries_;
};

class HoplaService {
 public:
  explicit HoplaService(Store& store);

  // name: "upload", "search" or "link"; rawQuery: the query as received
  // (without "?"); clientAddress: for the failed-login limiter.
  Reply Handle(std::string_view name, std::string_view rawQuery, const std::string& clientAddress);

  // A salted Argon2id hash string of password (libsodium crypto_pwhash_str);
  // empty when hashing failed (out of memory).
  static std::string HashPassword(const std::string& password);
  // The page at the base address: a form for registering a link.
  static std::string IndexPage();

 private:
  enum class Login { Granted, Denied, Limited, Failed };
  Login CheckLogin(const std::string& user, const std::string& password, const std::string& clientAddress,
                   int& waitSeconds);
  bool VerifySlow(const std::string& hash, const std::string& password);

  Store& store_;
  LoginLimiter limiter_;
  // Argon2 takes tens of megabytes and milliseconds: only two at a time.
  std::counting_semaphore<2> slowHashes_{2};
  // Logins verified already, as user -> (stored hash, keyed digest of the
  // password). The digest key is random per process; a changed stored hash
  // (a new password) misses the cache.
  std::mutex cacheMutex_;
  std::map<std::string, std::pair<std::string, std::string>> verified_;
  unsigned char digestKey_[32];
  std::string dummyHash_;  // verified for unknown users, so they take as long
};

}  // namespace tarvo::hopla
