// The drawing objects shared by all pages: brushes, pens and five fonts.
// Created once by the window; pages draw with them.
#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPen>

namespace tarvo {

struct Palette {
  Palette();

  // Brushes.
  QBrush needleA;     // RGB(204,102,0): light half of needles and arrows
  QBrush needleB;     // RGB(102,51,0): dark half
  QBrush green;       // RGB(0,255,0)
  QBrush red;         // RGB(255,0,0)
  QBrush darkRed;     // RGB(204,0,0)
  QBrush navy;        // RGB(0,0,102)
  QBrush lavender;    // RGB(102,102,204)
  QBrush yellow;      // RGB(255,255,51)

  // Pens.
  QPen fineTick;      // 1 px RGB(192,192,192)
  QPen blue3;         // 3 px RGB(0,0,255)
  QPen black3;        // 3 px black
  QPen rose;          // 3 px RGB(150,150,150)
  QPen outerRing;     // 3 px RGB(192,192,192)
  QPen green3;        // 3 px green
  QPen red3;          // 3 px red
  QPen navy1;         // 1 px RGB(0,0,102)
  QPen lavender1;     // 1 px RGB(102,102,204)

  // Fonts: "Arial" metrics, drawn with Liberation Sans; heights in pixels.
  QFont large;        // 18 px, weight 900: positions
  QFont small;        // 10 px, weight 200: PRN labels, compass letters
  QFont normal;       // 12 px, weight 400: flat buttons
  QFont medium;       // 14 px, weight 700: time, speed, altitude, sky-plot letters
  QFont huge;         // 20 px, weight 800
};

// A font of the palette's family at a pixel height and weight (1..1000).
QFont PaletteFont(int pixelHeight, int weight);

// The face colour of buttons and dialogs, used as the background of drawings.
QColor ButtonFaceColour();

}  // namespace tarvo
