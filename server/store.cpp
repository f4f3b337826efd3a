#include "server/store.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <ctime>

#include "server/sphere.h"

namespace tarvo::hopla {

namespace {

constexpr int kBusyTimeoutMs = 10000;
constexpr double kFirstSearchRadius = 2000.0;  // metres
constexpr double kBoxPadding = 1e-6;           // degrees, beyond the R*Tree's float rounding

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS users(name TEXT PRIMARY KEY, hash TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS positions(user TEXT PRIMARY KEY, lat REAL NOT NULL, lon REAL NOT NULL,
                                     time INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS links(id INTEGER PRIMARY KEY, user TEXT NOT NULL, lat REAL NOT NULL,
                                 lon REAL NOT NULL, url TEXT NOT NULL, title TEXT NOT NULL,
                                 time INTEGER NOT NULL);
CREATE VIRTUAL TABLE IF NOT EXISTS link_index USING rtree(id, min_lat, max_lat, min_lon, max_lon);
)sql";

// A prepared statement that finalizes itself.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  explicit operator bool() const { return stmt_ != nullptr; }
  sqlite3_stmt* get() const { return stmt_; }
  void Bind(int i, double v) { sqlite3_bind_double(stmt_, i, v); }
  void Bind(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
  void Bind(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  int Step() { return sqlite3_step(stmt_); }
  void Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  std::string Text(int column) const {
    const auto* p = sqlite3_column_text(stmt_, column);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
             : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// BEGIN IMMEDIATE ... COMMIT, rolled back unless committed.
class WriteTransaction {
 public:
  explicit WriteTransaction(sqlite3* db) : db_(db), open_(Exec(db, "BEGIN IMMEDIATE")) {}
  ~WriteTransaction() {
    if (open_) Exec(db_, "ROLLBACK");
  }
  bool ok() const { return open_; }
  bool Commit() {
    if (!open_) return false;
    open_ = false;
    if (Exec(db_, "COMMIT")) return true;
    Exec(db_, "ROLLBACK");
    return false;
  }

 private:
  sqlite3* db_;
  bool open_;
};

sqlite3* OpenConnection(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  Exec(db, "PRAGMA synchronous=NORMAL");
  return db;
}

struct Candidate {
  int64_t id;
  double distance;
  double latitude, longitude;
};

}  // namespace

// A pooled connection, returned to the pool at scope end.
class Connection {
 public:
  explicit Connection(Store& store) : store_(store), db_(store.Acquire()) {}
  ~Connection() { store_.Release(db_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  sqlite3* get() const { return db_; }

 private:
  Store& store_;
  sqlite3* db_;
};

std::unique_ptr<Store> Store::Open(const std::string& path, std::string& error) {
  std::unique_ptr<Store> store(new Store(path));
  sqlite3* db = OpenConnection(path);
  if (!db) {
    error = "cannot open database " + path;
    return nullptr;
  }
  char* message = nullptr;
  const bool walOk = Exec(db, "PRAGMA journal_mode=WAL");
  if (!walOk || sqlite3_exec(db, kSchema, nullptr, nullptr, &message) != SQLITE_OK) {
    error = "cannot use database " + path + ": " + (message ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    sqlite3_close(db);
    return nullptr;
  }
  store->idle_.push_back(db);
  return store;
}

Store::~Store() {
  for (sqlite3* db : idle_) sqlite3_close(db);
}

sqlite3* Store::Acquire() {
  {
    std::lock_guard lock(mutex_);
    if (!idle_.empty()) {
      sqlite3* db = idle_.back();
      idle_.pop_back();
      return db;
    }
  }
  return OpenConnection(path_);
}

void Store::Release(sqlite3* db) {
  if (!db) return;
  std::lock_guard lock(mutex_);
  idle_.push_back(db);
}

std::optional<std::string> Store::PasswordHash(const std::string& user, bool& failed) {
  failed = true;
  Connection c(*this);
  if (!c.get()) return std::nullopt;
  Statement s(c.get(), "SELECT hash FROM users WHERE name = ?1");
  if (!s) return std::nullopt;
  s.Bind(1, user);
  const int rc = s.Step();
  if (rc == SQLITE_ROW) {
    failed = false;
    return s.Text(0);
  }
  failed = rc != SQLITE_DONE;
  return std::nullopt;
}

bool Store::SetPasswordHash(const std::string& user, const std::string& hash) {
  Connection c(*this);
  if (!c.get()) return false;
  WriteTransaction t(c.get());
  Statement s(c.get(), "INSERT INTO users(name, hash) VALUES(?1, ?2) ON CONFLICT(name) DO UPDATE SET hash = ?2");
  if (!t.ok() || !s) return false;
  s.Bind(1, user);
  s.Bind(2, hash);
  return s.Step() == SQLITE_DONE && t.Commit();
}

bool Store::SavePosition(const std::string& user, double latitude, double longitude) {
  Connection c(*this);
  if (!c.get()) return false;
  WriteTransaction t(c.get());
  Statement s(c.get(),
              "INSERT INTO positions(user, lat, lon, time) VALUES(?1, ?2, ?3, ?4) "
              "ON CONFLICT(user) DO UPDATE SET lat = ?2, lon = ?3, time = ?4");
  if (!t.ok() || !s) return false;
  s.Bind(1, user);
  s.Bind(2, latitude);
  s.Bind(3, longitude);
  s.Bind(4, static_cast<int64_t>(std::time(nullptr)));
  return s.Step() == SQLITE_DONE && t.Commit();
}

bool Store::AddLink(const std::string& user, double latitude, double longitude, const std::string& url,
                    const std::string& title) {
  return AddLinks(user, {NewLink{latitude, longitude, url, title}});
}

bool Store::AddLinks(const std::string& user, const std::vector<NewLink>& links) {
  Connection c(*this);
  if (!c.get()) return false;
  WriteTransaction t(c.get());
  Statement insert(c.get(), "INSERT INTO links(user, lat, lon, url, title, time) VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
  Statement index(c.get(), "INSERT INTO link_index(id, min_lat, max_lat, min_lon, max_lon) VALUES(?1, ?2, ?2, ?3, ?3)");
  if (!t.ok() || !insert || !index) return false;
  const auto now = static_cast<int64_t>(std::time(nullptr));
  for (const NewLink& link : links) {
    insert.Reset();
    insert.Bind(1, user);
    insert.Bind(2, link.latitude);
    insert.Bind(3, link.longitude);
    insert.Bind(4, link.url);
    insert.Bind(5, link.title);
    insert.Bind(6, now);
    if (insert.Step() != SQLITE_DONE) return false;
    index.Reset();
    index.Bind(1, static_cast<int64_t>(sqlite3_last_insert_rowid(c.get())));
    index.Bind(2, link.latitude);
    index.Bind(3, link.longitude);
    if (index.Step() != SQLITE_DONE) return false;
  }
  return t.Commit();
}

int64_t Store::LinkCount() {
  Connection c(*this);
  if (!c.get()) return -1;
  Statement s(c.get(), "SELECT count(*) FROM links");
  if (!s || s.Step() != SQLITE_ROW) return -1;
  return sqlite3_column_int64(s.get(), 0);
}

bool Store::Search(double latitude, double longitude, int64_t offset, int count, std::vector<SearchResult>& results) {
  results.clear();
  Connection c(*this);
  if (!c.get()) return false;
  // One read transaction, so the rounds below see one state of the links.
  if (!Exec(c.get(), "BEGIN")) return false;
  struct EndRead {
    sqlite3* db;
    ~EndRead() { Exec(db, "COMMIT"); }
  } endRead{c.get()};

  Statement box(c.get(),
                "SELECT l.id, l.lat, l.lon FROM link_index AS i JOIN links AS l ON l.id = i.id "
                "WHERE i.max_lat >= ?1 AND i.min_lat <= ?2 AND i.max_lon >= ?3 AND i.min_lon <= ?4");
  Statement all(c.get(), "SELECT id, lat, lon FROM links");
  Statement fields(c.get(), "SELECT url, title FROM links WHERE id = ?1");
  if (!box || !all || !fields) return false;

  // Ids count up from 1, so no offset at or past the highest id can find a
  // link: answer that without reading every link.
  Statement highest(c.get(), "SELECT max(id) FROM links");
  if (!highest || highest.Step() != SQLITE_ROW) return false;
  if (offset >= sqlite3_column_int64(highest.get(), 0)) return true;

  const auto needed = static_cast<size_t>(offset) + static_cast<size_t>(count);
  std::vector<Candidate> candidates;
  // Widen a circle around the position until it holds enough links: every
  // link inside the circle is then nearer than every link outside it.
  for (double radius = kFirstSearchRadius;; radius *= 4.0) {
    candidates.clear();
    const double angle = radius / kSphereRadius;  // radians
    const bool whole = angle >= std::numbers::pi;
    auto take = [&](Statement& s, bool filter) {
      int rc;
      while ((rc = s.Step()) == SQLITE_ROW) {
        const double lat = sqlite3_column_double(s.get(), 1);
        const double lon = sqlite3_column_double(s.get(), 2);
        const double d = SphereDistance(latitude, longitude, lat, lon);
        if (!filter || d <= radius) candidates.push_back({sqlite3_column_int64(s.get(), 0), d, lat, lon});
      }
      s.Reset();
      return rc == SQLITE_DONE;
    };
    if (whole) {
      if (!take(all, false)) return false;
    } else {
      const double dLat = angle / kDegToRad;
      const double latMin = latitude - dLat - kBoxPadding;
      const double latMax = latitude + dLat + kBoxPadding;
      double dLon = 180.0;
      if (latMin > -90.0 && latMax < 90.0) {
        const double s = std::sin(angle) / std::cos(latitude * kDegToRad);
        if (s < 1.0) dLon = std::asin(s) / kDegToRad + kBoxPadding;
      }
      auto query = [&](double lo, double hi) {
        box.Bind(1, latMin);
        box.Bind(2, latMax);
        box.Bind(3, lo);
        box.Bind(4, hi);
        return take(box, true);
      };
      bool ok;
      if (dLon >= 180.0) {
        ok = query(-180.0, 180.0);
      } else {
        const double lo = longitude - dLon, hi = longitude + dLon;
        if (lo < -180.0) {
          ok = query(lo + 360.0, 180.0) && query(-180.0, hi);
        } else if (hi > 180.0) {
          ok = query(lo, 180.0) && query(-180.0, hi - 360.0);
        } else {
          ok = query(lo, hi);
        }
      }
      if (!ok) return false;
      // A link exactly on the antimeridian can fall into both halves.
      std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) { return a.id < b.id; });
      candidates.erase(std::unique(candidates.begin(), candidates.end(),
                                   [](const Candidate& a, const Candidate& b) { return a.id == b.id; }),
                       candidates.end());
    }
    if (whole || candidates.size() >= needed) break;
  }

  if (candidates.size() <= static_cast<size_t>(offset)) return true;
  const auto byDistance = [](const Candidate& a, const Candidate& b) {
    return a.distance != b.distance ? a.distance < b.distance : a.id < b.id;
  };
  const size_t end = std::min(needed, candidates.size());
  std::partial_sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(end), candidates.end(),
                    byDistance);
  for (size_t i = static_cast<size_t>(offset); i < end; ++i) {
    const Candidate& k = candidates[i];
    fields.Reset();
    fields.Bind(1, k.id);
    if (fields.Step() != SQLITE_ROW) return false;
    results.push_back(SearchResult{k.id, fields.Text(0), fields.Text(1), k.distance,
                                   SphereBearing(latitude, longitude, k.latitude, k.longitude)});
  }
  return true;
}

}  // namespace tarvo::hopla
