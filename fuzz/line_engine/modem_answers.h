// What the line-engine fuzzer's modem holds and answers to each command line,
// as a GSM modem in good order does: its SIM's phonebook and message store,
// the network it reports, its echo and its message mode. Answers are the
// bytes on the wire, CR LF around each line.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace fuzz {

// A final result or an unsolicited line as the modem frames it.
std::string Framed(const std::string& line);

class ModemAnswers {
 public:
  ModemAnswers();

  // The answer to a command line, as written without its line end. A store
  // the modem takes answers with its prompt and sets `storeFor` to the
  // number the text is for.
  std::string Run(const std::string& line, std::optional<std::string>& storeFor);
  // A store's text has come: where it went and "OK", or why not.
  std::string Store(const std::string& number, const std::string& text);
  // A stranger's message arrives: where it went; none when the store is full.
  std::optional<int> MessageArrives();
  // Power-up settings: echo on, PDU mode.
  void Restart();
  void SetPhonebookSize(int size);

  bool Echo = true;
  bool TextMode = false;
  // "+CREG: Reports,Registration".
  int Reports = 0;
  int Registration = 1;

 private:
  struct Entry {
    std::string Number;
    int Type = 145;
    std::string Tag;
  };
  struct Message {
    std::string Status;
    std::string Number;
    std::string Text;
    std::string Stamp;
  };

  std::string ListPhonebook(const std::string& arguments) const;
  std::string WritePhonebook(const std::string& arguments);
  std::string ListMessages() const;
  std::string DeleteMessage(const std::string& arguments);
  std::optional<int> FreeMessageIndex() const;

  int phonebookSize_ = 250;
  std::map<int, Entry> phonebook_;
  std::map<int, Message> messages_;
};

}  // namespace fuzz
