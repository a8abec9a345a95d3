#include "message_status.h"

#include <array>
#include <cctype>

namespace kestrix {

namespace {

constexpr std::array<MessageStatus, 4> kAll = {MessageStatus::kRecUnread, MessageStatus::kRecRead,
                                               MessageStatus::kStoUnsent, MessageStatus::kStoSent};

}  // namespace

std::string StatusText(MessageStatus status) {
  switch (status) {
    case MessageStatus::kRecUnread:
      return "REC UNREAD";
    case MessageStatus::kRecRead:
      return "REC READ";
    case MessageStatus::kStoUnsent:
      return "STO UNSENT";
    case MessageStatus::kStoSent:
      return "STO SENT";
  }
  return {};
}

int StatusNumber(MessageStatus status) {
  switch (status) {
    case MessageStatus::kRecUnread:
      return 0;
    case MessageStatus::kRecRead:
      return 1;
    case MessageStatus::kStoUnsent:
      return 2;
    case MessageStatus::kStoSent:
      return 3;
  }
  return 0;
}

std::optional<MessageStatus> StatusFromText(const std::string& text) {
  std::string upper;
  for (char c : text) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (MessageStatus s : kAll)
    if (StatusText(s) == upper) return s;
  return std::nullopt;
}

std::optional<MessageStatus> StatusFromNumber(int number) {
  for (MessageStatus s : kAll)
    if (StatusNumber(s) == number) return s;
  return std::nullopt;
}

bool IsReceived(MessageStatus status) {
  return status == MessageStatus::kRecUnread || status == MessageStatus::kRecRead;
}

}  // namespace kestrix
