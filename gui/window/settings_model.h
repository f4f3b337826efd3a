// The settings as the window and its pages share them: one typed record,
// changed through Change() (which keeps every field in its key's range) and
// observed through the changed() signal, instead of pages writing shared
// fields and telling each other by hand.
#pragma once

#include <QObject>
#include <filesystem>
#include <functional>
#include <vector>

#include "core/settings/settings.h"

namespace tarvo {

class SettingsModel : public QObject {
  Q_OBJECT
 public:
  SettingsModel(SettingsStore& store, Settings initial, QObject* parent = nullptr);

  const Settings& values() const { return values_; }
  // What the connection controller reads. It changes the position source by
  // itself when a receiver sends far more GGA than RMC; no signal for that.
  ConnectionSettings& connection() { return values_.connection; }

  // Applies `edit`, brings every field into range and emits changed() with
  // the keys whose values differ. Nothing is written to the file.
  void Change(const std::function<void(Settings&)>& edit);
  // Writes these fields to the file now; emits saveFailed() when it cannot.
  bool Save(const std::vector<Key>& keys);

  // A page's own setting outside the record (compass modes, log options):
  // read, and stored at once.
  int32_t pageValue(Key key) const { return store_.GetInt(key); }
  bool SetPageValues(const std::vector<std::pair<Key, int32_t>>& values);
  // The same for text keys (file paths such as "MapFile", "TRKFile").
  std::string pageText(Key key) const { return store_.GetText(key); }
  // A file key as a path: the stored one, else its default file in the
  // user's data folder.
  std::filesystem::path pagePath(Key key) const { return store_.GetPath(key); }
  bool SetPageText(Key key, const std::string& text);

  SettingsStore& store() { return store_; }

 signals:
  void changed(const std::vector<tarvo::Key>& keys);
  void saveFailed();

 private:
  SettingsStore& store_;
  Settings values_;
};

// True when `keys` holds `key`.
bool Contains(const std::vector<Key>& keys, Key key);

}  // namespace tarvo
