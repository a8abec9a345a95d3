// The value types of the port component's properties and the signatures of
// its events.
#pragma once

#include <functional>
#include <initializer_list>

#include "gui/component.h"
#include "platform/win_types.h"

enum TDeviceLayer { dlWin32, dlWinsock };
enum TParity { pNone, pOdd, pEven, pMark, pSpace };
enum THWFlowOptions { hwfUseDTR, hwfUseRTS, hwfRequireDSR, hwfRequireCTS };
enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };
enum TTapiMode { tmNone, tmAuto, tmOn, tmOff };
enum TOpenState { osClosed, osClosing, osOpen };

// A set of hardware flow options. Each option's bit is also its weight in the
// flow word the dispatcher takes: DTR 1, RTS 2, DSR 4, CTS 8.
class THWFlowOptionSet {
 public:
  constexpr THWFlowOptionSet() = default;
  constexpr THWFlowOptionSet(std::initializer_list<THWFlowOptions> options) {
    for (THWFlowOptions option : options) bits_ |= Bit(option);
  }

  constexpr bool Contains(THWFlowOptions option) const { return (bits_ & Bit(option)) != 0; }
  constexpr THWFlowOptionSet Without(THWFlowOptions option) const {
    THWFlowOptionSet result = *this;
    result.bits_ &= static_cast<BYTE>(~Bit(option));
    return result;
  }
  constexpr BYTE FlowWord() const { return bits_; }
  constexpr bool operator==(const THWFlowOptionSet&) const = default;

 private:
  static constexpr BYTE Bit(THWFlowOptions option) { return static_cast<BYTE>(1u << option); }

  BYTE bits_ = 0;
};

// Events; the first argument is the port that raises them.
using TTriggerEvent = std::function<void(TComponent* cp, WORD msg, WORD triggerHandle, WORD data)>;
using TTriggerAvailEvent = std::function<void(TComponent* cp, WORD count)>;
using TTriggerDataEvent = std::function<void(TComponent* cp, WORD triggerHandle)>;
using TTriggerStatusEvent = std::function<void(TComponent* cp, WORD triggerHandle)>;
using TTriggerTimerEvent = std::function<void(TComponent* cp, WORD triggerHandle)>;
using TTriggerLineErrorEvent = std::function<void(TComponent* cp, WORD error, bool lineBreak)>;
using TWaitCharEvent = std::function<void(TComponent* cp, char c)>;
