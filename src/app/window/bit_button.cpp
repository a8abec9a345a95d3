#include "app/window/bit_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

TBitBtn::TBitBtn(const QString& caption, const QPixmap& glyph, int margin, int spacing,
                 QWidget* parent)
    : QPushButton(caption, parent), glyph_(glyph), margin_(margin), spacing_(spacing) {}

void TBitBtn::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  // The style draws the face and the focus frame; caption and picture are
  // placed here, since the style would put the picture first.
  option.text.clear();
  option.icon = QIcon();
  painter.drawControl(QStyle::CE_PushButton, option);

  const int shift = isDown() ? 1 : 0;
  const int glyphLeft = width() - margin_ - glyph_.width();
  painter.drawPixmap(glyphLeft + shift, (height() - glyph_.height()) / 2 + shift, glyph_);
  const int textWidth = fontMetrics().horizontalAdvance(text());
  const QRect textArea(glyphLeft - spacing_ - textWidth + shift, shift, textWidth, height());
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(textArea, Qt::AlignVCenter | Qt::AlignLeft, text());
}
