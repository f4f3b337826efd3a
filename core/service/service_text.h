// The texts of the Hopla location service client: the messages it reports,
// request addresses, the escaping of service texts and the links of its
// pages ("gps:" actions and web links).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvo {

// Setting "ServiceURL": the base address of the Hopla service.
inline constexpr std::string_view kDefaultServiceUrl = "http://127.0.0.1:8642/hopla/";

// What a finished request reports to the page. Each has one English text
// (ServiceMessageText), which the window translates; "%1" in it stands for
// the report's detail.
enum class ServiceMessage {
  UploadDone,            // detail: the service's web site name
  UploadAccessDenied,
  UploadError,
  UploadUnreachable,     // detail: why the download failed
  SearchError,
  SearchAccessDenied,
  SearchPageNotWritten,
  SearchUnreachable,     // detail: why the download failed
};

// The one table of message texts, e.g. "Searching - Error",
// "Searching - Cannot reach the service: %1".
std::string_view ServiceMessageText(ServiceMessage message);
// The text with "%1" replaced by detail (HTML-escaped: messages are shown as HTML).
std::string FormatServiceMessage(ServiceMessage message, std::string_view detail);

// The account and address of the service (settings "Username", "Password",
// "ServiceURL").
struct ServiceAccount {
  std::string baseUrl{kDefaultServiceUrl};
  std::string user;
  std::string password;
};

// RFC 3986 percent-encoding: everything but A-Z a-z 0-9 - . _ ~ as "%XX".
std::string PercentEncode(std::string_view text);
// "%XX" -> the byte; any other byte, and a "%" without two hex digits, stays.
std::string PercentDecode(std::string_view text);

// "BASE" + "upload?user=U&password=P&lat=LAT&lon=LON" (a "/" added to a base
// without one), every value percent-encoded, degrees with 6 decimals.
std::string UploadRequestUrl(const ServiceAccount& account, double latitude, double longitude);
// The same with "search?...&offset=N".
std::string SearchRequestUrl(const ServiceAccount& account, int offset, double latitude, double longitude);

// Text for HTML: & < > " ' as entities; control characters other than tab
// become blanks, so a service text can never add markup or attributes.
std::string HtmlEscape(std::string_view text);

// What the results and message pages do with a clicked link: http and https
// addresses go to the desktop browser, "gps:" links to the program, every
// other scheme (javascript:, file:, data:, relative addresses) is ignored.
enum class LinkKind { Web, Gps, Ignored };
LinkKind ClassifyLink(std::string_view target);

// The actions of "gps:" links, told by the first four letters of the action.
enum class GpsAction { Previous, Next, ShowOnMap, AddPoi, TakeMe };

struct GpsLink {
  GpsAction action = GpsAction::Next;
  double latitude = 0.0;   // degrees, [-90, 90]
  double longitude = 0.0;  // degrees, [-180, 180]
  std::string label;       // percent-decoded
};

// "gps:ACTION?lat=..&lon=..[&label=..]". Empty when the action is unknown,
// lat or lon is missing, not a decimal number or out of range.
std::optional<GpsLink> ParseGpsLink(std::string_view target);

}  // namespace tarvo
