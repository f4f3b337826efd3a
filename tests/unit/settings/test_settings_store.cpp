// The settings store on real files in a temporary folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <string>

#include "core/settings/hardware_rules.h"
#include "core/settings/paths.h"
#include "core/settings/settings_file.h"
#include "core/settings/settings_store.h"
#include "tests/unit/settings/settings_test_dir.h"

namespace tarvo {
namespace {

using test::SettingsDirTest;

class SettingsStoreTest : public SettingsDirTest {};

TEST_F(SettingsStoreTest, TheKeyTableIsComplete) {
  std::set<std::string_view> names;
  for (std::size_t i = 0; i < kKeyCount; ++i) {
    const Key key = static_cast<Key>(i);
    const KeyInfo& info = Info(key);
    EXPECT_TRUE(names.insert(info.name).second) << info.name;
    EXPECT_EQ(FindKey(info.name), key);
    if (info.kind == SettingKind::Text) {
      EXPECT_GT(info.capacity, info.textDefault.size()) << info.name;
      if (info.number != TextNumber::None) {
        EXPECT_TRUE(ReadNumberText(key, info.textDefault)) << info.name;
      }
    } else {
      EXPECT_TRUE(IsAllowed(key, info.intDefault)) << info.name;  // every default is in its own range
    }
  }
  // The 53 keys of the program, PortName, ReplayRealTime, ServiceURL, the
  // nine of the network sources and the re-server, and AccurateDatum (off).
  EXPECT_EQ(names.size(), 66u);
  EXPECT_EQ(Info(Key::AccurateDatum).intDefault, 0);
  EXPECT_FALSE(FindKey("portname").has_value());
  EXPECT_EQ(Info(Key::Speed).intDefault, 4800);
  EXPECT_EQ(Info(Key::AccuracyMinimum).textDefault, "50.0");
  EXPECT_EQ(Info(Key::TrkFile).textDefault, "Location.csv");
  // The hardware page lists exactly the values the table allows.
  EXPECT_TRUE(std::ranges::equal(Info(Key::Speed).allowed, kBaudRates));
  EXPECT_TRUE(std::ranges::equal(Info(Key::Databits).allowed, kDataBits));
}

TEST_F(SettingsStoreTest, AnEmptyStoreGivesEveryDefault) {
  SettingsStore store = SettingsStore::ForFile(file);
  for (std::size_t i = 0; i < kKeyCount; ++i) {
    const Key key = static_cast<Key>(i);
    const KeyInfo& info = Info(key);
    EXPECT_FALSE(store.Has(key));
    if (info.kind == SettingKind::Int) {
      EXPECT_EQ(store.GetInt(key), info.intDefault) << info.name;
    } else if (info.inUserFolder) {
      EXPECT_EQ(store.GetPath(key), dir / "data" / "Tarvo" / info.textDefault) << info.name;
    } else {
      EXPECT_EQ(store.GetText(key), info.textDefault) << info.name;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(file));  // reading writes nothing
}

TEST_F(SettingsStoreTest, ValuesSurviveAReloadAndAnyByteInATextToo) {
  std::string every;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  const std::string edges = "  blanks  ";
  {
    SettingsStore store = SettingsStore::ForFile(file);
    EXPECT_TRUE(store.SetInt(Key::Speed, 115200));
    EXPECT_TRUE(store.SetInt(Key::FmtPos, 17));
    EXPECT_TRUE(store.SetText(Key::PortName, every));
    EXPECT_TRUE(store.SetText(Key::Username, edges));
    EXPECT_TRUE(store.SetText(Key::MapFile, "/home/jörg/maps/a=b.gif"));
  }
  SettingsStore store = SettingsStore::ForFile(file);
  EXPECT_EQ(store.GetInt(Key::Speed), 115200);
  EXPECT_EQ(store.GetInt(Key::FmtPos), 17);
  EXPECT_EQ(store.GetText(Key::PortName), every);
  EXPECT_EQ(store.GetText(Key::Username), edges);
  EXPECT_EQ(store.GetPath(Key::MapFile), "/home/jörg/maps/a=b.gif");
  EXPECT_EQ(store.skippedLines(), 0u);
  // One line per key, and the file stays a text file: no raw control bytes.
  const std::string text = Read(file);
  EXPECT_NE(text.find("\nSpeed=115200\n"), std::string::npos);
  for (char c : text) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20);
}

TEST_F(SettingsStoreTest, TextCapacityFallsBackToTheDefault) {
  SettingsStore store = SettingsStore::ForFile(file);
  store.SetText(Key::AccuracyGps, std::string(12, '0') + "7.5");
  EXPECT_EQ(store.GetText(Key::AccuracyGps), std::string(12, '0') + "7.5");  // capacity 16 holds 15
  store.SetText(Key::AccuracyGps, std::string(13, '0') + "7.5");
  EXPECT_EQ(store.GetText(Key::AccuracyGps), "10.0");
  EXPECT_EQ(store.GetText(Key::AccuracyGps, "123456", 4), "123");  // default cut to capacity - 1
  EXPECT_EQ(store.GetText(Key::AccuracyGps, "x", 0), "");
  store.SetText(Key::MapFile, "");
  EXPECT_EQ(store.GetPath(Key::MapFile), DataDirPath() / "theworld.gif");  // empty: the default
}

TEST_F(SettingsStoreTest, IntegersThatDoNotReadGiveTheDefault) {
  Write(file, "Speed=fast\nPort=99999999999\nParity= 2 \nDatabits=+7\nStopbits=2x\n");
  SettingsStore store = SettingsStore::ForFile(file);
  EXPECT_EQ(store.GetInt(Key::Speed), 4800);
  EXPECT_EQ(store.GetInt(Key::Port), 1);
  EXPECT_EQ(store.GetInt(Key::Parity), 2);
  EXPECT_EQ(store.GetInt(Key::Databits), 7);
  EXPECT_EQ(store.GetInt(Key::Stopbits), 0);
  EXPECT_EQ(store.GetInt(Key::Stopbits, 5), 5);
}

TEST_F(SettingsStoreTest, ValuesOutsideTheirRangeReadAsTheDefault) {
  Write(file,
        "FmtPos=999\nGPSType=77\nFmtSpeed=-5\nEmulationSpeed=99\nSpeed=7200\nDatabits=9\n"
        "ReplayRealTime=3\nTripTime=7\nbUseRMC=2\nUpdate=-1\n"
        "AltitudeOffset=1e99\nLatDefault=95\nLonDefault=-180.5\nAccuracyGPS=-3\n"
        // and the edges of the ranges, which are allowed
        "FmtDist=2\nStopbits=2\nPort=256\nTripMinDist=10000\nLogOptions=31\n"
        "AccuracyMinimum=0.0\nSpeedMinimum=999999999999.9\n");
  SettingsStore store = SettingsStore::ForFile(file);
  for (Key key : {Key::FmtPos, Key::GpsType, Key::FmtSpeed, Key::EmulationSpeed, Key::Speed, Key::Databits,
                  Key::ReplayRealTime, Key::TripTime, Key::UseRmc, Key::Update}) {
    EXPECT_EQ(store.GetInt(key), Info(key).intDefault) << Info(key).name;
  }
  EXPECT_EQ(store.GetInt(Key::FmtPos, 5), 5);
  for (Key key : {Key::AltitudeOffset, Key::LatDefault, Key::LonDefault, Key::AccuracyGps}) {
    EXPECT_EQ(store.GetText(key), Info(key).textDefault) << Info(key).name;
    EXPECT_EQ(store.GetNumber(key), *ReadNumberText(key, Info(key).textDefault)) << Info(key).name;
  }
  EXPECT_EQ(store.GetInt(Key::FmtDist), 2);
  EXPECT_EQ(store.GetInt(Key::Stopbits), 2);
  EXPECT_EQ(store.GetInt(Key::Port), 256);
  EXPECT_EQ(store.GetInt(Key::TripMinDist), 10000);
  EXPECT_EQ(store.GetInt(Key::LogOptions), 31);
  EXPECT_EQ(store.GetNumber(Key::AccuracyMinimum), 0.0);
  EXPECT_EQ(store.GetText(Key::SpeedMinimum), "999999999999.9");
  EXPECT_EQ(store.GetInt(Key::ReplayRealTime), 0);
  EXPECT_EQ(store.GetText(Key::ServiceUrl), "http://127.0.0.1:8642/hopla/");

  // A whole number text: its leading number, cut; no number or a huge one is the default.
  for (const auto& [text, value] : {std::pair{"-27", -27.0}, {"12.9 m", 12.0}, {"1e3", 1000.0},
                                    {"100001", 0.0}, {"1e999", 0.0}, {"inf", 0.0}, {"metres", 0.0}}) {
    store.SetText(Key::AltitudeOffset, text);
    EXPECT_EQ(store.GetNumber(Key::AltitudeOffset), value) << text;
  }
}

TEST_F(SettingsStoreTest, GarbledAndCutOffFilesGiveDefaultsForWhatIsLost) {
  Write(file,
        "\xff\xfe garbage without an equals sign\n"
        "Speed=9600\r\n"                 // a CR LF file
        "Port 3\n"                       // no "="
        "Bad-Key=1\n"                    // not a key
        "PortName=/dev/tty\\q\n"         // a bad escape
        "Username=\\x4\n"                // a cut escape
        "Update=30\n"
        "Update=45\n"                    // the last one counts
        "FmtPos=1");                     // cut off before its line feed
  SettingsStore store = SettingsStore::ForFile(file);
  EXPECT_EQ(store.GetInt(Key::Speed), 9600);
  EXPECT_EQ(store.GetInt(Key::Port), 1);
  EXPECT_EQ(store.GetText(Key::PortName), "");
  EXPECT_EQ(store.GetText(Key::Username), "");
  EXPECT_EQ(store.GetInt(Key::Update), 45);
  EXPECT_EQ(store.GetInt(Key::FmtPos), 0);
  EXPECT_EQ(store.skippedLines(), 6u);

  // Binary junk and an empty file are no better and no worse.
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) % 251);
  Write(file, junk);
  EXPECT_EQ(SettingsStore::ForFile(file).GetInt(Key::Speed), 4800);
  Write(file, "");
  EXPECT_EQ(SettingsStore::ForFile(file).GetInt(Key::Speed), 4800);
}

