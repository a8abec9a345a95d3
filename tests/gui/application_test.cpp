// The application object: title, main thread and the standard exception report.
#include "gui/application.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Report = std::pair<std::string, std::string>;

class ApplicationReport : public testing::Test {
 protected:
  ApplicationReport() {
    Application().SetExceptionReport([this](const std::string& title, const std::string& text) {
      reports_.emplace_back(title, text);
    });
  }
  ~ApplicationReport() override { Application().SetExceptionReport(nullptr); }

  std::vector<Report> reports_;
};

TEST_F(ApplicationReport, ShowsTheMessageWithAFullStopUnderTheTitle) {
  EXPECT_EQ(Application().Title, "Morvel");
  Application().ShowException(std::runtime_error("Buffer is empty"));
  Application().ShowException(std::runtime_error("Already ends."));
  EXPECT_EQ(reports_,
            (std::vector<Report>{{"Morvel", "Buffer is empty."}, {"Morvel", "Already ends."}}));
}

TEST_F(ApplicationReport, HandlesWhateverWasThrown) {
  try {
    throw std::logic_error("broken");
  } catch (...) {
    Application().HandleException();
  }
  try {
    throw 42;
  } catch (...) {
    Application().HandleException();
  }
  ASSERT_EQ(reports_.size(), 2u);
  EXPECT_EQ(reports_[0].second, "broken.");
  EXPECT_FALSE(reports_[1].second.empty());
}

TEST_F(ApplicationReport, ShowsOneReportAtATimeAndWhatCameMeanwhileAfterIt) {
  // Reports raised while the first is still open, as timer ticks and port
  // deliveries inside the box's own event loop would: each waits its turn,
  // and one that keeps coming waits as one.
  bool first = true;
  Application().SetExceptionReport([&](const std::string& title, const std::string& text) {
    reports_.emplace_back(title, text);
    if (!std::exchange(first, false)) return;
    for (const char* raised : {"Output buffer too small", "Write failed", "Output buffer too small",
                               "Output buffer too small"}) {
      Application().ShowException(std::runtime_error(raised));
    }
  });
  Application().ShowException(std::runtime_error("Output buffer too small"));
  Application().ShowException(std::runtime_error("Later"));
  EXPECT_EQ(reports_, (std::vector<Report>{
                          {"Morvel", "Output buffer too small."},
                          {"Morvel",
                           "Output buffer too small.\n\nThis was reported 3 times while the "
                           "previous message was shown."},
                          {"Morvel", "Write failed."},
                          {"Morvel", "Later."},
                      }));
}

TEST(Application, KnowsItsMainThread) {
  EXPECT_TRUE(Application().OnMainThread());
  bool onMain = true;
  std::thread other([&] { onMain = Application().OnMainThread(); });
  other.join();
  EXPECT_FALSE(onMain);
}

TEST(Application, TheStandardReportIsAnErrorBoxWithOneOkButton) {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  int tries = 0;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box && ++tries < 1000) return;
    poll.stop();
    if (!box) {
      // Never left open, whatever became of it.
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* stray = qobject_cast<QMessageBox*>(widget)) stray->done(0);
      }
      return;
    }
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttons = box->standardButtons();
    box->button(QMessageBox::Ok)->click();
  });
  poll.start();
  Application().ShowException(std::runtime_error("ie_NOpen - device not open"));
  EXPECT_EQ(title, "Morvel");
  EXPECT_EQ(text, "ie_NOpen - device not open.");
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

}  // namespace
