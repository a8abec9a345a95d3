// The entry fields on the real window: every text that reaches a field is
// filtered (typed, pasted, set by the program), the caret ends at the end,
// clicks into phonebook fields clear the tree's selection, and the fields
// go to a configuration file and come back through the file dialogs.
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
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

  // Answers the next file dialog with `file`, or cancels it when empty.
  void AnswerFileDialog(const std::string& file) {
    answer_ = file;
    fileDialogTimer_.start(5);
  }

  void Answer() {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    fileDialogTimer_.stop();
    if (answer_.empty()) return dialog->reject();
    // As a user would: type the whole name into the name box.
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(answer_));
    static_cast<QDialog*>(dialog)->accept();
  }

  std::string answer_;
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
  // The program's own texts pass the same filters.
  form_->SetFieldText(ConfigField::SERVICE, "+43664123456789012");
  EXPECT_EQ(form_->SERVICE->text(), "+436641234567");
  form_->SetCentreText("+43 not filtered");
  EXPECT_EQ(form_->SMSCentrum->text(), "+43 not filtered");
}

TEST_F(Fields, ClickingIntoAPhonebookFieldClearsTheTreeSelection) {
  form_->AddTreeNode("1:MASTER1[+431]");
  form_->AddTreeNode("2:MASTER2[+432]");
  QTreeWidgetItem* second = form_->TreeView1->topLevelItem(1);
  second->setSelected(true);
  QTest::mouseClick(form_->SMSPhone1, Qt::LeftButton);
  EXPECT_EQ(form_->SelectedNodeText(), "2:MASTER2[+432]");
  QTest::mouseClick(form_->MASTER3, Qt::LeftButton);
  EXPECT_EQ(form_->SelectedNodeText(), std::nullopt);
  second->setSelected(true);
  QTest::mouseClick(form_->SMSCentrum, Qt::LeftButton);
  EXPECT_EQ(form_->SelectedNodeText(), std::nullopt);
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
  AnswerFileDialog(file);
  form_->SaveToPC->click();
  const std::string saved = ReadAll(file);
  EXPECT_EQ(saved.substr(0, 18), "+430\r\n+431\r\n+432\r\n");
  EXPECT_EQ(saved.substr(saved.size() - 9), "Text 20\r\n");

  for (size_t line = 0; line < config::kConfigFieldCount; ++line) {
    form_->SetFieldText(config::FieldAt(line), "");
  }
  AnswerFileDialog("");
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
