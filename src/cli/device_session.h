// One device's run of a command, on its own thread: its line, its dialogue
// and the window's fields, driven as a user would press the buttons one
// after another, each once the exchange before it is over. The dialogue's
// time limits and refusals end the run; so do a device that goes away and
// a stop asked for.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "app/dialogue/dialogue.h"
#include "cli/device_line.h"
#include "cli/device_result.h"
#include "cli/field_view.h"
#include "cli/job.h"
#include "cli/progress.h"

class DeviceSession : public LineEvents {
 public:
  DeviceSession(const Job& job, const PortChoice& port, const RecorderFiles& recorders,
                Progress& progress);

  // Runs the job until it is done, fails, or `stop` is set.
  DeviceResult Run(HANDLE stop);

  void Avail(WORD count) override;
  void Gone(DevicePresence how) override;

 private:
  // What the buttons do, in the order the job presses them.
  enum class Step {
    kLoadPhonebook,
    kLoadMessages,
    kPutFileInFields,
    kSavePhonebook,
    kSaveMessages,
    kAskRegistration,
    kAskSignal,
  };

  void Drive(DeviceLine& line, HANDLE stop);
  void Tick();
  void Advance();
  bool MayStart() const;
  void Start(Step step);
  bool Busy(Step step) const;
  bool Finished() const;
  void Reported(const std::string& message);
  void StepDone(const std::string& step);
  void Conclude();
  void Compare();
  void ConcludeStatus();
  void SayWhatIsUnfinished();

  const Job& job_;
  const PortChoice& port_;
  const RecorderFiles& recorders_;
  Progress& progress_;
  std::vector<Step> plan_;
  std::size_t next_ = 0;
  bool started_ = false;
  int ticksInStep_ = 0;
  // Set by a refusal: the exchange under way is let finish, nothing more starts.
  bool stopping_ = false;
  // Set when nothing more may be done with the device.
  bool ended_ = false;
  bool inTick_ = false;
  int32_t timeOutsBeforeTick_ = 0;
  DeviceResult result_;
  FieldView view_;
  DeviceLine* line_ = nullptr;
  Dialogue* dialogue_ = nullptr;
};
