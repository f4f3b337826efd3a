#include "gui/window/settings_model.h"

#include <algorithm>

namespace tarvo {

SettingsModel::SettingsModel(SettingsStore& store, Settings initial, QObject* parent)
    : QObject(parent), store_(store), values_(WithinRange(std::move(initial))) {}

void SettingsModel::Change(const std::function<void(Settings&)>& edit) {
  Settings next = values_;
  edit(next);
  next = WithinRange(std::move(next));
  const std::vector<Key> keys = ChangedKeys(values_, next);
  if (keys.empty()) return;
  values_ = std::move(next);
  emit changed(keys);
}

bool SettingsModel::Save(const std::vector<Key>& keys) {
  if (SaveSettingKeys(store_, values_, keys)) return true;
  emit saveFailed();
  return false;
}

bool SettingsModel::SetPageValues(const std::vector<std::pair<Key, int32_t>>& values) {
  // Values the file holds already are not written again.
  const bool same = std::all_of(values.begin(), values.end(), [this](const auto& v) {
    return store_.Has(v.first) && store_.GetInt(v.first) == v.second;
  });
  if (same) return true;
  SettingsStore::Batch batch(store_);
  for (const auto& [key, value] : values) store_.SetInt(key, value);
  if (batch.Commit()) return true;
  emit saveFailed();
  return false;
}

bool SettingsModel::SetPageText(Key key, const std::string& text) {
  if (store_.Has(key) && store_.GetText(key) == text) return true;
  // A file key naming its default file is left to its default.
  if (!store_.Has(key) && Info(key).inUserFolder && store_.GetPath(key).string() == text) return true;
  if (store_.SetText(key, text)) return true;
  emit saveFailed();
  return false;
}

bool Contains(const std::vector<Key>& keys, Key key) { return std::find(keys.begin(), keys.end(), key) != keys.end(); }

}  // namespace tarvo
