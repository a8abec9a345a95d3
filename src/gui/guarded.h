// Wraps an event handler so that an exception escaping it ends only that
// handler and reaches the application's standard exception report; Qt would
// otherwise end the program.
#pragma once

#include <utility>

#include "gui/application.h"

template <class Handler>
auto Guarded(Handler handler) {
  return [handler = std::move(handler)]() {
    try {
      handler();
    } catch (...) {
      Application().HandleException();
    }
  };
}