TEST_F(SettingsStoreTest, SavedFileIsPrivateAndReplacedWhole) {
  SettingsStore store = SettingsStore::ForFile(dir / "new" / "folder" / "Pathlet.ini");
  ASSERT_TRUE(store.SetText(Key::Password, "c2VjcmV0"));
  struct stat st {};
  ASSERT_EQ(::stat(store.file().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(Strays(store.file()), 0);  // no temporary file left
  // A save replaces the file (a new inode), never rewrites it in place.
  const ino_t before = st.st_ino;
  ASSERT_TRUE(store.SetInt(Key::Speed, 9600));
  ASSERT_EQ(::stat(store.file().c_str(), &st), 0);
  EXPECT_NE(st.st_ino, before);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SettingsStoreTest, ABatchWritesOnceAtCommit) {
  SettingsStore store = SettingsStore::ForFile(file);
  {
    SettingsStore::Batch batch(store);
    EXPECT_TRUE(store.SetInt(Key::Speed, 19200));
    {
      SettingsStore::Batch inner(store);
      store.SetInt(Key::Port, 4);
      EXPECT_TRUE(inner.Commit());
    }
    EXPECT_FALSE(std::filesystem::exists(file));  // nothing written yet
    EXPECT_EQ(store.GetInt(Key::Speed), 19200);   // but read back from memory
    EXPECT_TRUE(batch.Commit());
  }
  SettingsStore reread = SettingsStore::ForFile(file);
  EXPECT_EQ(reread.GetInt(Key::Speed), 19200);
  EXPECT_EQ(reread.GetInt(Key::Port), 4);
  // A batch left without Commit still saves.
  {
    SettingsStore::Batch batch(store);
    store.SetInt(Key::Port, 5);
  }
  EXPECT_EQ(SettingsStore::ForFile(file).GetInt(Key::Port), 5);
}

TEST_F(SettingsStoreTest, ASaveKeepsKeysAnotherProgramWroteMeanwhile) {
  SettingsStore first = SettingsStore::ForFile(file);
  SettingsStore second = SettingsStore::ForFile(file);
  ASSERT_TRUE(second.SetInt(Key::TripTime, 60));
  ASSERT_TRUE(first.SetInt(Key::Speed, 9600));
  SettingsStore reread = SettingsStore::ForFile(file);
  EXPECT_EQ(reread.GetInt(Key::TripTime), 60);
  EXPECT_EQ(reread.GetInt(Key::Speed), 9600);
  // Keys the table does not know are kept as well.
  Write(file, Read(file) + "FutureKey=kept\n");
  ASSERT_TRUE(first.SetInt(Key::Port, 2));
  EXPECT_EQ(ParseSettingsText(Read(file)).at("FutureKey"), "kept");
}

TEST_F(SettingsStoreTest, ASymlinkedFileKeepsItsLink) {
  const auto real = dir / "dotfiles" / "Pathlet.ini";
  Write(real, "Port=7\n");
  std::filesystem::create_directories(file.parent_path());
  std::filesystem::create_symlink(real, file);
  SettingsStore store = SettingsStore::ForFile(file);
  EXPECT_EQ(store.GetInt(Key::Port), 7);
  ASSERT_TRUE(store.SetInt(Key::Port, 8));
  EXPECT_TRUE(std::filesystem::is_symlink(file));
  EXPECT_EQ(SettingsStore::ForFile(real).GetInt(Key::Port), 8);

  // A relative target, reached through a second link, counts from the link's folder.
  const auto relative = dir / "links" / "Pathlet.ini";
  std::filesystem::create_directories(relative.parent_path());
  std::filesystem::create_symlink("../Pathlet.ini", relative);  // -> file -> real
  SettingsStore viaRelative = SettingsStore::ForFile(relative);
  ASSERT_TRUE(viaRelative.SetInt(Key::Port, 9));
  EXPECT_TRUE(std::filesystem::is_symlink(relative));
  EXPECT_TRUE(std::filesystem::is_symlink(file));
  EXPECT_EQ(SettingsStore::ForFile(real).GetInt(Key::Port), 9);

  // A dangling link: the save makes its target (and the target's folder).
  const auto dangling = dir / "dangling.ini";
  std::filesystem::create_symlink("not-yet/Pathlet.ini", dangling);
  SettingsStore viaDangling = SettingsStore::ForFile(dangling);
  ASSERT_TRUE(viaDangling.SetInt(Key::Port, 3));
  EXPECT_TRUE(std::filesystem::is_symlink(dangling));
  EXPECT_EQ(SettingsStore::ForFile(dir / "not-yet" / "Pathlet.ini").GetInt(Key::Port), 3);
  EXPECT_EQ(Strays(dir / "not-yet" / "Pathlet.ini"), 0);
}

TEST_F(SettingsStoreTest, SavesOfProcessesAtTheSameTimeLoseNoUpdate) {
  // Each round: four processes each set their own keys, one save per key;
  // every key must be in the file at the end.
  constexpr int kChildren = 4;
  constexpr std::size_t kPerChild = kKeyCount / kChildren;
  for (int round = 0; round < 8; ++round) {
    std::filesystem::remove(file);
    pid_t children[kChildren];
    for (int c = 0; c < kChildren; ++c) {
      children[c] = ::fork();
      if (children[c] == 0) {
        SettingsStore store = SettingsStore::ForFile(file);
        bool ok = true;
        for (std::size_t j = 0; j < kPerChild; ++j) {
          ok = store.SetText(static_cast<Key>(c * kPerChild + j), std::string("v").append(std::to_string(c * kPerChild + j))) && ok;
        }
        ::_exit(ok ? 0 : 1);
      }
    }
    for (pid_t pid : children) {
      int status = -1;
      ::waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const SettingsValues saved = ParseSettingsText(Read(file));
    for (std::size_t i = 0; i < kChildren * kPerChild; ++i) {
      const auto it = saved.find(Info(static_cast<Key>(i)).name);
      ASSERT_TRUE(it != saved.end()) << "round " << round << ": lost " << Info(static_cast<Key>(i)).name;
      EXPECT_EQ(it->second, std::string("v").append(std::to_string(i)));
    }
    EXPECT_EQ(Strays(file), 0);
  }
  struct stat st {};
  ASSERT_EQ(::stat((file.string() + ".lock").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SettingsStoreTest, AFileOverAMegabyteIsReadWholeAndSurvivesASave) {
  std::string text = "[Pathlet]\n";
  for (int i = 0; text.size() < (2u << 20); ++i) text += "Extra" + std::to_string(i) + "=" + std::string(60, 'x') + "\n";
  text += "Username=walker\n";
  Write(file, text);
  const std::size_t keys = ParseSettingsText(text).size();
  SettingsStore store = SettingsStore::ForFile(file);
  EXPECT_TRUE(store.readWhole());
  EXPECT_EQ(store.GetText(Key::Username), "walker");
  ASSERT_TRUE(store.SetInt(Key::Speed, 9600));
  const SettingsValues saved = ParseSettingsText(Read(file));
  EXPECT_EQ(saved.size(), keys + 1);
  EXPECT_EQ(saved.at("Username"), "walker");

  // Past 64 MB a file is not a settings file: unreadable, and never replaced.
  Write(file, "Speed=1200\n");
  std::filesystem::resize_file(file, (64u << 20) + 1);
  SettingsStore huge = SettingsStore::ForFile(file);
  EXPECT_FALSE(huge.readWhole());
  EXPECT_EQ(huge.GetInt(Key::Speed), 4800);
  EXPECT_FALSE(huge.SetInt(Key::Speed, 9600));
  EXPECT_EQ(huge.lastError(), EFBIG);
  EXPECT_EQ(std::filesystem::file_size(file), (64u << 20) + 1);
}

TEST_F(SettingsStoreTest, ASaveRemovesTemporaryFilesOfInterruptedSaves) {
  Write(file, "Port=2\n");
  // What saves killed before their rename leave behind, and names that are not theirs.
  for (const char* stale : {".Pathlet.ini.a1B2c3", ".Pathlet.ini.XXXXXX"}) Write(dir / stale, std::string(1000, 'n'));
  for (const char* other : {".Pathlet.ini.bak", ".Other.ini.a1B2c3", "Pathlet.ini.a1B2c3", "notes.txt"}) {
    Write(dir / other, "keep");
  }
  SettingsStore store = SettingsStore::ForFile(file);
  ASSERT_TRUE(store.SetInt(Key::Port, 3));
  EXPECT_FALSE(std::filesystem::exists(dir / ".Pathlet.ini.a1B2c3"));
  EXPECT_FALSE(std::filesystem::exists(dir / ".Pathlet.ini.XXXXXX"));
  EXPECT_EQ(Strays(file), 4);  // the others are kept
  EXPECT_EQ(Read(dir / "notes.txt"), "keep");
}

TEST_F(SettingsStoreTest, AReadOnlyFileIsReportedAndLeftAlone) {
  for (const auto mode : {0400, 0444}) {
    Write(file, "Port=2\n");
    ::chmod(file.c_str(), static_cast<mode_t>(mode));
    SettingsStore store = SettingsStore::ForFile(file);
    EXPECT_TRUE(store.readWhole());
    EXPECT_FALSE(store.SetInt(Key::Port, 3));
    EXPECT_EQ(store.lastError(), EACCES);
    EXPECT_EQ(store.lastErrorText(), "cannot save " + file.string() + ": Permission denied");
    EXPECT_EQ(Read(file), "Port=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, static_cast<mode_t>(mode));
    EXPECT_EQ(Strays(file), 0);
    ::chmod(file.c_str(), 0600);
  }
  // A successful save clears the report.
  SettingsStore store = SettingsStore::ForFile(file);
  ASSERT_TRUE(store.SetInt(Key::Port, 3));
  EXPECT_EQ(store.lastError(), 0);
  EXPECT_EQ(store.lastErrorText(), "");
}

// A save in a child process whose file size limit cuts the write of the
// temporary file short, as a full disk would: the save fails before the
// rename. Returns the child's exit status (0 = the save reported failure).
int SaveWithFullDisk(const std::filesystem::path& file) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    SettingsStore store = SettingsStore::ForFile(file);
    rlimit limit{100, 100};  // bytes
    ::setrlimit(RLIMIT_FSIZE, &limit);
    SettingsStore::Batch batch(store);
    for (std::size_t i = 0; i < kKeyCount; ++i) {
      store.SetText(static_cast<Key>(i), std::string(40, 'n'));
    }
    ::_exit(batch.Commit() ? 1 : 0);
  }
  int status = -1;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SettingsStoreTest, AnInterruptedSaveLeavesTheOldFileIntact) {
  {
    SettingsStore store = SettingsStore::ForFile(file);
    ASSERT_TRUE(store.SetInt(Key::Speed, 38400));
  }
  const std::string before = Read(file);
  EXPECT_EQ(SaveWithFullDisk(file), 0);
  EXPECT_EQ(Read(file), before);
  EXPECT_EQ(Strays(file), 0);  // the cut temporary file was removed
  EXPECT_EQ(SettingsStore::ForFile(file).GetInt(Key::Speed), 38400);
}

TEST_F(SettingsStoreTest, AFileThatCannotBeWrittenIsReportedAndKeptForTheNextSave) {
  // The folder of the file is a plain file: nothing can be created there.
  Write(dir / "blocker", "x");
  SettingsStore store = SettingsStore::ForFile(dir / "blocker" / "Pathlet.ini");
  EXPECT_FALSE(store.SetInt(Key::Speed, 9600));
  EXPECT_NE(store.lastError(), 0);
  EXPECT_EQ(store.GetInt(Key::Speed), 9600);  // still set in memory
  SettingsStore::Batch batch(store);
  store.SetInt(Key::Port, 3);
  EXPECT_FALSE(batch.Commit());
  // Once the folder can be made, the next save writes both values.
  std::filesystem::remove(dir / "blocker");
  EXPECT_TRUE(store.Save());
  SettingsStore reread = SettingsStore::ForFile(dir / "blocker" / "Pathlet.ini");
  EXPECT_EQ(reread.GetInt(Key::Speed), 9600);
  EXPECT_EQ(reread.GetInt(Key::Port), 3);
}

TEST_F(SettingsStoreTest, AFileThatCannotBeReadIsNeverReplaced) {
  // A folder where the file should be: open works, read fails.
  std::filesystem::create_directories(file / "inside");
  SettingsStore store = SettingsStore::ForFile(file);
  EXPECT_EQ(store.GetInt(Key::Speed), 4800);
  EXPECT_NE(store.lastError(), 0);
  EXPECT_FALSE(store.SetInt(Key::Speed, 9600));
  EXPECT_TRUE(std::filesystem::is_directory(file / "inside"));
  EXPECT_EQ(Strays(file), 0);
}

TEST_F(SettingsStoreTest, SectionsLiveInTheConfigFolder) {
  EXPECT_EQ(ConfigFilePath(), dir / "config" / "Quillmark" / "Pathlet.ini");
  SettingsStore store;  // the program's own store
  EXPECT_EQ(store.file(), dir / "config" / "Quillmark" / "Pathlet.ini");
  ASSERT_TRUE(store.SetInt(Key::Speed, 57600));
  EXPECT_NE(Read(store.file()).find("[Pathlet]\n"), std::string::npos);
  store.SetSection("Other");
  EXPECT_EQ(store.file(), dir / "config" / "Quillmark" / "Other.ini");
  EXPECT_EQ(store.GetInt(Key::Speed), 4800);
  store.SetSection("Pathlet");
  EXPECT_EQ(store.GetInt(Key::Speed), 57600);

  // A relative or empty XDG variable does not count.
  ::setenv("XDG_CONFIG_HOME", "relative/dir", 1);
  ::setenv("HOME", dir.c_str(), 1);
  EXPECT_EQ(ConfigFilePath("Pathlet"), dir / ".config" / "Quillmark" / "Pathlet.ini");
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(DataDirPath(), dir / ".local" / "share" / "Tarvo");
}

TEST_F(SettingsStoreTest, TheUserDataFolderIsMadeOnDemand) {
  std::error_code error;
  const auto made = UserDataDir(error);
  EXPECT_FALSE(error);
  EXPECT_EQ(made, dir / "data" / "Tarvo");
  struct stat st {};
  ASSERT_EQ(::stat(made.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(UserDataDir(), made);  // existing: fine

  Write(dir / "plainfile", "x");
  ::setenv("XDG_DATA_HOME", (dir / "plainfile").c_str(), 1);
  EXPECT_TRUE(UserDataDir(error).empty());
  EXPECT_TRUE(error);
}

TEST(SettingsFileText, EscapesRoundTripAndBadOnesAreRefused) {
  for (const std::string& value : {std::string(""), std::string(" "), std::string("a\\b"),
                                  std::string("\t\r\n", 3), std::string("\0x", 2), std::string(" x "),
                                  std::string("=;#[]"), std::string("\x7f\x80\xff")}) {
    EXPECT_EQ(UnescapeSettingValue(EscapeSettingValue(value)), value);
  }
  EXPECT_EQ(EscapeSettingValue(" a b "), "\\x20a b\\x20");
  for (const char* bad : {"\\", "\\q", "\\x", "\\x4", "\\xG0"}) {
    EXPECT_FALSE(UnescapeSettingValue(bad).has_value()) << bad;
  }
  EXPECT_EQ(UnescapeSettingValue("\\x4a\\x4A"), "JJ");
}

}  // namespace
}  // namespace tarvo
