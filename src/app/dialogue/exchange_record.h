// What the dialogue keeps of a Save PBook that may be cut short, so that it
// can say how far it got; and the quiet listing that learns the SIM's
// phonebook locations again after a Save PBook was cut short, since some of
// its erasures and writes may have happened.
#pragma once

#include <cstdint>

struct ExchangeRecord {
  // Erasures of the running Save PBook the device answered with "OK".
  int32_t ErasesAnswered = 0;
  bool ListQuietlyWhenBack = false;
};
