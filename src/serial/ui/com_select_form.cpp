#include "serial/ui/com_select_form.h"

#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <string>

#include "gui/convert_error.h"
#include "gui/layout_font.h"
#include "serial/ui/port_list_follower.h"

TComSelectForm::TComSelectForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setWindowTitle("Select Port");
  setFixedSize(220, 131);
  setFont(LayoutFont());
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, Qt::black);
  colours.setColor(QPalette::ButtonText, Qt::black);
  colours.setColor(QPalette::Text, Qt::black);
  setPalette(colours);

  Bevel1 = new QFrame(this);
  Bevel1->setObjectName("Bevel1");
  Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  Bevel1->setGeometry(8, 8, 201, 42);
  Bevel1->setAccessibleName("Bevel1");
  Label1 = new QLabel("The configured serial port is not valid.", this);
  Label1->setObjectName("Label1");
  Label1->move(18, 14);
  Label1->adjustSize();
  Label2 = new QLabel("Please choose another port.", this);
  Label2->setObjectName("Label2");
  Label2->move(18, 30);
  Label2->adjustSize();
  // Made in tab order: OK, Cancel, the list.
  OkBtn = new QPushButton("OK", this);
  OkBtn->setObjectName("OkBtn");
  OkBtn->setGeometry(8, 95, 85, 27);
  OkBtn->setDefault(true);
  AbortBtn = new QPushButton("Cancel", this);
  AbortBtn->setObjectName("AbortBtn");
  AbortBtn->setGeometry(124, 95, 85, 27);
  PortsComboBox = new QComboBox(this);
  PortsComboBox->setObjectName("PortsComboBox");
  PortsComboBox->setEditable(false);
  PortsComboBox->setGeometry(8, 64, 201, 21);
  // On Linux a screen reader announces a combo box by its value, the port,
  // and by the label that names it.
  PortsComboBox->setAccessibleName("PortsComboBox");
  Label2->setBuddy(PortsComboBox);
  connect(OkBtn, &QPushButton::clicked, this, [this] { done(mrOk); });
  connect(AbortBtn, &QPushButton::clicked, this, [this] { done(mrAbort); });
  OkBtn->setFocus();

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->geometry().center() - rect().center());
  }
  FormCreate();
}

void TComSelectForm::FormCreate() {
  // Listed now, and followed while the dialog is open.
  new PortListFollower(PortsComboBox);
  PortsComboBox->setCurrentIndex(0);
}

int TComSelectForm::ShowModal() {
  return exec();
}

int TComSelectForm::SelectedComNumber() const {
  int index = PortsComboBox->currentIndex();
  std::string entry = index >= 0 ? PortsComboBox->itemText(index).toLatin1().toStdString() : "";
  return StrToInt(entry.size() > 3 ? entry.substr(3) : std::string());
}

void TComSelectForm::reject() {
  done(mrCancel);
}
