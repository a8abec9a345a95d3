// The window's controls with their names, places, captions, hints and
// stacking order, and the components without a place on the screen. Each
// container's controls are made in their tab order, which Qt's focus chain
// follows.
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include "app/window/bit_button.h"
#include "app/window/form1.h"
#include "app/window/gauge.h"
#include "app/window/shape.h"
#include "gui/layout_font.h"
#include "serial/ui/com_port.h"

namespace {

constexpr int kClientWidth = 510;
constexpr int kClientHeight = 374;
constexpr int kStatusBarHeight = 22;
constexpr int kOperatorPanelWidth = 350;

const char kPhoneHint[] = "Phone number in international format.";
const char kTextHint[] = "SMS text max. 40 characters.";

const QColor kLime(0, 255, 0);
const QColor kMediumGrey(128, 128, 128);

template <class W>
W* Place(W* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(name);
  widget->setGeometry(left, top, width, height);
  return widget;
}

// A control without a label of its own is announced by its name.
template <class W>
W* Named(W* widget) {
  widget->setAccessibleName(widget->objectName());
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int left, int top, int width,
                  int height) {
  auto* label = Place(new QLabel(text, parent), name, left, top, width, height);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, int left, int top, int width,
                    const char* hint, QLabel* label) {
  auto* edit = Place(new QLineEdit(parent), name, left, top, width, 21);
  edit->setToolTip(hint);
  if (label) {
    label->setBuddy(edit);
    edit->setAccessibleName(label->text());
  } else {
    Named(edit);
  }
  return edit;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int top,
                        const char* hint) {
  auto* button = Place(new QPushButton(caption, parent), name, 392, top, 75, 25);
  button->setToolTip(hint);
  return button;
}

// A picture scaled to fit its box with its proportions kept, from the top left.
QLabel* MakePicture(QWidget* parent, const char* name, const char* resource, int left, int top,
                    int width, int height, const char* description) {
  auto* picture = Named(Place(new QLabel(parent), name, left, top, width, height));
  picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  picture->setPixmap(
      QPixmap(resource).scaled(width, height, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  picture->setAccessibleDescription(description);
  return picture;
}

QPlainTextEdit* MakeMemo(QWidget* parent, const char* name, int left, int top, int width,
                         int height) {
  auto* memo = Named(Place(new QPlainTextEdit(parent), name, left, top, width, height));
  memo->setReadOnly(true);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  return memo;
}

// A page, announced by its tab's caption.
QWidget* AddPage(QTabWidget* pages, const char* name, const char* caption) {
  auto* page = new QWidget;
  page->setObjectName(name);
  page->setAccessibleName(caption);
  pages->addTab(page, caption);
  return page;
}

// The read-only controls show the button face instead of the edit colour.
void ButtonFaceBackground(QWidget* widget) {
  QPalette colours = widget->palette();
  colours.setColor(QPalette::Base, colours.color(QPalette::Button));
  widget->setPalette(colours);
}

}  // namespace

void TForm1::CreateWindowControls() {
  setWindowTitle("Morvel");
  setWindowIcon(QIcon(":/pictures/morvel.xpm"));
  setFont(LayoutFont());
  QPalette colours = palette();
  colours.setColor(QPalette::Window, colours.color(QPalette::Button));
  setPalette(colours);

  auto* client = new QWidget(this);
  client->setObjectName("Form1Client");
  setCentralWidget(client);

  Gauge1 = Named(Place(new TGauge(client), "Gauge1", 496, 40, 5, 265));
  Gauge1->SetKind(gkVerticalBar);
  Gauge1->SetMaxValue(27);
  Gauge1->SetForeColor(kLime);
  Gauge1->SetBackColor(colours.color(QPalette::Button));
  Gauge1->SetBorderStyle(bsNone);
  Gauge1->SetShowText(false);
  Gauge1->setToolTip("SynchroBar - if not green, communication is blocked.");

  LED = Named(Place(new TShape(Qt::red, client), "LED", 494, 304, 9, 9));
  LED->hide();

  Bevel1 = Named(Place(new QFrame(client), "Bevel1", 168, 320, 321, 25));
  Bevel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Bevel1->setToolTip("Signal is good, when color is green or blue.");

  Smeter = Named(Place(new TGauge(client), "Smeter", 248, 328, 233, 9));
  Smeter->SetMaxValue(31);
  Smeter->SetBackColor(kMediumGrey);
  Smeter->SetShowText(false);
  Smeter->setToolTip("Signal is good, when color is green or blue.");

  Label19 = MakeLabel(client, "Label19", "Signal quality", 176, 326, 62, 13);

  PageControl1 = Named(Place(new QTabWidget(client), "PageControl1", 8, 16, 481, 297));
  CreatePhonePage();
  CreateSmsPage();
  CreateMonitorPage();
  PageControl1->setCurrentIndex(0);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  Named(StatusBar1)->setFixedHeight(kStatusBarHeight);
  StatusPanels = {new QLabel("Operator:"), new QLabel("Credit:")};
  StatusPanels[0]->setFixedWidth(kOperatorPanelWidth);
  StatusBar1->addWidget(StatusPanels[0]);
  StatusBar1->addWidget(StatusPanels[1], 1);
  setStatusBar(StatusBar1);

  const QPixmap floppy(":/pictures/floppy.xpm");
  SaveToPC = Place(new TBitBtn("Save", floppy, 2, 20, client), "SaveToPC", 88, 320, 75, 25);
  SaveToPC->setToolTip("Save all data (phone numbers and SMSs) to PC");
  LoadToPC = Place(new TBitBtn("Load", floppy, 2, 20, client), "LoadToPC", 8, 320, 73, 25);
  LoadToPC->setToolTip("Load all data (phone numbers and SMSs) from PC");

  // The client area is fixed; only the status bar follows a resize.
  resize(kClientWidth, kClientHeight);
  move(191, 107);
}

void TForm1::CreatePhonePage() {
  PHONE = AddPage(PageControl1, "PHONE", "PHONE");

  Label1 = MakeLabel(PHONE, "Label1", "MASTER1", 8, 28, 51, 13);
  Label2 = MakeLabel(PHONE, "Label2", "MASTER2", 8, 52, 51, 13);
  Label3 = MakeLabel(PHONE, "Label3", "MASTER3", 8, 76, 51, 13);
  Label4 = MakeLabel(PHONE, "Label4", "MASTER4", 8, 100, 51, 13);
  Label5 = MakeLabel(PHONE, "Label5", "MASTER5", 8, 124, 51, 13);
  Label14 = MakeLabel(PHONE, "Label14", "MASTER6", 8, 148, 51, 13);
  Label15 = MakeLabel(PHONE, "Label15", "MASTER7", 8, 172, 51, 13);
  Label16 = MakeLabel(PHONE, "Label16", "MASTER8", 8, 196, 51, 13);
  Label17 = MakeLabel(PHONE, "Label17", "SERVICE", 8, 220, 46, 13);
  Label18 = MakeLabel(PHONE, "Label18", "SMS CENT.", 8, 244, 58, 13);
  PhoneBook = MakeLabel(PHONE, "PhoneBook", "PhoneBook in Kestrix SIM", 216, 8, 148, 13);

  MASTER1 = MakeEdit(PHONE, "MASTER1", 72, 24, 121, kPhoneHint, Label1);
  MASTER2 = MakeEdit(PHONE, "MASTER2", 72, 48, 121, kPhoneHint, Label2);
  MASTER3 = MakeEdit(PHONE, "MASTER3", 72, 72, 121, kPhoneHint, Label3);
  MASTER4 = MakeEdit(PHONE, "MASTER4", 72, 96, 121, kPhoneHint, Label4);
  MASTER5 = MakeEdit(PHONE, "MASTER5", 72, 120, 121, kPhoneHint, Label5);
  LoadPHONE = MakeButton(PHONE, "LoadPHONE", "Load PBook", 24, "Load phone numbers from SIM.");
  TreeView1 = Named(Place(new QTreeWidget(PHONE), "TreeView1", 200, 24, 185, 241));
  TreeView1->setHeaderHidden(true);
  TreeView1->setIndentation(19);
  TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView1->setSortingEnabled(false);
  MASTER6 = MakeEdit(PHONE, "MASTER6", 72, 144, 121, kPhoneHint, Label14);
  MASTER7 = MakeEdit(PHONE, "MASTER7", 72, 168, 121, kPhoneHint, Label15);
  MASTER8 = MakeEdit(PHONE, "MASTER8", 72, 192, 121, kPhoneHint, Label16);
  SERVICE = MakeEdit(PHONE, "SERVICE", 72, 216, 121, kPhoneHint, Label17);
  SMSCentrum =
      MakeEdit(PHONE, "SMSCentrum", 72, 240, 121, "Only information - not editable!", Label18);
  SMSCentrum->setReadOnly(true);
  ButtonFaceBackground(SMSCentrum);
  SavePhone = MakeButton(PHONE, "SavePhone", "Save PBook", 56, "Save phone numbers to SIM");
  ButtonDeletePhone = MakeButton(PHONE, "ButtonDeletePhone", "Delete PNum.", 88,
                                 "Delete in tree selected phone number from SIM");
  Image1 = MakePicture(PHONE, "Image1", ":/pictures/telephone.xpm", 416, 128, 41, 41,
                       "A desk telephone");
}

void TForm1::CreateSmsPage() {
  SMS = AddPage(PageControl1, "SMS", "SMS");

  Label7 = MakeLabel(SMS, "Label7", "Phone:", 96, 8, 34, 13);
  Label8 = MakeLabel(SMS, "Label8", "Text:", 224, 8, 24, 13);
  Label6 = MakeLabel(SMS, "Label6", "SMS credit:", 8, 24, 55, 13);
  Label9 = MakeLabel(SMS, "Label9", "SMS input1:", 8, 48, 58, 13);
  Label10 = MakeLabel(SMS, "Label10", "SMS input2:", 8, 72, 58, 13);
  Label11 = MakeLabel(SMS, "Label11", "SMS input3:", 8, 96, 58, 13);
  Label12 = MakeLabel(SMS, "Label12", "SMS input4:", 8, 120, 58, 13);
  Label13 = MakeLabel(SMS, "Label13", "SMS input5:", 8, 144, 58, 13);

  GroupBox1 = Place(new QGroupBox("SMSs in Kestrix SIM", SMS), "GroupBox1", 8, 176, 457, 89);
  SMSs = MakeMemo(GroupBox1, "SMSs", 8, 16, 441, 65);

  SMSPhone1 = MakeEdit(SMS, "SMSPhone1", 72, 24, 97, kPhoneHint, Label6);
  SMSText1 = MakeEdit(SMS, "SMSText1", 168, 24, 217, kTextHint, nullptr);
  SMSPhone2 = MakeEdit(SMS, "SMSPhone2", 72, 48, 97, kPhoneHint, Label9);
  SMSText2 = MakeEdit(SMS, "SMSText2", 168, 48, 217, kTextHint, nullptr);
  SMSPhone3 = MakeEdit(SMS, "SMSPhone3", 72, 72, 97, kPhoneHint, Label10);
  SMStext3 = MakeEdit(SMS, "SMStext3", 168, 72, 217, kTextHint, nullptr);
  SMSPhone4 = MakeEdit(SMS, "SMSPhone4", 72, 96, 97, kPhoneHint, Label11);
  SMStext4 = MakeEdit(SMS, "SMStext4", 168, 96, 217, kTextHint, nullptr);
  SMSPhone5 = MakeEdit(SMS, "SMSPhone5", 72, 120, 97, kPhoneHint, Label12);
  SMStext5 = MakeEdit(SMS, "SMStext5", 168, 120, 217, kTextHint, nullptr);
  SMSPhone6 = MakeEdit(SMS, "SMSPhone6", 72, 144, 97, kPhoneHint, Label13);
  SMSText6 = MakeEdit(SMS, "SMSText6", 168, 144, 217, kTextHint, nullptr);

  ButtonLoadSMS = MakeButton(SMS, "ButtonLoadSMS", "Load SMSs", 24, "Load SMSs from SIM.");
  ButtonSaveSMS = MakeButton(SMS, "ButtonSaveSMS", "Save SMSs", 56, "Save SMSs to SIM");
  ButtonDeleteSMS =
      MakeButton(SMS, "ButtonDeleteSMS", "Delele SMSs", 88, "Delete all SMSs from SIM.");
  Image2 = MakePicture(SMS, "Image2", ":/pictures/sms.xpm", 424, 128, 33, 41,
                       "A sheet of writing with an envelope");
}

void TForm1::CreateMonitorPage() {
  TabSheet1 = AddPage(PageControl1, "TabSheet1", "MONITOR");
  Monitor = MakeMemo(TabSheet1, "Monitor", 0, 0, 473, 265);
  ButtonFaceBackground(Monitor);
  Monitor->setToolTip("Monitoring serial comunication in Kestrix.");
}

void TForm1::CreateComponents(const RecorderOptions& recorders) {
  components_ = std::make_unique<TComponent>(nullptr);
  components_->Name = "Form1";
  SerComPort1 = new TSerComPort(components_.get());
  SerComPort1->Name = "SerComPort1";
  SerComPort1->SetTraceName("SERIAL.TRC");
  SerComPort1->SetLogName("SERIAL.LOG");
  // Asked for on the command line: recorded from the open, written at the close.
  if (recorders.Trace) {
    SerComPort1->SetTraceName(recorders.Folder + "/SERIAL.TRC");
    SerComPort1->SetTracing(tlOn);
  }
  if (recorders.Log) {
    SerComPort1->SetLogName(recorders.Folder + "/SERIAL.LOG");
    SerComPort1->SetLogging(tlOn);
  }

  for (QFileDialog** dialog : {&OpenDialog1, &SaveDialog1}) {
    *dialog = new QFileDialog(this);
    (*dialog)->setDefaultSuffix("mvf");
    // Described as "mvf" alone; its pattern matches any name ending in mvf.
    (*dialog)->setNameFilter("mvf (*mvf)");
    (*dialog)->setOption(QFileDialog::HideNameFilterDetails);
    // Qt's own dialog: the same on every desktop, and one a test can answer.
    (*dialog)->setOption(QFileDialog::DontUseNativeDialog);
  }
  OpenDialog1->setObjectName("OpenDialog1");
  OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
  // A name that does not exist may be typed; the load then says so.
  OpenDialog1->setFileMode(QFileDialog::AnyFile);
  SaveDialog1->setObjectName("SaveDialog1");
  SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
  SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(1000);
}
