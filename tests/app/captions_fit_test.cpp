// Every caption of the main window and of the port dialog is drawn whole:
// its text, in the font it is drawn with, fits the part of its box that can
// be seen.
#include <QAbstractButton>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "app/window/bit_button.h"
#include "form_without_port.h"
#include "serial/ui/com_select_form.h"

namespace morvel::test {
namespace {

// The width a caption has: its box within its parent, less what the control
// draws beside the text.
int Room(QWidget* control) {
  const QRect seen = control->geometry() & control->parentWidget()->rect();
  const int margin = control->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, control);
  if (dynamic_cast<TBitBtn*>(control)) {
    // The picture's margin and width and the spacing of 20 before it.
    return seen.width() - margin - 2 - 17 - 20;
  }
  if (qobject_cast<QPushButton*>(control)) return seen.width() - 2 * margin;
  if (qobject_cast<QGroupBox*>(control)) return seen.width() - 2 * margin;
  const QMargins inner = control->contentsMargins();
  return seen.width() - inner.left() - inner.right();
}

QString Caption(QWidget* control) {
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
  return QString();
}

void ExpectCaptionsFit(QWidget* window) {
  window->show();
  int captions = 0;
  for (QWidget* control : window->findChildren<QWidget*>()) {
    const QString caption = Caption(control);
    if (caption.isEmpty() || !control->parentWidget()) continue;
    ++captions;
    EXPECT_LE(QFontMetrics(control->font()).horizontalAdvance(caption), Room(control))
        << control->objectName().toStdString() << " \"" << caption.toStdString() << "\" in "
        << control->font().family().toStdString();
  }
  EXPECT_GE(captions, 4);  // the dialog has the fewest: two labels, two buttons
}

class CaptionsFit : public FormWithoutPort {};

TEST_F(CaptionsFit, InTheMainWindowAndThePortDialog) {
  ExpectCaptionsFit(form_.get());
  TComSelectForm dialog;
  ExpectCaptionsFit(&dialog);
}

}  // namespace
}  // namespace morvel::test
