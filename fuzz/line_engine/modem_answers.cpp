#include "line_engine/modem_answers.h"

#include <string_view>
#include <vector>

namespace fuzz {
namespace {

constexpr int kDefaultPhonebookSize = 250;
constexpr int kMessageStoreSize = 20;

std::string Ok() {
  return Framed("OK");
}

// Information lines, then the final result.
std::string Reply(const std::vector<std::string>& lines, const std::string& result = "OK") {
  std::string bytes;
  if (!lines.empty()) bytes += "\r\n";
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes + Framed(result);
}

bool Consume(std::string_view& text, std::string_view prefix) {
  if (!text.starts_with(prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// A decimal index of a few digits; none for anything else.
std::optional<int> Index(std::string_view text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t end; (end = text.find(separator)) != std::string_view::npos;) {
    parts.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  parts.push_back(text);
  return parts;
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::optional<std::string> Unquoted(std::string_view text) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return std::nullopt;
  return std::string(text.substr(1, text.size() - 2));
}

}  // namespace

std::string Framed(const std::string& line) {
  return "\r\n" + line + "\r\n";
}

ModemAnswers::ModemAnswers() {
  phonebook_[1] = {"+436641234567", 145, "MASTER1"};
  phonebook_[2] = {"+436649876543", 145, "MASTER2"};
  phonebook_[3] = {"06641112223", 129, "SERVICE"};
  phonebook_[4] = {"+43664555", 145, "IO"};
  phonebook_[5] = {"+436640501", 145, "SMSCentrum"};
  phonebook_[7] = {"+436641111", 145, "Anna"};
  phonebook_[60] = {"+436642222", 145, "MASTER3"};
  messages_[1] = {"STO UNSENT", "+436640000", "CREDIT?", ""};
  messages_[2] = {"STO UNSENT", "+436641234567", "Input 1 on", ""};
  messages_[7] = {"REC READ", "+436640000", "Your credit is 10 EUR", "24/01/15,10:30:00+04"};
}

std::string ModemAnswers::Run(const std::string& line, std::optional<std::string>& storeFor) {
  std::string_view arguments = line;
  if (line == "AT") return Ok();
  if (line == "ATE" || line == "ATE0" || line == "ATE1") {
    Echo = line == "ATE1";
    return Ok();
  }
  if (line == "AT+CMGF=0" || line == "AT+CMGF=1") {
    TextMode = line == "AT+CMGF=1";
    return Ok();
  }
  if (line == "AT+CREG?") {
    return Reply({"+CREG: " + std::to_string(Reports) + "," + std::to_string(Registration)});
  }
  if (line == "AT+CSQ") return Reply({"+CSQ: 21,99"});
  if (line == "AT+COPS?") return Reply({"+COPS: 0,0,\"Kestrix Net\""});
  if (line == "AT+CAMM?") return Reply({"+CAMM: \"000100\""});
  if (line == "AT+CACM?") return Reply({"+CACM: \"000040\""});
  if (line == "AT+CSCA?") return Reply({"+CSCA: \"+436640501\",145"});
  if (line == "AT+CPBR=?")
    return Reply({"+CPBR: (1-" + std::to_string(phonebookSize_) + "),40,14"});
  if (Consume(arguments, "AT+CPBR=")) return ListPhonebook(std::string(arguments));
  if (Consume(arguments, "AT+CPBW=")) return WritePhonebook(std::string(arguments));
  // In PDU mode a status word and a number are not the parameters expected.
  if (line == "AT+CMGL=ALL") return TextMode ? ListMessages() : Framed("+CMS ERROR: 304");
  if (Consume(arguments, "AT+CMGD=")) return DeleteMessage(std::string(arguments));
  if (Consume(arguments, "AT+CMGW=")) {
    if (!TextMode) return Framed("+CMS ERROR: 304");
    if (!FreeMessageIndex()) return Framed("+CMS ERROR: 322");
    storeFor = std::string(arguments);
    return "\r\n> ";
  }
  return Framed("ERROR");
}

std::string ModemAnswers::ListPhonebook(const std::string& arguments) const {
  const std::vector<std::string_view> range = Split(arguments, ',');
  const std::optional<int> first = Index(range.front());
  const std::optional<int> last = range.size() == 2 ? Index(range.back()) : first;
  if (range.size() > 2 || !first || !last || *first < 1 || *first > *last ||
      *last > phonebookSize_) {
    return Framed("+CME ERROR: 21");
  }
  std::vector<std::string> lines;
  for (auto at = phonebook_.lower_bound(*first); at != phonebook_.end() && at->first <= *last;
       ++at) {
    const Entry& entry = at->second;
    lines.push_back("+CPBR: " + std::to_string(at->first) + "," + Quoted(entry.Number) + "," +
                    std::to_string(entry.Type) + "," + Quoted(entry.Tag));
  }
  return Reply(lines);
}

std::string ModemAnswers::WritePhonebook(const std::string& arguments) {
  const std::vector<std::string_view> parts = Split(arguments, ',');
  const std::optional<int> location = Index(parts.front());
  if (parts.size() == 1) {
    if (!location || *location < 1 || *location > phonebookSize_) return Framed("+CME ERROR: 21");
    phonebook_.erase(*location);
    return Ok();
  }
  const std::optional<int> type = parts.size() == 4 ? Index(parts[2]) : std::nullopt;
  const std::optional<std::string> tag = parts.size() == 4 ? Unquoted(parts[3]) : std::nullopt;
  if (!type || !tag || (!parts.front().empty() && !location)) return Framed("ERROR");
  int at = location.value_or(0);
  for (int free = 1; at == 0 && free <= phonebookSize_; ++free) {
    if (!phonebook_.contains(free)) at = free;
  }
  if (at == 0) return Framed("+CME ERROR: 20");
  if (at > phonebookSize_) return Framed("+CME ERROR: 21");
  phonebook_[at] = {std::string(parts[1]), *type, *tag};
  return Ok();
}

std::string ModemAnswers::ListMessages() const {
  std::vector<std::string> lines;
  for (const auto& [index, message] : messages_) {
    lines.push_back("+CMGL: " + std::to_string(index) + "," + Quoted(message.Status) + "," +
                    Quoted(message.Number) + ",," +
                    (message.Stamp.empty() ? "" : Quoted(message.Stamp)));
    lines.push_back(message.Text);
  }
  return Reply(lines);
}

std::string ModemAnswers::DeleteMessage(const std::string& arguments) {
  const std::optional<int> index = Index(arguments);
  if (!index || *index < 1 || *index > kMessageStoreSize) return Framed("+CMS ERROR: 321");
  messages_.erase(*index);
  return Ok();
}

std::optional<int> ModemAnswers::FreeMessageIndex() const {
  for (int index = 1; index <= kMessageStoreSize; ++index) {
    if (!messages_.contains(index)) return index;
  }
  return std::nullopt;
}

std::string ModemAnswers::Store(const std::string& number, const std::string& text) {
  const std::optional<int> index = FreeMessageIndex();
  if (!index) return Framed("+CMS ERROR: 322");
  messages_[*index] = {"STO UNSENT", number, text, ""};
  return Reply({"+CMGW: " + std::to_string(*index)});
}

std::optional<int> ModemAnswers::MessageArrives() {
  const std::optional<int> index = FreeMessageIndex();
  if (index) messages_[*index] = {"REC UNREAD", "+436649999", "Hello", "24/01/16,09:00:00+04"};
  return index;
}

void ModemAnswers::Restart() {
  Echo = true;
  TextMode = false;
}

void ModemAnswers::SetPhonebookSize(int size) {
  phonebookSize_ = size > 0 ? size : kDefaultPhonebookSize;
  std::erase_if(phonebook_, [this](const auto& entry) { return entry.first > phonebookSize_; });
}

}  // namespace fuzz
