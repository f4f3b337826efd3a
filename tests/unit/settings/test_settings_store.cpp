// The settings store on real files in a temporary folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

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
    }
  }
  EXPECT_EQ(names.size(), 54u);  // the 53 keys of the program and PortName
  EXPECT_FALSE(FindKey("portname").has_value());
  EXPECT_EQ(Info(Key::Speed).intDefault, 4800);
  EXPECT_EQ(Info(Key::AccuracyMinimum).textDefault, "50.0");
  EXPECT_EQ(Info(Key::TrkFile).textDefault, "Location.csv");
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
    EXPECT_TRUE(store.SetInt(Key::FmtPos, -7));
    EXPECT_TRUE(store.SetText(Key::PortName, every));
    EXPECT_TRUE(store.SetText(Key::Username, edges));
    EXPECT_TRUE(store.SetText(Key::MapFile, "/home/jörg/maps/a=b.gif"));
  }
  SettingsStore store = SettingsStore::ForFile(file);
  EXPECT_EQ(store.GetInt(Key::Speed), 115200);
  EXPECT_EQ(store.GetInt(Key::FmtPos), -7);
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
  store.SetText(Key::AccuracyGps, std::string(15, '1'));
  EXPECT_EQ(store.GetText(Key::AccuracyGps), std::string(15, '1'));  // capacity 16 holds 15
  store.SetText(Key::AccuracyGps, std::string(16, '1'));
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
