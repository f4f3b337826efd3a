#include "gui/window/page.h"

#include <QPaintEvent>
#include <QPainter>

#include "gui/window/main_window.h"

namespace tarvo {

Page::Page(MainWindow& mainWindow, int index, QString title, QWidget* parent)
    : QWidget(parent), mainWindow_(mainWindow), index_(index), title_(std::move(title)) {
  setAutoFillBackground(true);
}

void Page::Zoom(bool) {}

void Page::ShowPageMenu() {}

bool Page::OnPageKey(int key) {
  if (key == Qt::Key_Right) {
    mainWindow_.ActivateNextPage(+1);
    return true;
  }
  if (key == Qt::Key_Left) {
    mainWindow_.ActivateNextPage(-1);
    return true;
  }
  return false;
}

void Page::OnActivate() { mainWindow_.SetToolbarState(toolbarState()); }

bool Page::IsActivePage() const { return mainWindow_.activePage() == this; }

void Page::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  PaintPage(painter, event->rect());
  mainWindow_.DrawStatusLed(painter, width());
}

void Page::PaintPage(QPainter&, const QRect&) {}

}  // namespace tarvo
