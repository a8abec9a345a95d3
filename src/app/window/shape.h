// A filled rectangle without an outline that lets the mouse through: the
// receive indicator.
#pragma once

#include <QColor>
#include <QWidget>

class TShape : public QWidget {
 public:
  TShape(QColor brush, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor brush_;
};
