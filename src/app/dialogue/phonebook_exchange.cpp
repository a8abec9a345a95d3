// The phonebook exchange: the device keeps its numbers as SIM phonebook
// entries named by fixed tags. Load lists them into the fields and the tree,
// Save erases the tagged entries the last listing found and writes the nine
// numbers afresh, Delete erases the entry selected in the tree. Each step
// follows the final result of the step before.
#include <algorithm>
#include <array>
#include <optional>

#include "app/dialogue/device_refusal.h"
#include "app/dialogue/dialogue.h"
#include "app/dialogue/reply_text.h"
#include "runtime/convert_error.h"

namespace {

using config::ConfigField;

struct TagSlot {
  const char* Tag;
  ConfigField ShownIn;
};

// Slots 0 to 8 of SimIndex, written back in this order.
constexpr std::array<TagSlot, 9> kWrittenTags{{
    {"MASTER1", ConfigField::MASTER1},
    {"MASTER2", ConfigField::MASTER2},
    {"MASTER3", ConfigField::MASTER3},
    {"MASTER4", ConfigField::MASTER4},
    {"MASTER5", ConfigField::MASTER5},
    {"MASTER6", ConfigField::MASTER6},
    {"MASTER7", ConfigField::MASTER7},
    {"MASTER8", ConfigField::MASTER8},
    {"SERVICE", ConfigField::SERVICE},
}};
// Slot 9: read into the centre field and erased by Save PBook, never written.
constexpr int kCentreSlot = 9;
constexpr char kCentreTag[] = "SMSCentrum";
static_assert(kCentreSlot + 1 == kTagCount);
// Entries under this tag belong to the device itself: never shown or touched.
constexpr char kReservedTag[] = "IO";
constexpr DWORD kEraseWait = 200;
// The locations a listing asks for, unless the SIM has fewer.
constexpr int32_t kListedLocations = 100;
constexpr char kListRange[] = "AT+CPBR=?";

std::optional<int> SlotOf(const std::string& tag) {
  for (int k = 0; k < kCentreSlot; ++k) {
    if (tag == kWrittenTags[k].Tag) return k;
  }
  if (tag == kCentreTag) return kCentreSlot;
  return std::nullopt;
}

// The lowest slot with a known location.
std::optional<int> FirstKnownSlot(const std::array<int32_t, kTagCount>& simIndex) {
  for (int k = 0; k < kTagCount; ++k) {
    if (simIndex[k] > 0) return k;
  }
  return std::nullopt;
}

bool IsListing(const std::string& command) {
  return command.starts_with("AT+CPBR=1,");
}

// "AT+CPBW=" and a location; a write has a comma after the "=".
bool IsErase(const std::string& command) {
  return command.starts_with("AT+CPBW=") && !command.starts_with("AT+CPBW=,");
}

}  // namespace

void Dialogue::ClearPhoneFields() {
  for (const TagSlot& slot : kWrittenTags) view_.SetFieldText(slot.ShownIn, "");
}

void Dialogue::ListPhonebook(Owner by, DWORD waitBefore) {
  const int32_t last = State.PhonebookLast != 0 ? State.PhonebookLast : kListedLocations;
  Queue("AT+CPBR=1," + DecimalText(last), by, waitBefore);
}

void Dialogue::LoadPHONEClick() {
  if (PortNumber() == 0) return;
  // Cancels a Save PBook chain even when nothing is sent below: its step in
  // flight ends it once answered.
  State.PhoneWritePending = false;
  State.PhoneErasePending = false;
  if (!ButtonsMayStart()) return;
  State.SimIndex.fill(0);
  ClearPhoneFields();
  ListPhonebook(Owner::kLoadPhonebook);
  view_.ClearTree();
  State.CentreAsked = false;
  Pump();
}

void Dialogue::PhonebookEntryReply() {
  CutThrough(':');
  const std::string location = Trimmed(TextBefore(','));
  CutThrough('"');
  const std::string number = TextBefore('"');
  CutThrough(',');
  CutThrough('"');
  const std::string tag = TextBefore('"');
  // A quiet listing only learns the locations again: the tree and the
  // fields keep what the user sees.
  const bool quiet = State.Commands.InFlight()->By == Owner::kQuietListing;
  if (tag != kReservedTag && !quiet) view_.AddTreeNode(location + ":" + tag + "[" + number + "]");
  if (std::optional<int> slot = SlotOf(tag)) {
    State.SimIndex[*slot] = ToInteger(location);
    if (quiet) return;
    if (*slot == kCentreSlot) {
      view_.SetCentreText(number);
    } else {
      view_.SetFieldText(kWrittenTags[*slot].ShownIn, number);
    }
  }
}

void Dialogue::PhonebookRangeReply() {
  // "+CPBR: (1-50),20,14": the locations the SIM has.
  CutThrough('-');
  const int32_t last = ToInteger(Trimmed(TextBefore(')')));
  if (last > 0 && last < kListedLocations) State.PhonebookLast = last;
}

void Dialogue::CentreReply() {
  CutThrough('"');
  view_.SetCentreText(TextBefore('"'));
}

void Dialogue::SavePhoneClick() {
  if (!ButtonsMayStart() || PortNumber() == 0) return;
  State.PhoneErasePending = true;
  State.PhoneWritePending = true;
  State.StepIndex = 0;
  State.Record.ErasesAnswered = 0;
  EraseStep();
  Pump();
}

