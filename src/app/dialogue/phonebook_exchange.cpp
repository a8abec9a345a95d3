// The phonebook exchange: the device keeps its numbers as SIM phonebook
// entries named by fixed tags. Load lists them into the fields and the tree,
// Save erases the tagged entries the last listing found and writes the nine
// numbers afresh, Delete erases the entry selected in the tree.
#include <algorithm>
#include <array>
#include <optional>

#include "app/dialogue/blocking_wait.h"
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

}  // namespace

void Dialogue::ClearPhoneFields() {
  for (const TagSlot& slot : kWrittenTags) view_.SetFieldText(slot.ShownIn, "");
}

void Dialogue::ListPhonebook() {
  SendAwaited("AT+CPBR=1,100");
}

void Dialogue::LoadPHONEClick() {
  if (PortNumber() == 0) return;
  // Cancels a Save PBook chain even when nothing is sent below.
  State.PhoneWritePending = false;
  State.PhoneErasePending = false;
  if (!State.DeviceReady || ExchangeInProgress()) return;
  State.SimIndex.fill(0);
  ClearPhoneFields();
  ListPhonebook();
  view_.ClearTree();
  State.CentreAsked = false;
  State.DeviceReady = false;
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
  const bool quiet = State.Record.QuietListing;
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

void Dialogue::CentreReply() {
  CutThrough('"');
  view_.SetCentreText(TextBefore('"'));
}

void Dialogue::SavePhoneClick() {
  if (!State.DeviceReady || PortNumber() == 0 || ExchangeInProgress()) return;
  State.PhoneErasePending = true;
  State.PhoneWritePending = true;
  State.StepIndex = 0;
  if (std::optional<int> slot = FirstKnownSlot(State.SimIndex)) {
    SendAwaited("AT+CPBW=" + DecimalText(State.SimIndex[*slot]));
    State.DeviceReady = false;
    State.SimIndex[*slot] = 0;
  } else {
    State.PhoneErasePending = false;
    SendAwaited("AT");
  }
}

void Dialogue::EraseStep() {
  if (std::optional<int> slot = FirstKnownSlot(State.SimIndex)) {
    if (PortNumber() != 0) SendAwaited("AT+CPBW=" + DecimalText(State.SimIndex[*slot]));
    State.DeviceReady = false;
    State.SimIndex[*slot] = 0;
  } else {
    State.PhoneErasePending = false;
    // Only draws the "OK" that starts the writing.
    if (PortNumber() != 0) SendAwaited("AT");
  }
}

void Dialogue::WriteStep() {
  State.DeviceReady = false;
  // The counter is shared with the SMS listing, which may leave any index in it.
  State.StepIndex = NextIndex(State.StepIndex);
  if (State.StepIndex >= 1 && State.StepIndex <= static_cast<int32_t>(kWrittenTags.size())) {
    const TagSlot& slot = kWrittenTags[State.StepIndex - 1];
    const std::string number = view_.FieldText(slot.ShownIn);
    if (number.empty()) {
      SendAwaited("AT");
    } else {
      // A number without its "+" is national: written as international the
      // SIM would give it back with a "+" in front, a different number.
      const char* type = number.front() == '+' ? ",145,\"" : ",129,\"";
      SendAwaited("AT+CPBW=," + number + type + slot.Tag + "\"");
    }
    return;
  }
  State.PhoneWritePending = false;
  State.SimIndex.fill(0);
  if (PortNumber() != 0) ListPhonebook();
  view_.ClearTree();
  State.DeviceReady = false;
}

void Dialogue::ButtonDeletePhoneClick() {
  const std::optional<std::string> node = view_.SelectedNodeText();
  if (!node || PortNumber() == 0 || ExchangeInProgress()) return;
  // Only a location number goes to the device: a node's text came from the
  // device and may hold anything, a command too.
  int32_t location = 0;
  try {
    location = ToInteger(Trimmed(::TextBefore(*node, ':')));
  } catch (const EConvertError&) {
    return;
  }
  if (location <= 0) return;
  Send("AT+CPBW=" + DecimalText(location));
  BlockingWait(kEraseWait);
  State.SimIndex.fill(0);
  ClearPhoneFields();
  // Listed at once: the erase's reply is not waited for, and comes first.
  ListPhonebook();
  State.EarlierResultOwed = true;
  view_.ClearTree();
  State.DeviceReady = false;
}

void Dialogue::ViewTree() {
  for (int page = 0; page < view_.PageCount(); ++page) {
    const std::optional<std::string> node = view_.SelectedNodeText();
    if (node && *node == view_.PageName(page)) view_.SetActivePage(page);
  }
}
