#include "gui/window/hyperlink_control.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QMessageBox>
#include <QMouseEvent>

#include "core/version.h"

namespace tarvo {

const QColor HyperlinkControl::kUnvisited(0, 0, 238);
const QColor HyperlinkControl::kVisited(85, 26, 139);
const QColor HyperlinkControl::kHover(255, 0, 0);

QString HyperlinkErrorText(int code) {
  switch (code) {
    case 0: return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2: return QStringLiteral("The specified file was not found.");
    case 3: return QStringLiteral("The specified path was not found.");
    case 5: return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8: return QStringLiteral("There was not enough memory to complete the operation.");
    case 11: return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26: return QStringLiteral("A sharing violation occurred. ");
    case 27: return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28: return QStringLiteral("The DDE transaction could not\nbe completed because the request timed out.");
    case 29: return QStringLiteral("The DDE transaction failed.");
    case 30:
      return QStringLiteral(
          "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.");
    case 31: return QStringLiteral("There is no application associated\nwith the given filename extension.");
    case 32: return QStringLiteral("The specified dynamic-link library was not found.");
    default: return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
  }
}

HyperlinkControl::HyperlinkControl(QWidget* parent) : QLabel(parent) {
  setMouseTracking(true);
  setCursor(Qt::PointingHandCursor);
  setAttribute(Qt::WA_TranslucentBackground);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  hoverTimer_.setInterval(100);
  connect(&hoverTimer_, &QTimer::timeout, this, &HyperlinkControl::CheckHover);
  opener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  reporter_ = [this](const QString& message) {
    QApplication::beep();
    QMessageBox::warning(window(), QString::fromUtf8(kProgramName.data(), kProgramName.size()), message);
  };
  Restyle();
}

void HyperlinkControl::SetText(const QString& text) {
  text_ = text;
  Restyle();
}

void HyperlinkControl::SetLink(const QString& link) {
  link_ = link;
  Restyle();
}

QString HyperlinkControl::link() const { return link_.isEmpty() ? text_ : link_; }

void HyperlinkControl::SetUnderline(Underline mode) {
  underline_ = mode;
  Restyle();
}

void HyperlinkControl::SetVisited(bool visited) {
  visited_ = visited;
  Restyle();
}

QColor HyperlinkControl::currentColour() const {
  if (hover_) return kHover;
  return visited_ ? kVisited : kUnvisited;
}

void HyperlinkControl::Restyle() {
  setText(text_.isEmpty() ? link() : text_);
  setToolTip(link());
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, currentColour());
  setPalette(pal);
  QFont f = font();
  f.setUnderline(underline_ == Underline::Always || (underline_ == Underline::WhileHovering && hover_));
  setFont(f);
  adjustSize();  // the control fits its text; the layout keeps its alignment
}

void HyperlinkControl::mouseMoveEvent(QMouseEvent* event) {
  if (!hover_) {
    hover_ = true;
    Restyle();
    hoverTimer_.start();
  }
  QLabel::mouseMoveEvent(event);
}

void HyperlinkControl::CheckHover() {
  if (!rect().contains(mapFromGlobal(QCursor::pos()))) EndHover();
}

void HyperlinkControl::leaveEvent(QEvent* event) {
  EndHover();
  QLabel::leaveEvent(event);
}

void HyperlinkControl::EndHover() {
  hoverTimer_.stop();
  if (hover_) {
    hover_ = false;
    Restyle();
  }
}

void HyperlinkControl::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Open();
  QLabel::mouseReleaseEvent(event);
}

void HyperlinkControl::Open() {
  EndHover();
  if (opener_ && opener_(QUrl::fromUserInput(link()))) {
    SetVisited(true);
    return;
  }
  if (reporter_) {
    reporter_(QStringLiteral("Unable to open hyperlink:\n\n") + HyperlinkErrorText(kHyperlinkNoAssociation));
  }
}

}  // namespace tarvo
