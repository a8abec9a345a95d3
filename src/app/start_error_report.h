// A start that fails before the window exists tells a desktop user too:
// started from the menu, the line on stderr goes where nobody looks.
#pragma once

#include <string>

// Shows `message` in the standard error report when a display is there to
// show it on; returns at once when there is none, or when the box could not
// be seen (Qt's offscreen platform).
void ReportStartError(int argc, char** argv, const std::string& message);
