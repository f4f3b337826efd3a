// Calibration files beside map pictures, the blank map and its zoom, and the
// change notifications: real files in a temporary folder.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/map/blank_map.h"
#include "core/map/gif_writer.h"
#include "core/map/map_files.h"
#include "core/map/map_image.h"

namespace tarvo {
namespace {

namespace fs = std::filesystem;

class CalibrationFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarvo-calibration-test-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }

  void Write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name, std::ios::binary) << text; }
  std::string Read(const std::string& name) {
    std::ifstream f(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

TEST(CalibrationText, KeyValueLinesFollowTheKeyRules) {
  const CalibrationData d = ParseKeyValueCalibration(
      "[any section]\n"
      "X2 = 15\r\n"
      "y2=2 5\n"
      "LAT2=51.5abc\n"
      "lon2 = -0.25\n"
      "lat4=9\n"
      "lat11=9\n"
      "x=9\n"
      "x1=not a number\n"
      "y1=7\n"
      "y1=8\n"
      "lat1=nan\n"
      "sx=-12\n"
      "SY = 34 \n"
      "no equals sign here\n");
  EXPECT_EQ(d.refPoints[1], (RefPoint{15, 25, 51.5, -0.25}));
  EXPECT_EQ(d.refPoints[0], (RefPoint{0, 8, 0.0, 0.0}));
  EXPECT_FALSE(d.refPoints[2].IsSet());
  EXPECT_EQ(d.scrollX, -12);
  EXPECT_EQ(d.scrollY, 34);

  // A line is read 79 characters at a time: the rest is a line of its own.
  const std::string filler(79, '#');
  EXPECT_EQ(ParseKeyValueCalibration(filler + "x3=5\ny3=6\n").refPoints[2], (RefPoint{5, 6, 0.0, 0.0}));
  // Numbers beyond int32 are held at its limits; the upper limit means "not set".
  const CalibrationData big = ParseKeyValueCalibration("x1=99999999999\ny1=-99999999999\n");
  EXPECT_FALSE(big.refPoints[0].IsSet());
  EXPECT_EQ(big.refPoints[0].y, INT32_MIN);
}

TEST(CalibrationText, GmiIsEightLinesAndMissingLinesAreAbsent) {
  const CalibrationData d = ParseGmiCalibration("10\n20\r\n110\n220\n4.0\n52.0\n5.0\n51.0\nextra\n");
  EXPECT_EQ(d.refPoints[0], (RefPoint{10, 20, 52.0, 4.0}));
  EXPECT_EQ(d.refPoints[1], (RefPoint{110, 220, 51.0, 5.0}));
  EXPECT_FALSE(d.refPoints[2].IsSet());
  EXPECT_EQ(d.scrollX, 0);

  const CalibrationData cut = ParseGmiCalibration("10\n20\n110\n");
  EXPECT_TRUE(cut.refPoints[0].IsSet());
  EXPECT_FALSE(cut.refPoints[1].IsSet());
}

TEST(CalibrationText, IniLinesAreWrittenExactlyWithEachSlotsOwnNumber) {
  CalibrationData d;
  d.refPoints[0] = {10, 20, 52.0, 4.0};
  d.refPoints[1] = {110, 220, -51.1234567, 5.5};
  d.scrollX = 3;
  d.scrollY = 4;
  EXPECT_EQ(FormatIniCalibration(d),
            "x1=10\ny1=20\nlat1=52.000000\nlon1=4.000000\n"
            "x2=110\ny2=220\nlat2=-51.123457\nlon2=5.500000\n"
            "sx=3\nsy=4\n");
  d.refPoints[1] = RefPoint{};
  d.refPoints[2] = {7, 8, 1.0, 2.0};
  const std::string text = FormatIniCalibration(d);
  EXPECT_NE(text.find("x3=7\ny3=8\nlat3=1.000000\nlon3=2.000000\n"), std::string::npos);
  EXPECT_EQ(text.find("x2="), std::string::npos);
  EXPECT_EQ(ParseKeyValueCalibration(text), d);
}

TEST_F(CalibrationFiles, TheFileBesideThePictureIsFoundByItsLastDotInThatOrder) {
  EXPECT_EQ(CalibrationBase(dir_ / "area.north.png"), dir_ / "area.north");
  EXPECT_TRUE(CalibrationBase(dir_ / "noending").empty());
  EXPECT_TRUE(CalibrationBase("/maps.d/noending").empty());  // a "." in a folder name is no ending

  Write("area.north.gmi", "1\n2\n3\n4\n5.0\n6.0\n7.0\n8.0\n");
  Write("area.north.wcd", "x1=100\ny1=100\n");
  MapDocument map;
  map.SetMapPath(dir_ / "area.north.png");
  LoadedCalibration loaded = map.LoadCalibration();
  EXPECT_EQ(loaded.kind, CalibrationFileKind::Gmi);
  EXPECT_EQ(loaded.file, dir_ / "area.north.gmi");
  EXPECT_EQ(map.Calibration().RefPointAt(0), (RefPoint{1, 2, 6.0, 5.0}));

  // After the first save the ".ini" exists and wins from then on.
  map.SetScroll(5, 6);
  EXPECT_EQ(map.SaveCalibration(), SaveOutcome::Saved);
  EXPECT_EQ(Read("area.north.ini"), "x1=1\ny1=2\nlat1=6.000000\nlon1=5.000000\n"
                                    "x2=3\ny2=4\nlat2=8.000000\nlon2=7.000000\nsx=5\nsy=6\n");
  map.SetScroll(0, 0);
  loaded = map.LoadCalibration();
  EXPECT_EQ(loaded.kind, CalibrationFileKind::Ini);
  EXPECT_EQ(map.ScrollX(), 5);
  EXPECT_EQ(map.ScrollY(), 6);

  // An ".ini" that is a folder is no calibration file: the next one is read.
  fs::create_directory(dir_ / "odd.ini");
  Write("odd.wcd", "x1=1\ny1=1\n");
  EXPECT_EQ(LoadCalibrationFile(dir_ / "odd.bmp").kind, CalibrationFileKind::Wcd);

  // No file: every slot empty, scroll 0, 0; a file name without "." writes nothing.
  MapDocument bare;
  bare.SetMapPath(dir_ / "nothing.gif");
  EXPECT_EQ(bare.LoadCalibration().kind, CalibrationFileKind::None);
  EXPECT_EQ(bare.Calibration().RefPointCount(), 0);
  bare.SetMapPath(dir_ / "noending");
  EXPECT_EQ(bare.SaveCalibration(), SaveOutcome::NotSaved);
  bare.SetMapPath("");
  EXPECT_EQ(bare.SaveCalibration(), SaveOutcome::NotSaved);
}

TEST_F(CalibrationFiles, SavingReplacesTheFileWholeAndLeavesReadOnlyFilesAlone) {
  MapDocument map;
  map.SetMapPath(dir_ / "town.jpg");
  map.Calibration().SetRefPoint(0, {10, 20, 52.0, 4.0});
  map.Calibration().SetRefPoint(1, {110, 220, 51.0, 5.0});

  Write("town.ini", "x1=1\n");
  ::chmod((dir_ / "town.ini").c_str(), 0640);
  EXPECT_EQ(map.SaveCalibration(), SaveOutcome::Saved);
  EXPECT_EQ(Names(), std::vector<std::string>{"town.ini"});  // no temporary file left
  EXPECT_EQ(fs::status(dir_ / "town.ini").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const std::string saved = Read("town.ini");
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 10);

  // A link is followed: the file it names gets the new text, the link stays.
  fs::create_directory(dir_ / "real");
  fs::create_symlink("real/linked.ini", dir_ / "linked.ini");
  map.SetMapPath(dir_ / "linked.png");
  EXPECT_EQ(map.SaveCalibration(), SaveOutcome::Saved);
  EXPECT_TRUE(fs::is_symlink(dir_ / "linked.ini"));
  EXPECT_EQ(Read("real/linked.ini").substr(0, 6), "x1=10\n");

  // A read-only file is left as it is (a rename would replace it all the same).
  Write("locked.ini", "x1=1\n");
  ::chmod((dir_ / "locked.ini").c_str(), 0444);
  map.SetMapPath(dir_ / "locked.png");
  int error = 0;
  EXPECT_EQ(map.SaveCalibration(&error), SaveOutcome::Failed);
  EXPECT_EQ(error, EACCES);
  EXPECT_EQ(Read("locked.ini"), "x1=1\n");

  if (::geteuid() != 0) {  // root writes into any folder
    // A folder that cannot be written: failure reported, old file kept whole.
    fs::create_directory(dir_ / "shut");
    Write("shut/map.ini", "x1=1\n");
    map.SetMapPath(dir_ / "shut" / "map.png");
    fs::permissions(dir_ / "shut", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(map.SaveCalibration(), SaveOutcome::Failed);
    fs::permissions(dir_ / "shut", fs::perms::owner_all);
    EXPECT_EQ(Read("shut/map.ini"), "x1=1\n");
  }
}

TEST_F(CalibrationFiles, AnIniWithSlotsOneAndThreeCountsOnePoint) {
  Write("gap.ini", "x1=1\ny1=2\nx3=5\ny3=6\n");
  MapDocument map;
  map.SetMapPath(dir_ / "gap.png");
  map.LoadCalibration();
  EXPECT_EQ(map.Calibration().RefPointCount(), 1);
  EXPECT_TRUE(map.Calibration().RefPointAt(2).IsSet());  // kept in the data, not counted
  EXPECT_EQ(map.SaveCalibration(), SaveOutcome::Saved);
  EXPECT_NE(Read("gap.ini").find("x3=5\n"), std::string::npos);
}

// Every pixel of a decoded GIF as 0xRRGGBB, through the program's own decoder.
std::vector<uint32_t> Decode(std::span<const uint8_t> gif, int& width, int& height) {
  DecodedPicture picture;
  ImageLoadError error;
  if (!DecodePicture(gif, ImageKind::Gif, picture, error)) return {};
  width = picture.width;
  height = picture.height;
  std::vector<uint32_t> out;
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* row = picture.Row(y);
    for (int x = 0; x < picture.width; ++x) {
      if (picture.layout == PixelLayout::Argb32) {
        uint32_t v = 0;
        std::memcpy(&v, row + 4 * x, 4);
        out.push_back(v & 0xFFFFFF);
      } else {
        const uint8_t* p = row + 3 * x;
        out.push_back(uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]);
      }
    }
  }
  return out;
}

TEST(BlankMapPicture, IsWhiteWithOnePixelGreyGridLines) {
  const std::span<const uint8_t> gif = BlankMapGif();
  ASSERT_GE(gif.size(), 13u);
  EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), "GIF89a");
  int w = 0, h = 0;
  const std::vector<uint32_t> pixels = Decode(gif, w, h);
  ASSERT_EQ(w, kBlankMapSize);
  ASSERT_EQ(h, kBlankMapSize);
  const auto isLine = [](int v) {
    return std::find(kBlankMapGridLines.begin(), kBlankMapGridLines.end(), v) != kBlankMapGridLines.end();
  };
  int wrong = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      wrong += pixels[static_cast<size_t>(y * w + x)] != ((isLine(x) || isLine(y)) ? 0xC0C0C0u : 0xFFFFFFu);
  EXPECT_EQ(wrong, 0);
}

