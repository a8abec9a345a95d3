#include "state_file.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "command_pattern.h"
#include "latin1_text.h"
#include "message_status.h"
#include "pdu.h"
#include "phone_number.h"

namespace kestrix {

namespace {

using nlohmann::json;

constexpr std::array<const char*, 6> kRegistrationNames = {"none",   "home",    "searching",
                                                           "denied", "unknown", "roaming"};

// Reads one object, remembering where it is for the error messages and
// refusing keys it does not know (a misspelt key would otherwise be ignored).
class Reader {
 public:
  Reader(const json& object, std::string path) : object_(object), path_(std::move(path)) {
    if (!object_.is_object()) Fail("must be an object");
  }
  ~Reader() = default;

  [[noreturn]] void Fail(const std::string& what) const {
    throw StateFileError((path_.empty() ? std::string("state") : path_) + ": " + what);
  }

  std::string Path(const std::string& key) const { return path_.empty() ? key : path_ + "." + key; }

  const json* Find(const std::string& key) {
    known_.push_back(key);
    auto it = object_.find(key);
    return it == object_.end() ? nullptr : &*it;
  }

  void String(const std::string& key, std::string& value) {
    if (const json* v = Find(key)) {
      if (!v->is_string()) Reader::FailAt(Path(key), "must be a text");
      auto latin1 = Utf8ToLatin1(v->get<std::string>());
      if (!latin1) FailAt(Path(key), "holds a character outside Latin-1");
      value = *latin1;
    }
  }

  void Integer(const std::string& key, long long low, long long high, auto& value) {
    if (const json* v = Find(key)) {
      if (!v->is_number_integer()) FailAt(Path(key), "must be a whole number");
      long long n = v->get<long long>();
      if (n < low || n > high)
        FailAt(Path(key), "must be " + std::to_string(low) + " to " + std::to_string(high));
      value = static_cast<std::remove_reference_t<decltype(value)>>(n);
    }
  }

  void Boolean(const std::string& key, bool& value) {
    if (const json* v = Find(key)) {
      if (!v->is_boolean()) FailAt(Path(key), "must be true or false");
      value = v->get<bool>();
    }
  }

  void CheckKeys() const {
    for (auto it = object_.begin(); it != object_.end(); ++it) {
      if (std::find(known_.begin(), known_.end(), it.key()) == known_.end())
        FailAt(Path(it.key()), "is not a known setting");
    }
  }

  [[noreturn]] static void FailAt(const std::string& path, const std::string& what) {
    throw StateFileError(path + ": " + what);
  }

