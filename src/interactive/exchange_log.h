#pragma once

// The exchanges of an interactive session, kept for :save, which writes
// them as cases that check mode replays.

#include <cstdint>
#include <string>
#include <vector>

struct LoggedExchange {
  std::string module;
  std::string request;
  std::string reply;           // the last reply
  std::uint32_t sent = 1;      // how often the request went; more for a :repeat
  bool replies_agreed = true;  // every send got the same reply
  bool fresh_host = false;     // the modules were bound anew before it: their state was lost
};

class ExchangeLog {
 public:
  // The next exchange follows a new binding of the modules.
  void note_fresh_host() { fresh_host_ = true; }
  void add_exchange(const std::string& module, const std::string& request, const std::string& reply,
                    std::uint32_t sent, bool replies_agreed);
  const std::vector<LoggedExchange>& exchanges() const { return exchanges_; }

 private:
  std::vector<LoggedExchange> exchanges_;
  bool fresh_host_ = false;
};

// The cases of `log`, one per exchange, separated by empty lines: module,
// request, and the reply, which a repeat whose replies differed leaves out.
// A value no line of a cases file can hold is left out with its case and
// named on standard error.
std::string cases_of(const std::vector<LoggedExchange>& exchanges);

// Appends the cases of `exchanges` to the file at `path`, after an empty
// line when the file holds something already. False, named on standard
// error, when it cannot be written.
bool save_exchanges(const std::string& path, const std::vector<LoggedExchange>& exchanges);