TEST(GifWriter, NoisyPicturesRoundTripThroughTableResets) {
  // Noise fills the 4096-entry code table many times over.
  const int w = 300, h = 200;
  std::vector<GifColour> palette;
  for (int i = 0; i < 256; ++i)
    palette.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7)});
  for (const size_t colours : {size_t{3}, size_t{256}}) {
    std::vector<uint8_t> pixels(static_cast<size_t>(w * h));
    uint32_t seed = 12345;
    for (auto& p : pixels) {
      seed = seed * 1103515245 + 12345;
      p = static_cast<uint8_t>((seed >> 16) % colours);
    }
    const std::vector<uint8_t> gif = EncodeGif(w, h, pixels, std::span(palette).first(colours));
    int dw = 0, dh = 0;
    const std::vector<uint32_t> decoded = Decode(gif, dw, dh);
    ASSERT_EQ(decoded.size(), pixels.size()) << colours;
    int wrong = 0;
    for (size_t i = 0; i < pixels.size(); ++i) {
      const GifColour c = palette[pixels[i]];
      wrong += decoded[i] != (uint32_t{c.red} << 16 | uint32_t{c.green} << 8 | c.blue);
    }
    EXPECT_EQ(wrong, 0) << colours;
  }
  EXPECT_TRUE(EncodeGif(2, 2, std::vector<uint8_t>{0, 1, 2, 0}, std::span(palette).first(2)).empty());
  EXPECT_TRUE(EncodeGif(0, 2, {}, std::span(palette).first(2)).empty());
}

