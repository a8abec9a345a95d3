// Texts for serial result codes and the dispatch log's labels.
#pragma once

#include <span>
#include <string>

#include "serial/message_table.h"

namespace ser {

constexpr std::size_t kMaxMessageLength = 255;

// The text of a code (the sign does not matter), at most 255 characters; for
// codes the table lacks, the platform's text of that error number; else empty.
std::string ErrorMessageText(int code);

// ErrorMessageText over another table sorted by |Code| (tests use it to reach
// texts longer than the cut and empty entries of their own).
std::string MessageTextIn(std::span<const TMessageEntry> table, int code);

// A platform text made fit for one line: characters below 32 become spaces,
// runs of spaces shrink to one.
std::string SingleLineText(std::string text);

}  // namespace ser
