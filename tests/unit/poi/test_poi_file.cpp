// The current file: format from the path, load, save, new file.
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>

#include "core/poi/poi_file.h"
#include "tests/unit/poi/poi_test_util.h"

namespace tarvo {
namespace {

namespace fs = std::filesystem;
using PoiFile = test::PoiTempDir;

TEST(PoiFormatChoice, LooksForTheExtensionsAnywhereInThePath) {
  EXPECT_EQ(ChooseFormat("/a/trip.locations.csv"), PoiFileFormat::Loc);
  EXPECT_EQ(ChooseFormat("x.gpx.bak"), PoiFileFormat::Gpx);
  EXPECT_EQ(ChooseFormat("my.asc"), PoiFileFormat::Asc);
  EXPECT_EQ(ChooseFormat("MY.ASC"), PoiFileFormat::Csv);  // case-sensitive
  EXPECT_EQ(ChooseFormat("/data.loc/x.gpx"), PoiFileFormat::Loc);  // ".loc" first
  EXPECT_EQ(ChooseFormat("Location.csv"), PoiFileFormat::Csv);
}

TEST_F(PoiFile, LoadReplacesTheListOrLeavesItWhenTheFileCannotBeRead) {
  PoiList list;
  const std::string missing = Path("Location.csv");
  EXPECT_TRUE(LoadPoiFile(list, missing).ok());  // made, empty
  EXPECT_TRUE(fs::exists(missing));
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.path(), missing);

  const std::string trip = Path("trip.locations.csv");  // LOC, whatever the end says
  Write(trip, "<loc><waypoint><name id=\"T\">Trip</name><coord lat=\"1\" lon=\"2\"/></waypoint></loc>");
  const auto loaded = LoadPoiFile(list, trip);
  EXPECT_TRUE(loaded.ok());
  EXPECT_EQ(loaded.kept, 1u);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list.at(0).name, "Trip");
  EXPECT_EQ(list.format(), PoiFileFormat::Loc);
  EXPECT_FALSE(list.modified());

  fs::create_directories(Path("folder.csv"));
  const auto failed = LoadPoiFile(list, Path("folder.csv"));
  EXPECT_EQ(failed.error, PoiError::CannotOpen);
  EXPECT_NE(failed.errorNumber, 0);
  EXPECT_EQ(list.path(), trip);  // as it was
  EXPECT_EQ(list.size(), 1u);

  list.Add(3, 4, "new", "");
  ASSERT_TRUE(SavePoiFile(list).ok());
  EXPECT_NE(Slurp(trip).find("<loc version=\"1.0\" src=\"Tarvo\">"), std::string::npos);
}

TEST_F(PoiFile, SavingAnEmptyListEmptiesTheFile) {
  PoiList list;
  const std::string csv = Path("one.csv"), gpx = Path("one.gpx");
  Write(csv, "\"Only\",1,2,\"\"\n");
  ASSERT_TRUE(LoadPoiFile(list, csv).ok());
  ASSERT_TRUE(list.Remove(0));
  const auto saved = SavePoiFile(list);
  EXPECT_TRUE(saved.ok());
  EXPECT_EQ(Slurp(csv), "");
  ASSERT_TRUE(LoadPoiFile(list, csv).ok());
  EXPECT_TRUE(list.empty());  // the deleted record does not come back

  Write(gpx, WriteGpx(std::vector<PoiRecord>(1, PoiRecord{0, false, 1, 2, 0, 0, "G", "g"})));
  ASSERT_TRUE(LoadPoiFile(list, gpx).ok());
  ASSERT_EQ(list.size(), 1u);
  list.Remove(0);
  ASSERT_TRUE(SavePoiFile(list).ok());
  EXPECT_EQ(Slurp(gpx).find("<wpt"), std::string::npos);
  EXPECT_NE(Slurp(gpx).find("</gpx>"), std::string::npos);
}

TEST_F(PoiFile, NewFileTakesItsFormatFromItsName) {
  PoiList list;
  list.Add(1, 2, "old", "");
  const std::string asc = Path("new.asc");
  Write(asc, "leftover\n");
  ASSERT_TRUE(NewPoiFile(list, asc).ok());
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(Slurp(asc), "");
  list.Add(52.5, 4.25, "X", "ab");
  ASSERT_TRUE(SavePoiFile(list).ok());
  EXPECT_EQ(Slurp(asc), "4.25000,52.50000,\"X\"\n");

  EXPECT_FALSE(NewPoiFile(list, Path("no/such/folder/x.csv")).ok());
  EXPECT_EQ(list.path(), asc);  // nothing changed
  EXPECT_EQ(list.size(), 1u);
}

TEST_F(PoiFile, AFailedSaveKeepsTheOldFileAndTheModifiedFlag) {
  PoiList list;
  const std::string path = Path("keep.csv");
  Write(path, "\"A\",1,2,\"\"\n");
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(LoadPoiFile(list, path).ok());
  for (int i = 0; i < 200; ++i) list.Add(i, i, "record number " + std::to_string(i), "");

  // A file-size limit of 100 bytes stands in for a full disk.
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit previous{};
  ::getrlimit(RLIMIT_FSIZE, &previous);
  rlimit small = previous;
  small.rlim_cur = 100;
  ::setrlimit(RLIMIT_FSIZE, &small);
  const auto failed = SavePoiFile(list);
  ::setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(failed.error, PoiError::CannotWrite);
  EXPECT_EQ(failed.errorNumber, EFBIG);
  EXPECT_TRUE(list.modified());
  EXPECT_EQ(Slurp(path), "\"A\",1,2,\"\"\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);  // no temp left

  // A file made read-only is not replaced.
  ::chmod(path.c_str(), 0444);
  EXPECT_EQ(SavePoiFile(list).errorNumber, EACCES);
  EXPECT_EQ(Slurp(path), "\"A\",1,2,\"\"\n");
  EXPECT_TRUE(list.modified());
  ::chmod(path.c_str(), 0640);

  // Saved through a link: the file it names is replaced, with its permissions.
  const std::string link = Path("link.csv");
  fs::create_symlink("keep.csv", link);
  list.Reset(link, PoiFileFormat::Csv, std::vector<PoiRecord>(list.records()), false);
  list.setModified(true);
  ASSERT_TRUE(SavePoiFile(list).ok());
  EXPECT_FALSE(list.modified());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms(0640));
  ASSERT_TRUE(LoadPoiFile(list, path).ok());
  EXPECT_EQ(list.size(), 201u);
}

TEST_F(PoiFile, AListReadOnlyUpToAFaultIsNotSavedOverItsFile) {
  PoiList list;
  const std::string path = Path("broken.gpx");
  std::string text = WriteGpx(std::vector<PoiRecord>(2, PoiRecord{0, false, 1, 2, 0, 0, "G", "g"}));
  text.insert(text.rfind("</wpt>"), "<oops>");
  Write(path, text);
  const auto loaded = LoadPoiFile(list, path);
  EXPECT_EQ(loaded.error, PoiError::Malformed);
  EXPECT_EQ(loaded.kept, 1u);
  EXPECT_GT(loaded.line, 0);
  EXPECT_TRUE(list.partial());

  list.Add(3, 4, "added", "");
  EXPECT_EQ(SavePoiFile(list).error, PoiError::PartialList);
  EXPECT_EQ(Slurp(path), text);
  EXPECT_TRUE(list.modified());
  EXPECT_TRUE(SavePoiFile(list, true).ok());  // once the user has agreed
  EXPECT_FALSE(list.partial());
}

}  // namespace
}  // namespace tarvo
