// The list's edits and its sorted display order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/poi/poi_list.h"

namespace tarvo {
namespace {

std::vector<std::string> Names(const PoiList& list) {
  std::vector<std::string> names;
  for (const auto& r : list.records()) names.push_back(r.name + "#" + std::to_string(r.number));
  return names;
}

TEST(PoiList, EditsNumberRecordsInFileOrderAndSetModified) {
  PoiList list;
  EXPECT_FALSE(list.modified());
  list.Add(1, 1, "A", "a");
  list.Add(2, 2, "B", "b");
  list.Add(3, 3, "C\n\"x\"", "ABCDEFGHIJK");
  EXPECT_TRUE(list.modified());
  EXPECT_EQ(list.at(2).name, "C \"x\"");  // a line break would split a CSV line
  EXPECT_EQ(list.at(2).abbreviation, "ABCDEFGHI");

  list.setModified(false);
  EXPECT_FALSE(list.MoveUp(0));  // first record up, last down: nothing
  EXPECT_FALSE(list.MoveDown(2));
  EXPECT_FALSE(list.modified());

  list.Move(0, 10, 20, 5, 6);
  EXPECT_TRUE(list.MoveDown(0));  // the location moves, the numbers stay
  EXPECT_EQ(Names(list), (std::vector<std::string>{"B#1", "A#2", "C \"x\"#3"}));
  EXPECT_EQ(list.at(1).latitude, 10);
  EXPECT_EQ(list.at(1).mapX, 5);
  EXPECT_TRUE(list.MoveUp(2));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"B#1", "C \"x\"#2", "A#3"}));

  EXPECT_TRUE(list.Remove(0));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"C \"x\"#1", "A#2"}));
  EXPECT_EQ(list.Add(0, 0, "D", ""), 2u);
  EXPECT_EQ(list.at(2).number, 3);
  EXPECT_TRUE(list.Edit(2, 7, 8, "E", "e"));
  EXPECT_EQ(list.at(2).name, "E");
  EXPECT_FALSE(list.Edit(9, 0, 0, "", ""));
  EXPECT_FALSE(list.Remove(9));
}

TEST(PoiList, HideOutsideTheMapAndShowAllAgain) {
  PoiList list;
  list.Add(1, 1, "in", "", 0, 100);
  list.Add(1, 1, "out", "", 101, 5);
  list.Add(1, 1, "none", "", kPoiNoMapPosition, kPoiNoMapPosition);
  list.Add(1, 1, "edge", "", 100, 0);
  list.setModified(false);
  EXPECT_EQ(list.HideOutside(100, 100), 2u);
  EXPECT_FALSE(list.modified());
  const auto shownWhileHidden = list.DisplayOrder({}, {});
  EXPECT_EQ(shownWhileHidden, (std::vector<size_t>{0, 3}));
  // A record added while others are hidden still gets a number of its own.
  EXPECT_EQ(list.at(list.Add(1, 1, "added", "")).number, 5);
  EXPECT_EQ(list.ShowAll(), (std::vector<size_t>{1, 2}));
  EXPECT_EQ(list.DisplayOrder({}, {}).size(), 5u);
}

TEST(PoiList, DisplayOrderSortsByEachColumnBothWays) {
  PoiList list;
  const LatLon here{52.0, 5.0};
  list.Add(52.0, 5.2, "east", "");    // about 13.7 km, bearing 90
  list.Add(52.05, 5.0, "North", "");  // about 5.6 km, bearing 0
  list.Add(51.9, 5.0, "south", "");   // about 11.1 km, bearing 180
  list.Add(52.0, 4.99, "west", "");   // about 0.7 km, bearing 270
  PoiSort sort;
  EXPECT_EQ(list.DisplayOrder(sort, here), (std::vector<size_t>{0, 1, 2, 3}));
  sort.ClickColumn(static_cast<int>(PoiSortKey::Distance));
  EXPECT_EQ(list.DisplayOrder(sort, here), (std::vector<size_t>{3, 1, 2, 0}));
  sort.ClickColumn(static_cast<int>(PoiSortKey::Distance));  // again: reversed
  EXPECT_TRUE(sort.Descending());
  EXPECT_EQ(sort.orderMask, 1 << 4);
  EXPECT_EQ(list.DisplayOrder(sort, here), (std::vector<size_t>{0, 2, 1, 3}));
  sort.ClickColumn(static_cast<int>(PoiSortKey::Name));  // byte-wise: capitals first
  EXPECT_FALSE(sort.Descending());
  EXPECT_EQ(list.DisplayOrder(sort, here), (std::vector<size_t>{1, 0, 2, 3}));
  sort.ClickColumn(static_cast<int>(PoiSortKey::Bearing));
  EXPECT_EQ(list.DisplayOrder(sort, here), (std::vector<size_t>{1, 0, 2, 3}));
  sort.ClickColumn(static_cast<int>(PoiSortKey::Distance));  // keeps its stored order
  EXPECT_TRUE(sort.Descending());

  // Without a position every bearing and distance is 0: file order stays.
  EXPECT_EQ(list.DisplayOrder(sort, LatLon{}), (std::vector<size_t>{0, 1, 2, 3}));
  EXPECT_EQ((PoiSort{9, 0}.Key()), PoiSortKey::Number);  // a stored type out of range
  EXPECT_EQ(PoiDirectionSector(350), 0);
  EXPECT_EQ(PoiDirectionSector(67.4), 1);
  EXPECT_EQ(PoiDirectionSector(67.5), 2);
}

}  // namespace
}  // namespace tarvo
