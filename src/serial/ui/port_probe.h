// Whether a serial port exists, as the port selection dialog lists ports.
#pragma once

// True when the device "\\.\COMn" stands for is there, also when another
// program holds it or this user may not open it; False for 0, for absent
// ports and for serial ports without a UART. Nothing is opened to find out.
bool PortExists(unsigned n);
