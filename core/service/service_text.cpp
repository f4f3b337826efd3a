#include "core/service/service_text.h"

#include <cmath>

#include "core/geo/number_text.h"

namespace tarvo {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != prefix[i]) return false;
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Base(const ServiceAccount& account) {
  std::string base = account.baseUrl;
  if (base.empty() || base.back() != '/') base += '/';
  return base;
}

void AppendAccount(std::string& url, const ServiceAccount& account, double latitude, double longitude) {
  url += "user=";
  url += PercentEncode(account.user);
  url += "&password=";
  url += PercentEncode(account.password);
  url += "&lat=";
  AppendFixed(url, latitude, 6);
  url += "&lon=";
  AppendFixed(url, longitude, 6);
}

}  // namespace

std::string_view ServiceMessageText(ServiceMessage message) {
  switch (message) {
    case ServiceMessage::UploadDone:
      return "OK - Your location has been uploaded to Hopla. You can now login at %1 and search for URLs from a "
             "regular web browser.";
    case ServiceMessage::UploadAccessDenied:
      return "Error - Access denied, check your Hopla username and password.";
    case ServiceMessage::UploadError:
      return "Uploading to server - Error";
    case ServiceMessage::UploadUnreachable:
      return "Uploading to server - Cannot reach the service: %1";
    case ServiceMessage::SearchError:
      return "Searching - Error";
    case ServiceMessage::SearchAccessDenied:
      return "Searching - Access denied.<br>Check that you have correctly set your Hopla username and password.";
    case ServiceMessage::SearchPageNotWritten:
      return "Searching - Unable to open hopla html file";
    case ServiceMessage::SearchUnreachable:
      return "Searching - Cannot reach the service: %1";
  }
  return "";
}

std::string FormatServiceMessage(ServiceMessage message, std::string_view detail) {
  std::string text(ServiceMessageText(message));
  const size_t at = text.find("%1");
  if (at != std::string::npos) text.replace(at, 2, HtmlEscape(detail));
  return text;
}

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::string UploadRequestUrl(const ServiceAccount& account, double latitude, double longitude) {
  std::string url = Base(account) + "upload?";
  AppendAccount(url, account, latitude, longitude);
  return url;
}

std::string SearchRequestUrl(const ServiceAccount& account, int offset, double latitude, double longitude) {
  std::string url = Base(account) + "search?";
  AppendAccount(url, account, latitude, longitude);
  url += "&offset=";
  AppendInt(url, offset);
  return url;
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (const char ch : text) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if ((static_cast<unsigned char>(ch) < 0x20 && ch != '\t') || ch == 0x7F) {
          out += ' ';
        } else {
          out += ch;
        }
    }
  }
  return out;
}

LinkKind ClassifyLink(std::string_view target) {
  // Browsers drop blanks and control characters around an address and tabs
  // and line breaks inside its scheme ("java\tscript:"); take the same view.
  std::string scheme;
  for (const char c : target) {
    if (c == '\t' || c == '\n' || c == '\r') continue;
    if (scheme.empty() && static_cast<unsigned char>(c) <= 0x20) continue;
    if (c == ':') {
      if (scheme == "http" || scheme == "https") return LinkKind::Web;
      if (scheme == "gps") return LinkKind::Gps;
      return LinkKind::Ignored;
    }
    const char l = Lower(c);
    if (!((l >= 'a' && l <= 'z') || (!scheme.empty() && ((l >= '0' && l <= '9') || l == '+' || l == '-' || l == '.')))) {
      return LinkKind::Ignored;
    }
    scheme += l;
  }
  return LinkKind::Ignored;
}

std::optional<GpsLink> ParseGpsLink(std::string_view target) {
  if (!StartsWithNoCase(target, "gps:")) return std::nullopt;
  const std::string_view rest = target.substr(4);
  const size_t question = rest.find('?');
  const std::string_view action = rest.substr(0, question);
  GpsLink link;
  const std::string_view head = action.substr(0, 4);
  if (head == "prev") {
    link.action = GpsAction::Previous;
  } else if (head == "next") {
    link.action = GpsAction::Next;
  } else if (head == "smap") {
    link.action = GpsAction::ShowOnMap;
  } else if (head == "apoi") {
    link.action = GpsAction::AddPoi;
  } else if (head == "take") {
    link.action = GpsAction::TakeMe;
  } else {
    return std::nullopt;
  }
  if (question == std::string_view::npos) return std::nullopt;
  std::optional<double> lat, lon;
  std::string_view query = rest.substr(question + 1);
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view piece = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    const size_t equals = piece.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = piece.substr(0, equals), value = piece.substr(equals + 1);
    if (key == "lat" || key == "lon") {
      if (value.empty()) return std::nullopt;
      const std::optional<double> v = ParseDecimalField(value);
      if (!v || !std::isfinite(*v)) return std::nullopt;
      (key == "lat" ? lat : lon) = *v;
    } else if (key == "label") {
      link.label = PercentDecode(value);
    }
  }
  if (!lat || !lon || std::fabs(*lat) > 90.0 || std::fabs(*lon) > 180.0) return std::nullopt;
  link.latitude = *lat;
  link.longitude = *lon;
  return link;
}

}  // namespace tarvo
