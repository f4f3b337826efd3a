// LOC and GPX files, read with expat and written as fixed text.
#include <expat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/geo/number_text.h"
#include "core/poi/poi_formats.h"

namespace tarvo {

namespace {

// Separates a namespace name from the local name in the names expat hands
// out; a line feed can be neither part of a name nor of a namespace name.
constexpr char kNamespaceSeparator = '\n';

std::string_view LocalName(const XML_Char* name) {
  std::string_view n(name);
  const size_t cut = n.rfind(kNamespaceSeparator);
  return cut == std::string_view::npos ? n : n.substr(cut + 1);
}

const XML_Char* Attribute(const XML_Char** attributes, std::string_view wanted) {
  for (size_t i = 0; attributes[i] != nullptr; i += 2) {
    if (LocalName(attributes[i]) == wanted) return attributes[i + 1];
  }
  return nullptr;
}

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view Trim(std::string_view text) {
  const auto blank = IsBlankChar;
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string Clean(std::string_view text, size_t maxBytes) {
  return std::string(Trim(CleanPoiText(Trim(text), maxBytes)));
}

// Latitude or longitude attribute: a decimal number within +-limit degrees.
std::optional<double> Degrees(const XML_Char* text, double limit) {
  if (text == nullptr) return std::nullopt;
  const std::string_view t = Trim(text);
  if (t.empty()) return std::nullopt;
  const auto value = ParseDecimalField(t);
  if (!value || *value < -limit || *value > limit) return std::nullopt;
  return value;
}

// Windows-1252 as an encoding expat does not know itself: files written by
// older programs declare it, or ISO-8859-1 while holding its bytes.
int UnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
  std::string lower(name);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower != "windows-1252" && lower != "cp1252") return XML_STATUS_ERROR;
  static constexpr int kHigh[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                    0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  for (int i = 0; i < 256; ++i) info->map[i] = i >= 0x80 && i < 0xA0 ? kHigh[i - 0x80] : i;
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}

// State shared by both readers: the waypoint being read and the text of
// the child element being collected.
struct ReaderState {
  PoiFileFormat format = PoiFileFormat::Gpx;
  PoiReadResult* result = nullptr;
  int depth = 0;               // of the element now open, root = 1
  bool rootChecked = false;
  bool wrongRoot = false;
  int waypointDepth = 0;       // 0 while outside a waypoint
  bool positionValid = false;
  double latitude = 0.0, longitude = 0.0;
  std::string id;              // LOC: the name's id attribute
  std::string nameText, descText;
  bool haveDesc = false;
  std::string* collecting = nullptr;  // text of the child now open, if wanted
  int collectingDepth = 0;

  void StartWaypoint() {
    waypointDepth = depth;
    positionValid = false;
    latitude = longitude = 0.0;
    id.clear();
    nameText.clear();
    descText.clear();
    haveDesc = false;
    collecting = nullptr;
  }

