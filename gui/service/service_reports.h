// Hands the location service client's reports, made on its worker thread,
// to the window's thread as signals (queued: the worker never waits for the
// window). The window owns it together with the client, made before it.
#pragma once

#include <QObject>
#include <QString>

#include "core/service/location_service_client.h"

namespace tarvo {

class ServiceReports : public QObject, public LocationServiceObserver {
  Q_OBJECT
 public:
  explicit ServiceReports(QObject* parent = nullptr) : QObject(parent) {}

  // LocationServiceObserver, called on the worker thread.
  void ServiceMessageReady(ServiceMessage message, const std::string& detail) override;
  void ResultsPageReady(const std::string& path) override;

 signals:
  void messageReady(tarvo::ServiceMessage message, const QString& detail);
  void resultsPageReady(const QString& path);
};

}  // namespace tarvo
