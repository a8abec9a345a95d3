// What the window says while its device is gone, and how it starts over once
// the device is back. A gone device is shown as one that does not answer,
// and said plainly in the status bar and in one report.
#include <stdexcept>
#include <string>

#include "app/window/form1.h"
#include "app/window/gauge.h"
#include "gui/application.h"
#include "serial/ui/com_port.h"

namespace {

std::string GoneCause(DevicePresence how) {
  return how == DevicePresence::kRemoved ? "its device was removed" : "its line hung up";
}

}  // namespace

void TForm1::SerComPort1PortGone(TComponent*) {
  const std::string device =
      "COM" + std::to_string(SerComPort1->ComNumber()) + " (" + SerComPort1->DevicePath() + ")";
  SetOperatorPanel("Kestrix gone: " + device);
  // What the device last told is no longer known.
  SetCreditPanel("Credit:");
  Smeter->SetProgress(0);
  SetLinkProgress(0);
  SetDialogueButtonsEnabled(false);
  std::string report =
      "The Kestrix on " + device + " has gone away: " + GoneCause(SerComPort1->Gone()) + ". ";
  if (const std::string cut = dialogue_->CutShortReport(" when the device is back"); !cut.empty())
    report += cut + ". ";
  dialogue_->ClearExchange();
  Application().ShowException(
      std::runtime_error(report + "Morvel will take the device back when it returns"));
}

void TForm1::SerComPort1PortBack(TComponent*) {
  SetOperatorPanel("Operator:");
  dialogue_->Restart();
}
