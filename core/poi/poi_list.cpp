#include "core/poi/poi_list.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "core/geo/distance.h"

namespace tarvo {

namespace {

// Windows-1252 bytes 0x80..0x9F as Unicode; 0 for the five unassigned ones
// (taken as Latin-1 then, like the rest of 0xA0..0xFF).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// `c` (below U+10000) as UTF-8 in `buffer`.
std::string_view Utf8(char32_t c, char* buffer) {
  if (c < 0x80) {
    buffer[0] = static_cast<char>(c);
    return {buffer, 1};
  }
  if (c < 0x800) {
    buffer[0] = static_cast<char>(0xC0 | (c >> 6));
    buffer[1] = static_cast<char>(0x80 | (c & 0x3F));
    return {buffer, 2};
  }
  buffer[0] = static_cast<char>(0xE0 | (c >> 12));
  buffer[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  buffer[2] = static_cast<char>(0x80 | (c & 0x3F));
  return {buffer, 3};
}

// Length of the valid UTF-8 sequence at text[i], 0 when it is not one.
size_t Utf8Length(std::string_view text, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char c = b(0);
  if (c < 0x80) return 1;
  size_t n = 0;
  if (c >= 0xC2 && c <= 0xDF) n = 2;
  else if (c >= 0xE0 && c <= 0xEF) n = 3;
  else if (c >= 0xF0 && c <= 0xF4) n = 4;
  else return 0;
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
  }
  // No overlong forms, no surrogates, nothing above U+10FFFF.
  if (n == 3 && c == 0xE0 && b(1) < 0xA0) return 0;
  if (n == 3 && c == 0xED && b(1) >= 0xA0) return 0;
  if (n == 4 && c == 0xF0 && b(1) < 0x90) return 0;
  if (n == 4 && c == 0xF4 && b(1) >= 0x90) return 0;
  return n;
}

// The two-byte form of a C1 control character, U+0080..U+009F.
bool IsC1Control(std::string_view text, size_t i) {
  return static_cast<unsigned char>(text[i]) == 0xC2 && i + 1 < text.size() &&
         static_cast<unsigned char>(text[i + 1]) < 0xA0 && static_cast<unsigned char>(text[i + 1]) >= 0x80;
}

}  // namespace

std::string CleanPoiText(std::string_view text, size_t maxBytes) {
  // Most texts are already clean: one scan, one copy.
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      ++i;
      continue;
    }
    const size_t n = c < 0x80 ? 0 : Utf8Length(text, i);
    if (n == 0 || IsC1Control(text, i)) break;
    i += n;
  }
  if (i == text.size() && text.size() <= maxBytes) return std::string(text);

  std::string out;
  out.reserve(std::min(text.size(), maxBytes));
  char converted[4];
  for (i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t n = Utf8Length(text, i);
    std::string_view piece;
    if (n == 1) {
      converted[0] = (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c);
      piece = std::string_view(converted, 1);
    } else if (IsC1Control(text, i)) {
      // U+0080..U+009F: what a file declared ISO-8859-1 holds where its
      // writer meant Windows-1252 (the euro sign, curly quotes, dashes).
      const char16_t u = kCp1252High[static_cast<unsigned char>(text[i + 1]) - 0x80];
      piece = u != 0 ? Utf8(u, converted) : std::string_view(" ");
    } else if (n > 1) {
      piece = text.substr(i, n);
    } else {
      // A byte that is not UTF-8: Windows-1252. Its five unassigned bytes
      // become blanks, like the C1 controls above, so cleaning twice changes
      // nothing.
      const bool high = c >= 0x80 && c < 0xA0;
      const char16_t u = high ? kCp1252High[c - 0x80] : 0;
      piece = u != 0 ? Utf8(u, converted) : high ? std::string_view(" ") : Utf8(c, converted);
    }
    i += n > 0 ? n : 1;
    if (out.size() + piece.size() > maxBytes) break;
    out += piece;
  }
  return out;
}

int PoiDirectionSector(double bearingDegrees) {
  const int sector = static_cast<int>(std::lround(bearingDegrees / 45.0));
  return sector == 8 ? 0 : sector;
}

PoiSortKey PoiSort::Key() const {
  return type >= 0 && type < kPoiSortKeyCount ? static_cast<PoiSortKey>(type) : PoiSortKey::Number;
}

bool PoiSort::Descending() const { return ((orderMask >> static_cast<int>(Key())) & 1) != 0; }

void PoiSort::ClickColumn(int column) {
  if (column < 0 || column >= kPoiSortKeyCount) return;
  if (column == type) orderMask ^= 1 << column;
  type = column;
}

size_t PoiList::Add(double latitude, double longitude, std::string_view name, std::string_view abbreviation,
                    int32_t mapX, int32_t mapY) {
  PoiRecord r;
  r.number = static_cast<int>(records_.size()) + 1;
  r.latitude = latitude;
  r.longitude = longitude;
  r.mapX = mapX;
  r.mapY = mapY;
  r.name = CleanPoiText(name, kPoiNameMax);
  r.abbreviation = CleanPoiText(abbreviation, kPoiAbbreviationMax);
  records_.push_back(std::move(r));
  modified_ = true;
  return records_.size() - 1;
}

