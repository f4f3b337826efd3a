// The location service page: uploads the position (on request and on the
// window's upload timer), searches for links near a position and shows the
// service's answers in its HTML view, whose "gps:" links drive the map and
// the POI list.
#pragma once

#include <QDialog>
#include <QString>
#include <chrono>

#include "core/geo/coordinates.h"
#include "core/service/location_service_client.h"
#include "gui/window/page.h"
#include "gui/window/page_commands.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvo {

class HtmlView;
class ServiceReports;
struct Fix;

// "Configure": the account and the service's address.
class ServerConfigDialog : public QDialog {
  Q_OBJECT
 public:
  ServerConfigDialog(const QString& user, const QString& password, const QString& serviceUrl,
                     QWidget* parent = nullptr);
  QString user() const;
  QString password() const;
  QString serviceUrl() const;

  void accept() override;  // refuses an address that is not http(s)

 private:
  QLineEdit* user_;
  QLineEdit* password_;
  QLineEdit* url_;
  QLabel* problem_;
};

class ServicePage : public Page, public ServiceCommands {
  Q_OBJECT
 public:
  // The client is the window's, reporting through `reports`; its worker is
  // started here and stopped when the page goes.
  ServicePage(PageHost& host, LocationServiceClient& client, ServiceReports& reports);
  ~ServicePage() override;

  // Where the results page goes: "hopla.html" in the user's data folder.
  static std::string DefaultResultsPagePath();

  // ServiceCommands: searches near `position` from result `offset` (0, 10,
  // ...); a later page of one search keeps the first search's position.
  void Search(int offset, LatLon position) override;

  // The window's upload timer: queues an upload of fix.position. False only
  // when a request is still running (the attempt does not count).
  bool UploadPosition(const Fix& fix);
  // "Upload Location": the same for the current fix, with a message page.
  void UploadNow();

  void OnActivate() override;

  // For the --screenshot pictures: with an account and a fix, searches near
  // the current position and runs the event loop until the answer (results
  // or a message) is shown, at most `timeout`. False when nothing was
  // searched or no answer came in time.
  bool SearchAndWait(std::chrono::milliseconds timeout);

  // What the view's links do: http(s) to the desktop browser, gps: actions
  // to the map, the POI page and the search; anything else is ignored.
  void HandleLink(const QString& target);

  // Message page: `html` (already HTML) above the service's logo and link.
  void ShowMessage(const QString& html);
  void ShowIntroduction();
  // "Configure": the dialog; stores the account and address on OK.
  void Configure();
  // Stops the worker (also done by the destructor): a download in progress
  // is cut off.
  void Shutdown();

  HtmlView& view() const { return *view_; }

 signals:
  // A manual upload was attempted at this moment: the window's controller
  // counts it as the last upload (ConnectionController::SetLastUploadTime).
  void uploadAttempted();

 private:
  ServiceAccount Account() const;
  ResultsPageStyle Style() const;
  QString SiteLink(const QString& content) const;
  bool Upload(LatLon position, bool manual);
  void OnMessage(ServiceMessage message, const QString& detail);
  void OnResultsPage(const QString& path);

  LocationServiceClient& client_;
  HtmlView* view_ = nullptr;
  QPushButton* search_ = nullptr;
  QPushButton* upload_ = nullptr;
  QPushButton* configure_ = nullptr;
  QPushButton* help_ = nullptr;
  bool initialised_ = false;
  bool answered_ = false;  // a report arrived since SearchAndWait began
  QString resultsPagePath_;
};

}  // namespace tarvo
