#include "line_engine/script.h"

#include <array>
#include <cstdint>
#include <optional>

namespace fuzz {
namespace {

constexpr unsigned char kMark = 0xFF;
constexpr unsigned char kCancelPort = 'K';

// The action of each code modulo 16.
constexpr std::array<Step, 16> kSteps{
    Step::Arrive,      Step::Tick,       Step::LoadPhone, Step::SavePhone,
    Step::DeletePhone, Step::LoadSms,    Step::SaveSms,   Step::DeleteSms,
    Step::ClickNode,   Step::ClickField, Step::TypeField, Step::Arrive,
    Step::Arrive,      Step::Arrive,     Step::Arrive,    Step::Arrive,
};

// The modem's marks, by their letter.
std::optional<Step> ModemStep(unsigned char code) {
  switch (code) {
    case 'O':
      return Step::Answer;
    case 'N':
      return Step::Drop;
    case 'L':
      return Step::Late;
    case 'R':
      return Step::Refuse;
    case 'U':
      return Step::Unsolicited;
    case 'Z':
      return Step::Restart;
    case 'S':
      return Step::SimSize;
    case 'V':
      return Step::Registration;
    default:
      return std::nullopt;
  }
}

class Reader {
 public:
  explicit Reader(std::string_view input) : input_(input) {}

  bool AtEnd() const { return at_ == input_.size(); }
  // 0 past the end, so a script cut short still reads.
  unsigned char Byte() { return AtEnd() ? 0 : static_cast<unsigned char>(input_[at_++]); }
  std::string Bytes(std::size_t count) {
    const std::string_view taken = input_.substr(at_, count);
    at_ += taken.size();
    return std::string(taken);
  }

 private:
  std::string_view input_;
  std::size_t at_ = 0;
};

}  // namespace

Script ReadScript(std::string_view input) {
  Script script;
  if (input.size() >= 2 && static_cast<unsigned char>(input[0]) == kMark &&
      static_cast<unsigned char>(input[1]) == kCancelPort) {
    script.PortChosen = false;
    input.remove_prefix(2);
  }
  Reader reader(input);
  std::string unsent;
  while (!reader.AtEnd()) {
    const unsigned char byte = reader.Byte();
    if (byte != kMark) {
      unsent += static_cast<char>(byte);
      continue;
    }
    const unsigned char code = reader.Byte();
    if (code == kMark) {
      unsent += static_cast<char>(code);
      continue;
    }
    Action action;
    const std::optional<Step> modem = ModemStep(code);
    action.What = modem ? *modem : kSteps[code % kSteps.size()];
    // The modem answers after what the device sent before.
    if (modem && !unsent.empty()) {
      script.Actions.push_back({Step::Arrive, std::move(unsent), 0});
      unsent.clear();
    }
    switch (action.What) {
      case Step::Arrive:
        action.Bytes = std::move(unsent);
        unsent.clear();
        break;
      case Step::ClickNode:
      case Step::Late:
      case Step::Refuse:
      case Step::Unsolicited:
      case Step::SimSize:
      case Step::Registration:
        action.Number = reader.Byte();
        break;
      case Step::TypeField:
        action.Number = reader.Byte();
        action.Bytes = reader.Bytes(reader.Byte());
        break;
      case Step::Tick:
      case Step::LoadPhone:
      case Step::SavePhone:
      case Step::DeletePhone:
      case Step::LoadSms:
      case Step::SaveSms:
      case Step::DeleteSms:
      case Step::ClickField:
      case Step::Answer:
      case Step::Drop:
      case Step::Restart:
        break;
    }
    script.Actions.push_back(std::move(action));
  }
  if (!unsent.empty()) script.Actions.push_back({Step::Arrive, std::move(unsent), 0});
  return script;
}

}  // namespace fuzz
