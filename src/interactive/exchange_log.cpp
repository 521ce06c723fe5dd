#include "interactive/exchange_log.h"

#include <cstdio>

#include "check/cases_update.h"

namespace {

bool append_line(std::string& out, const char* key, const std::string& bytes) {
  std::string value;
  if (!encode_reply_value(bytes, value)) return false;
  out += key;
  out += value;
  out += '\n';
  return true;
}

bool append_case(std::string& out, const LoggedExchange& exchange) {
  std::string lines;
  if (exchange.fresh_host) {
    lines +=
        "# here the session bound the modules again and they lost their state; a replay does not\n";
  }
  if (!append_line(lines, "module: ", exchange.module) ||
      !append_line(lines, "request: ", exchange.request)) {
    return false;
  }
  if (exchange.sent > 1) lines += "repeat: " + std::to_string(exchange.sent) + "\n";
  if (exchange.replies_agreed && !append_line(lines, "reply: ", exchange.reply)) return false;
  if (!out.empty()) out += '\n';
  out += lines;
  return true;
}

}  // namespace

void ExchangeLog::add_exchange(const std::string& module, const std::string& request,
                               const std::string& reply, std::uint32_t sent, bool replies_agreed) {
  exchanges_.push_back({module, request, reply, sent, replies_agreed, fresh_host_});
  fresh_host_ = false;
}

std::string cases_of(const std::vector<LoggedExchange>& exchanges) {
  std::string out;
  std::size_t number = 0;
  for (const LoggedExchange& exchange : exchanges) {
    ++number;
    if (!append_case(out, exchange)) {
      std::fprintf(stderr,
                   "modtest: exchange %zu holds a byte 0x1A, or a two-byte lead byte before a "
                   "line break, which no line of a cases file can hold; it is not saved\n",
                   number);
    }
  }
  return out;
}

bool save_exchanges(const std::string& path, const std::vector<LoggedExchange>& exchanges) {
  std::string cases = cases_of(exchanges);
  std::FILE* out = std::fopen(path.c_str(), "ab");
  bool written = out != nullptr && std::fseek(out, 0, SEEK_END) == 0;
  if (written && std::ftell(out) > 0 && !cases.empty()) cases.insert(0, "\n");
  if (written) written = std::fwrite(cases.data(), 1, cases.size(), out) == cases.size();
  if (out != nullptr && std::fclose(out) != 0) written = false;
  if (!written) std::fprintf(stderr, "modtest: cannot append the session to %s\n", path.c_str());
  return written;
}
