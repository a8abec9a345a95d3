#include "cli/device_session.h"

#include <algorithm>

#include "app/dialogue/device_refusal.h"
#include "cli/field_label.h"
#include "serial/exceptions.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kTick(1000);
// A command's own lines keep it alive, so a device that keeps sending them
// without ever ending its answer would outlast every time limit: a step (or
// the wait for the first answer) is given up after this many ticks. The
// longest, a listing of 100 locations at 19,200 baud, takes a few seconds.
constexpr int kStepTicks = 60;

bool IsPoll(const QueuedCommand& command) {
  return command.By == Owner::kPoll;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

}  // namespace

DeviceSession::DeviceSession(const Job& job, const PortChoice& port, const RecorderFiles& recorders,
                             Progress& progress)
    : job_(job), port_(port), recorders_(recorders), progress_(progress) {
  result_.Port = port;
  switch (job.What) {
    case Command::kRead:
    case Command::kDiff:
      plan_ = {Step::kLoadPhonebook, Step::kLoadMessages};
      break;
    case Command::kWrite:
      // The listing first, so that Save PBook erases the tagged entries the
      // SIM holds instead of adding the numbers beside them; then the file
      // into the fields; and a fresh read at the end, since the exchanges'
      // own closing listings leave in a field what no entry replaced.
      plan_ = {Step::kLoadPhonebook, Step::kPutFileInFields, Step::kSavePhonebook,
               Step::kSaveMessages,  Step::kLoadPhonebook,   Step::kLoadMessages};
      break;
    case Command::kStatus:
      // The first answer asks for the operator and the credit, the second,
      // with the operator known, for the signal.
      plan_ = {Step::kAskRegistration, Step::kAskSignal};
      break;
  }
  view_.OnReport = [this](const std::string& message) { Reported(message); };
  view_.OnStep = [this](const std::string& step) { StepDone(step); };
}

DeviceResult DeviceSession::Run(HANDLE stop) {
  std::unique_ptr<DeviceLine> line;
  try {
    line = std::make_unique<DeviceLine>(port_, recorders_, *this);
  } catch (const std::exception& error) {
    result_.Fail(kPortUnusable, error.what());
    return result_;
  }
  try {
    Dialogue dialogue(*line, view_);
    line_ = line.get();
    dialogue_ = &dialogue;
    if (!line->Settle(stop)) {
      result_.Fail(kInterrupted, "interrupted");
    } else if (!ended_) {
      dialogue.FormCreate();
      Drive(*line, stop);
    }
  } catch (const ser::ESerException& error) {
    result_.Fail(kPortUnusable, error.what());
  } catch (const ser::EInOutError& error) {
    result_.Fail(kPortUnusable, error.what());
  } catch (const std::exception& error) {
    result_.Fail(kRefusedOrDiffers, error.what());
  }
  dialogue_ = nullptr;
  if (const std::string error = line->Close(); !error.empty()) {
    result_.Fail(kRefusedOrDiffers, error);
  }
  Conclude();
  return result_;
}

void DeviceSession::Drive(DeviceLine& line, HANDLE stop) {
  Clock::time_point nextTick = Clock::now() + kTick;
  for (Advance(); !Finished(); Advance()) {
    if (!line.Serve(MillisecondsUntil(nextTick), stop)) {
      result_.Fail(kInterrupted, "interrupted");
      return;
    }
    if (Clock::now() >= nextTick) {
      Tick();
      // Ticks a long pause kept back are not made up in a burst.
      nextTick = std::max(nextTick + kTick, Clock::now());
    }
  }
}

void DeviceSession::Avail(WORD count) {
  if (dialogue_) dialogue_->TriggerAvail(count);
}

void DeviceSession::Gone(DevicePresence how) {
  result_.Fail(kPortUnusable, how == DevicePresence::kRemoved
                                  ? "the Kestrix has gone away: its device was removed"
                                  : "the Kestrix has gone away: its line hung up");
  if (dialogue_) dialogue_->ClearExchange();
  ended_ = true;
}

void DeviceSession::Tick() {
  const QueuedCommand* flying = dialogue_->State.Commands.InFlight();
  const std::string command = flying ? flying->Line : std::string();
  timeOutsBeforeTick_ = dialogue_->State.TimeOutsInARow;
  inTick_ = true;
  try {
    dialogue_->Timer1Timer();
  } catch (...) {
    inTick_ = false;
    throw;
  }
  inTick_ = false;
  if (dialogue_->State.TimeOutsInARow > timeOutsBeforeTick_) {
    result_.Fail(kNoAnswer, "the Kestrix did not answer " + command + " within 10 seconds");
    ended_ = true;
  } else if (++ticksInStep_ > kStepTicks) {
    result_.Fail(kNoAnswer,
                 "the Kestrix did not finish within " + std::to_string(kStepTicks) + " seconds");
    ended_ = true;
  }
}

void DeviceSession::Advance() {
  if (stopping_ || ended_) return;
  while (next_ < plan_.size()) {
    const Step step = plan_[next_];
    if (!started_) {
      if (!MayStart()) return;
      started_ = true;
      ticksInStep_ = 0;
      Start(step);
      if (stopping_ || ended_) return;
    }
    if (Busy(step)) return;
    started_ = false;
    ticksInStep_ = 0;
    ++next_;
  }
}

bool DeviceSession::MayStart() const {
  // As the buttons: once the device has answered, and not while an
  // exchange or a status query is under way.
  return dialogue_->State.DeviceReady && !dialogue_->ExchangeInProgress() &&
         !dialogue_->State.Commands.Holds(IsPoll);
}

