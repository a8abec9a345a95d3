#include "gui/layout_font.h"

QFont LayoutFont() {
  QFont face;
  face.setFamilies({"MS Sans Serif", "Liberation Sans", "Arimo", "Arial"});
  face.setStyleHint(QFont::SansSerif);
  face.setPixelSize(11);
  face.setStretch(QFont::SemiCondensed);
  return face;
}