 private:
  const json& object_;
  std::string path_;
  std::vector<std::string> known_;
};

bool IsHex(const std::string& text, std::size_t low, std::size_t high) {
  if (text.size() < low || text.size() > high) return false;
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool IsTimestamp(const std::string& t) {
  static const char kShape[] = "99/99/99,99:99:99s99";
  if (t.size() != sizeof kShape - 1) return false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    char want = kShape[i];
    bool ok = want == '9'   ? std::isdigit(static_cast<unsigned char>(t[i])) != 0
              : want == 's' ? (t[i] == '+' || t[i] == '-')
                            : t[i] == want;
    if (!ok) return false;
  }
  return true;
}

void CheckNumberAt(const std::string& path, const std::string& number) {
  switch (CheckNumber(number, Phonebook::kNumberDigits)) {
    case NumberCheck::kValid:
      return;
    case NumberCheck::kInvalidCharacter:
      Reader::FailAt(path, "is not a phone number");
    case NumberCheck::kTooLong:
      Reader::FailAt(path, "has more than 20 digits");
  }
}

void ReadIdentity(const json& j, Identity& id) {
  Reader r(j, "identity");
  r.String("manufacturer", id.manufacturer);
  r.String("model", id.model);
  r.String("revision", id.revision);
  r.String("serial", id.serial);
  r.String("imsi", id.imsi);
  r.CheckKeys();
}

void ReadRegistration(Reader& r, const std::string& key, int& value) {
  if (const json* v = r.Find(key)) {
    for (std::size_t i = 0; i < kRegistrationNames.size(); ++i)
      if (v->is_string() && v->get<std::string>() == kRegistrationNames[i])
        value = static_cast<int>(i);
    if (!v->is_string() || kRegistrationNames[value] != v->get<std::string>())
      Reader::FailAt(r.Path(key), "must be none, home, searching, denied, unknown or roaming");
  }
}

void ReadNetwork(const json& j, Network& n) {
  Reader r(j, "network");
  ReadRegistration(r, "registration", n.registration);
  ReadRegistration(r, "gprs_registration", n.gprsRegistration);
  r.Boolean("gprs_attached", n.gprsAttached);
  r.String("lac", n.lac);
  r.String("ci", n.ci);
  r.Integer("rssi", 0, 99, n.rssi);
  r.Integer("ber", 0, 99, n.ber);
  r.String("operator_name", n.operatorName);
  r.String("operator_numeric", n.operatorNumeric);
  r.CheckKeys();
  if (!IsHex(n.lac, 4, 4)) Reader::FailAt("network.lac", "must be 4 hexadecimal digits");
  if (!IsHex(n.ci, 4, 8)) Reader::FailAt("network.ci", "must be 4 to 8 hexadecimal digits");
  if (n.rssi > 31 && n.rssi != 99) Reader::FailAt("network.rssi", "must be 0 to 31 or 99");
  if (n.ber > 7 && n.ber != 99) Reader::FailAt("network.ber", "must be 0 to 7 or 99");
  if (n.operatorNumeric.size() < 5 || n.operatorNumeric.size() > 6 ||
      n.operatorNumeric.find_first_not_of("0123456789") != std::string::npos)
    Reader::FailAt("network.operator_numeric", "must be 5 or 6 digits");
}

void ReadCharge(const json& j, Charge& c) {
  Reader r(j, "charge");
  r.Integer("acm", 0, 0xFFFFFF, c.acm);
  r.Integer("acm_max", 0, 0xFFFFFF, c.acmMax);
  r.CheckKeys();
}

void ReadCentre(const json& j, ServiceCentre& c) {
  Reader r(j, "sms_centre");
  r.String("number", c.number);
  r.Integer("type", 128, 255, c.type);
  r.CheckKeys();
  CheckNumberAt("sms_centre.number", c.number);
}

// Entries of a store, each with an index of its own in 1..size.
template <typename Entry, typename ReadEntry>
void ReadEntries(const json& j, const std::string& path, int size, std::map<int, Entry>& entries,
                 ReadEntry readEntry) {
  if (!j.is_array()) Reader::FailAt(path, "must be a list");
  for (std::size_t i = 0; i < j.size(); ++i) {
    std::string at = path + "[" + std::to_string(i) + "]";
    Reader r(j[i], at);
    int index = 0;
    if (!r.Find("index")) Reader::FailAt(at, "needs an index");
    r.Integer("index", 1, size, index);
    if (entries.contains(index)) Reader::FailAt(at, "repeats index " + std::to_string(index));
    entries[index] = readEntry(r, at);
    r.CheckKeys();
  }
}

void ReadPhonebook(const json& j, Phonebook& book) {
  Reader r(j, "phonebook");
  r.Integer("size", 1, 1000, book.size);
  if (const json* entries = r.Find("entries")) {
    ReadEntries(*entries, "phonebook.entries", book.size, book.entries,
                [](Reader& e, const std::string& at) {
                  PhonebookEntry entry;
                  e.String("number", entry.number);
                  e.Integer("type", 128, 255, entry.type);
                  e.String("text", entry.text);
                  CheckNumberAt(at + ".number", entry.number);
                  if (!entry.number.empty() && entry.number[0] == '+') entry.type = 145;
                  if (entry.text.size() > static_cast<std::size_t>(Phonebook::kTextLength))
                    Reader::FailAt(at + ".text", "is longer than 14 characters");
                  return entry;
                });
  }
  r.CheckKeys();
}

void ReadMessages(const json& j, MessageStore& store) {
  Reader r(j, "messages");
  r.Integer("size", 1, 255, store.size);
  if (const json* entries = r.Find("entries")) {
    ReadEntries(*entries, "messages.entries", store.size, store.entries,
                [](Reader& e, const std::string& at) {
                  Message m;
                  std::string status = StatusText(m.status);
                  e.String("status", status);
                  auto parsed = StatusFromText(status);
                  if (!parsed)
                    Reader::FailAt(at + ".status",
                                   "must be REC UNREAD, REC READ, STO UNSENT or STO SENT");
                  m.status = *parsed;
                  e.String("number", m.number);
                  m.type = !m.number.empty() && m.number[0] == '+' ? 145 : 129;
                  e.Integer("type", 128, 255, m.type);
                  e.String("text", m.text);
                  e.String("timestamp", m.timestamp);
                  CheckNumberAt(at + ".number", m.number);
                  if (!FitsOneMessage(m.text))
                    Reader::FailAt(at + ".text", "does not fit one short message");
                  if (IsReceived(m.status) && !IsTimestamp(m.timestamp))
                    Reader::FailAt(at + ".timestamp",
                                   "must be yy/MM/dd,hh:mm:ss+zz for a received message");
                  return m;
                });
  }
  r.CheckKeys();
}

std::vector<std::string> Names(const json& j, const std::string& path) {
  if (!j.is_array()) Reader::FailAt(path, "must be a list of command names");
  std::vector<std::string> out;
  for (const json& name : j) {
    // Names are the bytes a client sends, kept as Latin-1 like the texts.
    auto latin1 = name.is_string() ? Utf8ToLatin1(name.get<std::string>()) : std::nullopt;
    if (!latin1 || CommandPattern(*latin1).empty())
      Reader::FailAt(path, "must be a list of command names");
    out.push_back(CommandPattern(*latin1));
  }
  return out;
}

template <typename Names>
json NamesJson(const Names& names) {
  json out = json::array();
  for (const std::string& name : names) out.push_back(Latin1ToUtf8(name));
  return out;
}

void ReadPowerUp(const json& j, PowerUp& p) {
  Reader r(j, "power_up");
  std::string format = p.textMode ? "text" : "pdu";
  r.String("message_format", format);
  if (format != "text" && format != "pdu")
    Reader::FailAt("power_up.message_format", "must be text or pdu");
  p.textMode = format == "text";
  r.Integer("cmee", 0, 2, p.errorMode);
  r.Integer("creg_reports", 0, 2, p.registrationReports);
  r.Boolean("sim_pin", p.simPin);
  r.CheckKeys();
}

std::string CommandAt(Reader& r, const std::string& path) {
  std::string command;
  r.String("command", command);
  if (CommandPattern(command).empty()) Reader::FailAt(path + ".command", "must name a command");
  return CommandPattern(command);
}

// Lists of objects, each read whole by `readEntry`.
template <typename Entry, typename ReadEntry>
void ReadList(const json* list, const std::string& path, std::vector<Entry>& out,
              ReadEntry readEntry) {
  if (!list) return;
  if (!list->is_array()) Reader::FailAt(path, "must be a list");
  for (std::size_t i = 0; i < list->size(); ++i) {
    std::string at = path + "[" + std::to_string(i) + "]";
    Reader r((*list)[i], at);
    out.push_back(readEntry(r, at));
    r.CheckKeys();
  }
}

void ReadCommandFaults(Reader& r, Faults& f) {
  if (const json* names = r.Find("lose")) f.lose = Names(*names, "faults.lose");
  if (const json* names = r.Find("restart_at")) f.restartAt = Names(*names, "faults.restart_at");
  r.Integer("restart_ms", 0, 60000, f.restartMs);
  r.Integer("sim_write_ms", 0, 60000, f.simWriteMs);
  ReadList(r.Find("unsolicited_at"), "faults.unsolicited_at", f.unsolicitedAt,
           [](Reader& u, const std::string& at) {
             UnsolicitedAt entry;
             entry.command = CommandAt(u, at);
             u.String("line", entry.line);
             return entry;
           });
  ReadList(r.Find("incoming_at"), "faults.incoming_at", f.incomingAt,
           [](Reader& m, const std::string& at) {
             IncomingMessage entry;
             entry.command = CommandAt(m, at);
             m.String("number", entry.number);
             m.String("text", entry.text);
             CheckNumberAt(at + ".number", entry.number);
             if (!FitsOneMessage(entry.text))
               Reader::FailAt(at + ".text", "does not fit one short message");
             return entry;
           });
}

void ReadFaults(const json& j, Faults& f) {
  Reader r(j, "faults");
  if (const json* split = r.Find("split_at")) {
    if (!split->is_array()) Reader::FailAt("faults.split_at", "must be a list of offsets");
    for (const json& at : *split) {
      if (!at.is_number_unsigned() || at.get<std::size_t>() == 0)
        Reader::FailAt("faults.split_at", "offsets must be above 0");
      f.splitAt.push_back(at.get<std::size_t>());
    }
  }
  r.Boolean("split_random", f.splitRandom);
  r.Integer("seed", 0, 0xFFFFFFFFLL, f.seed);
  r.Integer("fragment_gap_ms", 0, 10000, f.fragmentGapMs);
  r.Integer("delay_ms", 0, 60000, f.delayMs);
  for (const char* key : {"ignore", "fail"}) {
    if (const json* names = r.Find(key))
      for (const std::string& name : Names(*names, std::string("faults.") + key))
        (std::string(key) == "ignore" ? f.ignore : f.fail).insert(name);
  }
  ReadList(r.Find("unsolicited"), "faults.unsolicited", f.unsolicited,
           [](Reader& u, const std::string&) {
             Unsolicited entry;
             u.Integer("after", 1, 1000000, entry.afterCommand);
             u.String("line", entry.line);
             return entry;
           });
  r.Integer("hangup_after", 0, 1000000, f.hangupAfter);
  ReadCommandFaults(r, f);
  r.CheckKeys();
}

json PhonebookJson(const Phonebook& book) {
  json entries = json::array();
  for (const auto& [index, e] : book.entries)
    entries.push_back({{"index", index},
                       {"number", Latin1ToUtf8(e.number)},
                       {"type", e.type},
                       {"text", Latin1ToUtf8(e.text)}});
  return {{"size", book.size}, {"entries", entries}};
}

json MessagesJson(const MessageStore& store) {
  json entries = json::array();
  for (const auto& [index, m] : store.entries) {
    json entry = {{"index", index},
                  {"status", StatusText(m.status)},
                  {"number", Latin1ToUtf8(m.number)},
                  {"type", m.type},
                  {"text", Latin1ToUtf8(m.text)}};
    if (!m.timestamp.empty()) entry["timestamp"] = m.timestamp;
    entries.push_back(entry);
  }
  return {{"size", store.size}, {"entries", entries}};
}

json PowerUpJson(const PowerUp& p) {
  return {{"message_format", p.textMode ? "text" : "pdu"},
          {"cmee", p.errorMode},
          {"creg_reports", p.registrationReports},
          {"sim_pin", p.simPin}};
}

json FaultsJson(const Faults& f) {
  json unsolicited = json::array();
  for (const Unsolicited& u : f.unsolicited)
    unsolicited.push_back({{"after", u.afterCommand}, {"line", Latin1ToUtf8(u.line)}});
  json unsolicitedAt = json::array();
  for (const UnsolicitedAt& u : f.unsolicitedAt)
    unsolicitedAt.push_back({{"command", Latin1ToUtf8(u.command)}, {"line", Latin1ToUtf8(u.line)}});
  json incomingAt = json::array();
  for (const IncomingMessage& m : f.incomingAt)
    incomingAt.push_back({{"command", Latin1ToUtf8(m.command)},
                          {"number", m.number},
                          {"text", Latin1ToUtf8(m.text)}});
  return {{"split_at", f.splitAt},
          {"split_random", f.splitRandom},
          {"seed", f.seed},
          {"fragment_gap_ms", f.fragmentGapMs},
          {"delay_ms", f.delayMs},
          {"ignore", NamesJson(f.ignore)},
          {"fail", NamesJson(f.fail)},
          {"unsolicited", unsolicited},
          {"hangup_after", f.hangupAfter},
          {"sim_write_ms", f.simWriteMs},
          {"lose", NamesJson(f.lose)},
          {"unsolicited_at", unsolicitedAt},
          {"incoming_at", incomingAt},
          {"restart_at", NamesJson(f.restartAt)},
          {"restart_ms", f.restartMs}};
}

}  // namespace

SimState ParseState(const std::string& text) {
  json j;
  try {
    j = json::parse(text);
  } catch (const json::parse_error& e) {
    throw StateFileError(std::string("not valid JSON: ") + e.what());
  }
  SimState state;
  Reader r(j, "");
  if (const json* v = r.Find("identity")) ReadIdentity(*v, state.identity);
  if (const json* v = r.Find("network")) ReadNetwork(*v, state.network);
  if (const json* v = r.Find("charge")) ReadCharge(*v, state.charge);
  if (const json* v = r.Find("sms_centre")) ReadCentre(*v, state.centre);
  if (const json* v = r.Find("phonebook")) ReadPhonebook(*v, state.phonebook);
  if (const json* v = r.Find("messages")) ReadMessages(*v, state.messages);
  if (const json* v = r.Find("power_up")) ReadPowerUp(*v, state.powerUp);
  if (const json* v = r.Find("faults")) ReadFaults(*v, state.faults);
  r.CheckKeys();
  return state;
}

SimState LoadState(const std::string& path) {
  std::ifstream file(path);
  if (!file) throw StateFileError(path + ": cannot be read");
  std::stringstream text;
  text << file.rdbuf();
  try {
    return ParseState(text.str());
  } catch (const StateFileError& e) {
    throw StateFileError(path + ": " + e.what());
  }
}

std::string StateToJson(const SimState& s) {
  const Network& n = s.network;
  json j = {
      {"identity",
       {{"manufacturer", Latin1ToUtf8(s.identity.manufacturer)},
        {"model", Latin1ToUtf8(s.identity.model)},
        {"revision", Latin1ToUtf8(s.identity.revision)},
        {"serial", Latin1ToUtf8(s.identity.serial)},
        {"imsi", Latin1ToUtf8(s.identity.imsi)}}},
      {"network",
       {{"registration", kRegistrationNames[n.registration]},
        {"gprs_registration", kRegistrationNames[n.gprsRegistration]},
        {"gprs_attached", n.gprsAttached},
        {"lac", n.lac},
        {"ci", n.ci},
        {"rssi", n.rssi},
        {"ber", n.ber},
        {"operator_name", Latin1ToUtf8(n.operatorName)},
        {"operator_numeric", n.operatorNumeric}}},
      {"charge", {{"acm", s.charge.acm}, {"acm_max", s.charge.acmMax}}},
      {"sms_centre", {{"number", s.centre.number}, {"type", s.centre.type}}},
      {"phonebook", PhonebookJson(s.phonebook)},
      {"messages", MessagesJson(s.messages)},
      {"power_up", PowerUpJson(s.powerUp)},
      {"faults", FaultsJson(s.faults)},
  };
  return j.dump(2) + "\n";
}

void SaveState(const SimState& state, const std::string& path) {
  std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::trunc);
    file << StateToJson(state);
    file.close();
    if (!file) throw StateFileError(path + ": cannot be written");
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw StateFileError(path + ": cannot be written");
  }
}

}  // namespace kestrix