void DeviceSession::Start(Step step) {
  switch (step) {
    case Step::kLoadPhonebook:
      dialogue_->LoadPHONEClick();
      return;
    case Step::kLoadMessages:
      dialogue_->ButtonLoadSMSClick();
      return;
    case Step::kPutFileInFields:
      for (std::size_t line = 0; line < config::kConfigFieldCount; ++line) {
        view_.SetFieldText(config::FieldAt(line), job_.FileLines[line]);
      }
      return;
    case Step::kSavePhonebook:
      dialogue_->SavePhoneClick();
      return;
    case Step::kSaveMessages:
      dialogue_->ButtonSaveSMSClick();
      return;
    case Step::kAskRegistration:
      dialogue_->AskRegistration();
      return;
    case Step::kAskSignal:
      if (view_.LinkProgress() > 0) dialogue_->AskRegistration();
      return;
  }
}

bool DeviceSession::Busy(Step step) const {
  switch (step) {
    case Step::kPutFileInFields:
      return false;
    case Step::kAskRegistration:
    case Step::kAskSignal:
      return dialogue_->State.Commands.Holds(IsPoll);
    case Step::kLoadPhonebook:
    case Step::kLoadMessages:
    case Step::kSavePhonebook:
    case Step::kSaveMessages:
      return dialogue_->ExchangeInProgress();
  }
  return false;
}

bool DeviceSession::Finished() const {
  if (ended_) return true;
  // A refused command ends the run once the exchange it belongs to is over.
  if (stopping_) return !dialogue_->ExchangeInProgress();
  return next_ == plan_.size();
}

void DeviceSession::Reported(const std::string& message) {
  // A time limit's report: the tick says which command went unanswered.
  if (inTick_ && dialogue_->State.TimeOutsInARow > timeOutsBeforeTick_) return;
  const std::string& said = view_.LastLine();
  if (IsErrorResult(said)) {
    // In the device's words, without what the window would have the user press.
    result_.Fail(kRefusedOrDiffers, RefusalText(line_->LastCommand(), said));
  } else if (said == "RDY") {
    result_.Fail(kRefusedOrDiffers, "the Kestrix restarted during the exchange");
  } else {
    result_.Fail(kRefusedOrDiffers, message);
  }
  stopping_ = true;
}

void DeviceSession::StepDone(const std::string& step) {
  result_.Steps.push_back(step);
  progress_.Step(port_.Label, step);
}

void DeviceSession::Conclude() {
  if (result_.Errors.empty()) {
    switch (job_.What) {
      case Command::kRead:
        result_.Fields = view_.Fields();
        result_.Centre = view_.Centre();
        return;
      case Command::kDiff:
      case Command::kWrite:
        Compare();
        return;
      case Command::kStatus:
        ConcludeStatus();
        return;
    }
  }
  if (job_.What == Command::kWrite) SayWhatIsUnfinished();
}

void DeviceSession::Compare() {
  result_.Fields = view_.Fields();
  for (std::size_t line = 0; line < config::kConfigFieldCount; ++line) {
    const std::string& held = view_.Fields()[line];
    if (held != job_.FileLines[line]) {
      result_.Differences.push_back({config::FieldAt(line), held, job_.FileLines[line]});
    }
  }
  if (!result_.Differences.empty()) result_.Exit = kRefusedOrDiffers;
  // The listing fills a field from the last entry of its tag, and Save PBook
  // erases only that one: an earlier entry under the same tag stays on the
  // SIM, unseen in the fields, whatever is written.
  for (std::size_t line = 0; line <= config::LineOf(config::ConfigField::SERVICE); ++line) {
    const std::string tag = FieldLabel(config::FieldAt(line));
    std::vector<std::string> entries;
    for (const std::string& node : view_.Nodes()) {
      if (node.find(":" + tag + "[") != std::string::npos) entries.push_back(node);
    }
    if (entries.size() > 1) {
      result_.Fail(kRefusedOrDiffers, "the SIM holds " + tag + " " +
                                          std::to_string(entries.size()) +
                                          " times: " + Joined(entries));
    }
  }
}

void DeviceSession::ConcludeStatus() {
  DeviceStatus status;
  status.Registered = view_.LinkProgress() > 0;
  status.OperatorPanel = view_.OperatorPanel();
  status.CreditPanel = view_.CreditPanel();
  status.Signal = view_.Signal();
  // Without a registration answer the panel says nothing of the device.
  if (!status.Registered && !status.OperatorPanel.starts_with("Kestrix ")) {
    result_.Fail(kRefusedOrDiffers, "the Kestrix gave no registration");
    return;
  }
  result_.Status = status;
}

void DeviceSession::SayWhatIsUnfinished() {
  const auto done = [this](const std::string& step) {
    return std::find(result_.Steps.begin(), result_.Steps.end(), step) != result_.Steps.end();
  };
  std::vector<std::string> written, notWritten, deletedOnly;
  for (std::size_t line = 0; line <= config::LineOf(config::ConfigField::SERVICE); ++line) {
    const std::string tag = FieldLabel(config::FieldAt(line));
    (done(tag + " written") || done(tag + " left empty") ? written : notWritten).push_back(tag);
  }
  for (int slot = 1; slot <= 6; ++slot) {
    const std::string sms = "SMS " + std::to_string(slot);
    if (done(sms + " stored")) {
      written.push_back(sms);
    } else {
      notWritten.push_back(sms);
      if (done(sms + " deleted")) deletedOnly.push_back(sms);
    }
  }
  if (notWritten.empty()) return;
  result_.Unfinished = written.empty()
                           ? "nothing was written"
                           : "written: " + Joined(written) + "; not written: " + Joined(notWritten);
  if (!deletedOnly.empty()) {
    result_.Unfinished += "; deleted and not stored again: " + Joined(deletedOnly);
  }
}
