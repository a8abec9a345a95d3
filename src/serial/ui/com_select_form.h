// The port selection dialog: lists the ports that exist, COM1 to COM50, and
// lets the user choose one when the port component has none configured.
#pragma once

#include <QDialog>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

// The results a modal form ends with.
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3 };

class TComSelectForm : public QDialog {
  Q_OBJECT

 public:
  explicit TComSelectForm(QWidget* parent = nullptr);

  // Shows the dialog and waits for it; the modal result: OK, Abort for the
  // Cancel button, Cancel for the window's close box.
  int ShowModal();
  // The chosen entry's number ("COM12" gives 12). Raises EConvertError
  // "'' is not a valid integer value" when nothing is listed.
  int SelectedComNumber() const;

  // Fills PortsComboBox; runs when the form is made.
  void FormCreate();

  QFrame* Bevel1;
  QLabel* Label1;
  QLabel* Label2;
  QComboBox* PortsComboBox;
  QPushButton* OkBtn;
  QPushButton* AbortBtn;

 protected:
  // The close box and Escape end the dialog with Cancel.
  void reject() override;
};
