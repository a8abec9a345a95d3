// The serial exception classes: each code raises its own leaf, catchable by
// name, by family and as ESerException, with the code and its text.
#include "serial/exceptions.h"

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

#include "serial/error_messages.h"

namespace ser {
namespace {

// What the code constructor shows: the code's text, or a plain fallback for
// the codes whose texts this program does not carry.
std::string ExpectedText(int code) {
  const std::string text = ErrorMessageText(code);
  return text.empty() ? "Serial error " + std::to_string(code) : text;
}

// Raises `code` three times and catches it as Leaf, as Family and as the base.
template <typename Leaf, typename Family>
void ExpectRaises(int code, const std::string& text) {
  SCOPED_TRACE("code " + std::to_string(code));
  static_assert(std::is_base_of_v<Family, Leaf> && std::is_base_of_v<ESerException, Family>);
  try {
    RaiseClassOf(code);
    ADD_FAILURE() << "nothing raised";
  } catch (const Leaf& e) {
    EXPECT_EQ(typeid(e), typeid(Leaf));
    EXPECT_EQ(e.ResultCode, code);
    EXPECT_EQ(e.Message(), text);
  }
  EXPECT_THROW(RaiseClassOf(code), Family);
  EXPECT_THROW(RaiseClassOf(code), ESerException);
}

TEST(SerExceptions, SerialLineFamiliesRaiseTheirLeavesWithTableTexts) {
  ExpectRaises<EBadArgument, EGeneral>(-1002, "Bad argument passed to function");
  ExpectRaises<ECannotUseWithWinSock, EGeneral>(-1009, "Component not compatible with WinSock");
  ExpectRaises<EBadId, EOpenComm>(-2001, "ie_BadId - Specified comport doesn't exist");
  ExpectRaises<EAlreadyOpen, EOpenComm>(-2008, "ie_Open - device already open");
  ExpectRaises<ENoPortSelected, EOpenComm>(
      -2011, "The ComNumber property of the TSerComPort has not been set");
  ExpectRaises<ENotOpenedByTapi, EOpenComm>(-2012, "Comport was not opened by Tapi");
  ExpectRaises<ENullApi, ESerialIO>(-3001, "No device layer specified");
  ExpectRaises<ERegisterHandlerFailed, ESerialIO>(-3003, "EnableCommNotification failed");
  ExpectRaises<EBufferIsEmpty, ESerialIO>(-3007, "Buffer is empty");
  ExpectRaises<EBaseAddressNotSet, ESerialIO>(-3010, "Base address not set");
  ExpectRaises<ENoMoreTriggers, ETrigger>(-5001, "No more trigger slots");
  ExpectRaises<EBadTriggerHandle, ETrigger>(-5003, "Bad trigger handle");
}

TEST(SerExceptions, OtherFamiliesRaiseTheirLeaves) {
  ExpectRaises<EModemNotStarted, EModem>(-4001, ExpectedText(-4001));
  ExpectRaises<EModemStatusMismatch, EModem>(-4008, ExpectedText(-4008));
  ExpectRaises<EKeyTooLong, EINI>(-7001, ExpectedText(-7001));
  ExpectRaises<EIniWrite, EINI>(-7004, ExpectedText(-7004));
  ExpectRaises<EBadFieldForIndex, EINI>(-7014, ExpectedText(-7014));
  ExpectRaises<EFaxBadFormat, EFax>(-8001, ExpectedText(-8001));
  ExpectRaises<EInvalidPageNumber, EFax>(-8053, ExpectedText(-8053));
  ExpectRaises<EFaxPageError, EFax>(-8070, ExpectedText(-8070));
  ExpectRaises<ERasLoadFail, ERas>(-13980, ExpectedText(-13980));
}

TEST(SerExceptions, TelephonyCodesMapAroundTheirGaps) {
  ExpectRaises<ETapiAllocated, ETapi>(-13801, ExpectedText(-13801));
  ExpectRaises<ETapiBearerModeUnavail, ETapi>(-13803, ExpectedText(-13803));
  ExpectRaises<ETapiCallUnavail, ETapi>(-13805, ExpectedText(-13805));
  ExpectRaises<ETapiInvalParam, ETapi>(-13850, ExpectedText(-13850));
  ExpectRaises<ETapiNoMultipleInstance, ETapi>(-13886, ExpectedText(-13886));
  ExpectRaises<ETapiBusy, ETapi>(-13928, ExpectedText(-13928));
  ExpectRaises<ETapiGetAddrFail, ETapi>(-13932, ExpectedText(-13932));
  ExpectRaises<ETapiVoiceNotSupported, ETapi>(-13935, ExpectedText(-13935));
  ExpectRaises<ETapiTranslateFail, ETapi>(-13942, ExpectedText(-13942));
}

TEST(SerExceptions, SharedAndFamilyOnlyCodes) {
  ExpectRaises<EInternal, EGeneral>(-1006, "Internal error creating window class");
  ExpectRaises<EInternal, EGeneral>(-7003, ExpectedText(-7003));
  ExpectRaises<EInternal, EGeneral>(-7006, ExpectedText(-7006));
  ExpectRaises<EInternal, EGeneral>(-7012, ExpectedText(-7012));
  ExpectRaises<EProtocol, ESerException>(-6006, "Fatal time out");
  ExpectRaises<EProtocol, ESerException>(-6008, ExpectedText(-6008));
  ExpectRaises<EProtocol, ESerException>(-6009, ExpectedText(-6009));
}

TEST(SerExceptions, EveryListedLeafRaisesItselfForItsCode) {
  int leaves = 0;
#define MORVEL_SER_CHECK_LEAF(Leaf, Family, Code)       \
  ExpectRaises<Leaf, Family>(Code, ExpectedText(Code)); \
  ++leaves;
  MORVEL_SER_LEAVES(MORVEL_SER_CHECK_LEAF)
#undef MORVEL_SER_CHECK_LEAF
  EXPECT_EQ(leaves, 160);
}

TEST(SerExceptions, CodesWithoutAClassRaiseNothing) {
  for (const int code : {0,     5,     1002,   -1,     -2,     -5,     -8,     -162,     -163,
                         -1000, -1001, -1010,  -2014,  -3002,  -3011,  -4009,  -5004,    -6007,
                         -7009, -8006, -13804, -13849, -13887, -13933, -13981, INT32_MIN}) {
    EXPECT_NO_THROW(RaiseClassOf(code)) << code;
  }
}

TEST(SerExceptions, TextConstructorKeepsNoCode) {
  const ESerException e(std::string("Dispatcher already started"));
  EXPECT_EQ(e.ResultCode, 0);
  EXPECT_EQ(e.Message(), "Dispatcher already started");
  EXPECT_STREQ(e.what(), "Dispatcher already started");
  const EBufferIsEmpty leaf(std::string("custom"));
  EXPECT_EQ(leaf.ResultCode, 0);
  EXPECT_EQ(leaf.Message(), "custom");
}

TEST(SerExceptions, CodeConstructorNeverLeavesTheMessageEmpty) {
  // Fax texts are not carried; the message still says which code failed.
  const EBadGraphicsFormat e(-8002);
  EXPECT_EQ(e.ResultCode, -8002);
  EXPECT_FALSE(e.Message().empty());
  EXPECT_EQ(e.Message(), ExpectedText(-8002));
  const ESerException base(-2007);
  EXPECT_EQ(base.Message(), "ie_NOpen - device not open");
}

TEST(SerExceptions, PermissionDeniedNamesDeviceAndGroup) {
  try {
    throw EPermissionDenied("/dev/ttyUSB0", "dialout");
  } catch (const EOpenComm& e) {
    EXPECT_EQ(typeid(e), typeid(EPermissionDenied));
    EXPECT_EQ(e.ResultCode, -2013);
    EXPECT_EQ(e.Message(),
              "Permission denied to open /dev/ttyUSB0: it may be opened by members of the group "
              "\"dialout\". Join that group (sudo adduser $USER dialout) and log in again.");
  }
  // No group that could help: the device's permissions must change.
  const EPermissionDenied noGroup("/dev/ttyS3", "");
  EXPECT_EQ(noGroup.Message(),
            "Permission denied to open /dev/ttyS3: its permissions must be changed to let this "
            "user read and write it.");
  // From the bare code, as the port check raises it, the text is the generic one.
  ExpectRaises<EPermissionDenied, EOpenComm>(-2013, ErrorMessageText(-2013));
  EXPECT_NE(ErrorMessageText(-2013).find("log in again"), std::string::npos);
}

TEST(RuntimeErrors, InOutErrorCarriesItsNumberAndOutOfMemoryItsText) {
  const EInOutError io("File access denied", 5);
  EXPECT_EQ(io.ErrorCode, 5);
  EXPECT_EQ(io.Message(), "File access denied");
  EXPECT_THROW(throw EOutOfMemory(), std::bad_alloc);
  EXPECT_STREQ(EOutOfMemory().what(), "Out of memory");
}

}  // namespace
}  // namespace ser
