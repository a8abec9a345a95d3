#include "app/window/gauge.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// A screen reader hears the gauge as a progress bar with its value.
class GaugeAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit GaugeAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::ProgressBar) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return QString("%1%").arg(Gauge()->PercentDone());
    return QAccessibleWidget::text(t);
  }
  QVariant currentValue() const override { return Gauge()->Progress(); }
  void setCurrentValue(const QVariant&) override {}
  QVariant maximumValue() const override { return Gauge()->MaxValue(); }
  QVariant minimumValue() const override { return Gauge()->MinValue(); }
  QVariant minimumStepSize() const override { return 1; }

 private:
  const TGauge* Gauge() const { return static_cast<const TGauge*>(widget()); }
};

QAccessibleInterface* GaugeAccessibleFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("TGauge") && object && object->isWidgetType()) {
    return new GaugeAccessible(static_cast<QWidget*>(object));
  }
  return nullptr;
}

}  // namespace

TGauge::TGauge(QWidget* parent) : QWidget(parent) {
  static const bool factoryInstalled = [] {
    QAccessible::installFactory(GaugeAccessibleFactory);
    return true;
  }();
  (void)factoryInstalled;
  setFocusPolicy(Qt::NoFocus);
}

template <class T>
void TGauge::Change(T& field, T value) {
  if (field == value) return;
  field = value;
  update();
}

void TGauge::SetKind(TGaugeKind value) {
  Change(kind_, value);
}

void TGauge::SetMinValue(int value) {
  Change(minValue_, value);
  SetProgress(progress_);
}

void TGauge::SetMaxValue(int value) {
  Change(maxValue_, value);
  SetProgress(progress_);
}

void TGauge::SetProgress(int value) {
  const int clamped = std::clamp(value, minValue_, std::max(minValue_, maxValue_));
  if (clamped == progress_) return;
  const int shownBefore = PercentDone();
  progress_ = clamped;
  if (PercentDone() != shownBefore) update();
  QAccessibleValueChangeEvent event(this, progress_);
  QAccessible::updateAccessibility(&event);
}

void TGauge::SetForeColor(QColor value) {
  Change(foreColor_, value);
}

void TGauge::SetBackColor(QColor value) {
  Change(backColor_, value);
}

void TGauge::SetBorderStyle(TBorderStyle value) {
  Change(borderStyle_, value);
}

void TGauge::SetShowText(bool value) {
  Change(showText_, value);
}

int TGauge::PercentDone() const {
  if (maxValue_ == minValue_) return 0;
  return static_cast<int>(static_cast<long long>(progress_ - minValue_) * 100 /
                          (static_cast<long long>(maxValue_) - minValue_));
}

void TGauge::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QRect area = rect();
  if (borderStyle_ == bsSingle) {
    painter.fillRect(area, Qt::black);
    area.adjust(1, 1, -1, -1);
  }
  painter.fillRect(area, backColor_);
  switch (kind_) {
    case gkText:
      break;
    case gkHorizontalBar:
    case gkVerticalBar:
      PaintBar(painter, area);
      break;
    case gkPie:
      PaintPie(painter, area);
      break;
    case gkNeedle:
      PaintNeedle(painter, area);
      break;
  }
  if (showText_) {
    painter.setPen(Qt::white);
    painter.drawText(area, Qt::AlignCenter, QString("%1%").arg(PercentDone()));
  }
}

void TGauge::PaintBar(QPainter& painter, const QRect& area) const {
  const int percent = PercentDone();
  if (kind_ == gkHorizontalBar) {
    const int length = area.width() * percent / 100;
    if (length > 0) painter.fillRect(area.left(), area.top(), length, area.height(), foreColor_);
  } else {
    const int length = area.height() * percent / 100;
    if (length > 0) {
      painter.fillRect(area.left(), area.bottom() + 1 - length, area.width(), length, foreColor_);
    }
  }
}

void TGauge::PaintPie(QPainter& painter, const QRect& area) const {
  // A full circle is 5760 sixteenths of a degree; the slice grows clockwise
  // from twelve o'clock.
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(foreColor_);
  painter.drawPie(area, 90 * 16, -PercentDone() * 5760 / 100);
}

void TGauge::PaintNeedle(QPainter& painter, const QRect& area) const {
  // A half dial from left (0 %) to right (100 %) with the needle from the
  // middle of the bottom edge.
  const double angle = M_PI * (1.0 - PercentDone() / 100.0);
  const QPointF centre(area.center().x() + 0.5, area.bottom() + 1);
  const double radius = std::min(area.width() / 2.0, static_cast<double>(area.height()));
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(foreColor_, 2));
  painter.drawLine(centre, centre + QPointF(radius * std::cos(angle), -radius * std::sin(angle)));
}
