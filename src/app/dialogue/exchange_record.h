// What the dialogue keeps of the commands the device has not answered yet,
// so that it can say what a device that went away cut short; and the quiet
// listing that learns the SIM's phonebook locations again after a Save PBook
// was cut short, since some of its erasures and writes may have happened.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

struct ExchangeRecord {
  // Oldest first: the device answers in order, each with "OK" or an error.
  std::deque<std::string> Unanswered;
  // Erasures of the running Save PBook the device answered with "OK".
  int32_t ErasesAnswered = 0;
  bool ListQuietlyWhenBack = false;
  // A listing that fills in SimIndex and nothing the user sees.
  bool QuietListing = false;
};
