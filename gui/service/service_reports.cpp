#include "gui/service/service_reports.h"

#include <QMetaObject>

namespace tarvo {

void ServiceReports::ServiceMessageReady(ServiceMessage message, const std::string& detail) {
  const QString text = QString::fromStdString(detail);
  QMetaObject::invokeMethod(
      this, [this, message, text] { emit messageReady(message, text); }, Qt::QueuedConnection);
}

void ServiceReports::ResultsPageReady(const std::string& path) {
  const QString file = QString::fromStdString(path);
  QMetaObject::invokeMethod(this, [this, file] { emit resultsPageReady(file); }, Qt::QueuedConnection);
}

}  // namespace tarvo
