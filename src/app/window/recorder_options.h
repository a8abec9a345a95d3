// The serial trace and dispatch log a run is asked for on the command line:
// switched on at start, written into `Folder` as SERIAL.TRC and SERIAL.LOG
// when the port closes. Without them the port keeps its stored settings.
#pragma once

#include <string>

struct RecorderOptions {
  bool Trace = false;
  bool Log = false;
  std::string Folder = ".";
};
