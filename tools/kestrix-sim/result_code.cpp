#include "result_code.h"

namespace kestrix {

namespace {

const char* CmeText(int code) {
  switch (code) {
    case 3:
      return "operation not allowed";
    case 4:
      return "operation not supported";
    case 11:
      return "SIM PIN required";
    case 20:
      return "memory full";
    case 21:
      return "invalid index";
    case 22:
      return "not found";
    case 24:
      return "text string too long";
    case 25:
      return "invalid characters in text string";
    case 26:
      return "dial string too long";
    case 27:
      return "invalid characters in dial string";
    case 50:
      return "incorrect parameters";
    default:
      return "unknown";
  }
}

}  // namespace

std::string Framed(const std::string& text) {
  return "\r\n" + text + "\r\n";
}

std::string ResultCode(const Result& result, int errorMode) {
  switch (result.kind) {
    case Result::Kind::kOk:
      return Framed("OK");
    case Result::Kind::kCme:
      if (errorMode == 0) return Framed("ERROR");
      if (errorMode == 2) return Framed(std::string("+CME ERROR: ") + CmeText(result.code));
      return Framed("+CME ERROR: " + std::to_string(result.code));
    case Result::Kind::kCms:
      if (errorMode == 0) return Framed("ERROR");
      return Framed("+CMS ERROR: " + std::to_string(result.code));
    case Result::Kind::kError:
    case Result::Kind::kPrompt:
      break;
  }
  return Framed("ERROR");
}

}  // namespace kestrix
