// The four states of a stored message, as text-mode words and PDU-mode numbers.
#pragma once

#include <optional>
#include <string>

#include "sim_state.h"

namespace kestrix {

std::string StatusText(MessageStatus status);  // "REC UNREAD"
int StatusNumber(MessageStatus status);        // 0..3
std::optional<MessageStatus> StatusFromText(const std::string& text);
std::optional<MessageStatus> StatusFromNumber(int number);
bool IsReceived(MessageStatus status);

}  // namespace kestrix