TEST(WorldMap, TheDefaultMapIsCalibratedAndShowsLandWhereLandIs) {
  const fs::path map = fs::path(TARVO_SOURCE_DIR) / "data" / "theworld.gif";
  std::ifstream f(map, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  int w = 0, h = 0;
  const std::vector<uint32_t> pixels = Decode(bytes, w, h);
  ASSERT_EQ(w, 2048);
  ASSERT_EQ(h, 1024);
  EXPECT_LT(bytes.size(), 500u * 1024);

  MapDocument doc;
  doc.SetMapPath(map);
  EXPECT_EQ(doc.MapPictureLoaded().kind, CalibrationFileKind::Ini);
  ASSERT_TRUE(doc.Calibration().IsCalibrated());
  EXPECT_EQ(doc.Calibration().GeoToPixel(90.0, -180.0), (MapPixel{0, 0}));
  EXPECT_EQ(doc.Calibration().GeoToPixel(0.0, 0.0), (MapPixel{1024, 512}));
  const LatLon corner = doc.Calibration().PixelToGeo(2047, 1023);
  EXPECT_NEAR(corner.latitude, -89.82421875, 1e-9);
  EXPECT_NEAR(corner.longitude, 179.82421875, 1e-9);

  const auto colourAt = [&](double lat, double lon) {
    const MapPixel p = doc.Calibration().GeoToPixel(lat, lon);
    return pixels[static_cast<size_t>(p.y) * 2048 + static_cast<size_t>(p.x)];
  };
  const uint32_t sea = colourAt(35.0, -40.0);  // the middle of the North Atlantic
  const uint32_t land = colourAt(23.0, 10.0);  // the Sahara
  EXPECT_NE(sea, land);
  for (const auto& [lat, lon] : {std::pair{-25.0, 135.0}, {48.0, 2.5}, {60.0, 100.0}, {-10.0, -55.0}, {40.0, -100.0},
                                 {66.0, -172.0}, {-80.0, 0.0}})
    EXPECT_EQ(colourAt(lat, lon), land) << lat << " " << lon;
  for (const auto& [lat, lon] : {std::pair{5.0, -145.0}, {-40.0, 80.0}, {42.0, 51.0}, {20.0, 179.0}, {55.0, -178.0}})
    EXPECT_EQ(colourAt(lat, lon), sea) << lat << " " << lon;
}

const auto kLoadOk = [](std::span<const uint8_t>) { return true; };

TEST(BlankMap, SpansTwoHundredthsOfADegreeAroundThePosition) {
  MapDocument map;
  map.SetMapPath("/maps/last.png");
  map.Calibration().SetRefPoint(0, {1, 1, 1.0, 1.0});
  int told = 0;
  map.AddListener([&](const MapCalibration&) { ++told; });

  EXPECT_EQ(map.UseBlankMap({0.0, 0.0}, kLoadOk), BlankMapOutcome::NoPosition);
  EXPECT_EQ(map.UseBlankMap({50.0, 8.0}, [](std::span<const uint8_t>) { return false; }),
            BlankMapOutcome::PictureFailed);
  EXPECT_FALSE(map.IsBlankMap());
  EXPECT_EQ(map.Calibration().RefPointAt(0).x, 1);
  EXPECT_EQ(told, 0);

  size_t handed = 0;
  map.SetScroll(40, 50);
  EXPECT_EQ(map.UseBlankMap({50.0, 8.0},
                            [&](std::span<const uint8_t> gif) {
                              handed = gif.size();
                              return true;
                            }),
            BlankMapOutcome::Shown);
  EXPECT_EQ(handed, BlankMapGif().size());
  EXPECT_TRUE(map.IsBlankMap());
  EXPECT_EQ(told, 1);
  EXPECT_EQ(map.MapPath(), "/maps/last.png");
  EXPECT_EQ(map.ScrollX(), 0);
  const MapCalibration& c = map.Calibration();
  EXPECT_EQ(c.RefPointCount(), 3);
  EXPECT_EQ(c.RefPointAt(1), (RefPoint{0, 499, 49.99, 7.99}));
  LatLon g = c.PixelToGeo(0, 0);
  EXPECT_NEAR(g.latitude, 50.01, 1e-12);
  EXPECT_NEAR(g.longitude, 7.99, 1e-12);
  g = c.PixelToGeo(249, 249);
  EXPECT_NEAR(g.latitude, 50.00002, 1e-6);
  EXPECT_NEAR(g.longitude, 7.99998, 1e-6);
  EXPECT_EQ(map.SaveCalibration(), SaveOutcome::NotSaved);
}

TEST(BlankMap, ZoomWidensAndNarrowsTheExtentByTheStep) {
  MapDocument map;
  EXPECT_FALSE(map.BlankMapZoom(false));  // no blank map shown
  map.UseBlankMap({50.0, 8.0}, kLoadOk);
  const auto latExtent = [&] { return map.Calibration().RefPointAt(0).latitude - map.Calibration().RefPointAt(1).latitude; };
  const auto lonExtent = [&] { return map.Calibration().RefPointAt(2).longitude - map.Calibration().RefPointAt(1).longitude; };

  EXPECT_TRUE(map.BlankMapZoom(false));
  EXPECT_NEAR(latExtent(), 0.03, 1e-12);
  EXPECT_EQ(map.BlankStep(), 2.0);
  EXPECT_TRUE(map.BlankMapZoom(false));
  EXPECT_NEAR(lonExtent(), 0.05, 1e-12);
  EXPECT_EQ(map.BlankStep(), 4.0);
  EXPECT_TRUE(map.BlankMapZoom(true));  // step halved first: 2, 0.01 off each side
  EXPECT_NEAR(latExtent(), 0.03, 1e-12);
  EXPECT_TRUE(map.BlankMapZoom(true));
  EXPECT_TRUE(map.BlankMapZoom(true));
  EXPECT_NEAR(latExtent(), 0.01, 1e-12);
  EXPECT_EQ(map.BlankStep(), 1.0);
  EXPECT_FALSE(map.BlankMapZoom(true));  // 0.011 degrees or less: nothing happens
  EXPECT_NEAR(latExtent(), 0.01, 1e-12);
  EXPECT_EQ(map.Calibration().RefPointAt(2).x, 499);  // pixels never move

  // The step outlives a new blank map; a zoom-in that would close the extent
  // to nothing is refused instead.
  map.BlankMapZoom(false);
  map.BlankMapZoom(false);
  map.BlankMapZoom(false);  // step 8
  map.UseBlankMap({50.0, 8.0}, kLoadOk);
  EXPECT_EQ(map.BlankStep(), 8.0);
  EXPECT_FALSE(map.BlankMapZoom(true));
  EXPECT_NEAR(latExtent(), 0.02, 1e-12);
  EXPECT_TRUE(map.Calibration().IsCalibrated());
}

TEST_F(CalibrationFiles, ListenersHearOfEveryChangeThatRebuildsTheTransforms) {
  Write("a.ini", "x1=10\ny1=20\nlat1=52\nlon1=4\nx2=110\ny2=220\nlat2=51\nlon2=5\n");
  MapDocument map;
  map.SetMapPath(dir_ / "a.png");
  std::vector<int> counts;
  int second = 0;
  const int first = map.AddListener([&](const MapCalibration& c) {
    counts.push_back(c.RefPointCount());
    if (counts.size() == 1) second = map.AddListener([&](const MapCalibration&) { counts.push_back(-1); });
  });
  map.MapPictureLoaded();
  EXPECT_EQ(counts, (std::vector<int>{2}));  // the listener added while told waits for the next change

  map.Calibration().DeleteRefPoint(1);
  map.CalibrationChanged();  // one point: nothing rebuilt, nobody told
  EXPECT_EQ(counts.size(), 1u);
  map.Calibration().AddRefPoint({110, 220, 51.0, 5.0});
  map.Calibration().AddRefPoint({110, 20, 52.0, 5.0});
  map.CalibrationChanged();
  EXPECT_EQ(counts, (std::vector<int>{2, 3, -1}));
  const MapPixel p = map.Calibration().GeoToPixel(51.5, 4.5);  // three points now, truncated
  EXPECT_NEAR(p.x, 60, 1);
  EXPECT_NEAR(p.y, 120, 1);

  map.RemoveListener(first);
  map.RemoveListener(second);
  map.CalibrationChanged();
  EXPECT_EQ(counts.size(), 3u);
}

}  // namespace
}  // namespace tarvo
