#include "incoming_message.h"

#include <cstdio>
#include <cstdlib>

#include "message_write.h"

namespace kestrix {

namespace {

// "yy/MM/dd,hh:mm:ss+zz", the zone in quarters of an hour.
std::string Timestamp(std::time_t now) {
  std::tm local{};
  localtime_r(&now, &local);
  long quarters = local.tm_gmtoff / (15 * 60);
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%02d,%02d:%02d:%02d%c%02ld", local.tm_year % 100,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                quarters < 0 ? '-' : '+', std::labs(quarters) % 100);
  return text;
}

}  // namespace

std::optional<std::string> Receive(MessageStore& store, const IncomingMessage& incoming,
                                   std::time_t now) {
  auto index = FirstFreeIndex(store);
  if (!index) return std::nullopt;
  bool plus = !incoming.number.empty() && incoming.number[0] == '+';
  store.entries[*index] = Message{MessageStatus::kRecUnread, incoming.number, plus ? 145 : 129,
                                  incoming.text, Timestamp(now)};
  return "+CMTI: \"SM\"," + std::to_string(*index);
}

}  // namespace kestrix
