#include "gui/service/service_page.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "core/gps/fix.h"
#include "core/service/results_page.h"
#include "core/service/service_text.h"
#include "core/settings/keys.h"
#include "core/settings/paths.h"
#include "core/settings/settings.h"
#include "gui/service/html_view.h"
#include "gui/service/service_reports.h"
#include "gui/window/settings_model.h"

namespace tarvo {

namespace {

// The name the service goes by in the dialog and the pages.
constexpr char kServiceName[] = "Hopla";
constexpr char kFont[] = "<font face=\"Arial,Helvetica,Geneva\" size=\"2\">\n";
// The map marker's label holds at most this many bytes.
constexpr size_t kMaxMarkerLabel = 254;

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
QString Html(const QString& text) { return Q(HtmlEscape(text.toStdString())); }

// `text` cut to at most `bytes` bytes, never inside a UTF-8 sequence.
std::string CutUtf8(std::string text, size_t bytes) {
  if (text.size() <= bytes) return text;
  size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

bool IsWebAddress(const QString& url) {
  const QUrl parsed(url, QUrl::StrictMode);
  return parsed.isValid() && (parsed.scheme() == QLatin1String("http") || parsed.scheme() == QLatin1String("https")) &&
         !parsed.host().isEmpty();
}

}  // namespace

// ---- ServerConfigDialog ----

ServerConfigDialog::ServerConfigDialog(const QString& user, const QString& password, const QString& serviceUrl,
                                       QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("serverConfigDialog"));
  setWindowTitle(tr("Hopla"));
  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox(QString::fromLatin1(kServiceName) + tr(" Server Configuration"), this);
  auto* form = new QFormLayout(group);
  user_ = new QLineEdit(user, group);
  user_->setObjectName(QStringLiteral("username"));
  user_->setMaxLength(static_cast<int>(Account::kMaxField));
  password_ = new QLineEdit(password, group);
  password_->setObjectName(QStringLiteral("password"));
  password_->setMaxLength(static_cast<int>(Account::kMaxField));
  password_->setEchoMode(QLineEdit::Password);
  url_ = new QLineEdit(serviceUrl, group);
  url_->setObjectName(QStringLiteral("serviceUrl"));
  form->addRow(tr("Username:"), user_);
  form->addRow(tr("Password:"), password_);
  form->addRow(tr("Service address:"), url_);
  layout->addWidget(group);
  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("problem"));
  problem_->setStyleSheet(QStringLiteral("color: #b00000"));
  problem_->hide();
  layout->addWidget(problem_);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(tr("&OK"), QDialogButtonBox::AcceptRole);
  buttons->addButton(tr("&Cancel"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &ServerConfigDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ServerConfigDialog::reject);
  layout->addWidget(buttons);
  auto* info = new QLabel(this);
  info->setTextFormat(Qt::RichText);
  info->setOpenExternalLinks(true);
  const QString escaped = Html(serviceUrl);
  info->setText(tr("For more information regarding this service, visit:") + QStringLiteral(" <a href=\"%1\">%1</a>").arg(escaped));
  layout->addWidget(info);
}

QString ServerConfigDialog::user() const { return user_->text(); }
QString ServerConfigDialog::password() const { return password_->text(); }
QString ServerConfigDialog::serviceUrl() const { return url_->text().trimmed(); }

void ServerConfigDialog::accept() {
  if (!IsWebAddress(serviceUrl())) {
    problem_->setText(tr("The service address must be an http:// or https:// address."));
    problem_->show();
    url_->setFocus();
    return;
  }
  QDialog::accept();
}

// ---- ServicePage ----

ServicePage::ServicePage(PageHost& host, LocationServiceClient& client, ServiceReports& reports)
    : Page(host, kServicePage, tr("Hopla")), client_(client) {
  setObjectName(QStringLiteral("servicePage"));
  resultsPagePath_ = QString::fromStdString(DefaultResultsPagePath());

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 16, 8, 8);
  auto* group = new QGroupBox(tr("Hopla"), this);
  group->setObjectName(QStringLiteral("serviceGroup"));
  auto* inner = new QVBoxLayout(group);
  auto* row = new QHBoxLayout;
  search_ = new QPushButton(tr("&Search"), group);
  search_->setObjectName(QStringLiteral("searchButton"));
  upload_ = new QPushButton(tr("&Upload Location"), group);
  upload_->setObjectName(QStringLiteral("uploadButton"));
  configure_ = new QPushButton(tr("&Configure"), group);
  configure_->setObjectName(QStringLiteral("configureButton"));
  help_ = new QPushButton(tr("?"), group);
  help_->setObjectName(QStringLiteral("helpButton"));
  help_->setFixedWidth(help_->fontMetrics().horizontalAdvance(QStringLiteral("??")) + 16);
  row->addWidget(search_);
  row->addWidget(upload_);
  row->addWidget(configure_);
  row->addStretch(1);
  row->addWidget(help_);
  inner->addLayout(row);
  view_ = new HtmlView(group);
  view_->setObjectName(QStringLiteral("htmlView"));
  inner->addWidget(view_, 1);
  layout->addWidget(group, 1);

