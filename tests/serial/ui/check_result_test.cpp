// CheckResult: which codes pass, which raise, and as what.
#include "serial/ui/check_result.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <typeinfo>

#include "gui/component.h"
#include "serial/error_messages.h"
#include "serial/exceptions.h"

namespace ser {
namespace {

// The exception CheckResult raises for `code`, which must be exactly E.
template <typename E>
E RaisedBy(const TComponent* component, int code) {
  try {
    CheckResult(component, code);
  } catch (const E& e) {
    EXPECT_EQ(typeid(e), typeid(E)) << "code " << code;
    return e;
  } catch (const std::exception& e) {
    ADD_FAILURE() << "code " << code << " raised " << typeid(e).name() << ": " << e.what();
    throw;
  }
  ADD_FAILURE() << "code " << code << " raised nothing";
  throw std::logic_error("nothing raised");
}

TEST(CheckResult, ReturnsCodesThatAreNotErrors) {
  TComponent component(nullptr);
  for (const int code : {0, 5, 1, 4101, 15001, INT_MAX}) {
    EXPECT_EQ(CheckResult(&component, code), code);
    EXPECT_EQ(CheckResult(nullptr, code), code);
  }
}

TEST(CheckResult, RaisesTheClassOfACodeWithItsText) {
  const auto e = RaisedBy<ENoPortSelected>(nullptr, -2011);
  EXPECT_EQ(e.Message(), "The ComNumber property of the TSerComPort has not been set");
  EXPECT_EQ(e.ResultCode, -2011);
  EXPECT_EQ(RaisedBy<EBufferIsEmpty>(nullptr, -3007).Message(), "Buffer is empty");
  EXPECT_EQ(RaisedBy<EBadArgument>(nullptr, -1002).ResultCode, -1002);
  EXPECT_EQ(RaisedBy<ETapiTranslateFail>(nullptr, -13942).ResultCode, -13942);
  const auto protocol = RaisedBy<EProtocol>(nullptr, -6006);
  EXPECT_EQ(protocol.Message(), "Fatal time out");
  EXPECT_EQ(protocol.ResultCode, -6006);
}

TEST(CheckResult, SharedClassKeepsEachCodeAndText) {
  const auto window = RaisedBy<EInternal>(nullptr, -1006);
  EXPECT_EQ(window.Message(), "Internal error creating window class");
  EXPECT_EQ(window.ResultCode, -1006);
  for (const int code : {-7003, -7006, -7012}) {
    const auto e = RaisedBy<EInternal>(nullptr, code);
    EXPECT_EQ(e.ResultCode, code);
    EXPECT_NE(e.Message(), window.Message());
  }
}

TEST(CheckResult, LoadingComponentPassesEveryCode) {
  TComponent owner(nullptr);
  auto* port = new TComponent(&owner);  // owned and freed by `owner`
  owner.BeginLoading();
  for (const int code : {-2011, -8, -5, -1, -6007, INT_MIN}) {
    EXPECT_EQ(CheckResult(port, code), code);
    EXPECT_EQ(CheckResult(&owner, code), code);
  }
  owner.EndLoading();
  RaisedBy<ENoPortSelected>(port, -2011);
}

TEST(CheckResult, PlatformErrorsRaiseInOutErrorWithTheirNumber) {
  const auto denied = RaisedBy<EInOutError>(nullptr, -5);
  EXPECT_EQ(denied.Message(), "File access denied");
  EXPECT_EQ(denied.ErrorCode, 5);
  const auto notFound = RaisedBy<EInOutError>(nullptr, -2);
  EXPECT_EQ(notFound.Message(), "File not found");
  EXPECT_EQ(notFound.ErrorCode, 2);
  const auto last = RaisedBy<EInOutError>(nullptr, -162);
  EXPECT_EQ(last.Message(), "General failure");
  EXPECT_EQ(last.ErrorCode, 162);
}

TEST(CheckResult, PlatformErrorsTheTableLacksStillSaySomething) {
  for (const int code : {-7, -31, -99, -140}) {
    const auto e = RaisedBy<EInOutError>(nullptr, code);
    EXPECT_EQ(e.ErrorCode, -code);
    const std::string text = ErrorMessageText(code);
    EXPECT_EQ(e.Message(), text.empty() ? "I/O error " + std::to_string(-code) : text);
  }
}

TEST(CheckResult, OutOfMemoryIsNotAnInOutError) {
  try {
    CheckResult(nullptr, -8);
    ADD_FAILURE() << "nothing raised";
  } catch (const EInOutError&) {
    ADD_FAILURE() << "-8 raised EInOutError";
  } catch (const std::bad_alloc& e) {
    EXPECT_EQ(typeid(e), typeid(EOutOfMemory));
    EXPECT_STREQ(e.what(), "Out of memory");
  }
}

TEST(CheckResult, OtherErrorsRaiseSerialExceptionWithoutTheCode) {
  for (const int code :
       {-1, -163, -1000, -1001, -3002, -6007, -13804, -13849, -13933, -2014, INT_MIN}) {
    const auto e = RaisedBy<ESerException>(nullptr, code);
    EXPECT_EQ(e.Message(), "Serial exception");
    EXPECT_EQ(e.ResultCode, 0);
  }
}

TEST(CheckResult, PermissionRefusalIsAPortOpenError) {
  try {
    CheckResult(nullptr, -2013);
    ADD_FAILURE() << "nothing raised";
  } catch (const EOpenComm& e) {
    EXPECT_EQ(typeid(e), typeid(EPermissionDenied));
    EXPECT_EQ(e.ResultCode, -2013);
    EXPECT_EQ(e.Message(), ErrorMessageText(-2013));
  }
}

}  // namespace
}  // namespace ser
