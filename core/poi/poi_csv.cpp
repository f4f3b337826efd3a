// CSV and ASC ("POI Edit") files.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "core/geo/number_text.h"
#include "core/poi/poi_formats.h"

namespace tarvo {

namespace {

// Longest piece of a line read at once, in bytes without the line end.
constexpr size_t kCsvLineMax = 511;

struct Field {
  std::string text;     // quotes removed, doubled quotes inside quotes made one
  bool quoted = false;  // the raw field began with a double quote
};

// Fields of one line. Commas outside double quotes split; each lone quote
// toggles the inside-quotes state and is dropped; "" inside quotes is a
// quote. A line ending in a separating comma has no last field.
void SplitFields(std::string_view line, std::vector<Field>& fields, size_t& used) {
  used = 0;
  if (line.empty()) return;
  const auto open = [&]() -> Field& {
    if (used == fields.size()) fields.emplace_back();
    Field& f = fields[used++];
    f.text.clear();
    f.quoted = false;
    return f;
  };
  Field* field = &open();
  bool inQuotes = false;
  bool atStart = true;
  size_t i = 0;
  while (i < line.size()) {
    // The run of plain characters up to the next quote (or comma outside quotes).
    size_t j = i;
    while (j < line.size() && line[j] != '"' && (inQuotes || line[j] != ',')) ++j;
    if (j > i) {
      field->text.append(line.substr(i, j - i));
      atStart = false;
      i = j;
      continue;
    }
    if (line[i] == '"') {
      if (atStart) field->quoted = true;
      atStart = false;
      if (inQuotes && i + 1 < line.size() && line[i + 1] == '"') {
        field->text += '"';
        ++i;
      } else {
        inQuotes = !inQuotes;
      }
    } else {  // a separating comma
      if (i + 1 == line.size()) return;  // trailing comma: no last field
      field = &open();
      atStart = true;
    }
    ++i;
  }
}

// The longest leading decimal number of a field (blanks before it allowed,
// an optional sign, digits, a fraction, an exponent), as the program's
// decimal reader takes it in the C locale; no number, or one too large or
// not finite, reads as 0.
double LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  text.remove_prefix(i);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.')) return 0.0;
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ec != std::errc() || !std::isfinite(value)) return 0.0;
  (void)end;
  return negative ? -value : value;
}

bool StartsWithNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  if (i < text.size() && text[i] == '.') ++i;
  return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

bool EqualsNoCase(std::string_view text, std::string_view word) {
  return text.size() == word.size() && StartsWithNoCase(text, word);
}

// A header field: "long..." or "lat..." in any case.
bool IsLongitudeHeader(const Field& f) { return StartsWithNoCase(f.text, "long"); }
bool IsLatitudeHeader(const Field& f) { return StartsWithNoCase(f.text, "lat"); }

// Where a line piece may end: at most kCsvLineMax bytes, backed off so
// that no UTF-8 character is split.
size_t PieceLength(std::string_view rest) {
  if (rest.size() <= kCsvLineMax) return rest.size();
  size_t n = kCsvLineMax;
  for (int back = 0; back < 3 && n > 0 && (static_cast<unsigned char>(rest[n]) & 0xC0) == 0x80; ++back) --n;
  return n == 0 ? kCsvLineMax : n;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

PoiReadResult ReadCsv(std::string_view text, CsvOrder defaultOrder) {
  PoiReadResult result;
  CsvOrder order = defaultOrder;
  bool headerSeen = false;
  std::vector<Field> fields;  // reused from line to line; the first `used` count
  size_t used = 0;
  result.records.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);

  const auto processPiece = [&](std::string_view piece) {
    SplitFields(piece, fields, used);
    if (used == 0) return;  // empty line
    if (!fields[0].quoted && !fields[0].text.empty() && fields[0].text[0] == ';') return;  // comment
    // A quoted first field before a number is a record: this program writes
    // every name quoted, and a first record named "Name" or "Lat" must
    // survive its own save.
    const bool quotedRecord = fields[0].quoted && used > 1 && StartsWithNumber(fields[1].text);
    if (result.records.empty() && !headerSeen && !quotedRecord) {
      const Field& first = fields[0];
      if (IsLongitudeHeader(first)) {
        order = CsvOrder::LonLatName;
        headerSeen = true;
      } else if (IsLatitudeHeader(first)) {
        order = CsvOrder::LatLonName;
        headerSeen = true;
      } else if (EqualsNoCase(first.text, "name")) {
        order = used > 1 && IsLongitudeHeader(fields[1]) ? CsvOrder::NameLonLat : CsvOrder::NameLatLon;
        headerSeen = true;
      }
      if (headerSeen) return;
    }
    const auto field = [&](size_t i) -> std::string_view {
      return i < used ? std::string_view(fields[i].text) : std::string_view();
    };
    PoiRecord r;
    std::string_view name;
    switch (order) {
      case CsvOrder::NameLatLon:
        name = field(0);
        r.latitude = LeadingNumber(field(1));
        r.longitude = LeadingNumber(field(2));
        break;
      case CsvOrder::NameLonLat:
        name = field(0);
        r.longitude = LeadingNumber(field(1));
        r.latitude = LeadingNumber(field(2));
        break;
      case CsvOrder::LonLatName:
        r.longitude = LeadingNumber(field(0));
        r.latitude = LeadingNumber(field(1));
        name = field(2);
        break;
      case CsvOrder::LatLonName:
        r.latitude = LeadingNumber(field(0));
        r.longitude = LeadingNumber(field(1));
        name = field(2);
        break;
    }
    r.name = CleanPoiText(name, kPoiCsvNameMax);
    r.abbreviation = CleanPoiText(field(3), kPoiAbbreviationMax);
    r.number = static_cast<int>(result.records.size()) + 1;
    result.records.push_back(std::move(r));
    ++result.read;
  };

  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // a CR LF line end
    do {
      const size_t n = PieceLength(line);
      processPiece(line.substr(0, n));
      line.remove_prefix(n);
    } while (!line.empty());
    start = next;
  }
  return result;
}

std::string WriteCsv(const std::vector<PoiRecord>& records, bool asAsc) {
  std::string out;
  out.reserve(records.size() * 48);
  for (const PoiRecord& r : records) {
    if (asAsc) {
      AppendFixed(out, r.longitude, 5);
      out += ',';
      AppendFixed(out, r.latitude, 5);
      out += ',';
      AppendQuoted(out, CleanPoiText(r.name, kPoiNameMax));
    } else {
      AppendQuoted(out, CleanPoiText(r.name, kPoiNameMax));
      out += ',';
      AppendFixed(out, r.latitude, 5);
      out += ',';
      AppendFixed(out, r.longitude, 5);
      out += ',';
      AppendQuoted(out, CleanPoiText(r.abbreviation, kPoiAbbreviationMax));
    }
    out += '\n';
  }
  return out;
}

}  // namespace tarvo
