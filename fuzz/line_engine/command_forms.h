// The forms the line-engine checker knows, written down apart from the
// dialogue so that a fault there cannot hide itself: the dialogue's commands
// with the arguments they may carry, the device's final results, and which
// commands' refusals and silences the user must hear of.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "config/config_fields.h"

namespace fuzz {

// Every text each of the 21 fields has held, the empty one included: a
// command queued behind another carries its field as it was then.
using FieldHistory = std::array<std::set<std::string>, config::kConfigFieldCount>;

// One of the dialogue's command forms, with field arguments that the fields
// have held; a listing of fewer than 100 locations lists up to a number the
// device gave.
bool IsDialogueCommand(std::string_view bytes, const FieldHistory& held,
                       const std::set<int64_t>& deviceNumbers);

// "OK", "ERROR", "+CME ERROR: n" or "+CMS ERROR: n".
bool IsFinalResult(std::string_view line);
// An information line of the query `command` (written without its line
// end): its reply's name and a colon, as 27.007 and 27.005 give them.
bool IsInformationOf(std::string_view command, std::string_view line);
// A refusal that says there is nothing there, which may pass unreported.
bool MeansEmpty(std::string_view result);
// A command of an exchange, written without its line end, whose refusal or
// lost answer the user must be told of. A listing's lost answer is not
// among them: the quiet listing after a cut-short Save PBook stays quiet.
bool RefusalIsReported(std::string_view command);
bool SilenceIsReported(std::string_view command);

// The bytes as a violation shows them: control codes as \xNN.
std::string Shown(std::string_view bytes);

}  // namespace fuzz
