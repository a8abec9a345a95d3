// The AT dialogue with the Kestrix: the first command, the line engine that
// assembles, echoes and classifies reply lines, and the exchanges that the
// lines, the timer and the buttons drive. There is no request/reply matching
// and no time-out: every "OK" advances whatever exchange is pending.
// Everything runs on the user-interface thread.
#pragma once

#include <string>

#include "app/dialogue/dialogue_state.h"
#include "app/dialogue/dialogue_view.h"
#include "platform/win_types.h"

class TSerCustomComPort;

class Dialogue {
 public:
  Dialogue(TSerCustomComPort& port, DialogueView& view);

  DialogueState State;

  // Start-up and the line engine.
  void FormCreate();
  void TriggerAvail(WORD count);

  // The status poll.
  void Timer1Timer();

  // The phonebook exchange.
  void LoadPHONEClick();
  void SavePhoneClick();
  void ButtonDeletePhoneClick();
  void ViewTree();

  // The SMS store exchange.
  void ButtonLoadSMSClick();
  void ButtonSaveSMSClick();
  void ButtonDeleteSMSClick();

  // A device that went away and came back.
  // What the pending exchanges had done and what is left to do; empty when
  // none was pending.
  std::string CutShortReport() const;
  // Ends every pending exchange; the fields keep what they hold.
  void ClearExchange();
  // The start-up state and its first command, for a device that is back.
  void Restart();

 private:
  void CompleteLine();
  void ClassifyLine(const std::string& line);
  void OkLine();
  void ErrorLine(const std::string& line);

  // Reply handlers, one per kind of line.
  void RegistrationReply();
  void SignalReply();
  void OperatorReply();
  void CreditMaximumReply();
  void CreditUsedReply();
  void CentreReply();
  void PhonebookEntryReply();
  void SmsListedReply();
  void SmsTextLine(const std::string& line);
  void SmsStoredReply();
  void SmsTextSend();
  // Sends from a "+CMGW" report, whose own "OK" is still to come.
  void SendAfterReport(const std::string& command);

  // The steps of the exchanges that "OK" lines advance.
  void EraseStep();
  void WriteStep();
  void DeleteStep();

  // An exchange's steps, or the listing that ends it, still await the device.
  bool ExchangeInProgress() const;
  // The exchange command a final result answers; empty when it answers
  // another. A store answered without its report ends the writing.
  std::string TakeAnsweredCommand();

  void CutThrough(char separator);
  std::string TextBefore(char separator) const;
  // Writes the command and its line end.
  void Send(const std::string& command);
  // Sends an exchange's command, whose final result is then awaited.
  void SendAwaited(const std::string& command);
  // The port number as the port has it now; 0 when none is chosen.
  WORD PortNumber() const;
  void ClearPhoneFields();
  void ClearSmsFields();
  void ListPhonebook();
  void NoteSent(const std::string& command);
  void NoteAnswer(const std::string& line);

  TSerCustomComPort& port_;
  DialogueView& view_;
};
