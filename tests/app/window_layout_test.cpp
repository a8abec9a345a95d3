// The main window against its layout: every control's place, caption, hint
// and accessible name, the tab and stacking orders, the components, and the
// status bar following a resize while everything else stays; and every
// caption, of the window and of the port dialog, drawn whole.
#include <QAccessible>
#include <QComboBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <functional>

#include "app/window/bit_button.h"
#include "app/window/form1.h"
#include "app/window/gauge.h"
#include "app/window/shape.h"
#include "form_without_port.h"
#include "serial/ui/com_select_form.h"

namespace morvel::test {
namespace {

class WindowLayout : public FormWithoutPort {
 protected:
  QWidget* Control(const char* name) {
    QWidget* control = form_->findChild<QWidget*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
};

struct Row {
  const char* name;
  const char* parent;
  QRect place;
  const char* caption;  // label, button or group text; nullptr where none
  const char* hint;
  const char* spoken;  // accessible name
};

constexpr char kPhone[] = "Phone number in international format.";
constexpr char kText[] = "SMS text max. 40 characters.";
constexpr char kSignal[] = "Signal is good, when color is green or blue.";

const Row kLayout[] = {
    {"Gauge1",
     "Form1Client",
     {496, 40, 5, 265},
     nullptr,
     "SynchroBar - if not green, communication is blocked.",
     "Gauge1"},
    {"LED", "Form1Client", {494, 304, 9, 9}, nullptr, "", "LED"},
    {"Bevel1", "Form1Client", {168, 320, 321, 25}, nullptr, kSignal, "Bevel1"},
    {"Smeter", "Form1Client", {248, 328, 233, 9}, nullptr, kSignal, "Smeter"},
    {"Label19", "Form1Client", {176, 326, 62, 13}, "Signal quality", "", "Signal quality"},
    {"PageControl1", "Form1Client", {8, 16, 481, 297}, nullptr, "", "PageControl1"},
    {"StatusBar1", "Form1", {0, 352, 510, 22}, nullptr, "", "StatusBar1"},
    {"SaveToPC",
     "Form1Client",
     {88, 320, 75, 25},
     "Save",
     "Save all data (phone numbers and SMSs) to PC",
     "Save"},
    {"LoadToPC",
     "Form1Client",
     {8, 320, 73, 25},
     "Load",
     "Load all data (phone numbers and SMSs) from PC",
     "Load"},
    {"Label1", "PHONE", {8, 28, 51, 13}, "MASTER1", "", "MASTER1"},
    {"Label2", "PHONE", {8, 52, 51, 13}, "MASTER2", "", "MASTER2"},
    {"Label3", "PHONE", {8, 76, 51, 13}, "MASTER3", "", "MASTER3"},
    {"Label4", "PHONE", {8, 100, 51, 13}, "MASTER4", "", "MASTER4"},
    {"Label5", "PHONE", {8, 124, 51, 13}, "MASTER5", "", "MASTER5"},
    {"Label14", "PHONE", {8, 148, 51, 13}, "MASTER6", "", "MASTER6"},
    {"Label15", "PHONE", {8, 172, 51, 13}, "MASTER7", "", "MASTER7"},
    {"Label16", "PHONE", {8, 196, 51, 13}, "MASTER8", "", "MASTER8"},
    {"Label17", "PHONE", {8, 220, 46, 13}, "SERVICE", "", "SERVICE"},
    {"Label18", "PHONE", {8, 244, 58, 13}, "SMS CENT.", "", "SMS CENT."},
    {"PhoneBook",
     "PHONE",
     {216, 8, 148, 13},
     "PhoneBook in Kestrix SIM",
     "",
     "PhoneBook in Kestrix SIM"},
    {"MASTER1", "PHONE", {72, 24, 121, 21}, nullptr, kPhone, "MASTER1"},
    {"MASTER2", "PHONE", {72, 48, 121, 21}, nullptr, kPhone, "MASTER2"},
    {"MASTER3", "PHONE", {72, 72, 121, 21}, nullptr, kPhone, "MASTER3"},
    {"MASTER4", "PHONE", {72, 96, 121, 21}, nullptr, kPhone, "MASTER4"},
    {"MASTER5", "PHONE", {72, 120, 121, 21}, nullptr, kPhone, "MASTER5"},
    {"MASTER6", "PHONE", {72, 144, 121, 21}, nullptr, kPhone, "MASTER6"},
    {"MASTER7", "PHONE", {72, 168, 121, 21}, nullptr, kPhone, "MASTER7"},
    {"MASTER8", "PHONE", {72, 192, 121, 21}, nullptr, kPhone, "MASTER8"},
    {"SERVICE", "PHONE", {72, 216, 121, 21}, nullptr, kPhone, "SERVICE"},
    {"SMSCentrum",
     "PHONE",
     {72, 240, 121, 21},
     nullptr,
     "Only information - not editable!",
     "SMS CENT."},
    {"LoadPHONE",
     "PHONE",
     {392, 24, 75, 25},
     "Load PBook",
     "Load phone numbers from SIM.",
     "Load PBook"},
    {"TreeView1", "PHONE", {200, 24, 185, 241}, nullptr, "", "TreeView1"},
    {"SavePhone",
     "PHONE",
     {392, 56, 75, 25},
     "Save PBook",
     "Save phone numbers to SIM",
     "Save PBook"},
    {"ButtonDeletePhone",
     "PHONE",
     {392, 88, 75, 25},
     "Delete PNum.",
     "Delete in tree selected phone number from SIM",
     "Delete PNum."},
    {"Image1", "PHONE", {416, 128, 41, 41}, nullptr, "", "Image1"},
    {"Label7", "SMS", {96, 8, 34, 13}, "Phone:", "", "Phone:"},
    {"Label8", "SMS", {224, 8, 24, 13}, "Text:", "", "Text:"},
    {"Label6", "SMS", {8, 24, 55, 13}, "SMS credit:", "", "SMS credit:"},
    {"Label9", "SMS", {8, 48, 58, 13}, "SMS input1:", "", "SMS input1:"},
    {"Label10", "SMS", {8, 72, 58, 13}, "SMS input2:", "", "SMS input2:"},
    {"Label11", "SMS", {8, 96, 58, 13}, "SMS input3:", "", "SMS input3:"},
    {"Label12", "SMS", {8, 120, 58, 13}, "SMS input4:", "", "SMS input4:"},
    {"Label13", "SMS", {8, 144, 58, 13}, "SMS input5:", "", "SMS input5:"},
    {"GroupBox1", "SMS", {8, 176, 457, 89}, "SMSs in Kestrix SIM", "", "SMSs in Kestrix SIM"},
    {"SMSs", "GroupBox1", {8, 16, 441, 65}, nullptr, "", "SMSs"},
    {"SMSPhone1", "SMS", {72, 24, 97, 21}, nullptr, kPhone, "SMS credit:"},
    {"SMSPhone2", "SMS", {72, 48, 97, 21}, nullptr, kPhone, "SMS input1:"},
    {"SMSPhone3", "SMS", {72, 72, 97, 21}, nullptr, kPhone, "SMS input2:"},
    {"SMSPhone4", "SMS", {72, 96, 97, 21}, nullptr, kPhone, "SMS input3:"},
    {"SMSPhone5", "SMS", {72, 120, 97, 21}, nullptr, kPhone, "SMS input4:"},
    {"SMSPhone6", "SMS", {72, 144, 97, 21}, nullptr, kPhone, "SMS input5:"},
    {"SMSText1", "SMS", {168, 24, 217, 21}, nullptr, kText, "SMSText1"},
    {"SMSText2", "SMS", {168, 48, 217, 21}, nullptr, kText, "SMSText2"},
    {"SMStext3", "SMS", {168, 72, 217, 21}, nullptr, kText, "SMStext3"},
    {"SMStext4", "SMS", {168, 96, 217, 21}, nullptr, kText, "SMStext4"},
    {"SMStext5", "SMS", {168, 120, 217, 21}, nullptr, kText, "SMStext5"},
    {"SMSText6", "SMS", {168, 144, 217, 21}, nullptr, kText, "SMSText6"},
    {"ButtonLoadSMS", "SMS", {392, 24, 75, 25}, "Load SMSs", "Load SMSs from SIM.", "Load SMSs"},
    {"ButtonSaveSMS", "SMS", {392, 56, 75, 25}, "Save SMSs", "Save SMSs to SIM", "Save SMSs"},
    {"ButtonDeleteSMS",
     "SMS",
     {392, 88, 75, 25},
     "Delele SMSs",
     "Delete all SMSs from SIM.",
     "Delele SMSs"},
    {"Image2", "SMS", {424, 128, 33, 41}, nullptr, "", "Image2"},
    {"Monitor",
     "TabSheet1",
     {0, 0, 473, 265},
     nullptr,
     "Monitoring serial comunication in Kestrix.",
     "Monitor"},
};

QString Caption(QWidget* control) {
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
  return QString();
}

// The width a caption has: its box as far as its parent shows it, less what
// the control draws beside the text.
int CaptionRoom(QWidget* control) {
  const int width = (control->geometry() & control->parentWidget()->rect()).width();
  const int margin = control->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, control);
  // A picture button's picture: margin 2, 17 wide, spacing 20.
  if (dynamic_cast<TBitBtn*>(control)) return width - margin - 2 - 17 - 20;
  if (qobject_cast<QPushButton*>(control) || qobject_cast<QGroupBox*>(control)) {
    return width - 2 * margin;
  }
  return width - control->contentsMargins().left() - control->contentsMargins().right();
}

// Every caption of `window`, in the font it is drawn with, fits its box.
void ExpectCaptionsFit(QWidget* window) {
  window->show();
  int captions = 0;
  for (QWidget* control : window->findChildren<QWidget*>()) {
    const QString caption = Caption(control);
    if (caption.isEmpty()) continue;
    ++captions;
    EXPECT_LE(QFontMetrics(control->font()).horizontalAdvance(caption), CaptionRoom(control))
        << control->objectName().toStdString() << " in " << control->font().family().toStdString();
  }
  EXPECT_GE(captions, 4);  // the port dialog has the fewest: two labels, two buttons
}

TEST_F(WindowLayout, EveryCaptionOfTheWindowAndThePortDialogFitsItsBox) {
  ExpectCaptionsFit(form_.get());
  TComSelectForm dialog;
  ExpectCaptionsFit(&dialog);
}

TEST_F(WindowLayout, PlacesEveryControlWithItsCaptionHintAndSpokenName) {
  EXPECT_EQ(form_->windowTitle(), "Morvel");
  EXPECT_EQ(QPoint(form_->x(), form_->y()), QPoint(191, 107));
  EXPECT_EQ(form_->size(), QSize(510, 374));
  EXPECT_FALSE(form_->windowIcon().isNull());
  EXPECT_EQ(form_->font().pixelSize(), 11);
  form_->show();
  QCoreApplication::processEvents();
  for (const Row& row : kLayout) {
    SCOPED_TRACE(row.name);
    QWidget* control = Control(row.name);
    if (!control) continue;
    EXPECT_EQ(control->parentWidget()->objectName(), row.parent);
    EXPECT_EQ(control->geometry(), row.place);
    if (row.caption) {
      EXPECT_EQ(Caption(control), row.caption);
    }
    EXPECT_EQ(control->toolTip(), row.hint);
    QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(control);
    ASSERT_NE(spoken, nullptr);
    EXPECT_EQ(spoken->text(QAccessible::Name), row.spoken);
  }
  const QStringList tabs{"PHONE", "SMS", "MONITOR"};
  const QStringList pages{"PHONE", "SMS", "TabSheet1"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(form_->PageControl1->tabText(i), tabs[i]);
    EXPECT_EQ(form_->PageControl1->widget(i)->objectName(), pages[i]);
  }
  EXPECT_EQ(form_->PageControl1->currentWidget(), form_->PHONE);
  EXPECT_EQ(form_->StatusPanels[0]->text(), "Operator:");
  EXPECT_EQ(form_->StatusPanels[1]->text(), "Credit:");
  EXPECT_EQ(form_->Label1->buddy(), form_->MASTER1);
  EXPECT_EQ(form_->Label18->buddy(), form_->SMSCentrum);
  EXPECT_EQ(form_->Label6->buddy(), form_->SMSPhone1);
  EXPECT_TRUE(form_->SMSCentrum->isReadOnly());
  EXPECT_TRUE(form_->Monitor->isReadOnly());
  EXPECT_TRUE(form_->SMSs->isReadOnly());
  EXPECT_FALSE(form_->LED->isVisibleTo(form_.get()));
}

TEST_F(WindowLayout, TabsThroughEachPageInTheLayoutsOrder) {
  const std::vector<const char*> order{
      "PageControl1",  "MASTER1",       "MASTER2",           "MASTER3",
      "MASTER4",       "MASTER5",       "LoadPHONE",         "TreeView1",
      "MASTER6",       "MASTER7",       "MASTER8",           "SERVICE",
      "SMSCentrum",    "SavePhone",     "ButtonDeletePhone", "SMSs",
      "SMSPhone1",     "SMSText1",      "SMSPhone2",         "SMSText2",
      "SMSPhone3",     "SMStext3",      "SMSPhone4",         "SMStext4",
      "SMSPhone5",     "SMStext5",      "SMSPhone6",         "SMSText6",
      "ButtonLoadSMS", "ButtonSaveSMS", "ButtonDeleteSMS",   "Monitor",
      "SaveToPC",      "LoadToPC"};
  // The tab bar stands for the page control in the chain.
  std::vector<std::string> chain;
  QWidget* start = form_.get();
  QWidget* w = start;
  do {
    const std::string name =
        w == form_->PageControl1->tabBar() ? "PageControl1" : w->objectName().toStdString();
    if (std::find_if(order.begin(), order.end(), [&](const char* n) { return name == n; }) !=
        order.end()) {
      chain.push_back(name);
    }
    w = w->nextInFocusChain();
  } while (w != start);
  chain.erase(std::unique(chain.begin(), chain.end()), chain.end());
  EXPECT_EQ(chain, std::vector<std::string>(order.begin(), order.end()));
}

TEST_F(WindowLayout, StacksTheWindowsControlsAndOwnsItsComponents) {
  QStringList stack;
  for (QObject* child : form_->centralWidget()->children()) {
    if (child->isWidgetType()) stack << child->objectName();
  }
  EXPECT_EQ(stack, (QStringList{"Gauge1", "LED", "Bevel1", "Smeter", "Label19", "PageControl1",
                                "SaveToPC", "LoadToPC"}));
  EXPECT_EQ(form_->Timer1->interval(), 1000);
  EXPECT_TRUE(form_->Timer1->isActive());
  EXPECT_EQ(form_->SerComPort1->TraceName(), "SERIAL.TRC");
  EXPECT_EQ(form_->SerComPort1->LogName(), "SERIAL.LOG");
  for (QFileDialog* dialog : {form_->OpenDialog1, form_->SaveDialog1}) {
    EXPECT_EQ(dialog->defaultSuffix(), "mvf");
    EXPECT_EQ(dialog->nameFilters(), QStringList{"mvf (*mvf)"});
    // What the user reads as the filter's name.
    EXPECT_EQ(dialog->findChild<QComboBox*>("fileTypeCombo")->currentText(), "mvf");
  }
  EXPECT_TRUE(form_->SaveDialog1->testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(form_->OpenDialog1->fileMode(), QFileDialog::AnyFile);
}

TEST_F(WindowLayout, OnlyTheStatusBarFollowsAResizeOrMaximising) {
  form_->show();
  QCoreApplication::processEvents();
  std::vector<QRect> before;
  for (const Row& row : kLayout) before.push_back(Control(row.name)->geometry());
  const std::function<void()> changes[] = {[this] { form_->resize(640, 480); },
                                           [this] { form_->showMaximized(); }};
  for (const auto& change : changes) {
    change();
    QCoreApplication::processEvents();
    ASSERT_GE(form_->width(), 640);
    EXPECT_EQ(form_->StatusBar1->geometry(), QRect(0, form_->height() - 22, form_->width(), 22));
    for (size_t i = 0; i < std::size(kLayout); ++i) {
      if (std::string(kLayout[i].name) == "StatusBar1") continue;
      EXPECT_EQ(Control(kLayout[i].name)->geometry(), before[i]) << kLayout[i].name;
    }
  }
  EXPECT_TRUE(form_->isMaximized());
  EXPECT_GT(form_->width(), 640);
}

}  // namespace
}  // namespace morvel::test
