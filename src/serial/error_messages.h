// Texts for serial result codes and the dispatch log's labels.
#pragma once

#include <string>

namespace ser {

// The text of a code (the sign does not matter), at most 255 characters; for
// codes the table lacks, the platform's text of that error number; else empty.
std::string ErrorMessageText(int code);

}  // namespace ser
