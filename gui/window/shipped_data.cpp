#include "gui/window/shipped_data.h"

#include <QDir>
#include <QFileInfo>

namespace tarvo {

QString ShippedDataDir(const QString& binaryDir) {
  QStringList candidates;
  const QString env = qEnvironmentVariable("TARVO_DATA_DIR");
  if (!env.isEmpty()) candidates << env;
  candidates << binaryDir + QStringLiteral("/data") << binaryDir + QStringLiteral("/../share/tarvo")
             << QStringLiteral(TARVO_INSTALL_DATADIR);
  for (const QString& c : candidates) {
    const QFileInfo info(c);
    if (info.isDir()) return QDir(info.absoluteFilePath()).canonicalPath();
  }
  return {};
}

}  // namespace tarvo
