#include "core/settings/sheet_settings.h"

#include "core/settings/text_codec.h"

namespace tarvo {

namespace {

// Read with 2 decimals (the key table says so) and written with 1.
constexpr int kCoarseWritten = 1;   // accuracy and speed values
constexpr int kDegreeDecimals = 5;  // LatDefault and LonDefault, read and written

}  // namespace

SheetSettings LoadSheetSettings(SettingsStore& store, const std::string& programPath) {
  {
    SettingsStore::Batch batch(store);
    store.SetText(Key::ProgramPath, programPath);
    store.SetInt(Key::TodayFix, 0);
    batch.Commit();  // a read-only folder must not keep the program from starting
  }
  SheetSettings s;
  s.port = store.GetInt(Key::Port);
  s.portName = store.GetText(Key::PortName);
  s.speed = store.GetInt(Key::Speed);
  s.parity = store.GetInt(Key::Parity);
  s.databits = store.GetInt(Key::Databits);
  s.stopbits = store.GetInt(Key::Stopbits);
  s.gpsType = store.GetInt(Key::GpsType);
  s.emulation = store.GetInt(Key::Emulation);
  s.emulationSpeed = store.GetInt(Key::EmulationSpeed);
  s.useRmc = store.GetInt(Key::UseRmc);
  s.replayRealTime = store.GetInt(Key::ReplayRealTime);
  s.altitudeOffset = static_cast<int32_t>(store.GetNumber(Key::AltitudeOffset));
  s.autoStart = store.GetInt(Key::AutoStart);
  s.accuracyEnable = store.GetInt(Key::AccuracyEnable);
  s.accuracyGps = store.GetNumber(Key::AccuracyGps);
  s.accuracyMinimum = store.GetNumber(Key::AccuracyMinimum);
  s.speedMinimum = store.GetNumber(Key::SpeedMinimum);
  s.fmtPos = store.GetInt(Key::FmtPos);
  s.fmtSpeed = store.GetInt(Key::FmtSpeed);
  s.fmtDist = store.GetInt(Key::FmtDist);
  s.fmtTime = store.GetInt(Key::FmtTime);
  s.update = store.GetInt(Key::Update);
  s.upload = store.GetInt(Key::Upload);
  s.latDefault = store.GetNumber(Key::LatDefault);
  s.lonDefault = store.GetNumber(Key::LonDefault);
  return s;
}

bool SaveSheetSettings(SettingsStore& store, const SheetSettings& s) {
  SettingsStore::Batch batch(store);
  store.SetInt(Key::Port, s.port);
  store.SetText(Key::PortName, s.portName);
  store.SetInt(Key::Speed, s.speed);
  store.SetInt(Key::Parity, s.parity);
  store.SetInt(Key::Databits, s.databits);
  store.SetInt(Key::Stopbits, s.stopbits);
  store.SetInt(Key::GpsType, s.gpsType);
  store.SetInt(Key::Emulation, s.emulation);
  store.SetInt(Key::EmulationSpeed, s.emulationSpeed);
  store.SetInt(Key::ReplayRealTime, s.replayRealTime);
  store.SetInt(Key::UseRmc, s.useRmc);
  store.SetText(Key::AltitudeOffset, std::to_string(s.altitudeOffset));
  store.SetInt(Key::AutoStart, s.autoStart);
  store.SetInt(Key::AccuracyEnable, s.accuracyEnable);
  store.SetText(Key::AccuracyGps, FormatFixed(s.accuracyGps, kCoarseWritten));
  store.SetText(Key::AccuracyMinimum, FormatFixed(s.accuracyMinimum, kCoarseWritten));
  store.SetText(Key::SpeedMinimum, FormatFixed(s.speedMinimum, kCoarseWritten));
  store.SetInt(Key::FmtPos, s.fmtPos);
  store.SetInt(Key::FmtSpeed, s.fmtSpeed);
  store.SetInt(Key::FmtDist, s.fmtDist);
  store.SetInt(Key::FmtTime, s.fmtTime);
  store.SetInt(Key::Update, s.update);
  store.SetInt(Key::Upload, s.upload);
  store.SetText(Key::LatDefault, FormatFixed(s.latDefault, kDegreeDecimals));
  store.SetText(Key::LonDefault, FormatFixed(s.lonDefault, kDegreeDecimals));
  return batch.Commit();
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
