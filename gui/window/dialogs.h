// File dialogs with "|"-separated filter texts, and their start-folder rules.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QWidget;

namespace tarvo {

// Longest path a file dialog hands back; a longer choice is refused.
inline constexpr int kMaxPathLength = 259;

// Splits a filter text whose last character is the separator ("NMEA Files
// (*.nmea)|*.nmea|All Files (*.*)|*.*||") into (description, pattern) pairs.
std::vector<std::pair<std::string, std::string>> SplitFilterText(std::string_view filter);

// The same pairs as Qt name filters ("NMEA Files (*.nmea)", "All Files (*)");
// a "*.*" pattern stands for every file, extension or not ("*").
QStringList QtNameFilters(std::string_view filter);

// Where a dialog for `path` starts: the folder part and the preset file name.
// An empty path starts in the current folder with no name.
struct DialogStart {
  QString folder;
  QString name;
};
DialogStart DialogStartFor(const QString& path);

// Open and save dialogs. On OK the chosen path replaces `path` and the result
// is true. The open dialog needs an existing file; the save dialog asks before
// replacing one. A chosen path over kMaxPathLength characters is refused with
// a message, never cut short.
bool AskOpenFile(QWidget* parent, QString& path, std::string_view filter);
// What both dialogs do with a chosen path: take it into `path`, or refuse
// one that is empty or too long (with a message for the latter).
bool AcceptChosenPath(QWidget* parent, QString& path, const QString& chosen);
bool AskSaveFile(QWidget* parent, QString& path, std::string_view filter);

}  // namespace tarvo
