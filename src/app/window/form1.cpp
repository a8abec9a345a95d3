// The window's construction, its handlers and what the dialogue sees of it.
#include "app/window/form1.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QTimer>
#include <QTreeWidget>
#include <stdexcept>

#include "app/window/bit_button.h"
#include "app/window/com_port_link.h"
#include "app/window/gauge.h"
#include "app/window/latin1.h"
#include "app/window/shape.h"
#include "gui/application.h"
#include "gui/guarded.h"
#include "serial/ui/com_port.h"

TForm1::TForm1(const RecorderOptions& recorders) {
  // The pictures live in this static library; nothing else would pull them in.
  Q_INIT_RESOURCE(pictures);
  setObjectName("Form1");
  CreateWindowControls();
  CreateComponents(recorders);
  portLink_ = std::make_unique<ComPortLink>(*SerComPort1);
  dialogue_ = std::make_unique<Dialogue>(*portLink_, *this);
  ConnectHandlers();
  Timer1->start();
  Guarded([this] { FormCreate(this); })();
}

TForm1::~TForm1() {
  // The port goes while the widgets its handler fills still exist.
  components_.reset();
}

void TForm1::ConnectHandlers() {
  SerComPort1->SetOnTriggerAvail(
      [this](TComponent* sender, WORD count) { SerComPort1TriggerAvail(sender, count); });
  SerComPort1->SetOnPortGone([this](TComponent* sender) { SerComPort1PortGone(sender); });
  SerComPort1->SetOnPortBack([this](TComponent* sender) { SerComPort1PortBack(sender); });
  connect(Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(Timer1); }));
  const std::pair<QPushButton*, void (TForm1::*)(QObject*)> clicks[] = {
      {LoadPHONE, &TForm1::LoadPHONEClick},
      {SavePhone, &TForm1::SavePhoneClick},
      {ButtonDeletePhone, &TForm1::ButtonDeletePhoneClick},
      {ButtonLoadSMS, &TForm1::ButtonLoadSMSClick},
      {ButtonSaveSMS, &TForm1::ButtonSaveSMSClick},
      {ButtonDeleteSMS, &TForm1::ButtonDeleteSMSClick},
  };
  for (const auto& [button, handler] : clicks) {
    connect(button, &QPushButton::clicked, this,
            Guarded([this, button = button, handler = handler] { (this->*handler)(button); }));
  }
  connect(TreeView1, &QTreeWidget::clicked, this, Guarded([this] { ViewTree(TreeView1); }));
  ConnectFieldHandlers();
}

void TForm1::FormCreate(QObject*) {
  dialogue_->FormCreate();
}

void TForm1::SerComPort1TriggerAvail(TComponent*, WORD count) {
  dialogue_->TriggerAvail(count);
}

void TForm1::Timer1Timer(QObject*) {
  dialogue_->Timer1Timer();
}

void TForm1::LoadPHONEClick(QObject*) {
  dialogue_->LoadPHONEClick();
}

void TForm1::SavePhoneClick(QObject*) {
  dialogue_->SavePhoneClick();
}

void TForm1::ButtonDeletePhoneClick(QObject*) {
  dialogue_->ButtonDeletePhoneClick();
}

void TForm1::ViewTree(QObject*) {
  dialogue_->ViewTree();
}

void TForm1::ButtonLoadSMSClick(QObject*) {
  dialogue_->ButtonLoadSMSClick();
}

void TForm1::ButtonSaveSMSClick(QObject*) {
  dialogue_->ButtonSaveSMSClick();
}

void TForm1::ButtonDeleteSMSClick(QObject*) {
  dialogue_->ButtonDeleteSMSClick();
}

void TForm1::AppendMonitorLine(const std::string& line) {
  // Each line goes in with its line break, so the caret line stays empty at
  // the end; appending costs the same however long the memo has grown.
  QScrollBar* bar = Monitor->verticalScrollBar();
  const bool followingTheEnd = bar->value() >= bar->maximum();
  QTextCursor end(Monitor->document());
  end.movePosition(QTextCursor::End);
  end.insertText(Latin1(line));
  end.insertBlock();
  if (followingTheEnd) bar->setValue(bar->maximum());
}

void TForm1::SetLedVisible(bool visible) {
  LED->setVisible(visible);
}

int TForm1::LinkProgress() const {
  return Gauge1->Progress();
}

void TForm1::SetLinkProgress(int progress) {
  Gauge1->SetProgress(progress);
}

void TForm1::SetSignal(int progress, Rgb colour) {
  Smeter->SetForeColor(QColor(colour.Red, colour.Green, colour.Blue));
  Smeter->SetProgress(progress);
}

void TForm1::SetDialogueButtonsEnabled(bool enabled) {
  for (QPushButton* button :
       {LoadPHONE, SavePhone, ButtonDeletePhone, ButtonLoadSMS, ButtonSaveSMS, ButtonDeleteSMS}) {
    button->setEnabled(enabled);
  }
}

void TForm1::SetOperatorPanel(const std::string& text) {
  StatusPanels[0]->setText(Latin1(text));
}

void TForm1::SetCreditPanel(const std::string& text) {
  StatusPanels[1]->setText(Latin1(text));
}

void TForm1::ClearTree() {
  TreeView1->clear();
}

void TForm1::AddTreeNode(const std::string& text) {
  new QTreeWidgetItem(TreeView1, QStringList{Latin1(text)});
}

std::optional<std::string> TForm1::SelectedNodeText() const {
  const QList<QTreeWidgetItem*> selected = TreeView1->selectedItems();
  if (selected.isEmpty()) return std::nullopt;
  return Bytes(selected.front()->text(0));
}

int TForm1::PageCount() const {
  return PageControl1->count();
}

std::string TForm1::PageName(int index) const {
  return Bytes(PageControl1->widget(index)->objectName());
}

void TForm1::SetActivePage(int index) {
  PageControl1->setCurrentIndex(index);
}

void TForm1::ClearSmsMemo() {
  SMSs->clear();
}

void TForm1::Report(const std::string& message) {
  Application().ShowException(std::runtime_error(message));
}

void TForm1::AppendSmsMemo(const std::string& text) {
  QTextCursor end(SMSs->document());
  end.movePosition(QTextCursor::End);
  end.insertText(Latin1(text).replace('\r', '\n'));
}
