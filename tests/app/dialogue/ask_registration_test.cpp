// Asking for the registration at once, as a caller that needs the status
// does: one query however often it is asked, written in its turn, and its
// answer starts the chain of status queries as the poll's does.
#include <gtest/gtest.h>

#include "app/dialogue/blocking_wait.h"
#include "app/dialogue/dialogue.h"
#include "line_engine/run.h"

namespace {

TEST(AskRegistration, OneQueryInItsTurnWhoseAnswerStartsTheChain) {
  SetBlockingWait([](DWORD) {});
  fuzz::Bench bench(true);
  Dialogue dialogue(bench.Port, bench.View);
  dialogue.FormCreate();
  fuzz::Deliver("\r\nOK\r\n", dialogue, bench);
  dialogue.AskRegistration();
  dialogue.AskRegistration();
  fuzz::Deliver("\r\nOK\r\n", dialogue, bench);
  dialogue.AskRegistration();
  fuzz::Deliver("\r\n+CREG: 0,1\r\n\r\nOK\r\n", dialogue, bench);

  EXPECT_EQ(bench.Port.Written(),
            (std::vector<std::string>{"ATE\r\n", "AT+CMGF=1\r\n", "AT+CREG?\r\n", "AT+COPS?\r\n"}));
  EXPECT_EQ(bench.View.LinkProgress(), 27);
}

}  // namespace
