// Texts from the device shown on a terminal or in JSON. The device's bytes
// are 8-bit characters, Latin-1 as the window shows them; a control
// character among them could drive the terminal it is printed on, so it is
// shown as \xNN instead.
#pragma once

#include <string>
#include <string_view>

// UTF-8 for a terminal: Latin-1 letters as themselves, control characters
// (C0, DEL, C1) and the backslash escaped.
std::string Printable(std::string_view bytes);

// UTF-8 of Latin-1 bytes, every byte kept, for JSON (which escapes what it
// must itself).
std::string Utf8FromLatin1(std::string_view bytes);
