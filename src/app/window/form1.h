// The main window: three pages (phonebook, SMS, monitor), the status bar,
// the signal meter and link bar, the receive indicator, the file buttons,
// and the port, timer and file dialogs it owns. Its handlers keep their
// names; the device dialogue behind them lives in app/dialogue and reaches
// the widgets only through DialogueView.
#pragma once

#include <QMainWindow>
#include <array>
#include <memory>

#include "app/dialogue/dialogue.h"
#include "app/dialogue/dialogue_view.h"
#include "gui/component.h"

class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTimer;
class QTreeWidget;
class TBitBtn;
class TGauge;
class TSerComPort;
class TShape;

class TForm1 : public QMainWindow, public DialogueView {
 public:
  // Builds the window with all its controls and components, then runs
  // FormCreate; an error escaping it goes to the standard exception report.
  TForm1();
  ~TForm1() override;

  // ---- Handlers.
  void FormCreate(QObject* sender);
  void SerComPort1TriggerAvail(TComponent* sender, WORD count);
  void Timer1Timer(QObject* sender);
  void LoadPHONEClick(QObject* sender);
  void SavePhoneClick(QObject* sender);
  void ButtonDeletePhoneClick(QObject* sender);
  void ViewTree(QObject* sender);
  void ButtonLoadSMSClick(QObject* sender);
  void ButtonSaveSMSClick(QObject* sender);
  void ButtonDeleteSMSClick(QObject* sender);

  // The dialogue and its state, for whoever needs to look (tests).
  Dialogue& DeviceDialogue() { return *dialogue_; }

  // ---- DialogueView.
  std::string FieldText(Field field) const override;
  void SetFieldText(Field field, const std::string& text) override;
  void AppendMonitorLine(const std::string& line) override;
  void SetLedVisible(bool visible) override;
  int LinkProgress() const override;
  void SetLinkProgress(int progress) override;
  void SetSignal(int progress, Rgb colour) override;
  void SetDialogueButtonsEnabled(bool enabled) override;
  void SetOperatorPanel(const std::string& text) override;
  void SetCreditPanel(const std::string& text) override;
  void ClearTree() override;
  void AddTreeNode(const std::string& text) override;
  std::optional<std::string> SelectedNodeText() const override;
  int PageCount() const override;
  std::string PageName(int index) const override;
  void SetActivePage(int index) override;
  void ClearSmsMemo() override;
  void AppendSmsMemo(const std::string& text) override;

  // ---- Controls directly on the window, bottom to top.
  TGauge* Gauge1;
  TShape* LED;
  QFrame* Bevel1;
  TGauge* Smeter;
  QLabel* Label19;
  QTabWidget* PageControl1;
  QStatusBar* StatusBar1;
  std::array<QLabel*, 2> StatusPanels;
  TBitBtn* SaveToPC;
  TBitBtn* LoadToPC;

  // ---- Page "PHONE".
  QWidget* PHONE;
  QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label14, *Label15, *Label16, *Label17,
      *Label18, *PhoneBook;
  QLineEdit *MASTER1, *MASTER2, *MASTER3, *MASTER4, *MASTER5, *MASTER6, *MASTER7, *MASTER8,
      *SERVICE, *SMSCentrum;
  QPushButton *LoadPHONE, *SavePhone, *ButtonDeletePhone;
  QTreeWidget* TreeView1;
  QLabel* Image1;

  // ---- Page "SMS".
  QWidget* SMS;
  QLabel *Label6, *Label7, *Label8, *Label9, *Label10, *Label11, *Label12, *Label13;
  QGroupBox* GroupBox1;
  QPlainTextEdit* SMSs;
  QLineEdit *SMSPhone1, *SMSPhone2, *SMSPhone3, *SMSPhone4, *SMSPhone5, *SMSPhone6;
  QLineEdit *SMSText1, *SMSText2, *SMStext3, *SMStext4, *SMStext5, *SMSText6;
  QPushButton *ButtonLoadSMS, *ButtonSaveSMS, *ButtonDeleteSMS;
  QLabel* Image2;

  // ---- Page "MONITOR".
  QWidget* TabSheet1;
  QPlainTextEdit* Monitor;

  // ---- Components.
  TSerComPort* SerComPort1;
  QFileDialog* OpenDialog1;
  QFileDialog* SaveDialog1;
  QTimer* Timer1;

 private:
  void CreateWindowControls();
  void CreatePhonePage();
  void CreateSmsPage();
  void CreateMonitorPage();
  void CreateComponents();
  void ConnectHandlers();
  QLineEdit* FieldEdit(Field field) const;

  // Owner of the non-visual components; goes first when the window does.
  std::unique_ptr<TComponent> components_;
  std::unique_ptr<Dialogue> dialogue_;
};
