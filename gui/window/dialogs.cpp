#include "gui/window/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "core/version.h"

namespace tarvo {

std::vector<std::pair<std::string, std::string>> SplitFilterText(std::string_view filter) {
  std::vector<std::pair<std::string, std::string>> pairs;
  if (filter.empty()) return pairs;
  const char sep = filter.back();
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < filter.size(); ++i) {
    if (filter[i] == sep) {
      parts.emplace_back(filter.substr(start, i - start));
      start = i + 1;
    }
  }
  // Pairs until the first empty description (the double separator at the end).
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty()) break;
    pairs.emplace_back(parts[i], parts[i + 1]);
  }
  return pairs;
}

QStringList QtNameFilters(std::string_view filter) {
  QStringList out;
  for (const auto& [description, pattern] : SplitFilterText(filter)) {
    QString desc = QString::fromStdString(description);
    const qsizetype paren = desc.indexOf(QLatin1Char('('));
    if (paren > 0) desc = desc.left(paren).trimmed();
    QStringList patterns = QString::fromStdString(pattern).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) {
      p = p.trimmed();
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    }
    out << QStringLiteral("%1 (%2)").arg(desc, patterns.join(QLatin1Char(' ')));
  }
  return out;
}

DialogStart DialogStartFor(const QString& path) {
  if (path.isEmpty()) return {QDir::currentPath(), QString()};
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return {QDir::currentPath(), path};
  return {slash == 0 ? QStringLiteral("/") : path.left(slash), path.mid(slash + 1)};
}

bool AcceptChosenPath(QWidget* parent, QString& path, const QString& chosen) {
  if (chosen.isEmpty()) return false;
  if (chosen.toUtf8().size() > kMaxPathLength) {
    QMessageBox::warning(parent, QString::fromUtf8(kProgramName.data(), kProgramName.size()),
                         QStringLiteral("The path is too long (at most %1 characters):\n%2")
                             .arg(kMaxPathLength)
                             .arg(chosen));
    return false;
  }
  path = chosen;
  return true;
}

namespace {

QString Run(QWidget* parent, const QString& path, std::string_view filter, QFileDialog::AcceptMode mode) {
  const DialogStart start = DialogStartFor(path);
  QFileDialog dialog(parent);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setNameFilters(QtNameFilters(filter));
  dialog.setDirectory(start.folder);
  if (!start.name.isEmpty()) dialog.selectFile(start.name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

}  // namespace

bool AskOpenFile(QWidget* parent, QString& path, std::string_view filter) {
  return AcceptChosenPath(parent, path, Run(parent, path, filter, QFileDialog::AcceptOpen));
}

bool AskSaveFile(QWidget* parent, QString& path, std::string_view filter) {
  return AcceptChosenPath(parent, path, Run(parent, path, filter, QFileDialog::AcceptSave));
}

}  // namespace tarvo
