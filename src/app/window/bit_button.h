// A push button with a small picture to the right of its caption: the
// picture `margin` pixels from the right edge, the caption `spacing` pixels
// to its left.
#pragma once

#include <QPixmap>
#include <QPushButton>

class TBitBtn : public QPushButton {
 public:
  TBitBtn(const QString& caption, const QPixmap& glyph, int margin, int spacing, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap glyph_;
  int margin_;
  int spacing_;
};
