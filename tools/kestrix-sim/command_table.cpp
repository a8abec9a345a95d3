#include "command_table.h"

namespace kestrix {

const HandlerTable& CommandTable() {
  static const HandlerTable table = [] {
    HandlerTable t;
    AddGeneralCommands(t);
    AddNetworkCommands(t);
    AddPhonebookCommands(t);
    AddMessageSettingCommands(t);
    AddMessageReadCommands(t);
    AddMessageWriteCommands(t);
    return t;
  }();
  return table;
}

}  // namespace kestrix
