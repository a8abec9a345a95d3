// The entry fields on the real window: every text that reaches a field is
// filtered (typed, pasted, set by the program), the caret ends at the end,
// clicks into phonebook fields clear the tree's selection, and the fields
// go to a configuration file and come back through the file dialogs.
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

#include "app/window/bit_button.h"
#include "form_without_port.h"
#include "support/temp_folder.h"

namespace morvel::test {
namespace {

using config::ConfigField;

class Fields : public FormWithoutPort {
 protected:
  Fields() {
    form_->Timer1->stop();
    form_->show();
    QObject::connect(&fileDialogTimer_, &QTimer::timeout, [this] { Answer(); });
  }

  void Paste(QLineEdit* edit, const QString& text) {
    QApplication::clipboard()->setText(text);
    edit->setFocus();
    QTest::keySequence(edit, QKeySequence::Paste);
  }

  // Types `text` key by key, as a keyboard or an input method delivers it.
  void Type(QLineEdit* edit, const QString& text) {
    for (char32_t c : text.toUcs4()) {
      QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString::fromUcs4(&c, 1),
                          Qt::NoModifier);
    }
  }

  // Answers the next file dialog: types `file` into it, then presses OK, or
  // Cancel when not `accept`.
  void AnswerFileDialog(const std::string& file, bool accept = true) {
    answer_ = file;
    accept_ = accept;
    fileDialogTimer_.start(5);
  }

  void Answer() {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    fileDialogTimer_.stop();
    // As a user would: type the whole name into the name box, which has the
    // keyboard (the dialog drops the files it had selected only then).
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    QApplication::setActiveWindow(dialog);
    name->setFocus();
    name->setText(QString::fromStdString(answer_));
    accept_ ? static_cast<QDialog*>(dialog)->accept() : dialog->reject();
  }

