#include "core/settings/settings.h"

#include <algorithm>
#include <cstdio>
#include <type_traits>
#include <utility>

#include "core/settings/hardware_rules.h"
#include "core/settings/text_codec.h"

namespace tarvo {

namespace {

// Reads one field as its key's row says.
struct Reader {
  const SettingsStore& store;
  template <class T>
  void operator()(Key key, T& field) const {
    if constexpr (std::is_same_v<T, std::string>) {
      field = store.GetText(key);
    } else if constexpr (std::is_same_v<T, double>) {
      field = store.GetNumber(key);
    } else if (Info(key).kind == SettingKind::Text) {
      field = static_cast<T>(store.GetNumber(key));  // a whole-number text
    } else {
      field = static_cast<T>(store.GetInt(key));
    }
  }
};

// Writes one field (of `only`, when given) as its key's row says.
struct Writer {
  SettingsStore& store;
  const std::vector<Key>* only = nullptr;
  template <class T>
  void operator()(Key key, const T& field) const {
    if (only != nullptr && std::find(only->begin(), only->end(), key) == only->end()) return;
    if constexpr (std::is_same_v<T, std::string>) {
      store.SetText(key, field);
    } else if constexpr (std::is_same_v<T, double>) {
      store.SetText(key, FormatFixed(field, Info(key).writtenDecimals));
    } else if (Info(key).kind == SettingKind::Text) {
      store.SetText(key, std::to_string(static_cast<int64_t>(field)));
    } else {
      store.SetInt(key, static_cast<int32_t>(field));
    }
  }
};

// Every field as an exact text, to compare records by.
struct Exact {
  std::vector<std::pair<Key, std::string>>& out;
  template <class T>
  void operator()(Key key, const T& field) const {
    if constexpr (std::is_same_v<T, std::string>) {
      out.emplace_back(key, field);
    } else if constexpr (std::is_same_v<T, double>) {
      char text[32];
      std::snprintf(text, sizeof text, "%.17g", field);
      out.emplace_back(key, text);
    } else {
      out.emplace_back(key, std::to_string(static_cast<int64_t>(field)));
    }
  }
};

std::vector<std::pair<Key, std::string>> ExactTexts(const Settings& s) {
  std::vector<std::pair<Key, std::string>> texts;
  texts.reserve(kKeyCount);
  ForEachSetting(s, Exact{texts});
  return texts;
}

// Brings one field into its key's range.
struct Clamp {
  template <class T>
  void operator()(Key key, T& field) const {
    const KeyInfo& info = Info(key);
    if constexpr (std::is_same_v<T, std::string>) {
      if (field.size() >= info.capacity) field = std::string(info.textDefault);
    } else if constexpr (std::is_same_v<T, double>) {
      if (!(field >= info.min && field <= info.max)) field = ReadNumberText(key, info.textDefault).value_or(0.0);
    } else if (info.kind == SettingKind::Text) {
      const double value = static_cast<double>(field);
      if (!(value >= info.min && value <= info.max)) {
        field = static_cast<T>(ReadNumberText(key, info.textDefault).value_or(0.0));
      }
    } else if (!IsAllowed(key, static_cast<int32_t>(field))) {
      field = static_cast<T>(info.intDefault);
    }
  }
};

}  // namespace

Settings LoadSettings(SettingsStore& store, const std::string& programPath) {
  {
    SettingsStore::Batch batch(store);
    store.SetText(Key::ProgramPath, programPath);
    store.SetInt(Key::TodayFix, 0);
    batch.Commit();  // a read-only folder must not keep the program from starting
  }
  Settings s;
  ForEachSetting(s, Reader{store});
  s.connection.stopbits = UsableStopBits(s.connection.stopbits);
  return s;
}

bool SaveSettings(SettingsStore& store, const Settings& s) {
  SettingsStore::Batch batch(store);
  ForEachSetting(s, Writer{store});
  return batch.Commit();
}

bool SaveSettingKeys(SettingsStore& store, const Settings& s, const std::vector<Key>& keys) {
  SettingsStore::Batch batch(store);
  ForEachSetting(s, Writer{store, &keys});
  return batch.Commit();
}

Settings WithinRange(Settings s) {
  ForEachSetting(s, Clamp{});
  return s;
}

std::vector<Key> ChangedKeys(const Settings& a, const Settings& b) {
  const auto before = ExactTexts(a);
  const auto after = ExactTexts(b);
  std::vector<Key> keys;
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i].second != after[i].second) keys.push_back(before[i].first);
  }
  return keys;
}

Account LoadAccount(const SettingsStore& store) {
  Account account;
  account.username = store.GetText(Key::Username);
  const std::string code = store.GetText(Key::Password);
  if (!code.empty()) {
    if (std::optional<std::string> plain = Base64Decode(code)) {
      account.password = plain->substr(0, Account::kMaxField);
    }
  }
  return account;
}

bool SaveAccount(SettingsStore& store, const Account& account) {
  SettingsStore::Batch batch(store);
  const std::string password = account.password.substr(0, Account::kMaxField);
  store.SetText(Key::Username, account.username.substr(0, Account::kMaxField));
  store.SetText(Key::Password, password.empty() ? std::string() : Base64Encode(password));
  return batch.Commit();
}

}  // namespace tarvo
