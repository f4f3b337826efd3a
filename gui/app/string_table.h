// The program's texts by number, shared by captions, menus and messages.
#pragma once

#include <QString>

class QWidget;

namespace tarvo {

namespace text_id {
inline constexpr int kCourseUpMarker = 40002;  // "C"
inline constexpr int kStart = 40018;           // "&Start"
inline constexpr int kStop = 40019;            // "&Stop"
inline constexpr int kFirstCoordFormat = 40100;  // 40100 + format index: the format's name
}  // namespace text_id

// The text of `id`, or an empty text when there is none.
QString TableText(int id);

// A control's text from the table, at most 255 characters.
void SetItemTextFromTable(QWidget* control, int id);

// A message box with the table text, the program name as caption and an OK button.
void ShowTableMessage(QWidget* parent, int id);

}  // namespace tarvo
