// The final result codes, framed as the device sends them: OK, ERROR, and
// the extended errors in the form AT+CMEE asks for.
#pragma once

#include <string>

#include "command_context.h"

namespace kestrix {

// "\r\nTEXT\r\n".
std::string Framed(const std::string& text);
// Any result but the prompt; `errorMode` is the AT+CMEE setting.
std::string ResultCode(const Result& result, int errorMode);

}  // namespace kestrix
