#include "server/service.h"

#include <sodium.h>

#include <algorithm>
#include <charconv>
#include <vector>

#include "server/query.h"

namespace tarvo::hopla {

namespace {

// Argon2id cost of a stored hash: 3 passes over 16 MiB (about 30 ms here).
constexpr unsigned long long kHashOpsLimit = 3;
constexpr size_t kHashMemLimit = 16u << 20;
constexpr int kResultsPerPage = 10;

std::string Digest(const unsigned char* key, const std::string& password) {
  unsigned char out[32];
  crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(password.data()), password.size(), key,
                     32);
  return std::string(reinterpret_cast<const char*>(out), sizeof out);
}

void AppendOneDecimal(std::string& out, double v) {
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 1);
  out.append(buffer, r.ptr);
}

}  // namespace

int LoginLimiter::WaitSeconds(const std::string& key, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  const auto it = entries_.find(key);
  if (it == entries_.end() || now >= it->second.allowedAt) return 0;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(it->second.allowedAt - now).count();
  return static_cast<int>((left + 999) / 1000);
}

void LoginLimiter::Failed(const std::string& key, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  if (entries_.size() >= kMaxEntries) Prune(now);
  if (entries_.size() >= kMaxEntries) entries_.erase(entries_.begin());
  Entry& e = entries_[key];
  if (e.failures > 0 && now - e.last > kForget) e = Entry{};
  ++e.failures;
  e.last = now;
  if (e.failures > kFreeFailures) {
    const int doublings = std::min(e.failures - kFreeFailures - 1, 6);
    const auto wait = std::min<std::chrono::seconds>(std::chrono::seconds(1 << doublings), kMaxWait);
    e.allowedAt = now + wait;
  }
}

void LoginLimiter::Succeeded(const std::string& key) {
  std::lock_guard lock(mutex_);
  entries_.erase(key);
}

void LoginLimiter::Prune(Clock::time_point now) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    it = now - it->second.last > kForget ? entries_.erase(it) : std::next(it);
  }
}

HoplaService::HoplaService(Store& store) : store_(store) {
  randombytes_buf(digestKey_, sizeof digestKey_);
  unsigned char random[16];
  randombytes_buf(random, sizeof random);
  dummyHash_ = HashPassword(std::string(reinterpret_cast<const char*>(random), sizeof random));
}

std::string HoplaService::HashPassword(const std::string& password) {
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(out, password.data(), password.size(), kHashOpsLimit, kHashMemLimit) != 0) return {};
  return out;
}

bool HoplaService::VerifySlow(const std::string& hash, const std::string& password) {
  slowHashes_.acquire();
  const bool ok = crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
  slowHashes_.release();
  return ok;
}

HoplaService::Login HoplaService::CheckLogin(const std::string& user, const std::string& password,
                                             const std::string& clientAddress, int& waitSeconds) {
  const std::string key = user + '\n' + clientAddress;
  const auto now = LoginLimiter::Clock::now();
  waitSeconds = limiter_.WaitSeconds(key, now);
  if (waitSeconds > 0) return Login::Limited;

  bool failed = false;
  const std::optional<std::string> hash = store_.PasswordHash(user, failed);
  if (failed) return Login::Failed;
  const std::string digest = Digest(digestKey_, password);
  if (hash) {
    std::lock_guard lock(cacheMutex_);
    const auto it = verified_.find(user);
    if (it != verified_.end() && it->second.first == *hash &&
        sodium_memcmp(it->second.second.data(), digest.data(), digest.size()) == 0) {
      return Login::Granted;
    }
  }
  const bool ok = hash ? VerifySlow(*hash, password) : (VerifySlow(dummyHash_, password), false);
  if (!ok) {
    limiter_.Failed(key, LoginLimiter::Clock::now());
    return Login::Denied;
  }
  limiter_.Succeeded(key);
  std::lock_guard lock(cacheMutex_);
  verified_[user] = {*hash, digest};
  return Login::Granted;
}

Reply HoplaService::Handle(std::string_view name, std::string_view rawQuery, const std::string& clientAddress) {
  const std::optional<RequestKind> kind = RequestKindFromName(name);
  if (!kind) return {404, "error: unknown request\n"};
  Request request;
  std::string error;
  if (!DecodeRequest(*kind, rawQuery, request, error)) {
    return {error == "access denied" ? 403 : 400, error + "\n"};
  }
  int waitSeconds = 0;
  switch (CheckLogin(request.user, request.password, clientAddress, waitSeconds)) {
    case Login::Granted:
      break;
    case Login::Denied:
      return {403, "access denied\n"};
    case Login::Limited:
      return {429, "error: too many failed logins, try again in " + std::to_string(waitSeconds) + " s\n"};
    case Login::Failed:
      return {503, "error: service busy\n"};
  }

  switch (request.kind) {
    case RequestKind::Upload:
      if (!store_.SavePosition(request.user, request.latitude, request.longitude)) {
        return {503, "error: service busy\n"};
      }
      return {200, "OK\n"};
    case RequestKind::Link:
      if (!store_.AddLink(request.user, request.latitude, request.longitude, request.url, request.title)) {
        return {503, "error: service busy\n"};
      }
      return {200, "OK\n"};
    case RequestKind::Search: {
      std::vector<SearchResult> results;
      if (!store_.Search(request.latitude, request.longitude, request.offset, kResultsPerPage, results)) {
        return {503, "error: service busy\n"};
      }
      Reply reply{200, "OK\n"};
      for (const SearchResult& r : results) {
        reply.body += r.url;
        reply.body += '|';
        reply.body += r.title;
        reply.body += '|';
        AppendOneDecimal(reply.body, r.distance);
        reply.body += '|';
        // One decimal: 359.96 would print as 360.0, which is north.
        AppendOneDecimal(reply.body, r.bearing >= 359.95 ? 0.0 : r.bearing);
        reply.body += '\n';
      }
      return reply;
    }
  }
  return {500, "error: internal\n"};
}

std::string HoplaService::IndexPage() {
  return R"html(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Hopla</title></head>
<body>
<h1>Hopla</h1>
<p>Register a web link at a position. Tarvo users searching near it will find it.</p>
<form action="linkform" method="get">
<p><label>User <input name="user" required maxlength="64"></label>
<label>Password <input name="password" type="password" required></label></p>
<p><label>Latitude <input name="lat" required pattern="[+-]?[0-9]+(\.[0-9]+)?"></label>
<label>Longitude <input name="lon" required pattern="[+-]?[0-9]+(\.[0-9]+)?"></label></p>
<p><label>Address <input name="url" type="url" required maxlength="2048"></label></p>
<p><label>Title <input name="title" maxlength="255"></label></p>
<p><button type="submit">Register</button></p>
</form>
</body></html>
)html";
}

}  // namespace tarvo::hopla
