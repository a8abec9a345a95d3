// The AT dialogue with the Kestrix: the session set-up, the line engine that
// assembles, echoes and routes reply lines, and the exchanges that the
// lines, the timer and the buttons drive. Every command goes through one
// queue with one command in flight; a final result answers that command and
// advances only the exchange that sent it; a line that answers nothing in
// flight is only shown. Everything runs on one thread.
#pragma once

#include <string>

#include "app/dialogue/command_queue.h"
#include "app/dialogue/dialogue_port.h"
#include "app/dialogue/dialogue_state.h"
#include "app/dialogue/dialogue_view.h"
#include "platform/win_types.h"

class Dialogue {
 public:
  Dialogue(DialoguePort& port, DialogueView& view);

  DialogueState State;

  // Start-up and the line engine.
  void FormCreate();
  void TriggerAvail(WORD count);

  // The status poll; also the clock of the commands' time limits.
  void Timer1Timer();
  // Asks for the registration now rather than once the link bar has run out,
  // for a caller that needs the status at once; its answer starts the chain
  // of status queries as the poll's does.
  void AskRegistration();

  // The phonebook exchange.
  void LoadPHONEClick();
  void SavePhoneClick();
  void ButtonDeletePhoneClick();
  void ViewTree();

  // The SMS store exchange.
  void ButtonLoadSMSClick();
  void ButtonSaveSMSClick();
  void ButtonDeleteSMSClick();

  // An exchange a button started, or the listing that ends it, is under way.
  bool ExchangeInProgress() const;

  // A device that went away and came back.
  // What the pending exchanges had done and what is left to do, each step
  // ending in what to press `when`; empty when none was pending.
  std::string CutShortReport(const std::string& when) const;
  // Ends every pending exchange and writes nothing more until Restart; the
  // fields keep what they hold.
  void ClearExchange();
  // The start-up state and its session set-up, for a device that is back.
  void Restart();

 private:
  void CompleteLine();
  void RouteLine(const std::string& line);
  void FinalResult(const std::string& line);
  void InformationLine(const QueuedCommand& command);
  void UnsolicitedLine(const std::string& line);

  // The session: echo off and text mode, echo seen again, restarts, the
  // time limit and finding the line again after it (session.cpp).
  void QueueSession();
  void EchoSeen();
  void SessionAnswered(const QueuedCommand& command);
  void TimeLimitPassed();
  // Reports the exchange in flight as cut short: the device `what`.
  void CutShort(const std::string& what);
  void Resync(bool promptMayBeOpen);
  void QueueEscape();
  void NoteTimeOut();
  // Ends every exchange, keeping the fields; the quiet listing follows when
  // a Save PBook may have changed the SIM's locations.
  void EndExchanges();

  // Queues the registration query unless one is queued or in flight.
  void QueueRegistration();

  // Reply handlers, one per kind of information line.
  void RegistrationReply();
  void SignalReply();
  void OperatorReply();
  void CreditMaximumReply();
  void CreditUsedReply();
  void CentreReply();
  void PhonebookEntryReply();
  void PhonebookRangeReply();
  void SmsListedReply();
  void SmsTextLine(const std::string& line);
  void SmsStoredReply();
  void PromptArrived();

  // What each exchange does with the final result of one of its commands.
  void PhonebookAnswered(const QueuedCommand& command, const std::string& result);
  void ListingAnswered(const QueuedCommand& command, const std::string& result);
  void SmsAnswered(const QueuedCommand& command, const std::string& result);
  void StoreAnswered(const QueuedCommand& command, const std::string& result);
  void EraseStep();
  void WriteStep();
  bool IsSlotStep(int32_t step) const;
  void DeleteStep();
  // Queues the store of `slot`, written after `wait`.
  void StoreSlot(int32_t slot, DWORD wait);
  void EndSaveSms();

  // A refusal, in the device's words, and what it means for the exchange.
  void ReportRefusal(const QueuedCommand& command, const std::string& result,
                     const std::string& consequence = {});
  void ShowRegistration(int32_t state);
  // Says in the operator panel what is wrong with the device, until
  // ClearStatus puts the operator back.
  void ShowStatus(const std::string& text);
  void ClearStatus();

  void CutThrough(char separator);
  std::string TextBefore(char separator) const;
  // Queues a command; it is written once the one in flight is answered.
  void Queue(const std::string& line, Owner by, DWORD waitBefore = 0);
  // Writes the next command when none is in flight.
  void Pump();
  void Write(const std::string& bytes);
  bool Holds(Owner by) const;
  // No exchange and no resync under way, nothing halted: the line is free
  // for a button's exchange.
  bool LineFree() const;
  bool ButtonsMayStart() const;
  // The port number as the port has it now; 0 when none is chosen.
  WORD PortNumber() const;
  void ClearPhoneFields();
  void ClearSmsFields();
  void ListPhonebook(Owner by, DWORD waitBefore = 0);

  DialoguePort& port_;
  DialogueView& view_;
};
