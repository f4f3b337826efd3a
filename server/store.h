// The Hopla server's database: users with their password hashes, the last
// position each user uploaded, and the links with an R*Tree index on their
// positions. SQLite in WAL mode; every call is one transaction, so a killed
// process loses at most the call in flight. Safe to call from many threads at
// once: each call borrows a connection of its own from a pool.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace tarvo::hopla {

struct SearchResult {
  int64_t id = 0;
  std::string url;
  std::string title;
  double distance = 0.0;  // metres, kSphereRadius sphere
  double bearing = 0.0;   // degrees true, [0, 360)
};

class Store {
 public:
  // Opens (creating when missing) the database at path; empty with the reason
  // in error when it cannot be opened or is not a Hopla database.
  static std::unique_ptr<Store> Open(const std::string& path, std::string& error);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // The stored hash of user; empty when there is no such user. Sets failed
  // when the database could not be read.
  std::optional<std::string> PasswordHash(const std::string& user, bool& failed);
  // Adds user or replaces its hash.
  bool SetPasswordHash(const std::string& user, const std::string& hash);
  // Keeps position (degrees) as the user's last upload, with the time now.
  bool SavePosition(const std::string& user, double latitude, double longitude);
  bool AddLink(const std::string& user, double latitude, double longitude, const std::string& url,
               const std::string& title);
  // Inserts many links in one transaction (for the benchmark's database).
  struct NewLink {
    double latitude, longitude;
    std::string url, title;
  };
  bool AddLinks(const std::string& user, const std::vector<NewLink>& links);

  // The links nearest to (latitude, longitude), skipping the first offset,
  // at most count of them, by distance then registration order.
  bool Search(double latitude, double longitude, int64_t offset, int count, std::vector<SearchResult>& results);

  int64_t LinkCount();

 private:
  explicit Store(std::string path) : path_(std::move(path)) {}
  sqlite3* Acquire();
  void Release(sqlite3* db);
  friend class Connection;

  std::string path_;
  std::mutex mutex_;
  std::vector<sqlite3*> idle_;
};

}  // namespace tarvo::hopla