void Dialogue::PhonebookAnswered(const QueuedCommand& command, const std::string& result) {
  const bool ok = result == "OK";
  if (IsListing(command.Line) || command.Line == kListRange) {
    ListingAnswered(command, result);
  } else if (command.Line == "AT+CSCA?") {
    if (ok) view_.StepDone("SMS centre read");
    if (!ok && !MeansEmpty(result)) ReportRefusal(command, result);
  } else if (command.By == Owner::kDeletePhoneEntry) {
    // The listing after it shows what the SIM holds now.
    if (!ok) ReportRefusal(command, result);
  } else if (State.PhoneErasePending) {
    if (!ok) ReportRefusal(command, result);
    if (ok && IsErase(command.Line)) ++State.Record.ErasesAnswered;
    EraseStep();
  } else if (State.PhoneWritePending) {
    if (!ok) ReportRefusal(command, result);
    if (ok && IsSlotStep(State.StepIndex)) {
      view_.StepDone(std::string(kWrittenTags[State.StepIndex - 1].Tag) +
                     (command.Line == "AT" ? " left empty" : " written"));
    }
    WriteStep();
  } else if (!ok) {
    // The last step of a Save PBook that Load PBook cancelled meanwhile.
    ReportRefusal(command, result);
  }
}

void Dialogue::ListingAnswered(const QueuedCommand& command, const std::string& result) {
  if (command.Line == kListRange) {
    // Listed again within the SIM's own range; a range that would not have
    // been refused means the refusal was for another reason.
    if (result == "OK" && State.PhonebookLast != 0) {
      ListPhonebook(command.By);
      return;
    }
    ReportRefusal({"AT+CPBR=1,100", command.By}, State.ListingRefusal);
  } else if (result != "OK" && !MeansEmpty(result)) {
    // A SIM with fewer locations refuses the whole range as an invalid index.
    if (State.PhonebookLast == 0 && (result == "ERROR" || result == "+CME ERROR: 21")) {
      State.ListingRefusal = result;
      Queue(kListRange, command.By);
      return;
    }
    ReportRefusal(command, result);
  }
  if (command.By == Owner::kQuietListing) return;
  view_.StepDone("phonebook read");
  // The listing's end asks for the centre, still as part of Load PBook.
  if (command.By == Owner::kLoadPhonebook && !State.CentreAsked && PortNumber() != 0) {
    State.CentreAsked = true;
    Queue("AT+CSCA?", Owner::kLoadPhonebook);
  }
}

bool Dialogue::IsSlotStep(int32_t step) const {
  return step >= 1 && step <= static_cast<int32_t>(kWrittenTags.size());
}

void Dialogue::EraseStep() {
  if (std::optional<int> slot = FirstKnownSlot(State.SimIndex)) {
    if (PortNumber() != 0) {
      Queue("AT+CPBW=" + DecimalText(State.SimIndex[*slot]), Owner::kSavePhonebook);
    }
    State.SimIndex[*slot] = 0;
  } else {
    State.PhoneErasePending = false;
    // Only draws the answer that starts the writing.
    if (PortNumber() != 0) Queue("AT", Owner::kSavePhonebook);
  }
}

void Dialogue::WriteStep() {
  // The counter is shared with the SMS listing, which may leave any index in it.
  State.StepIndex = NextIndex(State.StepIndex);
  if (IsSlotStep(State.StepIndex)) {
    const TagSlot& slot = kWrittenTags[State.StepIndex - 1];
    const std::string number = view_.FieldText(slot.ShownIn);
    if (number.empty()) {
      Queue("AT", Owner::kSavePhonebook);
    } else {
      // A number without its "+" is national: written as international the
      // SIM would give it back with a "+" in front, a different number.
      const char* type = number.front() == '+' ? ",145,\"" : ",129,\"";
      Queue("AT+CPBW=," + number + type + slot.Tag + "\"", Owner::kSavePhonebook);
    }
    return;
  }
  State.PhoneWritePending = false;
  State.SimIndex.fill(0);
  if (PortNumber() != 0) ListPhonebook(Owner::kSavePhonebook);
  view_.ClearTree();
}

void Dialogue::ButtonDeletePhoneClick() {
  const std::optional<std::string> node = view_.SelectedNodeText();
  if (!node || PortNumber() == 0 || !LineFree()) return;
  // Only a location number goes to the device: a node's text came from the
  // device and may hold anything, a command too.
  int32_t location = 0;
  try {
    location = ToInteger(Trimmed(::TextBefore(*node, ':')));
  } catch (const EConvertError&) {
    return;
  }
  if (location <= 0) return;
  Queue("AT+CPBW=" + DecimalText(location), Owner::kDeletePhoneEntry);
  State.SimIndex.fill(0);
  ClearPhoneFields();
  // Listed once the erase is answered, after the device has settled.
  ListPhonebook(Owner::kDeletePhoneEntry, kEraseWait);
  view_.ClearTree();
  Pump();
}

void Dialogue::ViewTree() {
  for (int page = 0; page < view_.PageCount(); ++page) {
    const std::optional<std::string> node = view_.SelectedNodeText();
    if (node && *node == view_.PageName(page)) view_.SetActivePage(page);
  }
}
