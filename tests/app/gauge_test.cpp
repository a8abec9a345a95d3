// The bar gauge, and the window's link bar and signal meter as it sets them
// up: the percentage each shows, the pixels it paints, clamping, and
// repainting only when the shown percentage changes.
#include "app/window/gauge.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QTimer>

#include "form_without_port.h"

namespace morvel::test {
namespace {

// The window's own gauges, with the timer that lowers the link bar stopped.
class WindowGauges : public FormWithoutPort {
 protected:
  WindowGauges() { form_->Timer1->stop(); }
};

// How many rows (vertical) or columns (horizontal) of the bar area hold the
// fill colour, read along the middle of the bar.
int FilledLength(TGauge& gauge) {
  const QImage image = gauge.grab().toImage();
  const QRgb fill = gauge.ForeColor().rgb();
  int filled = 0;
  if (gauge.Kind() == gkVerticalBar) {
    for (int y = 0; y < image.height(); ++y) filled += image.pixel(image.width() / 2, y) == fill;
  } else {
    for (int x = 0; x < image.width(); ++x) filled += image.pixel(x, image.height() / 2) == fill;
  }
  return filled;
}

TEST_F(WindowGauges, ShowTheWholePercentageAsABarFromTheBottomOrLeft) {
  TGauge& link = *form_->Gauge1;
  TGauge& signal = *form_->Smeter;
  signal.SetForeColor(QColor(0, 255, 255));
  struct Case {
    TGauge* gauge;
    int progress, percent, filled;
  };
  const Case cases[] = {
      {&link, 26, 96, 254}, {&link, 13, 48, 127}, {&link, 1, 3, 7},   {&link, 0, 0, 0},
      {&link, -3, 0, 0},    {&signal, 1, 3, 6},   {&signal, 0, 0, 0}, {&signal, 40, 100, 231},
  };
  for (const Case& c : cases) {
    c.gauge->SetProgress(c.progress);
    EXPECT_EQ(c.gauge->PercentDone(), c.percent) << c.progress;
    EXPECT_EQ(FilledLength(*c.gauge), c.filled) << c.progress;
  }
  EXPECT_EQ(link.Progress(), 0);
  EXPECT_EQ(signal.Progress(), 31);
}

TEST_F(WindowGauges, PaintTheirFrameAndBackgroundAtZero) {
  const QImage image = form_->Smeter->grab().toImage();
  EXPECT_EQ(image.pixel(0, 0), QColor(Qt::black).rgb());
  EXPECT_EQ(image.pixel(232, 8), QColor(Qt::black).rgb());
  EXPECT_EQ(image.pixel(1, 1), QColor(128, 128, 128).rgb());
  const QImage link = form_->Gauge1->grab().toImage();
  for (QPoint p : {QPoint(0, 0), QPoint(4, 264)}) {
    EXPECT_EQ(link.pixel(p), form_->palette().color(QPalette::Button).rgb());
  }
  TGauge empty;
  empty.SetMaxValue(0);
  empty.SetProgress(5);
  EXPECT_EQ(empty.PercentDone(), 0);
}

TEST(Gauge, RepaintsOnProgressOnlyWhenThePercentageChanges) {
  struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      paints += event->type() == QEvent::Paint;
      return false;
    }
  } counter;
  TGauge gauge;
  gauge.SetMaxValue(1000);
  gauge.show();
  QCoreApplication::processEvents();
  gauge.installEventFilter(&counter);
  const std::pair<int, int> steps[] = {{5, 0}, {9, 0}, {10, 1}, {19, 1}, {20, 2}, {20, 2}};
  for (const auto& [progress, paints] : steps) {
    gauge.SetProgress(progress);
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, paints) << progress;
  }
  gauge.SetForeColor(Qt::red);
  QCoreApplication::processEvents();
  EXPECT_EQ(counter.paints, 3);
}

}  // namespace
}  // namespace morvel::test
