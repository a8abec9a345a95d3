// The bar gauge: shows Progress between MinValue and MaxValue as a bar of
// ForeColor on BackColor. Has no focus; repaints on a Progress change only
// when the whole percentage it shows changes.
#pragma once

#include <QColor>
#include <QWidget>

enum TGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };
enum TBorderStyle { bsNone, bsSingle };

class TGauge : public QWidget {
  Q_OBJECT

 public:
  explicit TGauge(QWidget* parent = nullptr);

  TGaugeKind Kind() const { return kind_; }
  void SetKind(TGaugeKind value);
  int MinValue() const { return minValue_; }
  void SetMinValue(int value);
  int MaxValue() const { return maxValue_; }
  void SetMaxValue(int value);
  int Progress() const { return progress_; }
  // Values outside the range are taken as its nearest end.
  void SetProgress(int value);
  QColor ForeColor() const { return foreColor_; }
  void SetForeColor(QColor value);
  QColor BackColor() const { return backColor_; }
  void SetBackColor(QColor value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  bool ShowText() const { return showText_; }
  void SetShowText(bool value);

  // The whole percentage shown, truncated; 0 for an empty range.
  int PercentDone() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  template <class T>
  void Change(T& field, T value);
  void PaintBar(class QPainter& painter, const QRect& area) const;
  void PaintPie(class QPainter& painter, const QRect& area) const;
  void PaintNeedle(class QPainter& painter, const QRect& area) const;

  TGaugeKind kind_ = gkHorizontalBar;
  int minValue_ = 0;
  int maxValue_ = 100;
  int progress_ = 0;
  QColor foreColor_ = Qt::black;
  QColor backColor_ = Qt::white;
  TBorderStyle borderStyle_ = bsSingle;
  bool showText_ = true;
};
