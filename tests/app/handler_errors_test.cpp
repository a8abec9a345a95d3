// An error escaping a timer tick or a click ends only that handler: it
// reaches the standard report and the program goes on.
#include <QPushButton>

#include "form_on_pty.h"

namespace morvel::test {
namespace {

class HandlerErrors : public FormOnPty {};

TEST_F(HandlerErrors, APortThatWentAwayIsReportedFromTicksAndClicks) {
  // The device is gone and its port closed: the next write tries to open it.
  form_->SerComPort1->SetOpen(false);
  folder_.Link(7, "/nonexistent/morvel-unplugged");
  State().LinkMissCount = 9;
  form_->Timer1->start(1);
  ASSERT_TRUE(Serve([&] { return reports_.Reports().size() >= 2; }));
  form_->Timer1->stop();
  form_->SetDialogueButtonsEnabled(true);  // the ticks switched them off
  form_->LoadPHONE->click();
  ASSERT_GE(reports_.Reports().size(), 3u);
  for (const auto& [title, text] : reports_.Reports()) {
    EXPECT_EQ(title, "Morvel");
    EXPECT_EQ(text, "ie_BadId - Specified comport doesn't exist.");
  }
  // A command that could not be written holds up nothing.
  EXPECT_EQ(State().Commands.InFlight(), nullptr);
}

}  // namespace
}  // namespace morvel::test
