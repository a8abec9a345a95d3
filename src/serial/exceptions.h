// The exceptions of the serial line: ESerException carrying its result code,
// the ten families and their leaf classes (one real type each, catchable by
// name and by family), and the runtime's I/O and out-of-memory errors.
#pragma once

#include <new>
#include <stdexcept>
#include <string>

#include "serial/exception_list.h"

namespace ser {

class ESerException : public std::runtime_error {
 public:
  // Message: the code's text, ResultCode: the code.
  explicit ESerException(int code);
  // Message: the text, ResultCode: 0.
  explicit ESerException(const std::string& text);

  std::string Message() const { return what(); }

  int ResultCode;

 protected:
  ESerException(int code, const std::string& text);
};

#define MORVEL_SER_DECLARE_FAMILY(Family) \
  class Family : public ESerException {   \
   public:                                \
    using ESerException::ESerException;   \
  };
MORVEL_SER_FAMILIES(MORVEL_SER_DECLARE_FAMILY)
#undef MORVEL_SER_DECLARE_FAMILY

#define MORVEL_SER_DECLARE_LEAF(Leaf, Family, Code) \
  class Leaf : public Family {                      \
   public:                                          \
    using Family::Family;                           \
  };
MORVEL_SER_LEAVES(MORVEL_SER_DECLARE_LEAF)
#undef MORVEL_SER_DECLARE_LEAF

// Linux: the port exists but this user may not open it.
class EPermissionDenied : public EOpenComm {
 public:
  using EOpenComm::EOpenComm;
  // Names the device and the group whose members may open it (empty when not
  // known) and tells how to join that group.
  EPermissionDenied(const std::string& devicePath, const std::string& group);
};

// Throws the class a code is assigned to, made from the code; returns when no
// class has that code.
void RaiseClassOf(int code);

// Throws the exception of an error code (negative): its class; for the
// platform's file and device errors the runtime's I/O or out-of-memory
// error; otherwise a plain ESerException.
[[noreturn]] void RaiseResult(int code);

// The runtime's input/output error: a file or device error with its number.
class EInOutError : public std::runtime_error {
 public:
  EInOutError(const std::string& text, int errorCode);

  std::string Message() const { return what(); }

  int ErrorCode;
};

// The runtime's out-of-memory error.
class EOutOfMemory : public std::bad_alloc {
 public:
  const char* what() const noexcept override { return "Out of memory"; }
  std::string Message() const { return what(); }
};

}  // namespace ser
