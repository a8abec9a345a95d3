// Whether a serial port exists, as the port selection dialog lists ports.
#pragma once

// True when "\\.\COMn" can be opened, or exists but is held by another
// program or refused to this user; False for 0 and for absent ports.
bool PortExists(unsigned n);
