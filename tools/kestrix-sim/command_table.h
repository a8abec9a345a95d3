// The table of command handlers, by upper-case command name ("+CPBR", "E").
// Each group of commands adds its own handlers from its own file.
#pragma once

#include <map>
#include <string>

#include "at_command.h"
#include "command_context.h"

namespace kestrix {

using Handler = Result (*)(CommandContext&, const AtCommand&);
using HandlerTable = std::map<std::string, Handler>;

const HandlerTable& CommandTable();

void AddGeneralCommands(HandlerTable& table);
void AddNetworkCommands(HandlerTable& table);
void AddPhonebookCommands(HandlerTable& table);
void AddMessageSettingCommands(HandlerTable& table);
void AddMessageReadCommands(HandlerTable& table);
void AddMessageWriteCommands(HandlerTable& table);

}  // namespace kestrix
