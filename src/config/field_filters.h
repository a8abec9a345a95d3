// The two character filters of the entry fields: what a number field and an
// SMS text field may hold. Pure functions on 8-bit texts.
//
// A field's change handler filters its text and sets the result; setting a
// different text raises the change again, so the handler runs nested until
// the filter returns its input unchanged. FilterSMSText is stable after one
// pass; FilterPhone may take one more ("5a" gives "5", and then "+").
#pragma once

#include <string>
#include <string_view>

namespace config {

// Longest text each filter lets through.
constexpr std::size_t kMaxPhoneLength = 13;
constexpr std::size_t kMaxSMSTextLength = 40;

// Trims bytes <= 32 from both ends; one character left becomes "+"; a "+"
// after the first position resets the text to "+"; otherwise the first
// character stays and the digits after it, up to the first non-digit, at
// most 13 characters in all.
std::string FilterPhone(std::string_view text);

// The text up to its first byte outside the 77 an SMS may carry (letters,
// digits, space and "./-+,[]()!?><%"), at most 40 characters; spaces at
// either end stay.
std::string FilterSMSText(std::string_view text);

}  // namespace config