  connect(search_, &QPushButton::clicked, this, [this] { Search(0, host_.currentFix().position); });
  connect(upload_, &QPushButton::clicked, this, &ServicePage::UploadNow);
  connect(configure_, &QPushButton::clicked, this, &ServicePage::Configure);
  connect(help_, &QPushButton::clicked, this, &ServicePage::ShowIntroduction);
  connect(view_, &HtmlView::linkRequested, this, &ServicePage::HandleLink);
  connect(&reports, &ServiceReports::messageReady, this, &ServicePage::OnMessage);
  connect(&reports, &ServiceReports::resultsPageReady, this, &ServicePage::OnResultsPage);

  if (!client_.StartWorker()) {
    QMessageBox::critical(this, tr("Hopla"), tr("Error: Unable to start updater thread!"));
  }
}

ServicePage::~ServicePage() { Shutdown(); }

void ServicePage::Shutdown() { client_.StopWorker(); }

std::string ServicePage::DefaultResultsPagePath() {
  const std::filesystem::path folder = UserDataDir();
  return ((folder.empty() ? DataDirPath() : folder) / "hopla.html").string();
}

ServiceAccount ServicePage::Account() const {
  const tarvo::Account account = LoadAccount(host_.settings().store());
  ServiceAccount service;
  service.baseUrl = host_.settings().pageText(Key::ServiceUrl);
  if (service.baseUrl.empty()) service.baseUrl = std::string(kDefaultServiceUrl);
  service.user = account.username;
  service.password = account.password;
  return service;
}

ResultsPageStyle ServicePage::Style() const {
  ResultsPageStyle style;
  style.format = host_.settings().values().coordFormat;
  style.unit = host_.settings().values().distanceUnit;
  style.siteUrl = Account().baseUrl;
  style.siteName = style.siteUrl;
  style.logoTag = LogoTag(HtmlView::kLogoAddress);
  return style;
}

QString ServicePage::SiteLink(const QString& content) const {
  return QStringLiteral("<a href=\"%1\">").arg(Html(Q(Account().baseUrl))) + content;
}

void ServicePage::OnActivate() {
  Page::OnActivate();
  if (initialised_) return;
  initialised_ = true;
  if (!view_->LoadFile(resultsPagePath_)) ShowIntroduction();
}

void ServicePage::ShowMessage(const QString& html) {
  const QString site = Html(Q(Account().baseUrl));
  view_->BeginDocument();
  view_->Write(QString::fromLatin1(kFont));
  view_->Write(html);
  view_->Write(QStringLiteral("<br><br><hr>\n"));
  view_->Write(SiteLink(Q(LogoTag(HtmlView::kLogoAddress))));
  view_->Write(QStringLiteral("</a>\n") + tr("For more information regarding this service, check: "));
  view_->Write(SiteLink(site) + QStringLiteral("</a>"));
  view_->Write(QStringLiteral("</font>"));
  view_->EndDocument();
}

void ServicePage::ShowIntroduction() {
  const QString site = Html(Q(Account().baseUrl));
  view_->BeginDocument();
  view_->Write(QString::fromLatin1(kFont));
  view_->Write(SiteLink(Q(LogoTag(HtmlView::kLogoAddress))) + QStringLiteral("</a>\n"));
  view_->Write(tr("Hopla allows you to find interesting URLs that are close to your present location. These URLs "
                  "can represent businesses, restaurants, tourist attractions, etc.<br><br>\n"));
  view_->Write(tr("Press <i>Search</i> to find the 10 nearest URLs. Press <i>Upload Location</i> to upload your "
                  "current position to our server so that you can search more at ") +
               SiteLink(site) + QStringLiteral("</a><br><br>\n"));
  view_->Write(tr("For more information regarding this service or to add your own URLs, check: ") + SiteLink(site) +
               QStringLiteral("</a>"));
  view_->Write(QStringLiteral("</font>\n"));
  view_->EndDocument();
}

