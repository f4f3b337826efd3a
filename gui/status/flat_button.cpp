#include "gui/status/flat_button.h"

#include <QMouseEvent>
#include <QPainter>

#include "gui/window/palette.h"

namespace tarvo {

FlatButton::FlatButton(QWidget* parent) : QWidget(parent) {}

bool FlatButton::SetBitmap(const QString& resource) {
  QPixmap pixmap(resource);
  if (pixmap.isNull()) return false;
  bitmap_ = pixmap;
  update();
  return true;
}

void FlatButton::FitToBitmap() {
  if (!bitmap_.isNull()) resize(bitmap_.size());
}

void FlatButton::SetText(const QString& text) {
  text_ = text;
  update();
}

QSize FlatButton::sizeHint() const {
  if (!bitmap_.isNull()) return bitmap_.size();
  return QSize(60, 22);
}

void FlatButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  if (!bitmap_.isNull()) {
    p.drawPixmap(pressed_ ? QPoint(1, 1) : QPoint(0, 0), bitmap_);
    return;
  }
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  p.setFont(PaletteFont(12, 400));
  p.setPen(palette().color(QPalette::ButtonText));
  const QRect textRect = pressed_ ? rect().translated(1, 1) : rect();
  p.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, text_);
}

bool FlatButton::Inside(const QPoint& pos) const {
  const QRect area = bitmap_.isNull() ? rect() : QRect(QPoint(0, 0), bitmap_.size());
  return area.contains(pos);
}

void FlatButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  grabMouse();
  tracking_ = true;
  pressed_ = true;
  update();
}

void FlatButton::mouseMoveEvent(QMouseEvent* event) {
  if (!tracking_) return;
  pressed_ = Inside(event->position().toPoint());
  update();
}

void FlatButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = false;
  if (tracking_) {
    tracking_ = false;
    releaseMouse();
    update();
  }
  if (rect().contains(event->position().toPoint())) emit clicked();
}

}  // namespace tarvo
