// A text that opens a web address when clicked, in the colours of a browser
// link: blue before, purple once opened, red while the mouse is over it.
#pragma once

#include <QColor>
#include <QLabel>
#include <QTimer>
#include <QUrl>
#include <functional>

namespace tarvo {

// Texts for the reasons an address could not be opened, by code; on Linux
// the desktop reports only "no handler" (31).
QString HyperlinkErrorText(int code);
inline constexpr int kHyperlinkNoAssociation = 31;

class HyperlinkControl : public QLabel {
  Q_OBJECT
 public:
  enum class Underline { WhileHovering = -1, Never = 0, Always = 1 };
  static const QColor kUnvisited;  // RGB(0,0,238)
  static const QColor kVisited;    // RGB(85,26,139)
  static const QColor kHover;      // RGB(255,0,0)

  explicit HyperlinkControl(QWidget* parent = nullptr);

  // The text shown; the link itself when the text is empty.
  void SetText(const QString& text);
  // The address; defaults to the text.
  void SetLink(const QString& link);
  QString link() const;
  void SetUnderline(Underline mode);
  void SetVisited(bool visited);
  bool visited() const { return visited_; }
  bool hovering() const { return hover_; }
  QColor currentColour() const;

  // Opens the link; true on success. Replaceable for tests.
  using Opener = std::function<bool(const QUrl&)>;
  void SetOpener(Opener opener) { opener_ = std::move(opener); }
  // Shows the failure; replaceable for tests. Default: a beep and a warning box.
  using FailureReporter = std::function<void(const QString& message)>;
  void SetFailureReporter(FailureReporter reporter) { reporter_ = std::move(reporter); }

  // What a click does: leave the hover state, open, take the visited colour or report.
  void Open();

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void CheckHover();
  void EndHover();
  void Restyle();

  QString text_;
  QString link_;
  Underline underline_ = Underline::WhileHovering;
  bool visited_ = false;
  bool hover_ = false;
  QTimer hoverTimer_;
  Opener opener_;
  FailureReporter reporter_;
};

}  // namespace tarvo
