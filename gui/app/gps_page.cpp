#include "gui/app/gps_page.h"

#include <QPaintEvent>
#include <QPainter>

#include "gui/app/gps_sheet.h"

namespace tarvo {

CGPSPage::CGPSPage(CGPSSheet& sheet, int index, QString title, QWidget* parent)
    : QWidget(parent), sheet_(sheet), index_(index), title_(std::move(title)) {
  setAutoFillBackground(true);
}

void CGPSPage::Zoom(bool) {}

void CGPSPage::ShowPageMenu() {}

bool CGPSPage::OnPageKey(int key) {
  if (key == Qt::Key_Right) {
    sheet_.ActivateNextPage(+1);
    return true;
  }
  if (key == Qt::Key_Left) {
    sheet_.ActivateNextPage(-1);
    return true;
  }
  return false;
}

void CGPSPage::OnActivate() { sheet_.SetToolbarState(toolbarState()); }

bool CGPSPage::IsActivePage() const { return sheet_.activePage() == this; }

void CGPSPage::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  PaintPage(painter, event->rect());
  sheet_.DrawStatusLed(painter, width());
}

void CGPSPage::PaintPage(QPainter&, const QRect&) {}

}  // namespace tarvo