  std::string answer_;
  bool accept_ = true;
  QTimer fileDialogTimer_;
};

TEST_F(Fields, TypedAndPastedTextsAreFilteredWithTheCaretAtTheEnd) {
  QLineEdit* master = form_->MASTER1;
  QTest::keyClicks(master, "4");
  EXPECT_EQ(master->text(), "+");
  QTest::keyClicks(master, "421");
  EXPECT_EQ(master->text(), "+421");
  master->setText("+123456789012");
  master->setCursorPosition(5);
  QTest::keyClicks(master, "9");
  EXPECT_EQ(master->text(), "+123495678901");
  EXPECT_EQ(master->cursorPosition(), 13);
  EXPECT_FALSE(master->hasSelectedText());

  const QString full(40, 'a');
  form_->SMSText1->setText(full);
  form_->SMSText1->setCursorPosition(10);
  QTest::keyClicks(form_->SMSText1, "Z");
  EXPECT_EQ(form_->SMSText1->text(), QString(10, 'a') + "Z" + QString(29, 'a'));
  EXPECT_EQ(form_->SMSText1->cursorPosition(), 40);

  const std::pair<QLineEdit*, std::pair<const char*, const char*>> pastes[] = {
      {form_->SMSPhone1, {"0903 123 456", "0903"}}, {form_->SMSPhone2, {"ab", "+"}},
      {form_->SMSPhone3, {"+4+5", "+4"}},           {form_->SMStext3, {"Hello: world", "Hello"}},
      {form_->SMSText6, {" spaced ", " spaced "}},
  };
  for (const auto& [edit, io] : pastes) {
    Paste(edit, io.first);
    EXPECT_EQ(edit->text(), io.second) << io.first;
    EXPECT_EQ(edit->cursorPosition(), edit->text().size());
  }
  // Past the line edit's own limit of 32,767 characters, as from a file.
  Paste(form_->SMSPhone4, QString(40000, ' ') + "+421");
  EXPECT_EQ(form_->SMSPhone4->text(), "+421");
  // The program's own texts pass the same filters.
  form_->SetFieldText(ConfigField::SERVICE, "+43664123456789012");
  EXPECT_EQ(form_->SERVICE->text(), "+436641234567");
  form_->SetCentreText("+43 not filtered");
  EXPECT_EQ(form_->SMSCentrum->text(), "+43 not filtered");
}

TEST_F(Fields, CharactersWithoutAnEightBitCodeAreRefusedAlsoWhenComposed) {
  struct Case {
    QLineEdit* edit;
    bool pasted;
    const char* before;
    const char* input;
    const char* after;
  };
  const Case cases[] = {
      {form_->SMSText1, false, "", "Ahoj \u010dau", "Ahoj au"},
      {form_->SMSText2, true, "", "Ahoj \u010dau", "Ahoj "},
      {form_->SMStext5, true, "", "Ahoj c\u030cau", "Ahoj "},
      {form_->SMSText6, false, "", "Ahoj c\u030cau", "Ahoj au"},
      {form_->SMStext3, true, "", "\u20ac 5", ""},
      {form_->SMStext4, false, "Hi", "\U0001F600!", "Hi!"},
      {form_->MASTER1, false, "", "+42\u20ac1", "+421"},
      {form_->MASTER2, true, "", "\u20ac421", "421"},
      {form_->MASTER3, false, "", "\u20ac", ""},
      {form_->SMSPhone1, true, "", "\U0001F600\U0001F600 +4", "+4"},
  };
  for (const Case& c : cases) {
    c.edit->setText(c.before);
    c.pasted ? Paste(c.edit, QString::fromUtf8(c.input)) : Type(c.edit, QString::fromUtf8(c.input));
    EXPECT_EQ(c.edit->text(), QString::fromUtf8(c.after)) << c.input;
  }
  // Typed in front of a number, the character is refused and the number stays.
  form_->SetFieldText(ConfigField::SERVICE, "+421");
  form_->SERVICE->setCursorPosition(0);
  Type(form_->SERVICE, "\u20ac");
  EXPECT_EQ(form_->SERVICE->text(), "+421");
}

TEST_F(Fields, UndoBringsBackTheTextBeforeEachKeystrokeAlsoARefusedOne) {
  struct Case {
    ConfigField field;
    const char* before;  // set by the program: nothing before it is undone
    int caret;
    const char* key;
    const char* typed;
  };
  const Case cases[] = {
      {ConfigField::MASTER4, "+421", 4, "5", "+4215"},
      {ConfigField::MASTER5, "+421", 1, "+", "+"},
      {ConfigField::SMSText1, "Hello world", 5, ":", "Hello"},
  };
  const QKeySequence undo(QKeySequence::Undo), redo(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
  for (const Case& c : cases) {
    auto* edit = form_->findChild<QLineEdit*>(QString::fromLatin1(config::FieldName(c.field)));
    SCOPED_TRACE(c.key);
    form_->SetFieldText(c.field, c.before);
    edit->setCursorPosition(c.caret);
    Type(edit, c.key);
    EXPECT_EQ(edit->text(), c.typed);
    for (const auto& [keys, text] :
         {std::pair{undo, c.before}, {undo, c.before}, {redo, c.typed}}) {
      QTest::keySequence(edit, keys);
      EXPECT_EQ(edit->text(), text);
    }
  }
  // The context menu's first entry, Undo, is the same step.
  QContextMenuEvent menuAsked(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
  QApplication::sendEvent(form_->SMSText1, &menuAsked);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  menu->actions().front()->trigger();
  menu->close();
  EXPECT_EQ(form_->SMSText1->text(), "Hello world");
}

TEST_F(Fields, ALeftClickIntoAPhonebookFieldClearsTheTreeSelection) {
  form_->AddTreeNode("1:MASTER1[+431]");
  form_->AddTreeNode("2:MASTER2[+432]");
  QTreeWidgetItem* second = form_->TreeView1->topLevelItem(1);
  // Right and middle clicks paste on Linux: the entry chosen for Delete PNum.
  // stays chosen.
  const std::tuple<QLineEdit*, Qt::MouseButton, bool> clicks[] = {
      {form_->SMSPhone1, Qt::LeftButton, true}, {form_->MASTER1, Qt::RightButton, true},
      {form_->MASTER2, Qt::MiddleButton, true}, {form_->SMSCentrum, Qt::RightButton, true},
      {form_->MASTER3, Qt::LeftButton, false},  {form_->SMSCentrum, Qt::LeftButton, false},
  };
  for (const auto& [edit, button, kept] : clicks) {
    second->setSelected(true);
    QTest::mouseClick(edit, button);
    if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
    EXPECT_EQ(form_->SelectedNodeText().has_value(), kept)
        << edit->objectName().toStdString() << " " << button;
  }
}

TEST_F(Fields, SaveAndLoadThroughTheFileDialogs) {
  TempFolder folder;
  const std::string file = folder.File("kestrix.mvf");
  for (size_t line = 0; line < config::kConfigFieldCount; ++line) {
    const ConfigField field = config::FieldAt(line);
    form_->SetFieldText(field, config::KindOf(field) == config::FieldKind::Number
                                   ? "+43" + std::to_string(line)
                                   : "Text " + std::to_string(line));
  }
  form_->SetCentreText("+4399");
  AnswerFileDialog(file, false);
  form_->SaveToPC->click();
  EXPECT_FALSE(Exists(file));
  AnswerFileDialog(file);
  form_->SaveToPC->click();
  const std::string saved = ReadAll(file);
  EXPECT_EQ(saved.substr(0, 18), "+430\r\n+431\r\n+432\r\n");
  EXPECT_EQ(saved.substr(saved.size() - 9), "Text 20\r\n");

  for (size_t line = 0; line < config::kConfigFieldCount; ++line) {
    form_->SetFieldText(config::FieldAt(line), "");
  }
  AnswerFileDialog(file, false);
  form_->LoadToPC->click();
  EXPECT_EQ(form_->MASTER1->text(), "");
  AnswerFileDialog(file);
  form_->LoadToPC->click();
  EXPECT_EQ(form_->MASTER1->text(), "+430");
  EXPECT_EQ(form_->SMStext3->text(), "Text 14");
  EXPECT_EQ(form_->SMSText6->text(), "Text 20");
  EXPECT_EQ(form_->SMSCentrum->text(), "+4399");
  EXPECT_TRUE(Reports().empty());

  AnswerFileDialog(folder.File("missing.mvf"));
  form_->LoadToPC->click();
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Reports()[0], (std::pair<std::string, std::string>{"Morvel", "File not found."}));
  EXPECT_EQ(form_->MASTER1->text(), "+430");
}

}  // namespace
}  // namespace morvel::test
