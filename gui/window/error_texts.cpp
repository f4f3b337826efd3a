#include "gui/window/error_texts.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstring>

namespace tarvo {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("tarvo::ConnectionError", text); }

QString SystemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

QString PortFailureReason(int error) {
  switch (error) {
    case 0:
      return Tr("no reason given");
    case EACCES:
    case EPERM:
      return SystemText(error) + Tr(" \u2014 add yourself to the dialout group");
    case EBUSY:
      return SystemText(error) + Tr(" \u2014 another program holds the port");
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return SystemText(error) + Tr(" \u2014 is the receiver plugged in?");
    default:
      return SystemText(error);
  }
}

QString ConnectionErrorText(const ConnectionError& e) {
  const QString where = QString::fromStdString(e.where);
  const QString port = where + QStringLiteral(": ") + PortFailureReason(e.error);
  switch (e.failure) {
    case ConnectionFailure::ReplayUnreadable:
      return Tr("Error: Unable to open emulation file!") + QLatin1Char('\n') + where + QStringLiteral(": ") +
             SystemText(e.error);
    case ConnectionFailure::TimerUnavailable:
      return Tr("Error: Unable to create timer!");
    case ConnectionFailure::NoPortFound:
      return Tr("Error: Cannot open port!") + QLatin1Char('\n') +
             Tr("No serial port was found \u2014 is the receiver plugged in?");
    case ConnectionFailure::PortUnopenable:
      return Tr("Error: Cannot open port!") + QLatin1Char('\n') + port;
    case ConnectionFailure::PortSettingsRefused:
      return Tr("Error: Cannot set port settings!") + QLatin1Char('\n') + port;
    case ConnectionFailure::PortTimeoutsRefused:
      return Tr("Error: Cannot set port timeouts!") + QLatin1Char('\n') + port;
    case ConnectionFailure::ReaderNotStarted:
      return Tr("Error: Cannot launch reader thread!");
    case ConnectionFailure::ConnectionLost: {
      QString text = Tr("Error: GPS connection lost!");
      if (!e.detail.empty()) {
        text += QLatin1Char('\n') + (where.isEmpty() ? QString() : where + QStringLiteral(": ")) +
                QString::fromStdString(e.detail);
      }
      return text;
    }
  }
  return {};
}

}  // namespace tarvo
