#include "gui/window/palette.h"

#include <QApplication>
#include <QPalette>

namespace tarvo {

QFont PaletteFont(int pixelHeight, int weight) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelHeight);
  font.setWeight(static_cast<QFont::Weight>(weight));
  font.setItalic(false);
  font.setStretch(QFont::Unstretched);
  return font;
}

QColor ButtonFaceColour() { return QApplication::palette().color(QPalette::Button); }

namespace {
QPen Pen(int width, QColor colour) {
  QPen pen(colour);
  pen.setWidth(width);
  return pen;
}
}  // namespace

Palette::Palette()
    : needleA(QColor(204, 102, 0)),
      needleB(QColor(102, 51, 0)),
      green(QColor(0, 255, 0)),
      red(QColor(255, 0, 0)),
      darkRed(QColor(204, 0, 0)),
      navy(QColor(0, 0, 102)),
      lavender(QColor(102, 102, 204)),
      yellow(QColor(255, 255, 51)),
      fineTick(Pen(1, QColor(192, 192, 192))),
      blue3(Pen(3, QColor(0, 0, 255))),
      black3(Pen(3, Qt::black)),
      rose(Pen(3, QColor(150, 150, 150))),
      outerRing(Pen(3, QColor(192, 192, 192))),
      green3(Pen(3, QColor(0, 255, 0))),
      red3(Pen(3, QColor(255, 0, 0))),
      navy1(Pen(1, QColor(0, 0, 102))),
      lavender1(Pen(1, QColor(102, 102, 204))),
      large(PaletteFont(18, 900)),
      small(PaletteFont(10, 200)),
      normal(PaletteFont(12, 400)),
      medium(PaletteFont(14, 700)),
      huge(PaletteFont(20, 800)) {}

}  // namespace tarvo
