// The port selection dialog: its layout, the ports it lists, its results.
#include "serial/ui/com_select_form.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "gui/convert_error.h"
#include "serial/ui/port_list_follower.h"
#include "serial/ui/port_test_support.h"
#include "support/pty_pair.h"

namespace morvel::test {
namespace {

class ComSelectFormTest : public testing::Test {
 protected:
  ComSelectFormTest() { HideMachinePorts(folder_); }

  // Shows the form modally and runs `act` on it once it is up.
  template <class Act>
  int RunModal(TComSelectForm& form, Act act) {
    QTimer::singleShot(0, &form, [&form, act] {
      act(form);
      // Never left open, whatever the action did.
      if (form.isVisible()) form.done(mrNone);
    });
    return form.ShowModal();
  }

  PortFolder folder_;
};

TEST_F(ComSelectFormTest, LaysOutTheControlsOfTheForm) {
  TComSelectForm form;
  EXPECT_EQ(form.windowTitle(), "Select Port");
  EXPECT_EQ(form.size(), QSize(220, 131));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_EQ(form.font().pixelSize(), 11);
  EXPECT_EQ(form.font().family(), QFont("MS Sans Serif").family());
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMinMaxButtonsHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(form.Bevel1->geometry(), QRect(8, 8, 201, 42));
  EXPECT_EQ(form.Label1->text(), "The configured serial port is not valid.");
  EXPECT_EQ(form.Label1->pos(), QPoint(18, 14));
  EXPECT_EQ(form.Label2->text(), "Please choose another port.");
  EXPECT_EQ(form.Label2->pos(), QPoint(18, 30));
  // Sized to their texts, so nothing is cut off.
  EXPECT_GE(form.Label1->width(), form.Label1->sizeHint().width());
  EXPECT_GE(form.Label2->width(), form.Label2->sizeHint().width());
  EXPECT_EQ(form.PortsComboBox->geometry().topLeft(), QPoint(8, 64));
  EXPECT_EQ(form.PortsComboBox->width(), 201);
  EXPECT_FALSE(form.PortsComboBox->isEditable());
  EXPECT_EQ(form.OkBtn->geometry(), QRect(8, 95, 85, 27));
  EXPECT_EQ(form.OkBtn->text(), "OK");
  EXPECT_TRUE(form.OkBtn->isDefault());
  EXPECT_EQ(form.AbortBtn->geometry(), QRect(124, 95, 85, 27));
  EXPECT_EQ(form.AbortBtn->text(), "Cancel");
  // Tab order: OK, Cancel, the list.
  EXPECT_EQ(form.OkBtn->nextInFocusChain(), form.AbortBtn);
  EXPECT_EQ(form.AbortBtn->nextInFocusChain(), form.PortsComboBox);
}

TEST_F(ComSelectFormTest, ListsTheExistingPortsInOrderWithTheirDevices) {
  PtyPair seven, two, fifty, fiftyOne;
  folder_.Link(7, seven.SlavePath());
  folder_.Link(2, two.SlavePath());
  folder_.Link(50, fifty.SlavePath());
  folder_.Link(51, fiftyOne.SlavePath());
  TComSelectForm form;
  ASSERT_EQ(form.PortsComboBox->count(), 3);
  EXPECT_EQ(form.PortsComboBox->itemText(0), "COM2");
  EXPECT_EQ(form.PortsComboBox->itemText(1), "COM7");
  EXPECT_EQ(form.PortsComboBox->itemText(2), "COM50");
  EXPECT_EQ(form.PortsComboBox->itemData(1, Qt::ToolTipRole).toString().toStdString(),
            std::filesystem::canonical(seven.SlavePath()).string());
  EXPECT_EQ(form.PortsComboBox->currentIndex(), 0);
  EXPECT_EQ(form.SelectedComNumber(), 2);
  form.PortsComboBox->setCurrentIndex(2);
  EXPECT_EQ(form.SelectedComNumber(), 50);
}

TEST_F(ComSelectFormTest, TheListFollowsDevicesWhileOpenAndKeepsTheChoice) {
  PtyPair two, five;
  folder_.Link(2, two.SlavePath());
  TComSelectForm form;
  QComboBox& list = *form.PortsComboBox;
  auto entries = [&] {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) texts << list.itemText(i);
    return std::pair(texts, list.currentText());
  };
  folder_.Link(5, five.SlavePath());
  EXPECT_TRUE(QTest::qWaitFor([&] { return list.count() == 2; }));
  EXPECT_EQ(entries(), std::pair(QStringList{"COM2", "COM5"}, QString("COM2")));
  list.setCurrentIndex(1);
  auto* follower = list.findChild<PortListFollower*>();
  ASSERT_NE(follower, nullptr);
  folder_.Unlink(2);
  follower->Follow();
  EXPECT_EQ(entries(), std::pair(QStringList{"COM5"}, QString("COM5")));
  folder_.Link(1, two.SlavePath());
  follower->Follow();
  EXPECT_EQ(entries(), std::pair(QStringList{"COM1", "COM5"}, QString("COM5")));
  folder_.Unlink(5);
  follower->Follow();
  EXPECT_EQ(entries(), std::pair(QStringList{"COM1"}, QString("COM1")));
}

TEST_F(ComSelectFormTest, AnEmptyListSelectsNothingAndHasNoNumber) {
  TComSelectForm form;
  EXPECT_EQ(form.PortsComboBox->count(), 0);
  EXPECT_EQ(form.PortsComboBox->currentIndex(), -1);
  try {
    form.SelectedComNumber();
    FAIL() << "no exception";
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "'' is not a valid integer value");
  }
}

TEST_F(ComSelectFormTest, ButtonsKeysAndTheCloseBoxEndItWithTheirResults) {
  PtyPair pty;
  folder_.Link(12, pty.SlavePath());
  {
    TComSelectForm form;
    EXPECT_EQ(RunModal(form, [](TComSelectForm& f) { f.OkBtn->click(); }), mrOk);
    EXPECT_EQ(form.SelectedComNumber(), 12);
  }
  {
    TComSelectForm form;
    EXPECT_EQ(RunModal(form, [](TComSelectForm& f) { f.AbortBtn->click(); }), mrAbort);
  }
  {
    TComSelectForm form;
    EXPECT_EQ(RunModal(form, [](TComSelectForm& f) { f.close(); }), mrCancel);
  }
  {
    // Enter presses the default button.
    TComSelectForm form;
    EXPECT_EQ(RunModal(form,
                       [](TComSelectForm& f) {
                         QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                         QApplication::sendEvent(f.PortsComboBox, &enter);
                       }),
              mrOk);
  }
}

}  // namespace
}  // namespace morvel::test