void ServicePage::Search(int offset, LatLon position) {
  if (!IsActivePage()) host_.ShowPage(kServicePage);
  if (!client_.IsRunning() || client_.IsBusy()) return;
  initialised_ = true;  // the first activation must not replace the message
  ShowMessage(tr("Searching..."));
  if (!client_.SubmitSearch(Account(), std::max(offset, 0), position.latitude, position.longitude, Style())) {
    ShowMessage(Html(Q(ServiceMessageText(ServiceMessage::SearchError))));
    answered_ = true;
  }
}

bool ServicePage::SearchAndWait(std::chrono::milliseconds timeout) {
  const LatLon here = host_.currentFix().position;
  if (Account().user.empty() || (here.latitude == 0.0 && here.longitude == 0.0)) return false;
  if (!client_.IsRunning() || client_.IsBusy()) return false;
  answered_ = false;
  Search(0, here);
  QElapsedTimer clock;
  clock.start();
  while (!answered_ && clock.elapsed() < timeout.count()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (client_.IsBusy()) QThread::msleep(5);
  }
  return answered_;
}

bool ServicePage::UploadPosition(const Fix& fix) { return Upload(fix.position, false); }

void ServicePage::UploadNow() {
  if (Upload(host_.currentFix().position, true)) emit uploadAttempted();
}

bool ServicePage::Upload(LatLon position, bool manual) {
  if (!client_.IsRunning()) return true;
  if (manual && !IsActivePage()) host_.ShowPage(kServicePage);
  if (position.latitude == 0.0 && position.longitude == 0.0) {
    initialised_ = true;
    ShowMessage(tr("Error - No GPS fix"));
    return true;
  }
  if (client_.IsBusy()) return false;
  if (manual) {
    initialised_ = true;
    ShowMessage(tr("Uploading to server..."));
  }
  client_.SubmitUpload(Account(), position.latitude, position.longitude);
  return true;
}

void ServicePage::OnMessage(ServiceMessage message, const QString& detail) {
  // The table's text, translated, with the detail as plain text.
  const QString text = QCoreApplication::translate("ServiceMessage", std::string(ServiceMessageText(message)).c_str());
  initialised_ = true;
  answered_ = true;
  ShowMessage(text.contains(QLatin1String("%1")) ? text.arg(Html(detail)) : text);
}

void ServicePage::OnResultsPage(const QString& path) {
  resultsPagePath_ = path;
  initialised_ = true;
  answered_ = true;
  if (!view_->LoadFile(path)) OnMessage(ServiceMessage::SearchPageNotWritten, {});
}

void ServicePage::Configure() {
  const tarvo::Account account = LoadAccount(host_.settings().store());
  ServerConfigDialog dialog(Q(account.username), Q(account.password), Q(Account().baseUrl), this);
  if (dialog.exec() != QDialog::Accepted) return;
  const bool saved = SaveAccount(host_.settings().store(),
                                 {dialog.user().toStdString(), dialog.password().toStdString()}) &&
                     host_.settings().SetPageText(Key::ServiceUrl, dialog.serviceUrl().toStdString());
  if (!saved) {
    QMessageBox::warning(this, tr("Hopla"), tr("The settings could not be saved."));
  }
}

void ServicePage::HandleLink(const QString& target) {
  const std::string link = target.toStdString();
  switch (ClassifyLink(link)) {
    case LinkKind::Web:
      QDesktopServices::openUrl(QUrl(target, QUrl::TolerantMode));
      return;
    case LinkKind::Ignored:
      return;
    case LinkKind::Gps:
      break;
  }
  const std::optional<GpsLink> gps = ParseGpsLink(link);
  if (!gps) return;
  const LatLon position{gps->latitude, gps->longitude};
  switch (gps->action) {
    case GpsAction::Previous: {
      const int offset = client_.ResultOffset();
      Search(offset <= kResultsPerPage ? 0 : offset - kResultsPerPage, position);
      return;
    }
    case GpsAction::Next:
      Search(client_.ResultOffset() + kResultsPerPage, position);
      return;
    case GpsAction::ShowOnMap:
      if (MapCommands* map = host_.mapCommands()) {
        map->ShowMarker(position, CutUtf8(gps->label, kMaxMarkerLabel));
        map->CenterOnPosition(position);
      }
      return;
    case GpsAction::AddPoi:
      if (PoiCommands* pois = host_.poiCommands()) {
        host_.ShowPage(kPoiPage);
        pois->AddLocation(position, gps->label);
      }
      return;
    case GpsAction::TakeMe:
      if (PoiCommands* pois = host_.poiCommands()) {
        pois->SetGoToTarget(position, gps->label);
        host_.ShowPage(kPoiPage);
      }
      return;
  }
}

}  // namespace tarvo
