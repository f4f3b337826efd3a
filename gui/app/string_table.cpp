#include "gui/app/string_table.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QWidget>

#include "core/geo/coord_format.h"
#include "core/version.h"

namespace tarvo {

QString TableText(int id) {
  switch (id) {
    case text_id::kCourseUpMarker:
      return QStringLiteral("C");
    case text_id::kStart:
      return QStringLiteral("&Start");
    case text_id::kStop:
      return QStringLiteral("&Stop");
    default:
      break;
  }
  const int format = id - text_id::kFirstCoordFormat;
  if (format >= 0 && format < kCoordFormatCount) {
    const std::string_view name = CoordFormatName(format);
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  }
  return {};
}

void SetItemTextFromTable(QWidget* control, int id) {
  const QString text = TableText(id).left(255);
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(text);
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(text);
  } else if (control) {
    control->setWindowTitle(text);
  }
}

void ShowTableMessage(QWidget* parent, int id) {
  QMessageBox::information(parent, QString::fromUtf8(kProgramName.data(), kProgramName.size()), TableText(id),
                           QMessageBox::Ok);
}

}  // namespace tarvo
