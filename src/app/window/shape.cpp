#include "app/window/shape.h"

#include <QPainter>

TShape::TShape(QColor brush, QWidget* parent) : QWidget(parent), brush_(brush) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

void TShape::paintEvent(QPaintEvent*) {
  QPainter(this).fillRect(rect(), brush_);
}
