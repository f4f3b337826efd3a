// The main window's load and save rules and the service account, through a store
// on a real file.
#include <gtest/gtest.h>

#include "core/settings/settings_file.h"
#include "core/settings/sheet_settings.h"
#include "core/settings/text_codec.h"
#include "tests/unit/settings/settings_test_dir.h"

namespace tarvo {
namespace {

class SheetSettingsTest : public test::SettingsDirTest {
 protected:
  SettingsStore Store() { return SettingsStore::ForFile(file); }
};

// Every key the main window loads and saves.
const Key kSheetKeys[] = {
    Key::Port,       Key::PortName,        Key::Speed,        Key::Parity,       Key::Databits,
    Key::Stopbits,   Key::GpsType,         Key::Emulation,    Key::EmulationSpeed, Key::UseRmc,
    Key::AltitudeOffset, Key::AutoStart,   Key::AccuracyEnable, Key::AccuracyGps, Key::AccuracyMinimum,
    Key::SpeedMinimum, Key::FmtPos,        Key::FmtSpeed,     Key::FmtDist,      Key::FmtTime,
    Key::Update,     Key::Upload,          Key::LatDefault,   Key::LonDefault, Key::ReplayRealTime,
};

TEST_F(SheetSettingsTest, AnEmptyStoreLoadsTheDefaultsAndOneRunStoresEveryKey) {
  SettingsStore store = Store();
  const SheetSettings s = LoadSheetSettings(store, "/usr/bin/tarvo");
  // The record's own defaults are the table's.
  EXPECT_TRUE(s == SheetSettings{});
  EXPECT_EQ(s.speed, 4800);
  EXPECT_EQ(s.gpsType, 3);
  EXPECT_EQ(s.accuracyMinimum, 50.0);

  // Loading writes ProgramPath and TodayFix first, for other programs.
  SettingsStore after = Store();
  EXPECT_EQ(after.GetText(Key::ProgramPath), "/usr/bin/tarvo");
  EXPECT_TRUE(after.Has(Key::TodayFix));
  for (Key key : kSheetKeys) EXPECT_FALSE(after.Has(key)) << Info(key).name;

  ASSERT_TRUE(SaveSheetSettings(store, s));
  SettingsStore saved = Store();
  for (Key key : kSheetKeys) EXPECT_TRUE(saved.Has(key)) << Info(key).name;
}

TEST_F(SheetSettingsTest, PositionIsSavedWithFiveDecimals) {
  SettingsStore store = Store();
  SheetSettings s = LoadSheetSettings(store, "tarvo");
  s.latDefault = 52.1234567;
  s.lonDefault = 4.5;
  ASSERT_TRUE(SaveSheetSettings(store, s));
  SettingsStore reread = Store();
  EXPECT_EQ(reread.GetText(Key::LatDefault), "52.12346");
  EXPECT_EQ(reread.GetText(Key::LonDefault), "4.50000");
  const SheetSettings loaded = LoadSheetSettings(reread, "tarvo");
  EXPECT_EQ(loaded.latDefault, 52.12346);
  EXPECT_EQ(loaded.lonDefault, 4.5);
  // Southern and western positions keep their sign.
  s.latDefault = -33.8567844;
  s.lonDefault = -0.0000049;
  ASSERT_TRUE(SaveSheetSettings(store, s));
  const SheetSettings south = LoadSheetSettings(store, "tarvo");
  EXPECT_EQ(south.latDefault, -33.85678);
  EXPECT_EQ(south.lonDefault, 0.0);
}

TEST_F(SheetSettingsTest, AccuracyValuesAreReadWithTwoDecimalsAndSavedWithOne) {
  {
    SettingsStore store = Store();
    store.SetText(Key::AccuracyGps, "7.34");
    store.SetText(Key::AccuracyMinimum, "1,5");  // a decimal comma reads as 15
    store.SetText(Key::SpeedMinimum, "12345678901234567");  // over capacity 16: the default
  }
  SettingsStore store = Store();
  SheetSettings s = LoadSheetSettings(store, "tarvo");
  EXPECT_EQ(s.accuracyGps, 7.34);
  EXPECT_EQ(s.accuracyMinimum, 15.0);
  EXPECT_EQ(s.speedMinimum, 0.0);
  ASSERT_TRUE(SaveSheetSettings(store, s));
  EXPECT_EQ(Store().GetText(Key::AccuracyGps), "7.3");
  EXPECT_EQ(Store().GetText(Key::AccuracyMinimum), "15.0");
  s = LoadSheetSettings(store, "tarvo");
  EXPECT_EQ(s.accuracyGps, 7.3);
  ASSERT_TRUE(SaveSheetSettings(store, s));
  EXPECT_EQ(Store().GetText(Key::AccuracyGps), "7.3");
}

TEST_F(SheetSettingsTest, EverySheetValueRoundTrips) {
  SettingsStore store = Store();
  SheetSettings s;
  s.port = 3;
  s.portName = "/dev/serial/by-id/usb-u-blox_GNSS-if00";
  s.speed = 115200;
  s.parity = 4;
  s.databits = 7;
  s.stopbits = 2;
  s.gpsType = 2;
  s.emulation = 1;
  s.emulationSpeed = 4;
  s.replayRealTime = 8;
  s.useRmc = 0;
  s.altitudeOffset = -27;
  s.autoStart = 1;
  s.accuracyEnable = 1;
  s.accuracyGps = 6.5;
  s.accuracyMinimum = 25.0;
  s.speedMinimum = 0.5;
  s.fmtPos = 18;
  s.fmtSpeed = 2;
  s.fmtDist = 1;
  s.fmtTime = 1;
  s.update = 60;
  s.upload = 1;
  s.latDefault = 60.16952;
  s.lonDefault = 24.93545;
  ASSERT_TRUE(SaveSheetSettings(store, s));
  EXPECT_EQ(Store().GetText(Key::AltitudeOffset), "-27");
  SettingsStore reread = Store();
  EXPECT_TRUE(LoadSheetSettings(reread, "tarvo") == s);
}

TEST_F(SheetSettingsTest, ValuesOutOfRangeLoadAsDefaultsAndAreSavedBackAsDefaults) {
  Write(file,
        "Port=0\nSpeed=7200\nParity=5\nDatabits=9\nStopbits=-1\nGPSType=77\nbEmulation=2\n"
        "EmulationSpeed=99\nReplayRealTime=16\nbUseRMC=-1\nAltitudeOffset=1e99\nAutoStart=3\n"
        "AccuracyEnable=2\nAccuracyGPS=-1.0\nAccuracyMinimum=-50\nSpeedMinimum=-0.5\nFmtPos=999\n"
        "FmtSpeed=-5\nFmtDist=3\nFmtTime=2\nUpdate=-15\nUpload=7\nLatDefault=90.00001\nLonDefault=200\n");
  SettingsStore store = Store();
  const SheetSettings s = LoadSheetSettings(store, "tarvo");
  EXPECT_TRUE(s == SheetSettings{});
  ASSERT_TRUE(SaveSheetSettings(store, s));
  SettingsStore saved = Store();
  for (Key key : kSheetKeys) {
    const KeyInfo& info = Info(key);
    if (info.kind == SettingKind::Int) {
      EXPECT_EQ(saved.GetInt(key), info.intDefault) << info.name;
    } else if (info.number != TextNumber::None) {
      EXPECT_EQ(saved.GetNumber(key), *ReadNumberText(key, info.textDefault)) << info.name;
    }
  }
  EXPECT_EQ(ParseSettingsText(Read(file)).at("Speed"), "4800");
  EXPECT_EQ(ParseSettingsText(Read(file)).at("AltitudeOffset"), "0");
}

TEST_F(SheetSettingsTest, SaveLeavesProgramPathAndTodayFixAlone) {
  SettingsStore store = Store();
  ASSERT_TRUE(SaveSheetSettings(store, SheetSettings{}));
  SettingsStore reread = Store();
  EXPECT_FALSE(reread.Has(Key::ProgramPath));
  EXPECT_FALSE(reread.Has(Key::TodayFix));
}

TEST_F(SheetSettingsTest, AltitudeOffsetIsTheLeadingIntegerOfItsText) {
  for (const auto& [text, value] : {std::pair{"12", 12}, {"-5", -5}, {"12.9", 12}, {" 40 m", 40},
                                    {"metres", 0}}) {
    SettingsStore store = Store();
    store.SetText(Key::AltitudeOffset, text);
    EXPECT_EQ(LoadSheetSettings(store, "tarvo").altitudeOffset, value) << text;
  }
}

TEST_F(SheetSettingsTest, PasswordsUpTo23CharactersSurviveAsBase64) {
  for (const std::string& password : {std::string("fifteen-chars!!"), std::string("sixteen-chars!!!"),
                                     std::string("twenty-three-characters"), std::string("a")}) {
    SettingsStore store = Store();
    ASSERT_TRUE(SaveAccount(store, {"walker", password}));
    SettingsStore reread = Store();
    const std::string stored = reread.GetText(Key::Password);
    EXPECT_EQ(stored, Base64Encode(password));
    EXPECT_EQ(Read(file).find("Password=" + password + "\n"), std::string::npos) << "plain text";
    const Account account = LoadAccount(reread);
    EXPECT_EQ(account.password, password);
    EXPECT_EQ(account.username, "walker");
  }
}

TEST_F(SheetSettingsTest, AccountFieldsEdgeCases) {
  SettingsStore store = Store();
  // Empty password: stored as the empty text.
  ASSERT_TRUE(SaveAccount(store, {"", ""}));
  EXPECT_TRUE(Store().Has(Key::Password));
  EXPECT_EQ(Store().GetText(Key::Password), "");
  EXPECT_EQ(LoadAccount(Store()).password, "");
  // Fields longer than 23 characters are cut to 23.
  ASSERT_TRUE(SaveAccount(store, {std::string(30, 'u'), std::string(30, 'p')}));
  const Account cut = LoadAccount(Store());
  EXPECT_EQ(cut.username, std::string(23, 'u'));
  EXPECT_EQ(cut.password, std::string(23, 'p'));
  // A stored code that is not Base64 gives no password rather than garbage.
  store.SetText(Key::Password, "not base64!");
  EXPECT_EQ(LoadAccount(Store()).password, "");
}

}  // namespace
}  // namespace tarvo
