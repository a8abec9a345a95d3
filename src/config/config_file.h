// The configuration file (.mvf): the 21 fields of ConfigField, one line
// each in that order, every line ending in CR LF, texts byte for byte.
// Failures raise EFileError with the runtime's file message; the window's
// standard exception report adds the full stop.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "config/config_fields.h"
#include "config/file_error.h"

namespace config {

// The largest file loaded: 21 lines are at most a few kilobytes, and a file
// with lines of any length up to this size still loads.
constexpr std::size_t kMaxConfigFileSize = 1 << 20;

// Writes `texts` to `path` as 21 lines. The file is written beside the
// target under a temporary name, private until it has the old file's owner,
// permissions, access control list and extended attributes, and renamed
// into place only once it is whole and on disk, so a failed save leaves the
// old file as it was; the rename is made to survive a crash before success
// is reported. A symbolic link stays and the file it names is written, also
// when that does not exist yet. Refused with "File access denied": a
// folder, an existing file this user may not write (for root, one that
// grants nobody write access, or an immutable one), or a new file in a
// folder this user may not create files in. Written over in place instead,
// never doing worse than a plain write: a file with hard links, someone
// else's file, one whose permissions or attributes cannot be carried over,
// one in a folder this user may not create files in, that has no room for
// a second copy or that allows no removal (chattr +a), and one the rename
// is refused over; a new file in a folder that allows no removal is created
// directly. The in-place write takes its room first, cuts the file
// only when it shrinks, and puts the old bytes back when it fails.
//
// The window's save: gather the texts, texts[LineOf(field)] being the text
// of the control FieldName(field), and call this with the dialog's name;
// the error goes to the standard exception report.
void SaveConfigFile(const std::string& path, const ConfigTexts& texts);

// The bytes of the file the save writes: each text, then CR LF.
std::string ConfigFileBytes(const ConfigTexts& texts);

// Called once per field, in file order, as each line is read.
using FieldSetter = std::function<void(ConfigField field, const std::string& text)>;

// Reads `path` and hands each of the 21 lines to `setField` as soon as it is
// read, so that on a failure the fields already set keep their new values.
// The window sets the field's text there and its change handler filters it.
//
// A line ends at LF; every CR is dropped; byte 26 ends the file; lines past
// the end are empty, so a short file clears the remaining fields; lines after
// the 21st are not read. An empty file, or one whose first byte is 26, calls
// nothing. The text handed over need not be the line's bytes: a line of any
// length is read without being held, and what reaches the field is reduced
// to what its filter looks at, so that FilterFor(field, text) equals the
// filter of the whole line.
//
// The window's load: set the text of the control FieldName(field) in
// `setField` and let its change handler filter it, as for any other text.
// Only a plain file is read; a folder, a device or a pipe is refused with
// "File access denied", and a file larger than kMaxConfigFileSize, or one
// that grows past it while it is read, with "File too large (a configuration
// file is at most 1 MiB)", so that a huge file cannot block the window.
void LoadConfigFile(const std::string& path, const FieldSetter& setField);

// The file's lines as they stand, for a caller that must know whether the
// fields would hold them exactly: split as LoadConfigFile splits them (LF
// ends a line, CRs dropped, Ctrl-Z ends the file), each line's first
// kKeptLineBytes bytes, more than any field holds; lines past the end are
// empty. Refused as LoadConfigFile refuses.
constexpr std::size_t kKeptLineBytes = 256;
struct ConfigLines {
  ConfigTexts Lines;
  // Nothing to read: an empty file, or one whose first byte is Ctrl-Z.
  bool Empty = false;
  // Some line after the 21st holds something.
  bool MoreLines = false;
};
ConfigLines ReadConfigLines(const std::string& path);

}  // namespace config
