// The main window: three pages (phonebook, SMS, monitor), the status bar,
// the signal meter and link bar, the receive indicator, the file buttons,
// and the port, timer and file dialogs it owns. Its handlers keep their
// names; the device dialogue behind them lives in app/dialogue and reaches
// the widgets only through DialogueView.
#pragma once

#include <QMainWindow>
#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "app/dialogue/dialogue.h"
#include "app/dialogue/dialogue_view.h"
#include "app/window/recorder_options.h"
#include "gui/component.h"

class ComPortLink;
class FieldUndo;
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
  explicit TForm1(const RecorderOptions& recorders = {});
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
  void SaveToPCClick(QObject* sender);
  void LoadToPCClick(QObject* sender);
  // The device went away, and came back (form1_presence.cpp).
  void SerComPort1PortGone(TComponent* sender);
  void SerComPort1PortBack(TComponent* sender);

  // Each filtered field's change handler filters its text and puts the caret
  // at the end.
  void MASTER1Change(QObject*) { FieldChange(config::ConfigField::MASTER1); }
  void MASTER2Change(QObject*) { FieldChange(config::ConfigField::MASTER2); }
  void MASTER3Change(QObject*) { FieldChange(config::ConfigField::MASTER3); }
  void MASTER4Change(QObject*) { FieldChange(config::ConfigField::MASTER4); }
  void MASTER5Change(QObject*) { FieldChange(config::ConfigField::MASTER5); }
  void MASTER6Change(QObject*) { FieldChange(config::ConfigField::MASTER6); }
  void MASTER7Change(QObject*) { FieldChange(config::ConfigField::MASTER7); }
  void MASTER8Change(QObject*) { FieldChange(config::ConfigField::MASTER8); }
  void SERVICEChange(QObject*) { FieldChange(config::ConfigField::SERVICE); }
  void SMSPhone1Change(QObject*) { FieldChange(config::ConfigField::SMSPhone1); }
  void SMSPhone2Change(QObject*) { FieldChange(config::ConfigField::SMSPhone2); }
  void SMSPhone3Change(QObject*) { FieldChange(config::ConfigField::SMSPhone3); }
  void SMSPhone4Change(QObject*) { FieldChange(config::ConfigField::SMSPhone4); }
  void SMSPhone5Change(QObject*) { FieldChange(config::ConfigField::SMSPhone5); }
  void SMSPhone6Change(QObject*) { FieldChange(config::ConfigField::SMSPhone6); }
  void SMSText1Change(QObject*) { FieldChange(config::ConfigField::SMSText1); }
  void SMSText2Change(QObject*) { FieldChange(config::ConfigField::SMSText2); }
  void SMStext3Change(QObject*) { FieldChange(config::ConfigField::SMStext3); }
  void SMStext4Change(QObject*) { FieldChange(config::ConfigField::SMStext4); }
  void SMStext5Change(QObject*) { FieldChange(config::ConfigField::SMStext5); }
  void SMSText6Change(QObject*) { FieldChange(config::ConfigField::SMSText6); }
  // Clicking into a phonebook field leaves no tree entry selected, so Delete
  // PNum. acts only on an entry chosen afterwards.
  void MASTER1Click(QObject*) { ClearTreeSelection(); }
  void MASTER2Click(QObject*) { ClearTreeSelection(); }
  void MASTER3Click(QObject*) { ClearTreeSelection(); }
  void MASTER4Click(QObject*) { ClearTreeSelection(); }
  void MASTER5Click(QObject*) { ClearTreeSelection(); }
  void MASTER6Click(QObject*) { ClearTreeSelection(); }
  void MASTER7Click(QObject*) { ClearTreeSelection(); }
  void MASTER8Click(QObject*) { ClearTreeSelection(); }
  void SERVICEClick(QObject*) { ClearTreeSelection(); }
  void SMSCentrumClick(QObject*) { ClearTreeSelection(); }

  // The dialogue and its state, for whoever needs to look (tests).
  Dialogue& DeviceDialogue() { return *dialogue_; }

  // ---- DialogueView.
  std::string FieldText(config::ConfigField field) const override;
  void SetFieldText(config::ConfigField field, const std::string& text) override;
  void SetCentreText(const std::string& text) override;
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
  void Report(const std::string& message) override;

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
  void CreateComponents(const RecorderOptions& recorders);
  void ConnectHandlers();
  void ConnectFieldHandlers();
  void FieldChange(config::ConfigField field);
  void ClearTreeSelection();
  QLineEdit* FieldEdit(config::ConfigField field) const;

 protected:
  // Raises the click handlers of the phonebook fields on a left click.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::array<QLineEdit*, config::kConfigFieldCount> fields_{};
  std::array<FieldUndo*, config::kConfigFieldCount> undos_{};
  // The fields with a click handler, and the handler.
  std::vector<std::pair<QLineEdit*, void (TForm1::*)(QObject*)>> fieldClicks_;

  // Owner of the non-visual components; goes first when the window does.
  std::unique_ptr<TComponent> components_;
  std::unique_ptr<ComPortLink> portLink_;
  std::unique_ptr<Dialogue> dialogue_;
};
