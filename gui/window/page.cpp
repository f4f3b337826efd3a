#include "gui/window/page.h"

#include <QPaintEvent>
#include <QPainter>


namespace tarvo {

Page::Page(PageHost& host, int index, QString title, QWidget* parent)
    : QWidget(parent), host_(host), index_(index), title_(std::move(title)) {
  setAutoFillBackground(true);
}

void Page::Zoom(bool) {}

void Page::ShowPageMenu() {}

bool Page::OnPageKey(int key) {
  if (key == Qt::Key_Right) {
    host_.ActivateNextPage(+1);
    return true;
  }
  if (key == Qt::Key_Left) {
    host_.ActivateNextPage(-1);
    return true;
  }
  return false;
}

void Page::OnActivate() { host_.SetToolbarState(toolbarState()); }

bool Page::IsActivePage() const { return host_.IsActivePage(this); }

void Page::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  PaintPage(painter, event->rect());
  host_.DrawStatusLed(painter, width());
}

void Page::PaintPage(QPainter&, const QRect&) {}

}  // namespace tarvo
