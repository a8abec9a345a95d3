// The small text operations every reply handler takes its fields apart with.
// Lines are 8-bit texts; comparisons are byte-exact and case-sensitive.
#pragma once

#include <cstdint>
#include <string>

// Removes everything up to and including the first `separator`; leaves the
// line alone when it has none.
void CutThrough(std::string& line, char separator);
// The part before the first `separator`; empty when there is none.
std::string TextBefore(const std::string& line, char separator);
// Without the bytes of code 32 or less at either end.
std::string Trimmed(const std::string& text);
// Decimal with an optional sign, or "$" and hexadecimal digits; the value
// must fit in 32 bits. Anything else raises EConvertError
// "'<text>' is not a valid integer value".
int32_t ToInteger(const std::string& text);
// Shortest decimal text, "-" first when negative.
std::string DecimalText(int64_t value);
// The number after `value`, for counters the device's indexes end up in: the
// largest stays as it is, past every slot, instead of wrapping to a negative
// number.
int32_t NextIndex(int32_t value);