bool PoiList::Edit(size_t index, double latitude, double longitude, std::string_view name,
                   std::string_view abbreviation) {
  if (index >= records_.size()) return false;
  PoiRecord& r = records_[index];
  r.latitude = latitude;
  r.longitude = longitude;
  r.name = CleanPoiText(name, kPoiNameMax);
  r.abbreviation = CleanPoiText(abbreviation, kPoiAbbreviationMax);
  modified_ = true;
  return true;
}

bool PoiList::Move(size_t index, double latitude, double longitude, int32_t mapX, int32_t mapY) {
  if (index >= records_.size()) return false;
  PoiRecord& r = records_[index];
  r.latitude = latitude;
  r.longitude = longitude;
  r.mapX = mapX;
  r.mapY = mapY;
  modified_ = true;
  return true;
}

bool PoiList::SetMapPosition(size_t index, int32_t mapX, int32_t mapY) {
  if (index >= records_.size()) return false;
  records_[index].mapX = mapX;
  records_[index].mapY = mapY;
  return true;
}

bool PoiList::Remove(size_t index) {
  if (index >= records_.size()) return false;
  records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(index));
  Renumber();
  modified_ = true;
  return true;
}

namespace {

void SwapLocations(PoiRecord& a, PoiRecord& b) {
  std::swap(a.latitude, b.latitude);
  std::swap(a.longitude, b.longitude);
  std::swap(a.hidden, b.hidden);
  std::swap(a.mapX, b.mapX);
  std::swap(a.mapY, b.mapY);
  std::swap(a.name, b.name);
  std::swap(a.abbreviation, b.abbreviation);
}

}  // namespace

bool PoiList::MoveUp(size_t index) {
  if (index == 0 || index >= records_.size()) return false;
  SwapLocations(records_[index], records_[index - 1]);
  modified_ = true;
  return true;
}

bool PoiList::MoveDown(size_t index) {
  if (index + 1 >= records_.size()) return false;
  SwapLocations(records_[index], records_[index + 1]);
  modified_ = true;
  return true;
}

size_t PoiList::HideOutside(int32_t width, int32_t height) {
  size_t hidden = 0;
  for (PoiRecord& r : records_) {
    if (r.hidden) continue;
    if (r.mapX < 0 || r.mapX > width || r.mapY < 0 || r.mapY > height) {
      r.hidden = true;
      ++hidden;
    }
  }
  return hidden;
}

std::vector<size_t> PoiList::ShowAll() {
  std::vector<size_t> shown;
  for (size_t i = 0; i < records_.size(); ++i) {
    if (records_[i].hidden) {
      records_[i].hidden = false;
      shown.push_back(i);
    }
  }
  return shown;
}

std::vector<size_t> PoiList::DisplayOrder(const PoiSort& sort, LatLon here) const {
  std::vector<size_t> rows;
  rows.reserve(records_.size());
  for (size_t i = 0; i < records_.size(); ++i) {
    if (!records_[i].hidden) rows.push_back(i);
  }
  const PoiSortKey key = sort.Key();
  const bool descending = sort.Descending();
  if (key == PoiSortKey::Name) {
    const auto less = [&](size_t a, size_t b) {
      return descending ? records_[b].name < records_[a].name : records_[a].name < records_[b].name;
    };
    std::stable_sort(rows.begin(), rows.end(), less);
    return rows;
  }
  // One numeric key per record, computed once.
  std::vector<double> keys(records_.size(), 0.0);
  for (const size_t i : rows) {
    const PoiRecord& r = records_[i];
    switch (key) {
      case PoiSortKey::Number: keys[i] = r.number; break;
      case PoiSortKey::Direction:
        keys[i] = PoiDirectionSector(InitialBearing(here.latitude, here.longitude, r.latitude, r.longitude));
        break;
      case PoiSortKey::Bearing:
        keys[i] = InitialBearing(here.latitude, here.longitude, r.latitude, r.longitude);
        break;
      case PoiSortKey::Distance:
        keys[i] = GreatCircleDistance(here.latitude, here.longitude, r.latitude, r.longitude);
        break;
      case PoiSortKey::Name: break;
    }
    if (std::isnan(keys[i])) keys[i] = 0.0;  // a NaN would break the ordering
  }
  const auto less = [&](size_t a, size_t b) { return descending ? keys[b] < keys[a] : keys[a] < keys[b]; };
  std::stable_sort(rows.begin(), rows.end(), less);
  return rows;
}

void PoiList::Reset(std::string path, PoiFileFormat format, std::vector<PoiRecord> records, bool partial) {
  path_ = std::move(path);
  format_ = format;
  records_ = std::move(records);
  Renumber();
  partial_ = partial;
  modified_ = false;
}

void PoiList::Renumber() {
  int n = 0;
  for (PoiRecord& r : records_) r.number = ++n;
}

}  // namespace tarvo
