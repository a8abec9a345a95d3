// The entry fields' change and click handlers, and saving and loading them
// as a configuration file.
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <limits>

#include "app/window/bit_button.h"
#include "app/window/field_undo.h"
#include "app/window/form1.h"
#include "app/window/latin1.h"
#include "config/config_file.h"
#include "config/field_filters.h"
#include "gui/guarded.h"

namespace {

// The file the dialog's user chose; none when it was cancelled.
std::optional<std::string> ChosenFile(QFileDialog* dialog) {
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return QFile::encodeName(dialog->selectedFiles().front()).toStdString();
}

}  // namespace

void TForm1::ConnectFieldHandlers() {
  using config::ConfigField;
  const std::pair<ConfigField, void (TForm1::*)(QObject*)> changes[] = {
      {ConfigField::MASTER1, &TForm1::MASTER1Change},
      {ConfigField::MASTER2, &TForm1::MASTER2Change},
      {ConfigField::MASTER3, &TForm1::MASTER3Change},
      {ConfigField::MASTER4, &TForm1::MASTER4Change},
      {ConfigField::MASTER5, &TForm1::MASTER5Change},
      {ConfigField::MASTER6, &TForm1::MASTER6Change},
      {ConfigField::MASTER7, &TForm1::MASTER7Change},
      {ConfigField::MASTER8, &TForm1::MASTER8Change},
      {ConfigField::SERVICE, &TForm1::SERVICEChange},
      {ConfigField::SMSPhone1, &TForm1::SMSPhone1Change},
      {ConfigField::SMSText1, &TForm1::SMSText1Change},
      {ConfigField::SMSPhone2, &TForm1::SMSPhone2Change},
      {ConfigField::SMSText2, &TForm1::SMSText2Change},
      {ConfigField::SMSPhone3, &TForm1::SMSPhone3Change},
      {ConfigField::SMStext3, &TForm1::SMStext3Change},
      {ConfigField::SMSPhone4, &TForm1::SMSPhone4Change},
      {ConfigField::SMStext4, &TForm1::SMStext4Change},
      {ConfigField::SMSPhone5, &TForm1::SMSPhone5Change},
      {ConfigField::SMStext5, &TForm1::SMStext5Change},
      {ConfigField::SMSPhone6, &TForm1::SMSPhone6Change},
      {ConfigField::SMSText6, &TForm1::SMSText6Change},
  };
  for (const auto& [field, handler] : changes) {
    QLineEdit* edit = findChild<QLineEdit*>(Latin1(std::string(config::FieldName(field))));
    fields_[config::LineOf(field)] = edit;
    // The filter limits what a field holds, not the line edit: cut to the
    // edit's own 32,767 characters, a paste would lose a number behind a
    // long run of blanks that loading the same line from a file keeps.
    edit->setMaxLength(std::numeric_limits<int>::max());
    undos_[config::LineOf(field)] = new FieldUndo(edit);
    connect(edit, &QLineEdit::textChanged, this,
            Guarded([this, edit, handler = handler] { (this->*handler)(edit); }));
  }
  fieldClicks_ = {{MASTER1, &TForm1::MASTER1Click}, {MASTER2, &TForm1::MASTER2Click},
                  {MASTER3, &TForm1::MASTER3Click}, {MASTER4, &TForm1::MASTER4Click},
                  {MASTER5, &TForm1::MASTER5Click}, {MASTER6, &TForm1::MASTER6Click},
                  {MASTER7, &TForm1::MASTER7Click}, {MASTER8, &TForm1::MASTER8Click},
                  {SERVICE, &TForm1::SERVICEClick}, {SMSCentrum, &TForm1::SMSCentrumClick}};
  for (const auto& [edit, handler] : fieldClicks_) edit->installEventFilter(this);
  connect(SaveToPC, &QPushButton::clicked, this, Guarded([this] { SaveToPCClick(SaveToPC); }));
  connect(LoadToPC, &QPushButton::clicked, this, Guarded([this] { LoadToPCClick(LoadToPC); }));
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::MouseButtonRelease) return QMainWindow::eventFilter(watched, event);
  // A click is the left button let go over the field it was pressed on:
  // a right click, for pasting, keeps the entry chosen for Delete PNum.
  const auto* mouse = static_cast<QMouseEvent*>(event);
  for (const auto& [edit, handler] : fieldClicks_) {
    if (edit == watched && mouse->button() == Qt::LeftButton &&
        edit->rect().contains(mouse->position().toPoint())) {
      Guarded([this, edit = edit, handler = handler] { (this->*handler)(edit); })();
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::FieldChange(config::ConfigField field) {
  QLineEdit* edit = FieldEdit(field);
  const QString filtered =
      Latin1(config::FilterFor(field, FilterInput(edit->text(), config::KindOf(field))));
  // Setting a different text raises this handler again at once, nested,
  // until the filter leaves the text as it is. The same text is not set
  // again: that would only cost the field its selection.
  if (filtered != edit->text()) edit->setText(filtered);
  edit->setCursorPosition(static_cast<int>(edit->text().size()));
  edit->deselect();
  undos_[config::LineOf(field)]->Record();
}

void TForm1::ClearTreeSelection() {
  TreeView1->clearSelection();
}

void TForm1::SaveToPCClick(QObject*) {
  const std::optional<std::string> file = ChosenFile(SaveDialog1);
  if (!file) return;
  config::ConfigTexts texts;
  for (size_t line = 0; line < texts.size(); ++line) {
    texts[line] = FieldText(config::FieldAt(line));
  }
  config::SaveConfigFile(*file, texts);
}

void TForm1::LoadToPCClick(QObject*) {
  const std::optional<std::string> file = ChosenFile(OpenDialog1);
  if (!file) return;
  config::LoadConfigFile(*file, [this](config::ConfigField field, const std::string& text) {
    SetFieldText(field, text);
  });
}

QLineEdit* TForm1::FieldEdit(config::ConfigField field) const {
  return fields_[config::LineOf(field)];
}

std::string TForm1::FieldText(config::ConfigField field) const {
  return Bytes(FieldEdit(field)->text());
}

void TForm1::SetFieldText(config::ConfigField field, const std::string& text) {
  FieldEdit(field)->setText(Latin1(text));
  undos_[config::LineOf(field)]->Restart();
}

void TForm1::SetCentreText(const std::string& text) {
  SMSCentrum->setText(Latin1(text));
}