  // The keep rule: a name, and a position other than exactly 0/0.
  void EndWaypoint() {
    waypointDepth = 0;
    collecting = nullptr;
    ++result->read;
    PoiRecord r;
    // Cleaned first, then trimmed: control characters turn into blanks and
    // a cut may end in one, and neither would survive the next read.
    const std::string name = Clean(nameText, kPoiNameMax);
    if (format == PoiFileFormat::Loc) {
      r.name = name.empty() ? Clean(id, kPoiNameMax) : name;
      r.abbreviation = CleanPoiText(id, kPoiAbbreviationMax);
    } else {
      const std::string desc = Clean(descText, kPoiNameMax);
      r.name = haveDesc && !desc.empty() ? desc : name;
      r.abbreviation = Clean(nameText, kPoiAbbreviationMax);
    }
    r.latitude = latitude;
    r.longitude = longitude;
    if (!positionValid || r.name.empty() || (latitude == 0.0 && longitude == 0.0)) return;
    r.number = static_cast<int>(result->records.size()) + 1;
    result->records.push_back(std::move(r));
  }
};

void XMLCALL OnStart(void* data, const XML_Char* rawName, const XML_Char** attributes) {
  auto& s = *static_cast<ReaderState*>(data);
  ++s.depth;
  const std::string_view name = LocalName(rawName);
  if (!s.rootChecked) {
    s.rootChecked = true;
    s.wrongRoot = name != (s.format == PoiFileFormat::Loc ? "loc" : "gpx");
  }
  if (s.wrongRoot) return;
  if (s.waypointDepth == 0) {
    const bool starts = s.format == PoiFileFormat::Loc ? name == "waypoint" : (name == "wpt" || name == "rtept");
    if (!starts) return;
    s.StartWaypoint();
    if (s.format == PoiFileFormat::Gpx) {
      const auto lat = Degrees(Attribute(attributes, "lat"), 90.0);
      const auto lon = Degrees(Attribute(attributes, "lon"), 180.0);
      s.positionValid = lat && lon;
      if (s.positionValid) {
        s.latitude = *lat;
        s.longitude = *lon;
      }
    }
    return;
  }
  if (s.depth != s.waypointDepth + 1) return;  // only direct children of the waypoint
  if (name == "name") {
    s.nameText.clear();
    s.collecting = &s.nameText;
    s.collectingDepth = s.depth;
    if (s.format == PoiFileFormat::Loc) {
      const XML_Char* id = Attribute(attributes, "id");
      s.id = id != nullptr ? id : "";
    }
  } else if (name == "desc" && s.format == PoiFileFormat::Gpx) {
    s.descText.clear();
    s.haveDesc = true;
    s.collecting = &s.descText;
    s.collectingDepth = s.depth;
  } else if (name == "coord" && s.format == PoiFileFormat::Loc) {
    const auto lat = Degrees(Attribute(attributes, "lat"), 90.0);
    const auto lon = Degrees(Attribute(attributes, "lon"), 180.0);
    s.positionValid = lat && lon;
    s.latitude = lat.value_or(0.0);
    s.longitude = lon.value_or(0.0);
  }
}

void XMLCALL OnEnd(void* data, const XML_Char*) {
  auto& s = *static_cast<ReaderState*>(data);
  if (s.collecting != nullptr && s.depth == s.collectingDepth) s.collecting = nullptr;
  if (s.waypointDepth != 0 && s.depth == s.waypointDepth) s.EndWaypoint();
  --s.depth;
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
  auto& s = *static_cast<ReaderState*>(data);
  // Only text directly inside the collected element; a long text is not
  // kept beyond what a name can hold (with room for blanks to trim).
  if (s.collecting == nullptr || s.depth != s.collectingDepth) return;
  constexpr size_t kKeep = 4 * kPoiNameMax;
  std::string_view piece(text, static_cast<size_t>(length));
  if (s.collecting->empty()) {  // leading blanks never count
    while (!piece.empty() && IsBlankChar(piece.front())) piece.remove_prefix(1);
  }
  const size_t room = kKeep > s.collecting->size() ? kKeep - s.collecting->size() : 0;
  s.collecting->append(piece.substr(0, room));
}

bool IsBlank(std::string_view text) { return Trim(text).empty(); }

PoiReadResult ReadXml(std::string_view text, PoiFileFormat format) {
  PoiReadResult result;
  if (IsBlank(text)) return result;  // an empty file is an empty list
  result.records.reserve(text.size() / 128);  // about what a written record takes
  ReaderState state;
  state.format = format;
  state.result = &result;
  const std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
      XML_ParserCreateNS(nullptr, kNamespaceSeparator), &XML_ParserFree);
  if (!parser) {
    result.error = PoiError::Malformed;
    result.detail = "out of memory";
    return result;
  }
  XML_SetUserData(parser.get(), &state);
  XML_SetElementHandler(parser.get(), OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser.get(), OnText);
  XML_SetUnknownEncodingHandler(parser.get(), UnknownEncoding, nullptr);
  // Fed in pieces: expat takes an int length.
  constexpr size_t kChunk = size_t{1} << 30;
  bool ok = true;
  do {
    const size_t n = std::min(text.size(), kChunk);
    const bool last = n == text.size();
    ok = XML_Parse(parser.get(), text.data(), static_cast<int>(n), last ? 1 : 0) == XML_STATUS_OK;
    text.remove_prefix(n);
  } while (ok && !text.empty());
  if (!ok) {
    result.error = PoiError::Malformed;
    result.line = static_cast<int>(XML_GetCurrentLineNumber(parser.get()));
    result.column = static_cast<int>(XML_GetCurrentColumnNumber(parser.get())) + 1;
    result.detail = XML_ErrorString(XML_GetErrorCode(parser.get()));
  } else if (state.wrongRoot) {
    result.error = PoiError::NotPoiFile;
    result.line = 1;
    result.column = 1;
    result.detail = format == PoiFileFormat::Loc ? "root element is not <loc>" : "root element is not <gpx>";
  }
  return result;
}

// Text and attribute values: the five XML specials as references.
void AppendEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
}

