// The settings record's load and save rules and the service account, through a store
// on a real file.
#include <gtest/gtest.h>

#include "core/settings/settings_file.h"
#include "core/settings/settings.h"
#include "core/settings/text_codec.h"
#include "tests/unit/settings/settings_test_dir.h"

namespace tarvo {
namespace {

class SettingsRecordTest : public test::SettingsDirTest {
 protected:
  SettingsStore Store() { return SettingsStore::ForFile(file); }
};

// Every key the main window loads and saves.
const Key kRecordKeys[] = {
    Key::Port,       Key::PortName,        Key::Speed,        Key::Parity,       Key::Databits,
    Key::Stopbits,   Key::GpsType,         Key::Emulation,    Key::EmulationSpeed, Key::UseRmc,
    Key::AltitudeOffset, Key::AutoStart,   Key::AccuracyEnable, Key::AccuracyGps, Key::AccuracyMinimum,
    Key::SpeedMinimum, Key::FmtPos,        Key::FmtSpeed,     Key::FmtDist,      Key::FmtTime,
    Key::Update,     Key::Upload,          Key::LatDefault,   Key::LonDefault, Key::ReplayRealTime,
    Key::SourceKind, Key::GpsdHost,        Key::GpsdPort,     Key::TcpHost,      Key::TcpPort,
    Key::UdpPort,    Key::ServeLines,      Key::ServePort,    Key::ServeRemote, Key::AccurateDatum,
};

TEST_F(SettingsRecordTest, AnEmptyStoreLoadsTheDefaultsAndOneRunStoresEveryKey) {
  SettingsStore store = Store();
  const Settings s = LoadSettings(store, "/usr/bin/tarvo");
  // The record's own defaults are the table's.
  EXPECT_TRUE(s == Settings{});
  EXPECT_EQ(s.connection.speed, 4800);
  EXPECT_EQ(s.connection.gpsType, GpsType::Bluetooth);
  EXPECT_EQ(s.connection.filter.accuracyMinimum, 50.0);

  // Loading writes ProgramPath and TodayFix first, for other programs.
  SettingsStore after = Store();
  EXPECT_EQ(after.GetText(Key::ProgramPath), "/usr/bin/tarvo");
  EXPECT_TRUE(after.Has(Key::TodayFix));
  for (Key key : kRecordKeys) EXPECT_FALSE(after.Has(key)) << Info(key).name;

  ASSERT_TRUE(SaveSettings(store, s));
  SettingsStore saved = Store();
  for (Key key : kRecordKeys) EXPECT_TRUE(saved.Has(key)) << Info(key).name;
}

TEST_F(SettingsRecordTest, PositionIsSavedWithFiveDecimals) {
  SettingsStore store = Store();
  Settings s = LoadSettings(store, "tarvo");
  s.defaultPosition.latitude = 52.1234567;
  s.defaultPosition.longitude = 4.5;
  ASSERT_TRUE(SaveSettings(store, s));
  SettingsStore reread = Store();
  EXPECT_EQ(reread.GetText(Key::LatDefault), "52.12346");
  EXPECT_EQ(reread.GetText(Key::LonDefault), "4.50000");
  const Settings loaded = LoadSettings(reread, "tarvo");
  EXPECT_EQ(loaded.defaultPosition.latitude, 52.12346);
  EXPECT_EQ(loaded.defaultPosition.longitude, 4.5);
  // Southern and western positions keep their sign.
  s.defaultPosition.latitude = -33.8567844;
  s.defaultPosition.longitude = -0.0000049;
  ASSERT_TRUE(SaveSettings(store, s));
  const Settings south = LoadSettings(store, "tarvo");
  EXPECT_EQ(south.defaultPosition.latitude, -33.85678);
  EXPECT_EQ(south.defaultPosition.longitude, 0.0);
}

TEST_F(SettingsRecordTest, AccuracyValuesAreReadWithTwoDecimalsAndSavedWithOne) {
  {
    SettingsStore store = Store();
    store.SetText(Key::AccuracyGps, "7.34");
    store.SetText(Key::AccuracyMinimum, "1,5");  // a decimal comma reads as 15
    store.SetText(Key::SpeedMinimum, "12345678901234567");  // over capacity 16: the default
  }
  SettingsStore store = Store();
  Settings s = LoadSettings(store, "tarvo");
  EXPECT_EQ(s.connection.filter.accuracyGps, 7.34);
  EXPECT_EQ(s.connection.filter.accuracyMinimum, 15.0);
  EXPECT_EQ(s.connection.filter.speedMinimum, 0.0);
  ASSERT_TRUE(SaveSettings(store, s));
  EXPECT_EQ(Store().GetText(Key::AccuracyGps), "7.3");
  EXPECT_EQ(Store().GetText(Key::AccuracyMinimum), "15.0");
  s = LoadSettings(store, "tarvo");
  EXPECT_EQ(s.connection.filter.accuracyGps, 7.3);
  ASSERT_TRUE(SaveSettings(store, s));
  EXPECT_EQ(Store().GetText(Key::AccuracyGps), "7.3");
}

TEST_F(SettingsRecordTest, EveryFieldRoundTrips) {
  SettingsStore store = Store();
  Settings s;
  s.port = 3;
  s.connection.portName = "/dev/serial/by-id/usb-u-blox_GNSS-if00";
  s.connection.speed = 115200;
  s.connection.parity = 4;
  s.connection.databits = 7;
  s.connection.stopbits = 2;
  s.connection.gpsType = GpsType::Garmin;
  s.connection.emulation = true;
  s.connection.emulationSpeed = 4;
  s.connection.replayRealTime = 8;
  s.connection.useRmc = false;
  s.altitudeOffset = -27;
  s.autoStart = true;
  s.connection.filter.accuracyEnable = true;
  s.connection.filter.accuracyGps = 6.5;
  s.connection.filter.accuracyMinimum = 25.0;
  s.connection.filter.speedMinimum = 0.5;
  s.coordFormat = CoordFormat::Nzmg;
  s.speedUnit = SpeedUnit::Knot;
  s.distanceUnit = DistanceUnit::Imperial;
  s.timeDisplay = TimeDisplay::Local;
  s.connection.update = 60;
  s.connection.upload = true;
  s.defaultPosition.latitude = 60.16952;
  s.defaultPosition.longitude = 24.93545;
  ASSERT_TRUE(SaveSettings(store, s));
  EXPECT_EQ(Store().GetText(Key::AltitudeOffset), "-27");
  SettingsStore reread = Store();
  EXPECT_TRUE(LoadSettings(reread, "tarvo") == s);
}

TEST_F(SettingsRecordTest, ValuesOutOfRangeLoadAsDefaultsAndAreSavedBackAsDefaults) {
  Write(file,
        "Port=0\nSpeed=7200\nParity=5\nDatabits=9\nStopbits=-1\nGPSType=77\nbEmulation=2\n"
        "EmulationSpeed=99\nReplayRealTime=16\nbUseRMC=-1\nAltitudeOffset=1e99\nAutoStart=3\n"
        "AccuracyEnable=2\nAccuracyGPS=-1.0\nAccuracyMinimum=-50\nSpeedMinimum=-0.5\nFmtPos=999\n"
        "FmtSpeed=-5\nFmtDist=3\nFmtTime=2\nUpdate=-15\nUpload=7\nLatDefault=90.00001\nLonDefault=200\n");
  SettingsStore store = Store();
  const Settings s = LoadSettings(store, "tarvo");
  EXPECT_TRUE(s == Settings{});
  ASSERT_TRUE(SaveSettings(store, s));
  SettingsStore saved = Store();
  for (Key key : kRecordKeys) {
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

TEST_F(SettingsRecordTest, SaveLeavesProgramPathAndTodayFixAlone) {
  SettingsStore store = Store();
  ASSERT_TRUE(SaveSettings(store, Settings{}));
  SettingsStore reread = Store();
  EXPECT_FALSE(reread.Has(Key::ProgramPath));
  EXPECT_FALSE(reread.Has(Key::TodayFix));
}

TEST_F(SettingsRecordTest, AltitudeOffsetIsTheLeadingIntegerOfItsText) {
  for (const auto& [text, value] : {std::pair{"12", 12}, {"-5", -5}, {"12.9", 12}, {" 40 m", 40},
                                    {"metres", 0}}) {
    SettingsStore store = Store();
    store.SetText(Key::AltitudeOffset, text);
    EXPECT_EQ(LoadSettings(store, "tarvo").altitudeOffset, value) << text;
  }
}

TEST_F(SettingsRecordTest, RangesAndChangesFollowTheKeyTable) {
  Settings s;
  s.connection.speed = 7200;  // not a rate of the list
  s.connection.emulationSpeed = 0;
  s.coordFormat = static_cast<CoordFormat>(19);
  s.connection.filter.accuracyGps = -1.0;
  s.defaultPosition.latitude = 91.0;
  s.altitudeOffset = 200000;
  s.connection.portName = std::string(5000, 'x');  // past the path capacity
  EXPECT_TRUE(WithinRange(s) == Settings{});
  Settings fine;
  fine.connection.speed = 115200;
  fine.coordFormat = CoordFormat::Nzmg;
  EXPECT_TRUE(WithinRange(fine) == fine);

  // The keys that differ, in key order; a change below the written decimals counts.
  Settings changed;
  changed.distanceUnit = DistanceUnit::Nautical;
  changed.connection.useRmc = false;
  changed.defaultPosition.longitude = 1e-9;
  EXPECT_EQ(ChangedKeys(Settings{}, changed), std::vector<Key>({Key::UseRmc, Key::FmtDist, Key::LonDefault}));
  EXPECT_TRUE(ChangedKeys(changed, changed).empty());

  // Saving some keys writes those only.
  SettingsStore store = Store();
  ASSERT_TRUE(SaveSettingKeys(store, changed, {Key::FmtDist}));
  SettingsStore reread = Store();
  EXPECT_EQ(reread.GetInt(Key::FmtDist), 2);
  EXPECT_FALSE(reread.Has(Key::UseRmc));
}

TEST_F(SettingsRecordTest, PasswordsUpTo23CharactersSurviveAsBase64) {
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

TEST_F(SettingsRecordTest, AccountFieldsEdgeCases) {
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
