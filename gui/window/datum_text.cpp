#include "gui/window/datum_text.h"

#include <QCoreApplication>

namespace tarvo {

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QString Tr(const char* text) { return QCoreApplication::translate("DatumText", text); }

}  // namespace

QString DatumModeShortText(bool accurate, CoordFormat format) {
  if (!accurate) return Tr("Datum: built-in");
  if (AccurateCrsCode(format) == 0) return Tr("Datum: accurate (PROJ)");
  const AccurateOperation op = DescribeAccurate(format);
  if (!op.available) return Tr("Datum: accurate, unavailable");
  if (!op.missingGrid.empty()) return Tr("Datum: accurate (PROJ, Helmert fallback)");
  return Tr("Datum: accurate (PROJ)");
}

QString DatumModeDescription(bool accurate, CoordFormat format) {
  const QString name = Q(CoordFormatName(format));
  if (!accurate)
    return Tr("%1: built-in datum shifts (a few metres to a few hundred from the published transformations).")
        .arg(name);
  const int code = AccurateCrsCode(format);
  if (code == 0) return Tr("%1: on WGS-84, the same in both datum modes.").arg(name);
  const AccurateOperation op = DescribeAccurate(format);
  if (!op.available)
    return Tr("%1: accurate datum, but PROJ has no transformation to EPSG:%2 (%3); no position is shown.")
        .arg(name)
        .arg(code)
        .arg(Q(op.problem));
  QString text = Tr("%1: accurate datum through PROJ %2, EPSG:%3: %4").arg(name, Q(ProjVersion())).arg(code).arg(Q(op.operation));
  if (op.accuracyMetres >= 0) text += Tr(" (about %1 m)").arg(op.accuracyMetres);
  text += QLatin1Char('.');
  if (!op.missingGrid.empty())
    text += QLatin1Char('\n') +
            Tr("The grid file %1 of the better transformation is not installed, so the one above is used.")
                .arg(Q(op.missingGrid));
  return text;
}

}  // namespace tarvo