// A CDATA section holding `text`: a "]]>" inside it is split over two
// sections, nothing else is escaped.
void AppendCdata(std::string& out, std::string_view text) {
  out += "<![CDATA[";
  for (size_t cut = text.find("]]>"); cut != std::string_view::npos; cut = text.find("]]>")) {
    out.append(text.substr(0, cut + 2));
    out += "]]><![CDATA[";
    text.remove_prefix(cut + 2);
  }
  out.append(text);
  out += "]]>";
}

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

}  // namespace

PoiReadResult ReadLoc(std::string_view text) { return ReadXml(text, PoiFileFormat::Loc); }
PoiReadResult ReadGpx(std::string_view text) { return ReadXml(text, PoiFileFormat::Gpx); }

std::string WriteLoc(const std::vector<PoiRecord>& records) {
  std::string out;
  out.reserve(80 + records.size() * 120);
  out += kXmlDeclaration;
  out += "<loc version=\"1.0\" src=\"Tarvo\">\n";
  for (const PoiRecord& r : records) {
    out += "<waypoint>\n\t<name id=\"";
    AppendEscaped(out, CleanPoiText(r.abbreviation, kPoiAbbreviationMax));
    out += "\">";
    AppendCdata(out, CleanPoiText(r.name, kPoiNameMax));
    out += "</name>\n\t<coord lat=\"";
    AppendFixed(out, r.latitude, 6);
    out += "\" lon=\"";
    AppendFixed(out, r.longitude, 6);
    out += "\"/>\n</waypoint>\n";
  }
  out += "</loc>\n";
  return out;
}

std::string WriteGpx(const std::vector<PoiRecord>& records) {
  std::string out;
  out.reserve(400 + records.size() * 100);
  out += kXmlDeclaration;
  out += "<gpx xmlns=\"http://www.topografix.com/GPX/1/0\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" version=\"1.0\" creator=\"Tarvo ";
  out += kPoiGpxWebAddress;
  out += "\">\n";
  out += "<name>Exported POI file from Tarvo</name>\n";
  out += "<desc>Exported POI file from Tarvo</desc>\n";
  out += "<email>";
  out += kPoiGpxEmail;
  out += "</email>\n<url>";
  out += kPoiGpxWebAddress;
  out += "</url>\n";
  for (const PoiRecord& r : records) {
    out += "<wpt lat=\"";
    AppendFixed(out, r.latitude, 6);
    out += "\" lon=\"";
    AppendFixed(out, r.longitude, 6);
    out += "\">\n\t<name>";
    AppendEscaped(out, CleanPoiText(r.abbreviation, kPoiAbbreviationMax));
    out += "</name>\n\t<desc>";
    AppendEscaped(out, CleanPoiText(r.name, kPoiNameMax));
    out += "</desc>\n</wpt>\n";
  }
  out += "</gpx>\n";
  return out;
}

PoiReadResult ReadPoiText(std::string_view text, PoiFileFormat format) {
  switch (format) {
    case PoiFileFormat::Loc: return ReadLoc(text);
    case PoiFileFormat::Gpx: return ReadGpx(text);
    case PoiFileFormat::Asc: return ReadAsc(text);
    case PoiFileFormat::Csv: break;
  }
  return ReadCsv(text, CsvOrder::NameLatLon);
}

std::string WritePoiText(const std::vector<PoiRecord>& records, PoiFileFormat format) {
  switch (format) {
    case PoiFileFormat::Loc: return WriteLoc(records);
    case PoiFileFormat::Gpx: return WriteGpx(records);
    case PoiFileFormat::Asc: return WriteCsv(records, true);
    case PoiFileFormat::Csv: break;
  }
  return WriteCsv(records, false);
}

}  // namespace tarvo
